#include "operations/connection.h"
#include "operations/panel.h"
#include "res/resource.h"
#include "tests/support/operator_texts.h"
#include "tests/support/temp_folder.h"
#include "tests/support/window_rig.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace brenvik::device {
namespace {

namespace text = testing::text;
namespace fs = std::filesystem;
namespace ord = vsupply::ordinal;
using namespace std::chrono_literals;
using operations::connectDevice;
using Calls = std::vector<std::uint32_t>;
using Texts = std::vector<std::string>;
// What the operator sees of the entries: AC fault hours, the ticked boxes, the selector's items
// and selection, and whether APPLY is enabled.
using Entries = std::tuple<std::string, std::set<int>, Texts, int, bool>;

// The boxes of a file written by writeConfigurationFile, as the configuration reader shows it.
const std::set<int> kFileBoxes{IDC_CHK_AC_FAULT_DELAY, IDC_CHK_RESET_FAULT_COUNTS};

// Channel "A" is listed third, ahead of another one; channel "C" is never listed. The bridge
// opens a device only by its own name and location, so a Connect Device that succeeds has
// opened the one described last.
const std::vector<vsupply::DeviceEntry> kDevices{
    {"Bridge B", 1}, {"Bridge C", 2}, {"Second B", 5}, {"Bridge A", 3}, {"Other A", 4}};

// A configuration file with AC fault hours acHours, selection 2 and option boxes 1001 and 1031
// ticked; the reader takes the keys left out as 0.
void writeConfigurationFile(const fs::path& file, int acHours) {
    std::ofstream(file) << "[SystemParameter]\nAcFltDelayHr=" << acHours
                        << "\nICharge=2\nbAcFltDelay=1\nbResetFaultCounts=1\n";
}

// The main window as it starts, with its working file in a folder of its own, on a bridge whose
// model-1 supply holds distinctive values.
struct Rig : testing::WindowRig {
    Rig() : WindowRig(kDevices) {
        files = {directory / "Brenvik.ini", directory / "Brenvik.ini"};
        writeConfigurationFile(files.working, 11);
        window.setComboItems(IDC_CMB_CHARGE_CURRENT, text::kDefaultItems);
        face.showPanel(model);
        bridge.supply().state().settings = {30, 15, 2, 9, 8, 7, 3}; // AC s/min/h, system, selection
    }

    // The operator has ticked two boxes and typed an AC fault delay.
    void operatorEntries() {
        for (int box : {IDC_CHK_AC_FAULT_DELAY, IDC_CHK_INSTALL_DATE}) {
            window.setChecked(box, true);
            operations::optionBoxClicked(face, model, *optionBoxOf(box));
        }
        window.setControlText(IDC_EDT_AC_HOURS, "5");
    }

    Entries entries() const {
        return {window.controlText(IDC_EDT_AC_HOURS), window.checked,
                window.comboItems(IDC_CMB_CHARGE_CURRENT),
                window.comboSelection(IDC_CMB_CHARGE_CURRENT), window.isEnabled(IDC_BTN_APPLY)};
    }

    testing::TempFolder directory{"brenvik-connection"};
    DeviceLink& link = state.link;
    config::ConfigurationFiles& files = state.files;
};

class Connection : public ::testing::Test, protected Rig {};

// At start-up the connect timer runs Connect Device once, between two repaints.
TEST_F(Connection, ConnectTimerOpensTheFirstChannelAInitialisesAndShowsTheSupply) {
    operatorEntries();
    window.timers = {{IDT_CONNECT, 500}, {IDT_MONITOR, 1000}};
    // The bridge's calls, the waits and the status texts on one time line.
    Texts& trace = clock.timeline;
    bridge.setTrace([&](std::string_view line) { trace.emplace_back(line); });
    window.timeline = &trace;
    operations::connectTimerStep(ctx);
    window.timeline = nullptr;

    EXPECT_EQ(window.invalidations, (std::vector<bool>{false, false}));
    EXPECT_EQ(window.timers, (std::map<int, unsigned>{{IDT_MONITOR, 1000u}}));
    // What the bridge was asked for: buffer sizes, clock divisors and the SPI clock they give
    // (100 kHz from 60 MHz at the end), latencies, loopback, pins and each transfer's start
    // condition and chip-select line.
    EXPECT_EQ(
        trace,
        (Texts{"call ord=18 dll-version size=10 status=0", "call ord=20 count count=4 status=0",
               "call ord=21 describe index=0 sizes=100/5 name=\"Bridge B\" location=1 "
               "channel=\"B\" type=1 status=0",
               "call ord=21 describe index=1 sizes=100/5 name=\"Second B\" location=5 "
               "channel=\"B\" type=1 status=0",
               "call ord=21 describe index=2 sizes=100/5 name=\"Bridge A\" location=3 "
               "channel=\"A\" type=1 status=0",
               "call ord=22 open name=\"Bridge A\" location=3 channel=\"A\" handle=4096 "
               "status=0",
               "call ord=23 device-type handle=4096 status=0",
               "call ord=6 init handle=4096 divisor=299 clock=100000 status=0",
               "call ord=28 get-latency handle=4096 status=0",
               "call ord=27 set-latency handle=4096 ms=50 status=0",
               "call ord=28 get-latency handle=4096 status=0",
               "call ord=27 set-latency handle=4096 ms=16 status=0",
               "call ord=28 get-latency handle=4096 status=0",
               "call ord=29 clock-query divisor=0 status=0",
               "call ord=25 divide-by-five-on handle=4096 clock=20000 status=0",
               "call ord=29 clock-query divisor=0 status=0",
               "call ord=8 set-clock handle=4096 divisor=299 clock=20000 status=0",
               "call ord=26 divide-by-five-off handle=4096 clock=100000 status=0",
               "call ord=8 set-clock handle=4096 divisor=299 clock=100000 status=0",
               "call ord=9 set-loopback handle=4096 on=0 status=0",
               "call ord=30 set-pins handle=4096 low=0,0,0,0,0 "
               "high=1/0,1/0,1/0,1/0,1/0,1/0,1/0,1/0 status=0",
               "wait 200", "call ord=31 get-pins handle=4096 status=0", "wait 200",
               "status " + text::kSearching, "wait 1000",
               "call ord=33 transfer handle=4096 start=0,0,1 cs-line=0 frame=0355 reply=55 "
               "delivered=1/1 status=0",
               "status " + text::kReading, "wait 1000",
               "call ord=33 transfer handle=4096 start=0,0,1 cs-line=0 frame=0455 "
               "reply=000000000000000000001e0f delivered=12/12 status=0",
               "wait 100",
               "call ord=33 transfer handle=4096 start=0,0,1 cs-line=0 frame=0455 "
               "reply=020908070380010000000000 delivered=12/12 status=0",
               "wait 100",
               "call ord=33 transfer handle=4096 start=0,0,1 cs-line=0 frame=0455 "
               "reply=000000000000000000000000 delivered=12/12 status=0",
               "wait 100",
               "call ord=33 transfer handle=4096 start=0,0,1 cs-line=0 frame=0455 "
               "reply=0000000000010a0207140af3 delivered=12/12 status=0",
               "status " + text::kConnectSuccess,
               // Every box cleared: their fields and APPLY off.
               "off 1003", "off 1005", "off 1006", "off 1007", "off 1028", "off 1029", "off 1036",
               "off 1008", "off 1009", "off 1010", "off 1037", "off 1030", "off 1038", "off 1058",
               "off 1059", "off 1060", "off 1061", "off 1062", "off 1011"}));
    EXPECT_TRUE(link.linkOk);

    EXPECT_EQ(entries(), Entries("2", {}, text::kModel1Items, 3, false));
}

// The version call, the second latency pair and the second clock query may fail: the connection
// goes on without them. Any other failing call ends it there, as does finding no channel "A"
// (whose name matches exactly) among the devices listed.
TEST_F(Connection, OnlyTheOptionalCallsMayFail) {
    const std::tuple<std::uint32_t, std::uint32_t, std::size_t> cases[] = {
        {18, 1, 27}, {28, 2, 27}, {27, 2, 27}, {29, 2, 27}, {22, 1, 6},
        {6, 1, 8},   {8, 2, 19},  {9, 1, 20},  {30, 1, 21}};
    for (const auto& [ordinal, occurrence, calls] : cases) {
        SCOPED_TRACE(::testing::Message() << "call " << ordinal << " #" << occurrence);
        Rig r;
        r.bridge.faults().failingCalls.push_back({ordinal, occurrence});
        EXPECT_EQ(connectDevice(r.ctx).connected(), calls == 27);
        EXPECT_EQ(r.bridge.calls().size(), calls);
        EXPECT_EQ(r.window.statusText(), calls == 27 ? text::kConnectSuccess : text::kSearching);
        EXPECT_EQ(r.link.linkOk, calls == 27);
    }
    bridge.devices() = {{"Bridge B", 1}, {"Bridge a", 2}, {"Other B", 3}};
    connectDevice(ctx);
    EXPECT_EQ(bridge.calls(), (Calls{18, 20, 21, 21}));
    EXPECT_EQ(link.adapterStatus, 27u);
    EXPECT_EQ(window.statusHistory, Texts({text::kSearching}));
}

// No device listed: nothing is opened, and the read-back's command finds no device to answer it;
// the current file is loaded, even a chosen one. A silent supply is left to the program tests.
TEST_F(Connection, CountZeroLoadsTheCurrentFile) {
    files.current = directory / "chosen.ini";
    writeConfigurationFile(files.current, 99);
    operatorEntries();
    bridge.faults().countZero = true;
    connectDevice(ctx);
    EXPECT_EQ(bridge.calls(), (Calls{18, 20, 33}));
    EXPECT_EQ(clock.waits, std::vector{1000ms});
    EXPECT_EQ(window.statusHistory,
              Texts({text::kCheckCable, text::kCommErrorStop, text::kConnectFail}));
    EXPECT_FALSE(link.linkOk);
    EXPECT_EQ(entries(), Entries("99", kFileBoxes, text::kDefaultItems, 2, true));
    EXPECT_EQ(files.current, directory / "chosen.ini");
}

// A handle left open by a success or by a set-up that failed is closed before the next attempt.
TEST_F(Connection, AnOpenHandleIsClosedBeforeTheNextAttempt) {
    bridge.faults().failingCalls = {{ord::kInit, 2}, {ord::kCount, 3}};
    connectDevice(ctx);
    ASSERT_EQ(window.statusText(), text::kConnectSuccess);
    const auto first = link.handle;
    const auto callsBefore = bridge.calls().size();

    connectDevice(ctx);
    EXPECT_EQ(Calls(bridge.calls().begin() + callsBefore, bridge.calls().begin() + callsBefore + 2),
              (Calls{ord::kClose, ord::kDllVersion}));
    EXPECT_TRUE(link.handle.has_value());
    EXPECT_NE(link.handle, first);
    EXPECT_FALSE(link.linkOk);

    connectDevice(ctx);
    EXPECT_EQ(bridge.calls().back(), ord::kCount);
    EXPECT_EQ(std::count(bridge.calls().begin(), bridge.calls().end(), ord::kClose), 2);
    EXPECT_FALSE(link.handle.has_value());
    EXPECT_FALSE(bridge.openHandle().has_value());
}

// Whatever the outcome, the silent reconnect ends with the entries APPLY has just written to the
// working file, read into the record; the model's battery sizes stay. The supply is silent in
// every row but the first.
TEST_F(Connection, SilentReconnectShowsThePendingEntriesOfTheWorkingFile) {
    for (const auto& lastText : {text::kConnectSuccess, text::kConnectFail}) {
        SCOPED_TRACE(lastText);
        const bool connected = lastText == text::kConnectSuccess;
        Rig r;
        if (!connected) {
            r.bridge.supply().faults().unacknowledged = {3};
        }
        r.files.current = r.directory / "elsewhere.ini";
        operations::silentReconnect(r.ctx);

        EXPECT_TRUE(r.window.messages.empty());
        EXPECT_EQ(r.window.statusText(), lastText);
        EXPECT_EQ(r.link.linkOk, connected);
        EXPECT_EQ(r.files.current, r.files.working);
        EXPECT_EQ(r.entries(),
                  Entries("11", kFileBoxes, connected ? text::kModel1Items : text::kDefaultItems, 2,
                          true));
        EXPECT_EQ(std::pair(r.model.settings.acFaultHours, r.model.settings.optAcFaultDelay),
                  std::pair(11, 1))
            << "the panel is read again at the end";
    }
}

} // namespace
} // namespace brenvik::device
