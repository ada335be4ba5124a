#include "monitor/block_fetch.h"
#include "tests/support/fake_clock.h"
#include "tests/support/fake_window.h"
#include "tests/support/operator_texts.h"
#include "virtual_supply/virtual_bridge.h"

#include <chrono>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace brenvik::monitor {
namespace {

namespace text = testing::text;
using namespace std::chrono_literals;
using Commands = std::vector<std::uint8_t>;
using Texts = std::vector<std::string>;

// A monitor tick's block against each way a block can fail: no acknowledgement (no chunk is read
// then), a bad checksum, one chunk the bridge did not deliver, and all four undelivered, whose
// zeros would add up to a matching checksum. The read-back's own waits and texts are checked
// with the read-back.
TEST(BlockFetch, OnlyAnAcknowledgedCompleteBlockWithItsChecksumPasses) {
    enum class Fault { None, Unacknowledged, BadChecksum, OneChunkLost, AllChunksLost };
    for (const Fault fault : {Fault::None, Fault::Unacknowledged, Fault::BadChecksum,
                              Fault::OneChunkLost, Fault::AllChunksLost}) {
        SCOPED_TRACE(::testing::Message() << "fault " << static_cast<int>(fault));
        vsupply::VirtualLink rig;
        testing::FakeWindow window;
        testing::FakeClock clock;
        auto& lost = rig.bridge.faults().failingCalls;
        if (fault == Fault::Unacknowledged) {
            rig.bridge.supply().faults().unacknowledged = {10};
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

        const auto block = fetchStatusBlock(window, clock, rig.link, BlockCaller::MonitorTick);

        EXPECT_EQ(block.has_value(), fault == Fault::None);
        EXPECT_EQ(rig.link.linkOk, fault == Fault::None);
        EXPECT_EQ(rig.bridge.commandsSent(),
                  (fault == Fault::Unacknowledged ? Commands{10} : Commands{10, 4, 4, 4, 4}));
        if (fault == Fault::None) {
            const auto expected = vsupply::statusBlock(rig.bridge.supply().state());
            EXPECT_TRUE(std::equal(block->begin(), block->end(), expected.begin()));
            EXPECT_EQ(clock.waits, (std::vector{100ms, 100ms, 100ms, 100ms}));
            EXPECT_EQ(window.statusHistory, (Texts{text::kReading, text::kReadSuccess}));
        } else {
            EXPECT_EQ(window.statusText(), text::kCommErrorStop);
        }
    }
}

} // namespace
} // namespace brenvik::monitor
