// The ordinal loader with the stand-in FTCSPI.dll beside it, run with the scenario, state and
// trace files the test entry names in the environment, written and read here as a test outside
// the program would; each load of the library is a new run of the virtual supply.

#include "device/commands.h"
#include "device/ftcspi_library_win32.h"
#include "device/transaction.h"
#include "monitor/status_block.h"
#include "tests/windows/support/program_driver.h"

#include <fstream>
#include <gtest/gtest.h>

namespace brenvik::device {
namespace {

using Bytes = std::vector<std::uint8_t>;
const std::filesystem::path kFolder{"../adapter-test"};

// Opens the last listed device, which the scenario makes channel "A".
void openLastDevice(FtcspiLibrary& library, DeviceLink& link) {
    std::uint32_t count = 0;
    std::uint32_t location = 0;
    std::uint32_t type = 0;
    char name[100] = {};
    char channel[5] = {};
    ASSERT_EQ(library.getNumHiSpeedDevices(&count), kStatusSuccess);
    ASSERT_EQ(library.getHiSpeedDeviceNameLocIdChannel(count - 1, name, sizeof name, &location,
                                                       channel, sizeof channel, &type),
              kStatusSuccess);
    ASSERT_STREQ(channel, "A");
    FtcHandle handle = 0;
    ASSERT_EQ(library.openHiSpeedDevice(name, location, channel, &handle), kStatusSuccess);
    link.handle = handle;
    link.startCondition = {0, 0, 1, 0};
}

// The opening command 3 and the four chunks of a block, which must pass the program's check.
Bytes fetchBlock(DeviceLink& link) {
    EXPECT_TRUE(acknowledged(transact(link, command::kReadBackOpen, {}, 2, 1)));
    Bytes block;
    for (int chunk = 0; chunk < 4; ++chunk) {
        const Reply reply = transact(link, command::kChunkRead, {}, 2, 12);
        EXPECT_TRUE(reply.complete());
        block.insert(block.end(), reply.bytes.begin(), reply.bytes.end());
    }
    EXPECT_TRUE(monitor::checksumMatches(monitor::StatusBlockView(block.data(), block.size())));
    return block;
}

// Every call goes through these ordinals when the program connects, which the tests of the whole
// program do with this library.
TEST(Loader, ResolvesEveryOrdinalOfTheStandIn) {
    FtcspiLibrary library;
    ASSERT_TRUE(library.loaded());
    for (const std::uint32_t ordinal :
         {5u, 6u, 8u, 9u, 18u, 20u, 21u, 22u, 23u, 25u, 26u, 27u, 28u, 29u, 30u, 31u, 33u}) {
        EXPECT_TRUE(library.resolved(ordinal)) << ordinal;
    }
    for (const std::uint32_t absent : {1u, 7u, 19u, 32u}) {
        EXPECT_FALSE(library.resolved(absent)) << absent;
    }
}

TEST(Scenario, FilesDriveTheStandInFromOutsideTheProgram) {
    for (const char* file : {"state.txt", "trace.txt", "control.txt"}) {
        std::filesystem::remove(kFolder / file);
    }
    const DateBytes date = dateBytes(7, 18, 2011);
    {
        FtcspiLibrary library;
        DeviceLink link(library);
        openLastDevice(library, link);
        const Bytes block = fetchBlock(link);
        EXPECT_EQ(Bytes(block.begin() + 41, block.begin() + 43), (Bytes{2, 15})); // model, firmware
        EXPECT_EQ(block[0] + 256 * block[1], 10000);
        EXPECT_FALSE(acknowledged(transact(link, command::kBatteryResetRequest, {}, 2, 1)));
        for (const Frame& frame : {installDateRequest(date), installDateConfirm(date)}) {
            ASSERT_TRUE(replyPasses(frame, send(link, frame))) << int{frame.code()};
        }

        std::ofstream(kFolder / "control.txt", std::ios::trunc) << "plugged = no\n";
        EXPECT_EQ(transact(link, command::kMonitorOpen, {}, 2, 1).delivered, 0u);
        std::ofstream(kFolder / "control.txt", std::ios::trunc) << "plugged = yes\nno_ack = 10\n";
        EXPECT_FALSE(acknowledged(transact(link, command::kMonitorOpen, {}, 2, 1)));
        EXPECT_TRUE(acknowledged(transact(link, command::kReadBackOpen, {}, 2, 1)));
    }
    const std::string trace = wintest::fileBytes(kFolder / "trace.txt");
    EXPECT_NE(trace.find("call ord=20 count count=2 status=0\n"), std::string::npos) << trace;
    EXPECT_NE(trace.find("call ord=21 describe index=1 sizes=100/5 name=\"Test Bridge A\""),
              std::string::npos);
    EXPECT_NE(trace.find(" frame=0a55 reply= delivered=0/1 status=4\n"), std::string::npos);
    EXPECT_NE(wintest::fileBytes(kFolder / "state.txt").find("install_date = 7/18/2011"),
              std::string::npos);

    FtcspiLibrary library;
    DeviceLink link(library);
    openLastDevice(library, link);
    const Bytes block = fetchBlock(link);
    EXPECT_EQ(Bytes(block.begin() + 43, block.begin() + 47), Bytes(date.begin(), date.end()));
}

} // namespace
} // namespace brenvik::device
