#include "monitor/block_fetch.h"

#include "device/commands.h"
#include "device/transaction.h"

#include <algorithm>
#include <chrono>
#include <cstdint>

namespace brenvik::monitor {
namespace {

using std::chrono::milliseconds;

constexpr std::size_t kShortFrame = 2;

struct FetchProfile {
    std::uint8_t openingCommand;
    milliseconds beforeOpening;
    milliseconds beforeFirstChunk;
    milliseconds beforeLaterChunks;
};

constexpr FetchProfile kReadBack{device::command::kReadBackOpen, milliseconds(1000),
                                 milliseconds(1000), milliseconds(100)};
constexpr FetchProfile kMonitorTick{device::command::kMonitorOpen, milliseconds(0),
                                    milliseconds(100), milliseconds(100)};

void wait(Clock& clock, milliseconds duration) {
    if (duration.count() > 0) {
        clock.sleep(duration);
    }
}

} // namespace

FetchOutcome fetchStatusBlock(Clock& clock, device::DeviceLink& link, BlockCaller caller,
                              const FetchProgress& progress) {
    const FetchProfile& profile = caller == BlockCaller::ReadBack ? kReadBack : kMonitorTick;
    FetchOutcome outcome;
    const auto report = [&](FetchResult result) {
        outcome.result = result;
        if (progress) {
            progress(outcome);
        }
        return outcome;
    };

    wait(clock, profile.beforeOpening);
    const device::Reply opening =
        device::transact(link, profile.openingCommand, {}, kShortFrame, 1);
    if (!device::acknowledged(opening)) {
        link.linkOk = false;
        return report(FetchResult::NotAcknowledged);
    }
    report(FetchResult::Acknowledged);

    // A chunk the transfer did not deliver in full holds no data of the supply's: its cleared
    // bytes could even add up to a matching checksum, so it fails the block like a bad checksum.
    // The remaining chunks are still read so the supply ends its block as usual.
    StatusBlockBytes block{};
    bool everyChunkDelivered = true;
    for (std::size_t chunk = 0; chunk < kChunkCount; ++chunk) {
        wait(clock, chunk == 0 ? profile.beforeFirstChunk : profile.beforeLaterChunks);
        const device::Reply reply =
            device::transact(link, device::command::kChunkRead, {}, kShortFrame, kChunkSize);
        everyChunkDelivered = everyChunkDelivered && reply.complete();
        std::copy_n(reply.bytes.begin(), kChunkSize, block.begin() + chunk * kChunkSize);
    }

    if (!everyChunkDelivered || !checksumMatches(block)) {
        link.linkOk = false;
        return report(FetchResult::BadBlock);
    }
    link.linkOk = true;
    outcome.bytes = block;
    return report(FetchResult::Good);
}

} // namespace brenvik::monitor
