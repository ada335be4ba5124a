// The installer and the portable archive as a technician uses them: silent installation, the
// files, shortcuts and uninstall entry it leaves, the installed program started as its shortcut
// starts it, the demo on the virtual supply, uninstalling and reinstalling around the operator's
// own files. Runs in the packages' folder, in a Wine prefix of its own.

#include "tools/driver/program_driver.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <objbase.h>
#include <shlobj.h>
#include <stdexcept>
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
const Names kImages{L"Brenvik Icon_L1.png", L"Brenvik Icon_L2.png", L"Mevo Logo_SquareBlack.png",
                    L"Mevo_Logo_Final2.png", L"Sabrel Icon_L.png"};

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

Names sorted(Names names, const Names& more) {
    names.insert(names.end(), more.begin(), more.end());
    std::sort(names.begin(), names.end());
    return names;
}

// What a shortcut file starts, and in which folder, as the shell reads it.
std::pair<fs::path, fs::path> readShortcut(const fs::path& file) {
    IShellLinkW* created = nullptr;
    IPersistFile* persisted = nullptr;
    ::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                       reinterpret_cast<void**>(&created));
    const framework::UniqueCom<IShellLinkW> link(created);
    if (link) {
        link.get()->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persisted));
    }
    const framework::UniqueCom<IPersistFile> stored(persisted);
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
    for (int i = 0; i < 300 && !uninstallValue(L"DisplayName").empty(); ++i) {
        ::Sleep(100);
    }
    ASSERT_EQ(uninstallValue(L"DisplayName"), L"");
}

// Starts `program` in `folder` and expects its window with the images drawn and `status` on the
// status line.
RunningProgram startShown(const fs::path& program, const fs::path& folder,
                          const std::wstring& status) {
    RunningProgram running = RunningProgram::start(program, {}, folder);
    const HWND window = running.waitForMainWindow();
    if (window == nullptr) {
        throw std::runtime_error("no main window");
    }
    EXPECT_EQ(waitForStatus(window, status), status);
    // The square logo lies at the window's top left corner, black where the dialog is grey.
    EXPECT_EQ(::GetPixel(framework::WindowDc(window).get(), 4, 4), RGB(0, 0, 0));
    return running;
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
    EXPECT_EQ(namesIn(kInstalled), sorted(kImages, {L"brenvik.exe", L"Brenvik-USB.exe",
                                                    L"README.txt", L"Uninstall.exe"}));
    const auto [program, folder] = readShortcut(kShortcut);
    EXPECT_EQ(program, kInstalled / L"Brenvik-USB.exe");
    EXPECT_EQ(folder, kInstalled);
    EXPECT_FALSE(fs::exists(kDemoShortcut));
    const std::wstring uninstaller = L"\"" + (kInstalled / L"Uninstall.exe").wstring() + L"\"";
    const std::vector<std::pair<const wchar_t*, std::wstring>> entry{
        {L"DisplayName", L"Brenvik-USB"},
        {L"DisplayVersion", L"1.05"},
        {L"Publisher", L"Brenvik Power Systems"},
        {L"UninstallString", uninstaller},
        {L"QuietUninstallString", uninstaller + L" /S"}};
    for (const auto& [name, value] : entry) {
        EXPECT_EQ(uninstallValue(name), value) << name;
    }

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

TEST_F(Installer, DemoRunsOnTheVirtualSupplyInAFolderOfItsOwn) {
    ASSERT_EQ(run(kSetup, L"/S /DEMO"), 0u);
    EXPECT_EQ(namesIn(kInstalled), sorted(kImages, {L"brenvik.exe", L"Brenvik-USB.exe", L"Demo\\",
                                                    L"README.txt", L"Uninstall.exe"}));
    EXPECT_EQ(namesIn(kDemo), sorted(kImages, {L"brenvik.exe", L"Brenvik-USB.exe", L"FTCSPI.dll",
                                               L"virtual-supply-scenario.txt"}));
    const auto [program, folder] = readShortcut(kDemoShortcut);
    EXPECT_EQ(program, kDemo / L"Brenvik-USB.exe");
    EXPECT_EQ(folder, kDemo);

    const RunningProgram demo = startShown(program, folder, L"Pass, Connect device success! ");
    // Firmware 1.5 is the sample scenario's supply, not the virtual supply's default.
    EXPECT_EQ(controlText(findMainWindow(demo.processId()), IDC_EDT_FIRMWARE), L"1.5");
    EXPECT_EQ(demo.close(), 0u);
    uninstall();
    EXPECT_EQ(namesIn(kDemo), (Names{L"Brenvik.ini"}));
    EXPECT_FALSE(fs::exists(kDemoShortcut));
}

TEST(PortableArchive, RunsFromTheUnpackedFolder) {
    EXPECT_EQ(namesIn(kPortable),
              sorted(kImages, {L"brenvik.exe", L"Brenvik-USB.exe", L"README.txt"}));
    EXPECT_EQ(startShown(kPortable / L"Brenvik-USB.exe", kPortable, kNoCable).close(), 0u);
    EXPECT_TRUE(fs::exists(kPortable / L"Brenvik.ini"));
}

} // namespace
} // namespace brenvik::wintest
