// The installer and the portable archive as a technician uses them: silent installation, the
// files, shortcuts and uninstall entry it leaves, the installed program started as its shortcut
// starts it, the demo on the virtual supply, uninstalling and reinstalling around the operator's
// own files. Runs in the packages' folder, in a Wine prefix of its own.

#include "tools/driver/program_driver.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <objbase.h>
#include <shlobj.h>
#include <system_error>

namespace brenvik::wintest {
namespace {

using Names = std::vector<std::wstring>;

const fs::path kSetup = fs::absolute(L"Brenvik-USB-1.05-setup.exe");
// The packages lie in the working folder; the portable archive is unpacked by the CTest entry
// that prepares the run.
const fs::path kPortable = fs::absolute(L"portable\\Brenvik-USB-1.05");
const wchar_t* const kUninstallKey =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Brenvik-USB";
const std::wstring kNoCable = L"Connect device fail, please check the cable.";

fs::path knownFolder(REFKNOWNFOLDERID id) {
    wchar_t* path = nullptr;
    ::SHGetKnownFolderPath(id, 0, nullptr, &path);
    fs::path folder = path != nullptr ? path : L"";
    ::CoTaskMemFree(path);
    return folder;
}

const fs::path kInstalled = knownFolder(FOLDERID_LocalAppData) / L"Programs\\Brenvik-USB";
const fs::path kDemo = kInstalled / L"Demo";
const fs::path kShortcut = knownFolder(FOLDERID_Programs) / L"Brenvik-USB.lnk";
const fs::path kDemoShortcut = knownFolder(FOLDERID_Programs) / L"Brenvik-USB Demo.lnk";

// The names in `folder`, sorted; folders end in a backslash.
Names namesIn(const fs::path& folder) {
    Names names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error)) {
        names.push_back(entry.path().filename().wstring() + (entry.is_directory() ? L"\\" : L""));
    }
    std::sort(names.begin(), names.end());
    return names;
}

// What a shortcut file starts, and in which folder, as the shell reads it.
std::pair<fs::path, fs::path> readShortcut(const fs::path& file) {
    IShellLinkW* created = nullptr;
    IPersistFile* persisted = nullptr;
    ::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                       reinterpret_cast<void**>(&created));
    const win32::UniqueCom<IShellLinkW> link(created);
    if (link) {
        link.get()->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persisted));
    }
    const win32::UniqueCom<IPersistFile> stored(persisted);
    wchar_t target[MAX_PATH] = L"";
    wchar_t folder[MAX_PATH] = L"";
    if (!stored || FAILED(stored.get()->Load(file.c_str(), STGM_READ)) ||
        FAILED(link.get()->GetPath(target, MAX_PATH, nullptr, 0)) ||
        FAILED(link.get()->GetWorkingDirectory(folder, MAX_PATH))) {
        return {};
    }
    return {target, folder};
}

// A text value of the uninstall entry; empty when it or the entry is missing.
std::wstring uninstallValue(const wchar_t* name) {
    wchar_t value[512] = L"";
    DWORD size = sizeof(value);
    ::RegGetValueW(HKEY_CURRENT_USER, kUninstallKey, name, RRF_RT_REG_SZ, nullptr, value, &size);
    return value;
}

DWORD run(const fs::path& program, std::wstring_view arguments) {
    return RunningProgram::start(program, arguments).waitForExit(60s).value_or(~DWORD{0});
}

// The silent uninstaller hands over to a copy of itself and returns at once; the copy removes the
// uninstall entry last.
void uninstall() {
    ASSERT_EQ(run(kInstalled / L"Uninstall.exe", L"/S"), 0u);
    ASSERT_TRUE(waitUntil(30s, [] { return uninstallValue(L"DisplayName").empty(); }));
}

// Starts `program` in `folder` and expects its window with the images drawn and `status` on the
// status line (a program that shows no window fails the status check).
RunningProgram startShown(const fs::path& program, const fs::path& folder,
                          const std::wstring& status) {
    RunningProgram running = RunningProgram::start(program, {}, folder);
    const HWND window = running.waitForMainWindow();
    EXPECT_EQ(waitForStatus(window, status), status);
    // The square logo lies at the window's top left corner, black where the dialog is grey.
    EXPECT_EQ(::GetPixel(win32::WindowDc(window).get(), 4, 4), RGB(0, 0, 0));
    return running;
}

// Installs as a technician does, with the demo ticked (/DEMO ticks it on the components page):
// Next, Install, and Finish with "Run" left ticked on the last page, whose text it returns.
std::wstring installInteractivelyAndRun() {
    const RunningProgram setup = RunningProgram::start(kSetup, L"/DEMO");
    // The installer's caption ends in a blank.
    const HWND wizard = waitForWindow(setup.processId(), L"Brenvik-USB 1.05 Setup ");
    if (wizard == nullptr) {
        return L"no installer window";
    }
    const HWND next = ::GetDlgItem(wizard, IDOK);
    for (const wchar_t* button : {L"&Next >", L"&Install", L"&Finish"}) {
        if (!waitUntil(60s, [&] {
                return controlText(wizard, IDOK) == button && ::IsWindowEnabled(next);
            })) {
            return L"no page with " + std::wstring(button);
        }
        if (std::wstring_view(button) == L"&Finish") {
            break;
        }
        pressButton(wizard, IDOK);
    }
    const HWND page = ::FindWindowExW(wizard, nullptr, L"#32770", nullptr);
    const HWND run = ::GetDlgItem(page, 1203);
    const std::wstring shown =
        ::SendMessageW(run, BM_GETCHECK, 0, 0) == BST_CHECKED ? controlText(page, 1203) : L"";
    pressButton(wizard, IDOK);
    return setup.waitForExit(60s) == std::optional<DWORD>(0) ? shown : L"installer did not end";
}

class Installer : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }

    // Every case starts from a user who never installed the program.
    void SetUp() override {
        std::error_code error;
        fs::remove_all(kInstalled, error);
        fs::remove(kShortcut, error);
        fs::remove(kDemoShortcut, error);
        ::RegDeleteKeyW(HKEY_CURRENT_USER, kUninstallKey);
    }
};

TEST_F(Installer, InstallsForTheUserAndUninstallsKeepingTheOperatorsFiles) {
    ASSERT_EQ(run(kSetup, L"/S"), 0u);
    EXPECT_EQ(namesIn(kInstalled),
              (Names{L"Brenvik Icon_L1.png", L"Brenvik Icon_L2.png", L"Brenvik-USB.exe",
                     L"Mevo Logo_SquareBlack.png", L"Mevo_Logo_Final2.png", L"README.txt",
                     L"Sabrel Icon_L.png", L"Uninstall.exe", L"brenvik.exe"}));
    const auto [program, folder] = readShortcut(kShortcut);
    EXPECT_EQ(program, kInstalled / L"Brenvik-USB.exe");
    EXPECT_EQ(folder, kInstalled);
    EXPECT_FALSE(fs::exists(kDemoShortcut));
    EXPECT_EQ(uninstallValue(L"UninstallString"),
              L"\"" + (kInstalled / L"Uninstall.exe").wstring() + L"\"");

    const RunningProgram running = startShown(program, folder, kNoCable);
    // Files in use cannot be replaced: the installer refuses while the program runs.
    EXPECT_EQ(run(kSetup, L"/S"), 2u);
    EXPECT_EQ(running.close(), 0u);
    const std::string working = fileBytes(kInstalled / L"Brenvik.ini");
    EXPECT_NE(working.find("[SystemParameter]"), std::string::npos);
    writeFile(kInstalled / L"site.ini", "[SystemParameter]\r\nAcFltDelayHr=2\r\n");

    uninstall();
    EXPECT_EQ(namesIn(kInstalled), (Names{L"Brenvik.ini", L"site.ini"}));
    EXPECT_FALSE(fs::exists(kShortcut));

    ASSERT_EQ(run(kSetup, L"/S"), 0u);
    EXPECT_EQ(fileBytes(kInstalled / L"Brenvik.ini"), working);
    EXPECT_EQ(fileBytes(kInstalled / L"site.ini"), "[SystemParameter]\r\nAcFltDelayHr=2\r\n");
}

// The last page's "Run" starts the demo, as its shortcut does; uninstalling removes the demo's
// virtual supply state with it and keeps the operator's files.
TEST_F(Installer, DemoRunsOnTheVirtualSupplyInAFolderOfItsOwn) {
    ASSERT_EQ(installInteractivelyAndRun(), L"&Run Brenvik-USB Demo");
    const auto [program, folder] = readShortcut(kDemoShortcut);
    EXPECT_EQ(program, kDemo / L"Brenvik-USB.exe");
    EXPECT_EQ(folder, kDemo);

    HWND demo = nullptr;
    ASSERT_TRUE(waitUntil(30s, [&] { return (demo = findAnyMainWindow()) != nullptr; }));
    DWORD demoId = 0;
    ::GetWindowThreadProcessId(demo, &demoId);
    const win32::UniqueHandle process(::OpenProcess(SYNCHRONIZE, FALSE, demoId));
    const std::wstring connected = L"Pass, Connect device success! ";
    EXPECT_EQ(waitForStatus(demo, connected), connected);
    // Firmware 1.5 is the sample scenario's supply, not the virtual supply's default; the logo
    // drawn shows the images found in the working folder.
    EXPECT_EQ(controlText(demo, IDC_EDT_FIRMWARE), L"1.5");
    EXPECT_EQ(::GetPixel(win32::WindowDc(demo).get(), 4, 4), RGB(0, 0, 0));
    ::PostMessageW(demo, WM_CLOSE, 0, 0);
    ASSERT_EQ(::WaitForSingleObject(process.get(), 30000), WAIT_OBJECT_0);

    writeFile(kDemo / L"virtual-supply-state.txt", "charge_selection = 2\r\n");
    writeFile(kDemo / L"site.ini", "[SystemParameter]\r\nAcFltDelayHr=2\r\n");
    uninstall();
    EXPECT_EQ(namesIn(kDemo), (Names{L"Brenvik.ini", L"site.ini"}));
    EXPECT_FALSE(fs::exists(kDemoShortcut));
}

TEST(PortableArchive, RunsFromTheUnpackedFolder) {
    EXPECT_EQ(startShown(kPortable / L"Brenvik-USB.exe", kPortable, kNoCable).close(), 0u);
    EXPECT_TRUE(fs::exists(kPortable / L"Brenvik.ini"));
}

} // namespace
} // namespace brenvik::wintest
