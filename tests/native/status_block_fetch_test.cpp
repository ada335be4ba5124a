#include "monitor/block_fetch.h"
#include "shell/status_texts.h"
#include "tests/support/fake_clock.h"
#include "tests/support/fake_window.h"
#include "virtual_supply/virtual_bridge.h"

#include <chrono>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace brenvik::monitor {
namespace {

using namespace std::chrono_literals;
using Waits = std::vector<std::chrono::milliseconds>;
using Commands = std::vector<std::uint8_t>;
using Texts = std::vector<std::string>;

Texts texts(std::initializer_list<std::string_view> list) {
    return {list.begin(), list.end()};
}

// Each caller with its opening command, waits and texts, against each way a block can fail: no
// acknowledgement (no chunk is read then), a bad checksum, one chunk the bridge did not deliver,
// and all four undelivered, whose zeros would add up to a matching checksum.
TEST(BlockFetch, EachCallerWithItsOpeningWaitsTextsAndFailures) {
    struct Row {
        BlockCaller caller;
        std::uint8_t opening;
        Waits waits;
        Texts passTexts;
        std::string_view blockFail;
        Waits unacknowledgedWaits;
    };
    const Row rows[] = {
        {BlockCaller::ReadBack,
         3,
         {1000ms, 1000ms, 100ms, 100ms, 100ms},
         texts({status::kReadingStatus}),
         status::kCommErrorBang,
         {1000ms}},
        {BlockCaller::MonitorTick,
         10,
         {100ms, 100ms, 100ms, 100ms},
         texts({status::kReadingStatus, status::kReadStatusSuccess}),
         status::kCommErrorStop,
         {}},
    };
    enum class Fault { None, Unacknowledged, BadChecksum, OneChunkLost, AllChunksLost };
    for (const Row& row : rows) {
        for (const Fault fault : {Fault::None, Fault::Unacknowledged, Fault::BadChecksum,
                                  Fault::OneChunkLost, Fault::AllChunksLost}) {
            SCOPED_TRACE(::testing::Message() << "opening " << int{row.opening} << ", fault "
                                              << static_cast<int>(fault));
            vsupply::VirtualLink rig;
            testing::FakeWindow window;
            testing::FakeClock clock;
            auto& lost = rig.bridge.faults().failingCalls;
            if (fault == Fault::Unacknowledged) {
                rig.bridge.supply().faults().unacknowledged = {row.opening};
            } else if (fault == Fault::BadChecksum) {
                rig.bridge.supply().faults().badBlockChecksum = true;
            } else if (fault == Fault::OneChunkLost) {
                lost = {{vsupply::ordinal::kTransfer, 3}};
            } else if (fault == Fault::AllChunksLost) {
                lost = {{vsupply::ordinal::kTransfer, 2},
                        {vsupply::ordinal::kTransfer, 3},
                        {vsupply::ordinal::kTransfer, 4},
                        {vsupply::ordinal::kTransfer, 5}};
            }
            rig.link.linkOk = fault != Fault::None;

            const auto block = fetchStatusBlock(window, clock, rig.link, row.caller);

            EXPECT_EQ(block.has_value(), fault == Fault::None);
            EXPECT_EQ(rig.link.linkOk, fault == Fault::None);
            EXPECT_EQ(rig.bridge.commandsSent(),
                      (fault == Fault::Unacknowledged ? Commands{row.opening}
                                                      : Commands{row.opening, 4, 4, 4, 4}));
            if (fault == Fault::None) {
                const auto expected = vsupply::statusBlock(rig.bridge.supply().state());
                EXPECT_TRUE(std::equal(block->begin(), block->end(), expected.begin()));
                EXPECT_EQ(clock.waits, row.waits);
                EXPECT_EQ(window.statusHistory, row.passTexts);
            } else if (fault == Fault::Unacknowledged) {
                EXPECT_EQ(clock.waits, row.unacknowledgedWaits);
                EXPECT_EQ(window.statusHistory, texts({status::kCommErrorStop}));
            } else {
                EXPECT_EQ(window.statusText(), row.blockFail);
            }
        }
    }
}

} // namespace
} // namespace brenvik::monitor
