#pragma once
// Fetching the status block from the supply: an opening command, acknowledged with the frame
// marker, then four chunk reads of 12 bytes, checked by the block checksum.
//
// The two callers differ in the opening command, the waits, and the status texts:
//   read-back at connection: command 3; 1000 ms before it, 1000 ms before chunk 1, 100 ms before
//     chunks 2-4; a bad block shows the text ending in "!", a good one shows nothing;
//   monitoring tick: command 10; no wait before it, 100 ms before every chunk; a bad block shows
//     the text ending in ".", a good one "Pass, Read device status success! ".
// The link flag is true after a good block and false after either failure.

#include "device/device_link.h"
#include "monitor/status_block.h"
#include "ui/clock.h"
#include "ui/window_port.h"

#include <optional>

namespace brenvik::monitor {

enum class BlockCaller { ReadBack, MonitorTick };

// The 48 bytes of a good block, or nothing when the opening command was not acknowledged, a
// chunk was not delivered in full, or the checksum did not match.
std::optional<StatusBlockBytes> fetchStatusBlock(WindowPort& window, Clock& clock,
                                                 device::DeviceLink& link, BlockCaller caller);

} // namespace brenvik::monitor
