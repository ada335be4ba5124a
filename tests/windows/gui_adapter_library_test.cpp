// The adapter library as the window and `brenvik.exe` beside it meet it: a library whose names
// sit at other ordinals is never called, and the bridge the window holds is in use for the
// command line until the window closes.

#include "framework/module_path.h"
#include "tools/driver/program_driver.h"

#include <gtest/gtest.h>

namespace brenvik::wintest {
namespace {

struct ConsoleRun {
    DWORD exitCode = 0;
    std::string output; // standard output and error together
};

// Runs brenvik.exe from `folder` with its output in a file; fails the test after a minute.
ConsoleRun runBrenvik(const fs::path& folder, std::wstring arguments) {
    const fs::path output = folder / "console.txt";
    SECURITY_ATTRIBUTES inherited{sizeof(inherited), nullptr, TRUE};
    const framework::UniqueHandle file(::CreateFileW(output.c_str(), GENERIC_WRITE,
                                                     FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited,
                                                     CREATE_ALWAYS, 0, nullptr));
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = file.get();
    startup.hStdError = file.get();
    const fs::path executable = folder / "brenvik.exe";
    std::wstring commandLine = L"\"" + executable.wstring() + L"\" " + arguments;
    PROCESS_INFORMATION info{};
    if (::CreateProcessW(executable.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                         CREATE_NO_WINDOW, nullptr, folder.c_str(), &startup, &info) == FALSE) {
        throw std::runtime_error("brenvik.exe cannot be started");
    }
    ::CloseHandle(info.hThread);
    const framework::UniqueHandle process(info.hProcess);
    ConsoleRun run;
    if (::WaitForSingleObject(process.get(), 60000) != WAIT_OBJECT_0) {
        ::TerminateProcess(process.get(), 255);
        ADD_FAILURE() << "brenvik.exe did not end";
    }
    ::GetExitCodeProcess(process.get(), &run.exitCode);
    run.output = fileBytes(output);
    return run;
}

class AdapterLibrary : public ::testing::Test, protected ProgramSession {
protected:
    AdapterLibrary() {
        fs::copy_file(framework::modulePath().parent_path() / "brenvik.exe",
                      folder() / "brenvik.exe");
    }
};

TEST_F(AdapterLibrary, ALibraryWithItsNamesAtOtherOrdinalsIsNeverCalled) {
    fs::copy_file(framework::modulePath().parent_path() / "shifted-names" / "FTCSPI.dll",
                  folder() / "FTCSPI.dll", fs::copy_options::overwrite_existing);
    RunningProgram program = start();
    constexpr std::wstring_view kNoLibrary = L"Connect device fail, please check the cable.";
    EXPECT_EQ(waitForStatus(kNoLibrary), kNoLibrary);
    const ConsoleRun status = runBrenvik(folder(), L"status");
    EXPECT_EQ(status.exitCode, 1u);
    const std::string path = fs::canonical(folder() / "FTCSPI.dll").string();
    EXPECT_EQ(status.output, "brenvik: " + path +
                                 ": ordinal 5 carries no name instead of SPI_Close; the adapter "
                                 "library is not used\r\n");
    EXPECT_EQ(program.close(), std::optional<DWORD>(0));
    // Set up at its first call, the library never wrote a line.
    EXPECT_FALSE(fs::exists(folder() / "trace.txt"));
}

TEST_F(AdapterLibrary, TheBridgeTheWindowHoldsIsInUseForTheCommandLineUntilTheWindowCloses) {
    RunningProgram program = start();
    constexpr std::wstring_view kConnected = L"Pass, Connect device success! ";
    ASSERT_EQ(waitForStatus(kConnected), kConnected);
    const ConsoleRun busy = runBrenvik(folder(), L"status");
    EXPECT_EQ(busy.exitCode, 1u);
    EXPECT_EQ(busy.output, "brenvik: no device: the bridge is in use by another program\r\n");
    EXPECT_EQ(program.close(), std::optional<DWORD>(0));
    EXPECT_EQ(runBrenvik(folder(), L"status").exitCode, 0u);
}

} // namespace
} // namespace brenvik::wintest
