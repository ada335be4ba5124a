#pragma once
// Finding the USB-to-SPI bridge, opening its channel "A", preparing it as SPI master and reading
// the supply's settings back into the panel, with the two ways the program starts it:
//   Connect Device: the menu command and the connect timer at start-up;
//   silent reconnect: run by APPLY before writing, keeping the operator's pending panel entries
//     by reloading them from the working configuration file that APPLY has just written.
// Both report the outcome in the link flag and on the status line.

#include "device/bridge.h"
#include "monitor/block_fetch.h"
#include "operations/context.h"

#include <optional>

namespace brenvik::operations {

struct ConnectOutcome {
    device::OpenResult open = device::OpenResult::CountFailed;
    std::optional<monitor::FetchResult> readBack; // when the sequence reached the read-back

    bool connected() const { return readBack == monitor::FetchResult::Good; }
};

// Settings read-back at connection: the panel shows what the supply holds (delays, charge
// selection, installation date), with the firmware version, the part number and the connected
// model's battery sizes in the charge selector. On either failure the panel shows what it showed
// before. The monitoring fields, the battery-age state, the option boxes and the enabling of
// controls are never touched.
monitor::FetchOutcome readBackSettings(Context& ctx);

// Menu command "Connect Device".
ConnectOutcome connectDevice(Context& ctx);

// Reconnection before APPLY writes; the link flag tells whether the supply answered.
ConnectOutcome silentReconnect(Context& ctx);

// The connect timer's one tick: repaint, Connect Device, stop the timer, repaint.
void connectTimerStep(Context& ctx);

} // namespace brenvik::operations
