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

using std::chrono::milliseconds;
using Waits = std::vector<milliseconds>;
using Commands = std::vector<std::uint8_t>;
using Texts = std::vector<std::string>;

const Waits kReadBackWaits{milliseconds(1000), milliseconds(1000), milliseconds(100),
                           milliseconds(100), milliseconds(100)};
const Waits kTickWaits{milliseconds(100), milliseconds(100), milliseconds(100), milliseconds(100)};

class BlockFetch : public ::testing::Test {
protected:
    BlockFetch() {
        auto& state = virtualLink.bridge.supply().state();
        state.settings = {30, 15, 2, 9, 8, 7, 1};
        state.powerUpHours = 10000;
        state.modelCode = 2;
        state.firmwareTenths = 23;
    }

    std::optional<StatusBlockBytes> fetch(BlockCaller caller) {
        return fetchStatusBlock(window, clock, virtualLink.link, caller);
    }

    vsupply::VirtualSupply& supply() { return virtualLink.bridge.supply(); }
    const Commands& commands() const { return virtualLink.bridge.commandsSent(); }

    vsupply::VirtualLink virtualLink;
    testing::FakeWindow window;
    testing::FakeClock clock;
};

TEST_F(BlockFetch, ReadBackOpensWithCommand3AndShowsNothingForAGoodBlock) {
    virtualLink.link.linkOk = false;
    const auto block = fetch(BlockCaller::ReadBack);
    ASSERT_TRUE(block.has_value());
    const auto expected = vsupply::statusBlock(supply().state());
    EXPECT_TRUE(std::equal(block->begin(), block->end(), expected.begin()));
    EXPECT_EQ(commands(), (Commands{3, 4, 4, 4, 4}));
    EXPECT_EQ(clock.waits, kReadBackWaits);
    EXPECT_EQ(window.statusHistory, Texts{std::string(status::kReadingStatus)});
    EXPECT_TRUE(virtualLink.link.linkOk);
}

TEST_F(BlockFetch, MonitorTickOpensWithCommand10AndReportsSuccess) {
    virtualLink.link.linkOk = false;
    ASSERT_TRUE(fetch(BlockCaller::MonitorTick).has_value());
    EXPECT_EQ(commands(), (Commands{10, 4, 4, 4, 4}));
    EXPECT_EQ(clock.waits, kTickWaits);
    EXPECT_EQ(window.statusHistory, (Texts{std::string(status::kReadingStatus),
                                           std::string(status::kReadStatusSuccess)}));
    EXPECT_TRUE(virtualLink.link.linkOk);
}

TEST_F(BlockFetch, MissingAcknowledgementReadsNoChunk) {
    for (const auto& [caller, code, waits] :
         {std::tuple{BlockCaller::ReadBack, std::uint8_t{3}, Waits{milliseconds(1000)}},
          std::tuple{BlockCaller::MonitorTick, std::uint8_t{10}, Waits{}}}) {
        vsupply::VirtualLink fresh;
        fresh.bridge.supply().faults().unacknowledged = {code};
        testing::FakeWindow w;
        testing::FakeClock c;
        EXPECT_FALSE(fetchStatusBlock(w, c, fresh.link, caller).has_value());
        EXPECT_EQ(fresh.bridge.commandsSent(), Commands{code});
        EXPECT_EQ(c.waits, waits);
        EXPECT_EQ(w.statusHistory, Texts{std::string(status::kCommErrorStop)});
        EXPECT_FALSE(fresh.link.linkOk);
    }
}

TEST_F(BlockFetch, BadChecksumFailsWithEachCallersText) {
    supply().faults().badBlockChecksum = true;
    EXPECT_FALSE(fetch(BlockCaller::ReadBack).has_value());
    EXPECT_EQ(commands(), (Commands{3, 4, 4, 4, 4}));
    EXPECT_EQ(window.statusText(), status::kCommErrorBang);
    EXPECT_FALSE(virtualLink.link.linkOk);

    virtualLink.link.linkOk = true;
    EXPECT_FALSE(fetch(BlockCaller::MonitorTick).has_value());
    EXPECT_EQ(window.statusText(), status::kCommErrorStop);
    EXPECT_FALSE(virtualLink.link.linkOk);
}

// Chunks the bridge failed to deliver arrive as zeros, and four of them add up to a matching
// checksum: the block must fail all the same.
TEST_F(BlockFetch, UndeliveredChunksFailTheBlockEvenWhenTheChecksumWouldMatch) {
    for (std::uint32_t transfer = 2; transfer <= 5; ++transfer) {
        virtualLink.bridge.faults().failingCalls.push_back({vsupply::ordinal::kTransfer, transfer});
    }
    EXPECT_FALSE(fetch(BlockCaller::MonitorTick).has_value());
    EXPECT_EQ(commands(), (Commands{10, 4, 4, 4, 4})) << "every chunk is still read once";
    EXPECT_EQ(window.statusText(), status::kCommErrorStop);
    EXPECT_FALSE(virtualLink.link.linkOk);
}

TEST_F(BlockFetch, OneUndeliveredChunkFailsTheReadBackWithItsText) {
    virtualLink.bridge.faults().failingCalls.push_back({vsupply::ordinal::kTransfer, 3});
    EXPECT_FALSE(fetch(BlockCaller::ReadBack).has_value());
    EXPECT_EQ(window.statusText(), status::kCommErrorBang);
    EXPECT_FALSE(virtualLink.link.linkOk);
}

} // namespace
} // namespace brenvik::monitor
