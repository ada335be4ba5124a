// Files under power cuts: the configuration writer's replacement and the virtual supply's state
// file, each cut at every byte and at the replace step, and randomized edits of messy INI files.

#include "config/ini_file.h"
#include "device/commands.h"
#include "tests/support/ini_edit_check.h"
#include "tests/support/temp_folder.h"
#include "virtual_supply/hosted_bridge.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <string>

namespace brenvik {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// The disk's own steps, except that the write stops after `cut` bytes (the power fails), or the
// replace step fails when `cut` is past the end.
config::FileReplaceSteps cutAt(std::size_t cut) {
    config::FileReplaceSteps steps = config::diskSteps();
    steps.write = [cut](std::ostream& out, std::string_view bytes) {
        out.write(bytes.data(), static_cast<std::streamsize>(std::min(cut, bytes.size())));
        return cut >= bytes.size();
    };
    const auto move = steps.moveOver;
    steps.moveOver = [cut, move](const fs::path& from, const fs::path& to) {
        return cut == std::string::npos && move(from, to);
    };
    return steps;
}

// Saves through steps cut at every byte of `after` and at the replace step, then uncut (`save`
// gets the cut, npos for none): `name` holds the whole old text until the uncut save, the whole
// new one after it, and no other file is left behind.
void expectWholeOldOrNew(const testing::TempFolder& folder, const char* name,
                         const std::string& before, const std::string& after, long files,
                         const std::function<void(std::size_t cut)>& save) {
    for (std::size_t cut = 0; cut <= after.size() + 1; ++cut) {
        const bool uncut = cut > after.size();
        folder.write(name, before);
        save(uncut ? std::string::npos : cut);
        ASSERT_EQ(folder.read(name), uncut ? after : before) << cut;
        ASSERT_EQ(std::distance(fs::directory_iterator(folder.path), {}), files) << cut;
    }
}

TEST(PowerCut, TheConfigurationFileIsAlwaysTheWholeOldOrTheWholeNewOne) {
    const testing::TempFolder folder{"brenvik-fault-files"};
    const std::string after = "; by hand\r\n[SystemParameter]\r\nAcFltDelayHr=23\r\n"
                              "ICharge=2\r\n[Other]\r\nx=1\r\n";
    expectWholeOldOrNew(
        folder, "Brenvik.ini", "; by hand\r\n[SystemParameter]\r\nAcFltDelayHr=1\r\n[Other]\r\nx=1",
        after, 1, [&](std::size_t cut) {
            EXPECT_EQ(config::replaceFile(folder.path / "Brenvik.ini", after, cutAt(cut)),
                      cut == std::string::npos);
        });
}

// A folder that takes no new file: the file itself is rewritten and cut to the new length; with
// no file there, nothing can be written.
TEST(PowerCut, AFolderThatTakesNoNewFileGetsTheFileRewrittenInPlace) {
    const testing::TempFolder folder{"brenvik-fault-files"};
    config::FileReplaceSteps steps = config::diskSteps();
    const auto open = steps.open;
    steps.open = [open](const fs::path& file, bool existing) {
        return existing ? open(file, true) : nullptr;
    };
    EXPECT_FALSE(config::replaceFile(folder.path / "a.ini", "[A]\r\n", steps));
    folder.write("a.ini", "[SystemParameter]\r\nAcFltDelayHr=12345\r\n");
    EXPECT_TRUE(config::replaceFile(folder.path / "a.ini", "[SystemParameter]\r\nX=1\r\n", steps));
    EXPECT_EQ(folder.read("a.ini"), "[SystemParameter]\r\nX=1\r\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path), {}), 1);
}

TEST(PowerCut, TheSupplyStateFileIsAlwaysTheWholeOldOrTheWholeNewOne) {
    const testing::TempFolder folder{"brenvik-fault-files"};
    folder.write("scenario.txt", "hour_length_ms = 1000\njitter = 0\n");
    const std::string before = "ac_delay = 0:5:0\nsystem_delay = 0:0:30\ncharge_selection = 0\n"
                               "install_date = 2/7/2010\npower_up_hours = 100\n"
                               "battery_hours = 50\nac_faults = 3\nsystem_faults = 1\n";
    const std::string after = "ac_delay = 0:5:0\nsystem_delay = 0:0:30\ncharge_selection = 0\n"
                              "install_date = 2/7/2010\npower_up_hours = 101\n"
                              "battery_hours = 51\nac_faults = 3\nsystem_faults = 1\n";
    const vsupply::HostOptions options{folder.path / "scenario.txt", folder.path / "state.txt",
                                       std::nullopt};
    // One hour passes, then a status request makes the supply count it and the host save it.
    const auto hourPasses = [&](std::size_t cut) {
        std::chrono::milliseconds now = 0ms;
        vsupply::HostedBridge host(options, [&] { return now; });
        host.setStateFileSteps(cutAt(cut));
        device::DeviceLink link(host);
        device::FtcHandle handle = 0;
        char channel[] = "A";
        host.openHiSpeedDevice("USB SPI Bridge A", 0x0121, channel, &handle);
        link.handle = handle;
        link.startCondition = {0, 0, 1, 0};
        now = 1000ms;
        device::send(link, device::plainFrame(10));
    };
    expectWholeOldOrNew(folder, "state.txt", before, after, 2, hourPasses);
}

// Files as people and other programs leave them, edited at random: every byte that was not
// edited stays.
TEST(IniEditRounds, MessyFilesLoseNothingButTheEditedValues) {
    const std::vector<std::string> keys{"AcFltDelayHr", "AcFltDelayMin", "InstallYYYY",
                                        "ICharge",      "bInstallDate",  "bResetBatCon"};
    // The lines such files are made of, one a line, and a very long one.
    const std::string lines = "; comment = not a key\n[SystemParameter]\n[ systemparameter ]\n"
                              "[Other]\nAcFltDelayHr=1\nacfltdelayhr = 2\n\tICharge\t=\t3\n"
                              "InstallYYYY=\nNote without equals\n\nbInstallDate='4'\nx=\"5\"\n"
                              "\xC3\xA4\xE6\x97\xA5=\xC3\xB6";
    std::vector<std::string> pieces{std::string(5000, 'L') + "=" + std::string(3000, 'v')};
    for (std::size_t at = 0, end = 0; end < lines.size(); at = end + 1) {
        end = std::min(lines.find('\n', at), lines.size());
        pieces.push_back(lines.substr(at, end - at));
    }
    const std::vector<std::string> ends{"\r\n", "\n", "\r", "\n\r"};
    // A key added before a blank line of a file whose first line ends in a lone CR.
    EXPECT_EQ(testing::iniEditProblems("[SystemParameter]\rX=1\n\n", "SystemParameter",
                                       {{"AcFltDelayHr", "5"}}),
              "");
    std::mt19937 random(20261207);
    std::size_t utf16Rounds = 0;
    for (int round = 0; round < 400; ++round) {
        std::string text = random() % 3 == 0 ? "\xEF\xBB\xBF" : "";
        for (std::size_t i = 0, lines = random() % 14; i < lines; ++i) {
            text += pieces[random() % pieces.size()];
            text += i + 1 < lines || random() % 2 == 0 ? ends[random() % ends.size()] : "";
        }
        if (random() % 3 == 0) {
            // UTF-16LE: the same text, one unit per byte, with its mark.
            std::string wide = "\xFF\xFE";
            for (const char c : text) {
                wide += {c, '\0'};
            }
            text = wide;
            ++utf16Rounds;
        }
        testing::IniEdits edits;
        for (const auto& key : keys) {
            if (random() % 2 == 0) {
                edits.emplace_back(key, std::to_string(700000 + random() % 1000));
            }
        }
        ASSERT_EQ(testing::iniEditProblems(text, "SystemParameter", edits), "") << round;
    }
    EXPECT_GT(utf16Rounds, 100u);
}

} // namespace
} // namespace brenvik
