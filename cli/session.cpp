#include "cli/session.h"

#include "monitor/monitoring_values.h"

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

std::string hexBytes(std::span<const std::uint8_t> bytes) {
    std::string text;
    char hex[4];
    for (const std::uint8_t byte : bytes) {
        std::snprintf(hex, sizeof hex, "%s%02X", text.empty() ? "" : " ", byte);
        text += hex;
    }
    return text;
}

void TraceWriter::onTransaction(std::span<const std::uint8_t> frame, const device::Reply& reply) {
    const std::string line = isoTime(now_()) + " frame " + hexBytes(frame) + " reply " +
                             hexBytes(std::span(reply.bytes).first(reply.requested)) + " status " +
                             std::to_string(reply.status) + " delivered " +
                             std::to_string(reply.delivered) + "/" +
                             std::to_string(reply.requested) + "\n";
    file_ << line;
    file_.flush();
}

Session::Session(device::AdapterLibrary& library, Clock& clock)
    : link_(library), supply_(link_, clock) {}

const std::array<std::string_view, 4>& Session::chargeItems() const {
    const monitor::ModelInfo* model = monitor::findModel(modelCode_);
    return model != nullptr ? model->chargeItems : monitor::kDefaultChargeItems;
}

monitor::FetchProgress Session::statusOf(monitor::BlockCaller caller) {
    return [this, caller](const monitor::FetchOutcome& soFar) {
        if (const auto text = operations::fetchStatus(soFar, caller)) {
            lastStatus_ = *text;
        }
    };
}

ExitCode Session::connect(const device::BridgeChoice& choice) {
    const device::OpenResult opened = supply_.open(choice);
    opened_ = opened;
    lastStatus_ = operations::openStatus(opened);
    if (opened == device::OpenResult::Opened || opened == device::OpenResult::NoDevice) {
        const monitor::FetchOutcome readBack =
            supply_.readSettings(statusOf(monitor::BlockCaller::ReadBack));
        if (readBack.good()) {
            const monitor::StatusBlock block = monitor::decodeStatusBlock(readBack.bytes);
            takeStoredSettings(record_.settings, block);
            // As the selector shows it: a selection without an item is none.
            record_.settings.chargeSelection = selectableCharge(record_.settings.chargeSelection);
            monitor::takeIdentity(record_.texts, block);
            if (monitor::findModel(block.modelCode) != nullptr) {
                modelCode_ = block.modelCode;
            }
        }
    } else {
        link_.linkOk = false;
    }
    if (!link_.handle) {
        return ExitCode::NoDevice;
    }
    return link_.linkOk ? ExitCode::Success : ExitCode::CommunicationFailed;
}

std::optional<monitor::StatusBlock> Session::poll() {
    const monitor::FetchOutcome outcome =
        supply_.readBlock(statusOf(monitor::BlockCaller::MonitorTick));
    if (!outcome.good()) {
        return std::nullopt;
    }
    const monitor::StatusBlock block = monitor::decodeStatusBlock(outcome.bytes);
    monitor::takeMonitoringValues(record_.texts, block);
    takeStoredSettings(record_.settings, block);
    lastRead_ = monitor::lastReadSettingsOf(block);
    return block;
}

} // namespace brenvik::cli
