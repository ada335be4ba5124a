#pragma once
// Fetching the status block from the supply: an opening command, acknowledged with the frame
// marker, then four chunk reads of 12 bytes, checked by the block checksum.
//
// The two callers differ in the opening command and the waits:
//   read-back at connection: command 3; 1000 ms before it, 1000 ms before chunk 1, 100 ms before
//     chunks 2-4;
//   monitoring tick: command 10; no wait before it, 100 ms before every chunk.
// The link flag is true after a good block and false after either failure.

#include "device/clock.h"
#include "device/device_link.h"
#include "monitor/status_block.h"

#include <functional>

namespace brenvik::monitor {

enum class BlockCaller { ReadBack, MonitorTick };

enum class FetchResult {
    NotAcknowledged, // the opening command was not acknowledged: no chunk was read
    Acknowledged,    // the opening command was acknowledged; the chunks are still to come
    BadBlock,        // a chunk was not delivered in full, or the checksum did not match
    Good,
};

struct FetchOutcome {
    FetchResult result = FetchResult::NotAcknowledged;
    StatusBlockBytes bytes{}; // the 48 bytes of a good block; zero otherwise

    bool good() const { return result == FetchResult::Good; }
};

// Told the outcome so far after each check: the opening command's, then the block's.
using FetchProgress = std::function<void(const FetchOutcome& soFar)>;

FetchOutcome fetchStatusBlock(Clock& clock, device::DeviceLink& link, BlockCaller caller,
                              const FetchProgress& progress = {});

} // namespace brenvik::monitor
