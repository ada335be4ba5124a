#include "cli/commands.h"
#include "cli/verification.h"
#include "tests/support/command_line.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace brenvik::cli {
namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

using testing::Result;

// A supply kept in a state file across the runs of a test.
class CommandLine : public ::testing::Test, protected testing::CommandLine {
protected:
    CommandLine() { host.stateFile = folder / "state.txt"; }
};

TEST_F(CommandLine, StatusPrintsEveryFieldAfterTheMandatedWaitsAndTracesEachTransaction) {
    scenario("charge_selection = 1");
    const Result text = run("--virtual S --trace F/trace.txt status");
    EXPECT_EQ(text.code, 0) << text.err;
    EXPECT_EQ(text.out, "Part number:                   TRQ 60-40-20\n"
                        "Firmware version:              2.3\n"
                        "Main output voltage:           27.51 Volts\n"
                        "Battery voltage:               27.18 Volts\n"
                        "Battery charge current:        1.01 Amps\n"
                        "Total power-up time:           12345 Hours\n"
                        "Battery installed time:        8760 Hours\n"
                        "# of AC Faults detected:       3\n"
                        "# of System Faults detected:   1\n"
                        "FAI activated:                 No\n"
                        "Output latching on FAI:        No\n"
                        "AC Fault status:               No fault\n"
                        "System Fault status:           No fault\n"
                        "AC Fault reporting delay:      0:05:00\n"
                        "System Fault reporting delay:  0:00:30\n"
                        "Battery Charge Selector:       1 (5 to 8 Ah Battery)\n"
                        "Installation date:             2/7/2010\n");
    // Connection (pins settle twice, read-back), then the monitor tick's block.
    EXPECT_EQ(clock.timeline,
              (Strings{"wait 200", "wait 200", "wait 1000", "wait 1000", "wait 100", "wait 100",
                       "wait 100", "wait 100", "wait 100", "wait 100", "wait 100"}));
    const std::string trace = folder.read("trace.txt");
    EXPECT_EQ(trace.substr(0, trace.find('\n', trace.find('\n') + 1) + 1),
              "2026-12-07T08:00:01.400Z frame 03 55 reply 55 status 0 delivered 1/1\n"
              "2026-12-07T08:00:02.400Z frame 04 55 reply 39 30 00 03 00 01 00 38 22 00 00 05 "
              "status 0 delivered 12/12\n");
    EXPECT_EQ(std::count(trace.begin(), trace.end(), '\n'), 10);

    scenario("system_delay = 7:8:9");
    const Result json = run("status --json --virtual S");
    EXPECT_EQ(json.code, 0) << json.err;
    EXPECT_EQ(json.out,
              R"({"acFaultCount":3,"acFaultDelay":{"hours":0,"minutes":5,"seconds":0},)"
              R"("acFaultStatus":"No fault","batteryInstalledHours":8760,"batteryVoltage":27.18,)"
              R"("chargeCurrent":1.01,"chargeSelection":{"index":0,"text":"9 to 40 Ah Battery"},)"
              R"("faiActivated":"No","firmware":"2.3","installDate":{"day":7,"month":2,)"
              R"("year":2010},"outputLatching":"No","outputVoltage":27.51,)"
              R"("partNumber":"TRQ 60-40-20","powerUpHours":12345,"systemFaultCount":1,)"
              R"("systemFaultDelay":{"hours":7,"minutes":8,"seconds":9},)"
              R"("systemFaultStatus":"No fault"})"
              "\n");
}

// Every line of help the operator can ask for: the program's and each sub-command's.
TEST_F(CommandLine, HelpNamesEverySubCommandAndOptionInItsOwnWords) {
    const std::vector<std::pair<std::string, Strings>> helps{
        {"--help",
         {"Programs and watches a Brenvik power supply through its USB bridge.\n",
          "\n  --virtual [SCENARIO]        Talk to the virtual supply, set up from SCENARIO if "
          "given\n  --trace FILE                Append every transaction to FILE\n"
          "  --backend ROAD              Road to the bridge: auto (the adapter library where "
          "installed, then the bridge driver's library, then libftdi1), ftcspi, d2xx, libftdi, "
          "virtual, virtual-bridge (the serial engine on a played bridge and the virtual "
          "supply)\n  --device SERIAL|LOCATION    Use the bridge with this serial or location "
          "(see `brenvik list`)\n  --usb-trace FILE            Append every USB write and read "
          "to FILE (roads through the serial engine)\n  --replay TRACE              With "
          "--virtual: answer each frame with the reply recorded in TRACE (from --trace or "
          "--usb-trace) and report the first frame that differs\n",
          "\n  list                        List every bridge channel the road sees\n"
          "  status                      Print every field the supply reports\n"
          "  monitor                     Poll the supply like the window does; Ctrl+C ends it "
          "(exit 0)\n"
          "  read                        Write the supply's settings to a configuration file\n"
          "  apply                       Write the settings of a configuration file and verify "
          "them\n",
          "\nExit codes:\n  0  success\n  1  no device: no bridge channel found, or no adapter "
          "library\n  2  communication with the supply failed\n  3  verification: the supply "
          "holds other values than were written\n  4  bad input: a file that cannot be read or "
          "written, a value out of range, not an integer\n  5  cancelled by the operator\n"}},
        {"status --help", {"\n  --json                      Print one JSON object\n"}},
        {"monitor --help",
         {"\n  --interval FLOAT:POSITIVE   Seconds between polls (default 1)\n"
          "  --count UINT                Number of polls (default: until Ctrl+C)\n"
          "  --csv FILE                  Append one row per poll to FILE\n"}},
        {"read --help", {"\n  --config FILE.ini REQUIRED  Configuration file to write\n"}},
        {"apply --help",
         {"\n  --config FILE.ini REQUIRED  Configuration file to apply\n"
          "  --yes                       Do not ask before writing\n"
          "  --no-verify                 Do not read the settings back afterwards\n"
          "  --report FILE.csv           Append one row for this unit to FILE.csv\n"}},
    };
    for (const auto& [line, parts] : helps) {
        const Result result = run(line);
        EXPECT_EQ(result.code, 0) << line;
        for (const std::string& part : parts) {
            EXPECT_NE(result.out.find(part), std::string::npos) << result.out << "lacks\n" << part;
        }
    }
}

TEST_F(CommandLine, FailuresEndWithTheirExitCodeAndOneLine) {
    const std::string names = "the sub-commands are list, status, monitor, read, apply, serve";
    // Scenario lines, command line, exit code, message.
    const std::vector<std::tuple<std::string, std::string, int, std::string>> cases{
        {"", "status", 1, "no adapter library on this system; use --virtual"},
        {"count_zero = yes", "--virtual S status", 1,
         "no device: no bridge with channel \"A\" could be opened"},
        {"no_ack = 10", "--virtual S status", 2,
         "communication failed: Fail, Communicate error,please try again. "},
        {"no_ack = 3", "--virtual S monitor", 2,
         "communication failed: the supply did not answer the read-back"},
        {"", "--virtual missing.txt status", 4, "missing.txt: cannot be read"},
        {"", "--virtual S --trace F/none/t.txt status", 4,
         path("none/t.txt") + ": cannot be written"},
        {"", "statsu", 4, "unknown sub-command 'statsu'; did you mean 'status'?"},
        {"", "--virtual statsu", 4, "unknown sub-command 'statsu'; did you mean 'status'?"},
        {"", "--virtual S monitr --count 3", 4,
         "unknown sub-command 'monitr'; did you mean 'monitor'?"},
        {"", "frobnicate", 4, "unknown sub-command 'frobnicate'; " + names},
        {"", "--virtual S monitor --csv no-such-folder/poll.csv", 4,
         "no-such-folder/poll.csv: cannot be written"},
        {"", "--virtual S read --config F/none/copy.ini", 4,
         path("none/copy.ini") + ": cannot be written"},
    };
    for (const auto& [lines, line, code, err] : cases) {
        scenario(lines);
        const Result result = run(line);
        EXPECT_EQ(result.code, code) << line;
        EXPECT_EQ(result.err, "brenvik: " + err + "\n");
    }
    // Ctrl+C ends the program as usual until monitoring starts.
    EXPECT_EQ(catches, std::vector<bool>{});

    installed = [] {
        return LibraryNotFound{"FTCSPI.dll",
                               {"C:\\Brenvik", "C:\\windows\\system32", "the folders on PATH"}};
    };
    EXPECT_EQ(run("status").err,
              "brenvik: no adapter library: FTCSPI.dll was not found in C:\\Brenvik, "
              "C:\\windows\\system32 or the folders on PATH; install the USB bridge vendor's "
              "32-bit FTCSPI.dll (beside brenvik.exe will do), or use --virtual\n");
}

TEST_F(CommandLine, MonitorKeepsPollingThroughAnUnplugAndAppendsWholeRows) {
    folder.write("poll.csv", "earlier,row\n");
    // The supply vanishes before the fourth poll and comes back before the seventh.
    time.beforeSlot = [this](int slot) {
        if (slot == 3) {
            folder.write("control.txt", "plugged = no\n");
        } else if (slot == 6) {
            folder.write("control.txt", "plugged = yes\n");
        }
    };
    scenario("control_file = control.txt\n");
    const Result result = run("--virtual S monitor --interval 2 --count 10 --csv F/poll.csv");
    EXPECT_EQ(result.code, 0) << result.err;

    const std::string good = ",ok,27.51,27.18,1.01,12345,8760,3,1,No,No,No fault,No fault\n";
    const std::string failed = ",\"Fail, Communicate error,please try again. \",,,,,,,,,,,\n";
    const std::string shown =
        "  Main output voltage: 27.51 Volts  Battery voltage: 27.18 Volts  Battery charge current: "
        "1.01 Amps  Total power-up time: 12345 Hours  Battery installed time: 8760 Hours  # of AC "
        "Faults detected: 3  # of System Faults detected: 1  FAI activated: No  Output latching on "
        "FAI: No  AC Fault status: No fault  System Fault status: No fault\n";
    std::string csv = "earlier,row\n";
    std::string out;
    // Slots every 2 s from the first poll, which follows the connection's 2.7 s.
    for (int poll = 0; poll < 10; ++poll) {
        const std::string time = "2026-12-07T08:00:" + std::string(poll < 4 ? "0" : "") +
                                 std::to_string(2 + 2 * poll) + ".700Z";
        const bool up = poll < 3 || poll > 5;
        csv += time + (up ? good : failed);
        out += time + (up ? shown : "  Fail, Communicate error,please try again. \n");
    }
    EXPECT_EQ(folder.read("poll.csv"), csv);
    EXPECT_EQ(result.out, out);
    EXPECT_EQ(catches, (std::vector<bool>{true, false}));

    // Without a count, Ctrl+C during the wait for the third slot ends the loop after two polls;
    // a new file starts with the header.
    time.beforeSlot = [this](int slot) { interrupted = slot == 12; };
    const Result stopped = run("--virtual S monitor --csv F/new.csv");
    EXPECT_EQ(stopped.code, 0) << stopped.err;
    EXPECT_EQ(folder.read("new.csv"),
              "time,result,output_voltage,battery_voltage,charge_current,power_up_hours,"
              "battery_installed_hours,ac_fault_count,system_fault_count,fai_activated,"
              "output_latching,ac_fault_status,system_fault_status\n"
              "2026-12-07T08:00:23.800Z" +
                  good + "2026-12-07T08:00:24.800Z" + good);
}

// AC fault delay 1:02:03 and the battery timer reset; the other settings stay as they are.
constexpr std::string_view kDelayAndReset = "[SystemParameter]\nAcFltDelayHr=1\nAcFltDelayMin=2\n"
                                            "AcFltDelaySec=3\nbAcFltDelay=1\nbResetBatCon=1\n";

TEST_F(CommandLine, ApplyWritesVerifiesAndReportsTheUnit) {
    scenario("system_delay = 0:0:0\ncharge_selection = 1\n");
    folder.write("unit.ini", std::string(kDelayAndReset));
    const Result result =
        run("--virtual S --device 0x121 --trace F/trace.txt apply --config F/unit.ini --report "
            "F/report.csv",
            "y\n");
    EXPECT_EQ(result.code, 0) << result.err;
    EXPECT_EQ(result.out, "Battery Charge Selector: No change\n"
                          "AC Fault reporting delay time in: 01: 02: 03 \n"
                          "System Fault reporting delay time in: No change\n"
                          "Battery installed time will be reset to 0\n"
                          "Proceed? [y/N] Applied to TRQ 60-40-20: settings write; battery timer "
                          "reset; verified\n");
    // A second before each confirm, none between the settings write and the reset.
    EXPECT_EQ(
        std::regex_replace(folder.read("trace.txt"),
                           std::regex("^.* frame 0[34A] .*\n", std::regex::multiline), ""),
        "2026-12-07T08:00:03.100Z frame 01 55 03 02 01 00 00 00 01 00 5D reply 55 03 02 01 00 "
        "00 00 01 00 5D status 0 delivered 10/10\n"
        "2026-12-07T08:00:04.100Z frame 02 55 03 02 01 00 00 00 01 00 00 reply 03 02 01 00 00 "
        "00 01 00 00 00 status 0 delivered 10/10\n"
        "2026-12-07T08:00:04.100Z frame 05 55 reply 55 status 0 delivered 1/1\n"
        "2026-12-07T08:00:05.100Z frame 06 55 reply 00 00 00 status 0 delivered 3/3\n");
    EXPECT_EQ(folder.read("report.csv"),
              "time,part_number,firmware,power_up_hours,settings_before,settings_after,actions,"
              "bridge,verify\n"
              "2026-12-07T08:00:02.700Z,TRQ 60-40-20,2.3,12345,charge 1; AC 0:05:00; system "
              "0:00:00; date 2/7/2010,charge 1; AC 1:02:03; system 0:00:00; date 2/7/2010,"
              "settings write; battery timer reset,VB000121A,verified\n");

    // The actions one after another: settings, battery timer, fault counts, date.
    folder.write("all.ini", std::string(kDelayAndReset) +
                                "bResetFaultCounts=1\nbInstallDate=1\nInstallMM=7\nInstallDD=18\n"
                                "InstallYYYY=2011\n");
    const Result unverified =
        run("--virtual S --trace F/all.txt apply --config F/all.ini --yes --no-verify");
    EXPECT_EQ(unverified.out, "Battery Charge Selector: No change\n"
                              "AC Fault reporting delay time in: 01: 02: 03 \n"
                              "System Fault reporting delay time in: No change\n"
                              "Battery installed time will be reset to 0\n"
                              "Enter installation date (mm/dd/yyyy): 07/ 18/ 2011 \n"
                              "AC and System Fault counts will be reset to 0\n"
                              "Applied to TRQ 60-40-20: settings write; battery timer reset; fault "
                              "count reset; installation date; not verified\n");
    std::string codes;
    std::istringstream trace(folder.read("all.txt"));
    for (std::string line; std::getline(trace, line);) {
        codes += line.substr(line.find(" frame ") + 7, 2) + " ";
    }
    EXPECT_EQ(codes, "03 04 04 04 04 0A 04 04 04 04 01 02 05 06 0B 0C 0D 0E ");
}

TEST_F(CommandLine, ApplyFailuresAreReportedWithTheirExitCode) {
    const std::string commError = "Fail, Communicate error,please try again. ";
    // Scenario lines, answer, exit code, message (also the report's last column), the report's
    // last two columns: actions, verify.
    const std::vector<std::tuple<std::string, std::string, int, std::string, std::string>> cases{
        {"wrong_echo = 2:3", "y", 2, "communication failed: settings write",
         "settings write (failed); battery timer reset,,communication failed: settings write\n"},
        {"no_ack = 5", "y", 2, "communication failed: battery timer reset",
         "settings write; battery timer reset (failed),,communication failed: battery timer "
         "reset\n"},
        {"no_ack = 10", "y", 2, "communication failed before writing: " + commError,
         ",,,\"communication failed before writing: Fail, Communicate error,please try again. "
         "\"\n"},
        {"unplug_at = 10@2", "y", 2, "communication failed while verifying: " + commError,
         "settings write; battery timer reset,,\"communication failed while verifying: Fail, "
         "Communicate error,please try again. \"\n"},
        // The supply confirms 1:02:03 and keeps 1:02:04.
        {"stores_other = 2", "y", 3, "verification failed: AC fault delay 1:02:04, asked 1:02:03",
         "settings write; battery timer reset,,\"verification failed: AC fault delay 1:02:04, "
         "asked 1:02:03\"\n"},
        {"", "n", 5, "cancelled by the operator", ",none,,cancelled by the operator\n"},
    };
    folder.write("unit.ini", std::string(kDelayAndReset));
    for (const auto& [lines, answer, code, err, report] : cases) {
        fs::remove(path("report.csv"));
        scenario(lines);
        const Result result =
            run("--virtual S apply --config F/unit.ini --report F/report.csv", answer + "\n");
        EXPECT_EQ(result.code, code) << lines;
        EXPECT_EQ(result.err, "brenvik: " + err + "\n");
        EXPECT_TRUE(folder.read("report.csv").ends_with("," + report)) << folder.read("report.csv");
    }
}

TEST_F(CommandLine, BadInputIsRefusedBeforeAnythingIsSent) {
    // unit.ini (none when empty), the report, the message after the folder.
    const std::vector<std::tuple<std::string, std::string, std::string>> cases{
        {"", "report.csv", "unit.ini: cannot be read"},
        {"[SystemParameter]\nAcFltDelayMin=5x\n", "report.csv",
         "unit.ini: AcFltDelayMin: \"5x\" is not an integer"},
        {"[SystemParameter]\nAcFltDelayHr=1\n", "report.csv",
         "unit.ini: bChargeCurrent, bAcFltDelay, bSysFltDelay, bResetBatCon, bResetFaultCounts, "
         "bInstallDate: all 0, nothing to apply"},
        {"[SystemParameter]\nAcFltDelayMin=60\nbAcFltDelay=1\n", "report.csv",
         "unit.ini: AcFltDelayMin: Enter an integer between 0 and 59."},
        // Two values out of range: the first message, with the key of its own value.
        {"[SystemParameter]\nICharge=6\nAcFltDelayHr=300\nbChargeCurrent=1\nbAcFltDelay=1\n",
         "report.csv", "unit.ini: ICharge: Enter an integer between 0 and 5."},
        // A selection the selector has no item for is none, as the window shows it.
        {"[SystemParameter]\nICharge=4\nbChargeCurrent=1\n", "report.csv",
         "unit.ini: ICharge: Enter an integer between 0 and 5."},
        {"[SystemParameter]\nInstallMM=2\nInstallDD=30\nInstallYYYY=2011\nbInstallDate=1\n",
         "report.csv", "unit.ini: InstallMM/InstallDD/InstallYYYY: Enter installation date error."},
        {std::string(kDelayAndReset), "missing/report.csv",
         "missing/report.csv: cannot be written"},
    };
    folder.write("report.csv", "earlier,row\n");
    scenario();
    for (const auto& [file, report, err] : cases) {
        fs::remove(path("unit.ini"));
        if (!file.empty()) {
            folder.write("unit.ini", file);
        }
        const Result result = run(
            "--virtual S --trace F/trace.txt apply --config F/unit.ini --yes --report F/" + report);
        EXPECT_EQ(result.code, 4) << file;
        EXPECT_EQ(result.err, "brenvik: " + path("") + err + "\n");
        EXPECT_EQ(folder.read("report.csv"), "earlier,row\n");
        EXPECT_EQ(folder.read("trace.txt"), "");
    }
    // An unwritable trace is refused before the bridge is opened.
    clock.waits.clear();
    const Result traced = run("--virtual S --trace F/missing/trace.txt status");
    EXPECT_EQ(traced.code, 4);
    EXPECT_EQ(traced.err, "brenvik: " + path("missing/trace.txt") + ": cannot be written\n");
    EXPECT_TRUE(clock.waits.empty());
}

TEST_F(CommandLine, ReadThenApplyCopiesTheSettingsToAnotherSupply) {
    // Selection 0, the first item, is a selection like any other.
    folder.write("first.txt", "ac_delay = 2:3:4\nsystem_delay = 0:1:5\ncharge_selection = 0\n");
    folder.write("second.txt", "charge_selection = 2\n");
    scenario();
    host.stateFile = folder / "first.txt";
    const Result copied = run("--virtual S read --config F/copy.ini");
    EXPECT_EQ(copied.code, 0) << copied.err;
    EXPECT_EQ(copied.out, "Settings of TRQ 60-40-20 written to " + path("copy.ini") + "\n");
    // The three setting boxes ticked; date and resets off, so a copy keeps each unit's own.
    EXPECT_EQ(folder.read("copy.ini"),
              "[SystemParameter]\r\nAcFltDelayHr=2\r\nAcFltDelayMin=3\r\nAcFltDelaySec=4\r\n"
              "SysFltDelayHr=0\r\nSysFltDelayMin=1\r\nSysFltDelaySec=5\r\n"
              "InstallMM=2\r\nInstallDD=7\r\nInstallYYYY=2010\r\nICharge=0\r\n"
              "bChargeCurrent=1\r\nbAcFltDelay=1\r\nbSysFltDelay=1\r\n"
              "bResetBatCon=0\r\nbResetFaultCounts=0\r\nbInstallDate=0\r\n");
    host.stateFile = folder / "second.txt";
    const Result applied = run("--virtual S apply --config F/copy.ini --yes");
    EXPECT_EQ(applied.code, 0) << applied.err;
    const std::string second = folder.read("second.txt");
    EXPECT_EQ(second.substr(0, second.find("install_date")),
              "ac_delay = 2:3:4\nsystem_delay = 0:1:5\ncharge_selection = 0\n");
}

TEST(Verification, NamesEverySettingTheSupplyDoesNotHold) {
    // AC fault delay 1:02:03, system fault delay 0:00:30, selection 2, date 7/18/2011, resets.
    const DeviceSettings asked{1, 2, 3, 0, 0, 30, 2, 7, 18, 2011, 1, 1, 1, 1, 1, 1};
    const monitor::StatusBlock same{.acFaultSeconds = 3,
                                    .acFaultMinutes = 2,
                                    .acFaultHours = 1,
                                    .sysFaultSeconds = 30,
                                    .chargeSelection = 2,
                                    .installMonth = 7,
                                    .installDay = 18,
                                    .installYear = 2011};
    EXPECT_EQ(verificationDifferences(asked, same), Strings{});
    monitor::StatusBlock other = same;
    other.sysFaultCount = 2;
    other.batteryHours = 1;
    other.acFaultSeconds = 4;
    other.sysFaultSeconds = 31;
    other.chargeSelection = 1;
    other.installYear = 2012;
    EXPECT_EQ(verificationDifferences(asked, other),
              (Strings{"charge selection 1, asked 2", "AC fault delay 1:02:04, asked 1:02:03",
                       "system fault delay 0:00:31, asked 0:00:30",
                       "installation date 7/18/2012, asked 7/18/2011",
                       "battery installed hours 1, asked 0", "fault counts 0/2, asked 0/0"}));
    // What was not asked for is not compared.
    EXPECT_EQ(verificationDifferences(DeviceSettings{}, other), Strings{});
}

} // namespace
} // namespace brenvik::cli
