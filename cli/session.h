#pragma once
// One run of the command line against one supply: the link, what the supply has told, and the
// steps every sub-command is built from (the connection as Connect Device makes it, one block
// fetched as the monitor tick fetches it), on the supply's own operations without a window.

#include "device/clock.h"
#include "device/device_link.h"
#include "device/transaction.h"
#include "monitor/block_fetch.h"
#include "monitor/monitor_state.h"
#include "monitor/status_block.h"
#include "operations/supply.h"
#include "operations/window_model.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>

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

// "03 55 0A": the bytes as upper-case hex pairs separated by blanks.
std::string hexBytes(std::span<const std::uint8_t> bytes);

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

class Session {
public:
    Session(device::AdapterLibrary& library, Clock& clock);
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    device::DeviceLink& link() { return link_; }
    operations::Supply& supply() { return supply_; }
    // The settings and the read-only fields as the window would show them.
    const MainWindowModel& record() const { return record_; }
    // What the last poll read of the settings: a write keeps it for the options not ticked.
    const monitor::LastReadSettings& lastRead() const { return lastRead_; }
    // The status line's last text, empty before the first.
    const std::string& lastStatus() const { return lastStatus_; }
    // How far the last connection's opening got.
    device::OpenResult opened() const { return opened_; }
    // The charge selector's items: the connected model's, or the four it starts with.
    const std::array<std::string_view, 4>& chargeItems() const;

    // The connection as Connect Device makes it, and the read-back of the supply's settings:
    // NoDevice when no bridge channel could be opened, CommunicationFailed when the supply did
    // not answer the read-back.
    ExitCode connect(const device::BridgeChoice& choice = device::isChannelA);

    // One block as the monitor tick fetches it (command 10), taken into the record as the tick
    // takes it. Nothing when the fetch failed; lastStatus() tells why.
    std::optional<monitor::StatusBlock> poll();

private:
    // Keeps the status text of each step of a block fetch.
    monitor::FetchProgress statusOf(monitor::BlockCaller caller);

    device::DeviceLink link_;
    operations::Supply supply_;
    MainWindowModel record_;
    monitor::LastReadSettings lastRead_;
    std::uint8_t modelCode_ = 0;
    std::string lastStatus_;
    device::OpenResult opened_ = device::OpenResult::NoDevice;
};

} // namespace brenvik::cli
