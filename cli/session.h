#pragma once
// One run of the command line against one supply: the link, the window's model and state, the
// headless window, and the steps every sub-command is built from (Connect Device as the window
// runs it, one block fetched as the monitor tick fetches it).

#include "cli/headless_window.h"
#include "config/configuration.h"
#include "device/connection.h"
#include "device/device_link.h"
#include "device/transaction.h"
#include "monitor/monitor_state.h"
#include "monitor/status_block.h"
#include "programming/device_settings.h"
#include "ui/clock.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <ostream>
#include <span>
#include <string>

namespace brenvik::cli {

// The program's exit codes, as `brenvik --help` lists them.
enum class ExitCode : int {
    Success = 0,
    NoDevice = 1,
    CommunicationFailed = 2,
    VerifyMismatch = 3,
    BadInput = 4,
    Cancelled = 5,
};

using WallTime = std::chrono::system_clock::time_point;

// "2026-12-07T20:22:52.123Z": UTC, milliseconds.
std::string isoTime(WallTime time);

// Appends one line per transaction to a file: time, frame, reply, status and delivered count.
class TraceWriter final : public device::TransactionObserver {
public:
    TraceWriter(std::ofstream file, std::function<WallTime()> now)
        : file_(std::move(file)), now_(std::move(now)) {}

    void onTransaction(std::span<const std::uint8_t> frame, const device::Reply& reply) override;

private:
    std::ofstream file_;
    std::function<WallTime()> now_;
};

// Sets up the headless window as the window starts: the default charge selector items, and
// every field showing the fresh record.
void showFreshPanel(HeadlessWindow& window, MainWindowModel& model);

class Session {
public:
    Session(device::AdapterLibrary& library, Clock& clock, std::ostream& messages);
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    HeadlessWindow& window() { return window_; }
    device::DeviceLink& link() { return link_; }
    MainWindowModel& model() { return model_; }
    monitor::MonitorState& monitorState() { return monitor_; }
    config::ConfigurationFiles& files() { return files_; }

    // Connect Device as the window runs it: NoDevice when no bridge channel could be opened,
    // CommunicationFailed when the supply did not answer the read-back.
    ExitCode connect();

    // One block as the monitor tick fetches it (command 10), decoded into the model as the tick
    // decodes it. Nothing when the fetch failed; the window's status text tells why.
    std::optional<monitor::StatusBlock> poll();

private:
    Clock& clock_;
    HeadlessWindow window_;
    device::DeviceLink link_;
    MainWindowModel model_;
    monitor::MonitorState monitor_;
    config::ConfigurationFiles files_;
};

} // namespace brenvik::cli
