// The adapter library as the program meets it: the one conformance table against the virtual
// bridge (conforming, and playing the faults no real library shows), the check of a library's
// names before it is used, and a bridge held by another process.

#include "cli/commands.h"
#include "device/library_check.h"
#include "serial_engine/serial_engine.h"
#include "serial_engine/virtual_bridge_bus.h"
#include "tests/support/fake_clock.h"
#include "tests/support/temp_folder.h"
#include "virtual_supply/conformance.h"
#include "virtual_supply/virtual_bridge.h"

#include <atomic>
#include <gtest/gtest.h>
#include <sstream>

namespace brenvik {
namespace {

using vsupply::DeviceEntry;
using vsupply::conformance::Verdict;

// "<n> ok, <n> skipped", then every row that differs.
std::vector<std::string> summary(device::AdapterLibrary& library) {
    int ok = 0;
    int skipped = 0;
    std::vector<std::string> lines{""};
    for (const auto& result : vsupply::conformance::run(library)) {
        ok += result.verdict == Verdict::Ok;
        skipped += result.verdict == Verdict::Skipped;
        if (result.verdict == Verdict::Differs) {
            lines.push_back(vsupply::conformance::line(result));
        }
    }
    lines[0] = std::to_string(ok) + " ok, " + std::to_string(skipped) + " skipped";
    return lines;
}

// The stand-in library, and the serial engine over the same bridges played by decoders. The
// engine never writes past the name buffer as the vendor's library does, and the decoder's high
// input line reads high, pulled up as on the bridge.
TEST(Conformance, TheVirtualBridgeAndTheSerialEngineAnswerEveryRowAsTheVendorLibrary) {
    const std::string pastTheName =
        "differs: 21 describe (name size equal to the name): expected 0, zero written one byte "
        "past the size, got 0, no zero past the size";
    const struct {
        const char* bridge;
        std::vector<DeviceEntry> devices;
        std::vector<std::string> standIn, engine;
    } cases[] = {
        {"two-channel",
         {{"USB SPI Bridge A", 0x121, 1}},
         {"50 ok, 3 skipped"},
         {"48 ok, 3 skipped", pastTheName,
          "differs: 31 get pins (after setting them low): expected 0, lines 0,0,0,0,0,0,0,0, got "
          "0, lines 1,0,0,0,0,0,0,0"}},
        {"four-channel, channels C and D unlisted",
         {{"Quad C", 1, 2}, {"Quad A", 2, 2}, {"Quad D", 3, 2}},
         {"48 ok, 5 skipped"},
         {"47 ok, 5 skipped", pastTheName}},
        {"none", {}, {"6 ok, 47 skipped"}, {"6 ok, 47 skipped"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bridge);
        vsupply::VirtualBridge bridge(c.devices);
        EXPECT_EQ(summary(bridge), c.standIn);
        vsupply::VirtualBridge played(c.devices);
        engine::VirtualBridgeBus bus(played);
        testing::FakeClock clock;
        engine::SerialEngine engine(bus, clock);
        EXPECT_EQ(summary(engine), c.engine);
    }
}

// What a real library never does stays playable, and the table tells it apart.
TEST(Conformance, FaultsNoRealLibraryShowsAreTold) {
    const auto transfers = [](const std::string& count) {
        return std::vector<std::string>{
            "47 ok, 3 skipped",
            "differs: 33 transfer (8 read bits, active states set): expected 0, count 1, active "
            "states 0,0,0,0,0,0,0,0, got 0, " +
                count + ", active states 0,0,0,0,0,0,0,0",
            "differs: 33 transfer (12 read bits): expected 0, count 2, got 0, " + count,
            "differs: 33 transfer (160 read bits): expected 0, count 20, got 0, " + count};
    };
    const struct {
        const char* fault;
        void (*play)(vsupply::BridgeFaults&);
        std::vector<std::string> summary;
    } cases[] = {
        {"partial count", [](vsupply::BridgeFaults& f) { f.shortTransfers[0x0A] = 0; },
         transfers("count 0")},
        {"count untouched", [](vsupply::BridgeFaults& f) { f.countUntouched = true; },
         transfers("count untouched")},
        {"invented code",
         [](vsupply::BridgeFaults& f) {
             f.failingCalls = {{28, 0, 6}};
         },
         {"49 ok, 3 skipped", "differs: 28 get latency: expected 0, 16 ms, got 6, 0 ms"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fault);
        vsupply::VirtualBridge bridge;
        c.play(bridge.faults());
        EXPECT_EQ(summary(bridge), c.summary);
    }
}

// A library exporting the vendor's names of the ordinals the program calls, each at its ordinal
// plus `shift` and an address of its own.
device::ExportTable vendorExports(std::uint32_t shift = 0) {
    std::istringstream names(
        "5 SPI_Close 6 SPI_InitDevice 8 SPI_SetClock 9 SPI_SetLoopback 18 SPI_GetDllVersion "
        "20 SPI_GetNumHiSpeedDevices 21 SPI_GetHiSpeedDeviceNameLocIDChannel "
        "22 SPI_OpenHiSpeedDevice 23 SPI_GetHiSpeedDeviceType "
        "25 SPI_TurnOnDivideByFiveClockingHiSpeedDevice "
        "26 SPI_TurnOffDivideByFiveClockingHiSpeedDevice 27 SPI_SetDeviceLatencyTimer "
        "28 SPI_GetDeviceLatencyTimer 29 SPI_GetHiSpeedDeviceClock 30 SPI_SetHiSpeedDeviceGPIOs "
        "31 SPI_GetHiSpeedDeviceGPIOs 33 SPI_ReadHiSpeedDevice");
    device::ExportTable table;
    std::uint32_t ordinal = 0;
    for (std::string name; names >> ordinal >> name;) {
        table.addressByOrdinal[ordinal + shift] = 0x1000 + ordinal;
        table.ordinalByName[name] = ordinal + shift;
    }
    return table;
}

TEST(LibraryCheck, EachCalledOrdinalMustCarryItsVendorName) {
    using Mismatch = std::optional<device::ExportMismatch>;
    const struct {
        const char* library;
        std::function<void(device::ExportTable&)> change;
        Mismatch expected;
    } cases[] = {
        {"the vendor's", [](device::ExportTable&) {}, std::nullopt},
        {"without names", [](device::ExportTable& t) { t.ordinalByName.clear(); }, std::nullopt},
        {"the transfer's name on a second ordinal of the same function",
         [](device::ExportTable& t) {
             t.addressByOrdinal[40] = t.addressByOrdinal[33];
             t.ordinalByName["SPI_ReadHiSpeedDevice"] = 40;
         },
         std::nullopt},
        {"names one ordinal up", [](device::ExportTable& t) { t = vendorExports(1); },
         device::ExportMismatch{5, "SPI_Close", ""}},
        {"the write where the read should be",
         [](device::ExportTable& t) {
             t.addressByOrdinal[32] = 0x2000;
             t.ordinalByName["SPI_ReadHiSpeedDevice"] = 32;
             t.ordinalByName["SPI_WriteHiSpeedDevice"] = 33;
         },
         device::ExportMismatch{33, "SPI_ReadHiSpeedDevice", "SPI_WriteHiSpeedDevice"}},
        {"a first version, without the high-speed calls",
         [](device::ExportTable& t) {
             std::erase_if(t.addressByOrdinal, [](const auto& e) { return e.first >= 20; });
             std::erase_if(t.ordinalByName, [](const auto& e) { return e.second >= 20; });
         },
         device::ExportMismatch{20, "SPI_GetNumHiSpeedDevices", ""}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.library);
        device::ExportTable table = vendorExports();
        c.change(table);
        EXPECT_EQ(device::checkExports(table), c.expected);
    }
    EXPECT_EQ(device::describeMismatch("C:\\Tools\\FTCSPI.dll",
                                       {33, "SPI_ReadHiSpeedDevice", "SPI_WriteHiSpeedDevice"}),
              "C:\\Tools\\FTCSPI.dll: ordinal 33 carries the name SPI_WriteHiSpeedDevice instead "
              "of SPI_ReadHiSpeedDevice; the adapter library is not used");
}

// The lock files stand for the processes: each bridge takes its locks through its own open files,
// as another process would. A channel another process holds is listed at location 0, refused,
// and `brenvik status` says so, until it is closed; a library that is refused is never called.
TEST(BridgeLocks, AChannelAnotherProcessHoldsIsListedAtLocationZeroAndRefusedUntilClosed) {
    const testing::TempFolder folder("brenvik-bridge-locks");
    vsupply::VirtualBridge window;
    vsupply::VirtualBridge other;
    window.shareWith(vsupply::lockFiles(folder.path));
    other.shareWith(vsupply::lockFiles(folder.path));
    // Opens channel "A" of the default bridge as the program does, after listing it.
    const auto open = [](vsupply::VirtualBridge& bridge, device::FtcHandle& handle) {
        char name[101] = {};
        char channel[5] = {};
        std::uint32_t location = 7;
        std::uint32_t type = 0;
        bridge.getHiSpeedDeviceNameLocIdChannel(0, name, 100, &location, channel, 5, &type);
        char a[] = "A";
        return std::pair(location, bridge.openHiSpeedDevice("USB SPI Bridge A", 0x121, a, &handle));
    };
    class Refused final : public vsupply::VirtualBridge {
    public:
        std::string refusal() const override { return "FTCSPI.dll: ordinal 5 carries no name"; }
    };
    auto refused = std::make_unique<Refused>();
    std::vector<std::string> calls;
    refused->setTrace([&](std::string_view call) { calls.emplace_back(call); });
    const auto run = [&](std::vector<std::string> args, auto installed) {
        std::ostringstream out;
        std::istringstream in;
        testing::FakeClock clock;
        testing::FakeTimer time{clock};
        const std::atomic<bool> interrupted{false};
        cli::Console console{
            out,         out,       in,
            clock,       time,      interrupted,
            [](bool) {}, installed, {std::nullopt, std::nullopt, std::nullopt, folder.path}};
        const int code = cli::runCommandLine(args, console);
        return std::to_string(code) + " " + out.str().substr(0, out.str().find('\n'));
    };
    const auto none = [] { return std::unique_ptr<device::AdapterLibrary>(); };

    device::FtcHandle held = 0;
    device::FtcHandle refusedHandle = 0;
    EXPECT_EQ(open(window, held), std::pair(0x121u, 0u));
    EXPECT_EQ(open(other, refusedHandle), std::pair(0u, 27u));
    EXPECT_EQ(run({"status"}, [&] { return std::move(refused); }),
              "1 brenvik: FTCSPI.dll: ordinal 5 carries no name");
    EXPECT_EQ(calls, std::vector<std::string>{});
    EXPECT_EQ(run({"--virtual", "status"}, none),
              "1 brenvik: no device: the bridge is in use by another program");
    ASSERT_EQ(window.closeDevice(held), 0u);
    EXPECT_EQ(run({"--virtual", "status"}, none).substr(0, 2), "0 ");
    EXPECT_EQ(open(other, refusedHandle), std::pair(0x121u, 0u));
}

} // namespace
} // namespace brenvik
