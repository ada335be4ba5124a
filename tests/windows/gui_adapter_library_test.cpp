// The adapter library as the window and `brenvik.exe` beside it meet it: the bridge the window
// holds is in use for the command line until the window closes, and a library whose names sit at
// other ordinals is never called.

#include "tools/driver/program_driver.h"
#include "win32/module_path.h"

#include <gtest/gtest.h>

namespace brenvik::wintest {
namespace {

// Runs brenvik.exe status from `folder` through the command interpreter, which gathers its
// standard output and error in a file: the exit code and the output. Fails the test after a
// minute.
std::pair<DWORD, std::string> runStatus(const fs::path& folder) {
    wchar_t system[MAX_PATH] = L"";
    ::GetSystemDirectoryW(system, MAX_PATH);
    const std::optional<DWORD> exitCode =
        RunningProgram::start(fs::path(system) / "cmd.exe",
                              L"/c brenvik.exe status > console.txt 2>&1", folder)
            .waitForExit(60s);
    EXPECT_TRUE(exitCode.has_value()) << "brenvik.exe did not end";
    return {exitCode.value_or(255), fileBytes(folder / "console.txt")};
}

class AdapterLibrary : public ::testing::Test, protected ProgramSession {};

TEST_F(AdapterLibrary, TheBridgeHeldIsInUseALibraryWithItsNamesAtOtherOrdinalsIsNeverCalled) {
    fs::copy_file(win32::modulePath().parent_path() / "brenvik.exe", folder() / "brenvik.exe");
    {
        RunningProgram program = start();
        constexpr std::wstring_view kConnected = L"Pass, Connect device success! ";
        ASSERT_EQ(waitForStatus(kConnected), kConnected);
        EXPECT_EQ(
            runStatus(folder()),
            std::pair(DWORD{1}, std::string("brenvik: no device: the bridge is in use by another "
                                            "program\r\n")));
        EXPECT_EQ(program.close(), std::optional<DWORD>(0));
        EXPECT_EQ(runStatus(folder()).first, 0u);
    }

    fs::copy_file(win32::modulePath().parent_path() / "shifted-names" / "FTCSPI.dll",
                  folder() / "FTCSPI.dll", fs::copy_options::overwrite_existing);
    fs::remove(folder() / "trace.txt");
    RunningProgram program = start();
    constexpr std::wstring_view kNoLibrary = L"Connect device fail, please check the cable.";
    EXPECT_EQ(waitForStatus(kNoLibrary), kNoLibrary);
    EXPECT_EQ(runStatus(folder()),
              std::pair(DWORD{1}, "brenvik: " + fs::canonical(folder() / "FTCSPI.dll").string() +
                                      ": ordinal 5 carries no name instead of SPI_Close; the "
                                      "adapter library is not used\r\n"));
    EXPECT_EQ(program.close(), std::optional<DWORD>(0));
    // Set up at its first call, the library never wrote a line.
    EXPECT_FALSE(fs::exists(folder() / "trace.txt"));
}

} // namespace
} // namespace brenvik::wintest
