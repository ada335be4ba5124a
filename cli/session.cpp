#include "cli/session.h"

#include "monitor/block_decode.h"
#include "monitor/block_fetch.h"
#include "programming/panel.h"
#include "res/resource.h"
#include "shell/main_window_core.h"

#include <cstdio>

namespace brenvik::cli {

std::string isoTime(WallTime time) {
    using namespace std::chrono;
    const auto millis = floor<milliseconds>(time);
    const auto day = floor<days>(millis);
    const year_month_day date(day);
    const hh_mm_ss clock(millis - day);
    char text[32];
    std::snprintf(
        text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%03dZ", static_cast<int>(date.year()),
        static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
        static_cast<int>(clock.hours().count()), static_cast<int>(clock.minutes().count()),
        static_cast<int>(clock.seconds().count()), static_cast<int>(clock.subseconds().count()));
    return text;
}

namespace {

std::string hexBytes(std::span<const std::uint8_t> bytes) {
    std::string text;
    char hex[4];
    for (const std::uint8_t byte : bytes) {
        std::snprintf(hex, sizeof hex, "%s%02X", text.empty() ? "" : " ", byte);
        text += hex;
    }
    return text;
}

} // namespace

void TraceWriter::onTransaction(std::span<const std::uint8_t> frame, const device::Reply& reply) {
    const std::string line = isoTime(now_()) + " frame " + hexBytes(frame) + " reply " +
                             hexBytes(std::span(reply.bytes).first(reply.requested)) + " status " +
                             std::to_string(reply.status) + " delivered " +
                             std::to_string(reply.delivered) + "/" +
                             std::to_string(reply.requested) + "\n";
    file_ << line;
    file_.flush();
}

void showFreshPanel(HeadlessWindow& window, MainWindowModel& model) {
    window.setComboItems(IDC_CMB_CHARGE_CURRENT, defaultChargeSelectorItems());
    window.setComboSelection(IDC_CMB_CHARGE_CURRENT, 0);
    panelRedisplay(window, model);
}

Session::Session(device::AdapterLibrary& library, Clock& clock, std::ostream& messages)
    : clock_(clock), window_(messages), link_(library) {
    showFreshPanel(window_, model_);
}

ExitCode Session::connect() {
    device::ConnectionContext ctx{window_, clock_, link_, model_, monitor_, files_};
    device::connectDevice(ctx);
    if (!link_.handle) {
        return ExitCode::NoDevice;
    }
    return link_.linkOk ? ExitCode::Success : ExitCode::CommunicationFailed;
}

std::optional<monitor::StatusBlock> Session::poll() {
    const auto bytes =
        monitor::fetchStatusBlock(window_, clock_, link_, monitor::BlockCaller::MonitorTick);
    if (!bytes) {
        return std::nullopt;
    }
    const monitor::StatusBlock block = monitor::decodeStatusBlock(*bytes);
    monitor::applyMonitoringFields(window_, model_, monitor_, block);
    return block;
}

} // namespace brenvik::cli
