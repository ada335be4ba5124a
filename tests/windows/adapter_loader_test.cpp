#include "device/commands.h"
#include "device/ftcspi_library_win32.h"
#include "device/transaction.h"

#include <array>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <numeric>
#include <sstream>
#include <string>
#include <vector>

namespace brenvik::device {
namespace {

constexpr std::array<std::uint32_t, 17> kOrdinals{5,  6,  8,  9,  18, 20, 21, 22, 23,
                                                  25, 26, 27, 28, 29, 30, 31, 33};

// Finds the first channel "A" and opens it; the handle goes into the link.
void openChannelA(FtcspiLibrary& library, DeviceLink& link, std::uint32_t expectedCount) {
    std::uint32_t count = 0;
    ASSERT_EQ(library.getNumHiSpeedDevices(&count), kStatusSuccess);
    ASSERT_EQ(count, expectedCount);
    for (std::uint32_t index = 0; index < count; ++index) {
        char name[100] = {};
        char channel[5] = {};
        std::uint32_t location = 0;
        std::uint32_t type = 0;
        ASSERT_EQ(library.getHiSpeedDeviceNameLocIdChannel(index, name, sizeof name, &location,
                                                           channel, sizeof channel, &type),
                  kStatusSuccess);
        if (std::string(channel) == "A") {
            FtcHandle handle = 0;
            ASSERT_EQ(library.openHiSpeedDevice(name, location, channel, &handle), kStatusSuccess);
            link.handle = handle;
            link.startCondition = {0, 0, 1, 0};
            return;
        }
    }
    FAIL() << "no channel A";
}

std::vector<std::uint8_t> fetchBlock(DeviceLink& link, std::uint8_t opening) {
    EXPECT_TRUE(acknowledged(transact(link, opening, {}, 2, 1)));
    std::vector<std::uint8_t> block;
    for (int chunk = 0; chunk < 4; ++chunk) {
        const Reply reply = transact(link, command::kChunkRead, {}, 2, 12);
        EXPECT_TRUE(reply.complete());
        block.insert(block.end(), reply.bytes.begin(), reply.bytes.end());
    }
    return block;
}

bool checksumMatches(const std::vector<std::uint8_t>& block) {
    return static_cast<std::uint8_t>(std::accumulate(block.begin(), block.begin() + 46, 0u)) ==
           block[47];
}

std::string fileText(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeFile(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::trunc) << text;
}

TEST(Loader, ResolvesEveryOrdinalOfTheStandIn) {
    FtcspiLibrary library;
    ASSERT_TRUE(library.loaded());
    for (const auto ordinal : kOrdinals) {
        EXPECT_TRUE(library.resolved(ordinal)) << ordinal;
    }
    for (const std::uint32_t absent : {1u, 7u, 19u, 32u}) {
        EXPECT_FALSE(library.resolved(absent)) << absent;
    }
}

TEST(Loader, InitialisesAndRoundTripsTransactions) {
    FtcspiLibrary library;
    DeviceLink link(library);
    char version[10] = {};
    EXPECT_EQ(library.getDllVersion(version, sizeof version), kStatusSuccess);
    openChannelA(library, link, 1);
    const FtcHandle h = *link.handle;
    std::uint32_t value = 0;
    std::uint8_t latency = 0;
    EXPECT_EQ(library.getHiSpeedDeviceType(h, &value), kStatusSuccess);
    EXPECT_EQ(library.initDevice(h, 299), kStatusSuccess);
    EXPECT_EQ(library.getDeviceLatencyTimer(h, &latency), kStatusSuccess);
    EXPECT_EQ(library.setDeviceLatencyTimer(h, 50), kStatusSuccess);
    EXPECT_EQ(library.getDeviceLatencyTimer(h, &latency), kStatusSuccess);
    EXPECT_EQ(latency, 50);
    EXPECT_EQ(library.getHiSpeedDeviceClock(0, &value), kStatusSuccess);
    EXPECT_EQ(library.turnOnDivideByFiveClock(h), kStatusSuccess);
    EXPECT_EQ(library.setClock(h, 299, &value), kStatusSuccess);
    EXPECT_EQ(library.turnOffDivideByFiveClock(h), kStatusSuccess);
    EXPECT_EQ(library.setLoopback(h, 0), kStatusSuccess);
    LowPinStates low{};
    HighPinSettings high{};
    for (auto& pin : high.pins) {
        pin = {1, 0};
    }
    EXPECT_EQ(library.setHiSpeedDeviceGpios(h, &low, &high), kStatusSuccess);
    HighPinStates states{};
    EXPECT_EQ(library.getHiSpeedDeviceGpios(h, &states), kStatusSuccess);

    const auto block = fetchBlock(link, command::kMonitorOpen);
    EXPECT_TRUE(checksumMatches(block));
    EXPECT_EQ(block[41], 1); // the default supply is a model 1

    const Frame request = settingsWriteRequest({3, 2, 1, 0, 0, 0, 1});
    EXPECT_TRUE(replyPasses(request, send(link, request)));
    const Frame confirm = settingsWriteConfirm({3, 2, 1, 0, 0, 0, 1});
    EXPECT_TRUE(replyPasses(confirm, send(link, confirm)));

    EXPECT_EQ(library.closeDevice(h), kStatusSuccess);
    EXPECT_FALSE(acknowledged(transact(link, command::kMonitorOpen, {}, 2, 1)));
    EXPECT_NE(link.adapterStatus, kStatusSuccess);
}

// These run with the scenario, state and trace files named in the environment by the test
// entry; each test loads the library afresh, as a new program run would.
class Scenario : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::remove(folder / "state.txt");
        std::filesystem::remove(folder / "trace.txt");
        std::filesystem::remove(folder / "control.txt");
    }

    const std::filesystem::path folder{"../adapter-test"};
};

TEST_F(Scenario, DevicesStateAndFaultsComeFromTheFile) {
    FtcspiLibrary library;
    DeviceLink link(library);
    openChannelA(library, link, 2);
    const auto block = fetchBlock(link, command::kReadBackOpen);
    EXPECT_TRUE(checksumMatches(block));
    EXPECT_EQ(block[41], 2);
    EXPECT_EQ(block[42], 15);
    EXPECT_EQ(block[0] + 256 * block[1], 10000);
    EXPECT_FALSE(acknowledged(transact(link, command::kBatteryResetRequest, {}, 2, 1)));
    EXPECT_TRUE(acknowledged(transact(link, command::kFaultResetRequest, {}, 2, 1)));
}

TEST_F(Scenario, TraceHasOneLinePerCall) {
    {
        FtcspiLibrary library;
        DeviceLink link(library);
        openChannelA(library, link, 2);
        transact(link, command::kMonitorOpen, {}, 2, 1);
    }
    const std::string trace = fileText(folder / "trace.txt");
    EXPECT_NE(trace.find("call ord=20 count count=2 status=0\n"), std::string::npos) << trace;
    EXPECT_NE(trace.find("call ord=21 describe index=1 name=\"Test Bridge A\""), std::string::npos);
    EXPECT_NE(trace.find(" frame=0a55 reply=55 delivered=1/1 status=0\n"), std::string::npos)
        << trace;
}

TEST_F(Scenario, ControlFileUnplugsAndPlugsBackWhileRunning) {
    FtcspiLibrary library;
    DeviceLink link(library);
    openChannelA(library, link, 2);
    EXPECT_TRUE(acknowledged(transact(link, command::kMonitorOpen, {}, 2, 1)));
    writeFile(folder / "control.txt", "plugged = no\n");
    const Reply gone = transact(link, command::kMonitorOpen, {}, 2, 1);
    EXPECT_EQ(gone.delivered, 0u);
    EXPECT_FALSE(acknowledged(gone));
    writeFile(folder / "control.txt", "plugged = yes\nno_ack = 10\n");
    EXPECT_FALSE(acknowledged(transact(link, command::kMonitorOpen, {}, 2, 1)));
    EXPECT_TRUE(acknowledged(transact(link, command::kReadBackOpen, {}, 2, 1)));
}

TEST_F(Scenario, StoredValuesSurviveARestart) {
    {
        FtcspiLibrary library;
        DeviceLink link(library);
        openChannelA(library, link, 2);
        const Frame request = installDateRequest(dateBytes(7, 18, 2011));
        ASSERT_TRUE(replyPasses(request, send(link, request)));
        const Frame confirm = installDateConfirm(dateBytes(7, 18, 2011));
        ASSERT_TRUE(replyPasses(confirm, send(link, confirm)));
    }
    EXPECT_NE(fileText(folder / "state.txt").find("install_date = 7/18/2011"), std::string::npos);

    FtcspiLibrary library;
    DeviceLink link(library);
    openChannelA(library, link, 2);
    const auto block = fetchBlock(link, command::kReadBackOpen);
    EXPECT_EQ(std::vector<std::uint8_t>(block.begin() + 43, block.begin() + 47),
              (std::vector<std::uint8_t>{7, 18, 20, 11}));
}

} // namespace
} // namespace brenvik::device
