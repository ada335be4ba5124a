#include "tests/windows/gui_session.h"

#include <atomic>
#include <chrono>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <thread>

namespace brenvik::wintest::gui {
namespace {

// Long enough for the connect step (under 3 s) and a slow Wine, short of the CTest timeout.
constexpr auto kAnswerTimeout = 20s;
constexpr UINT kAnswerTimeoutMs = 20000;

// A message to a window of the program under test, which must answer in time.
LRESULT send(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    if (::SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL, kAnswerTimeoutMs,
                              &result) == 0) {
        ADD_FAILURE() << "the program did not answer message " << message;
    }
    return static_cast<LRESULT>(result);
}

// Controls that each option box enables and disables, in the order of kOptionBoxes.
const std::array<std::vector<int>, 6> kFollowers{{
    {IDC_CMB_CHARGE_CURRENT},
    {IDC_EDT_AC_HOURS, IDC_EDT_AC_MINUTES, IDC_EDT_AC_SECONDS, IDC_LBL_AC_HR, IDC_LBL_AC_MIN,
     IDC_LBL_AC_SEC},
    {IDC_EDT_SYS_HOURS, IDC_EDT_SYS_MINUTES, IDC_EDT_SYS_SECONDS, IDC_LBL_SYS_HR, IDC_LBL_SYS_MIN,
     IDC_LBL_SYS_SEC},
    {},
    {},
    {IDC_EDT_INSTALL_MONTH, IDC_EDT_INSTALL_DAY, IDC_EDT_INSTALL_YEAR, IDC_LBL_DATE_SEP1,
     IDC_LBL_DATE_SEP2},
}};

std::wstring profileValue(const fs::path& file, const wchar_t* key) {
    wchar_t buffer[64] = {};
    ::GetPrivateProfileStringW(L"SystemParameter", key, L"", buffer, 64, file.c_str());
    return buffer;
}

std::string ascii(const std::wstring& text) {
    return {text.begin(), text.end()};
}

BOOL CALLBACK findEdit(HWND window, LPARAM found) {
    if (className(window) != L"Edit") {
        return TRUE;
    }
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

// The file name box of a file dialog: an edit of its own in the older layout, the edit inside
// the file name combo box (itself inside an extended combo box) in the explorer layout.
HWND fileNameEdit(HWND dialog) {
    constexpr int kFileNameEdit = 0x480;
    constexpr int kFileNameCombo = 0x47C;
    if (const HWND edit = ::GetDlgItem(dialog, kFileNameEdit);
        edit != nullptr && className(edit) == L"Edit") {
        return edit;
    }
    HWND edit = nullptr;
    if (const HWND combo = ::GetDlgItem(dialog, kFileNameCombo)) {
        ::EnumChildWindows(combo, &findEdit, reinterpret_cast<LPARAM>(&edit));
    }
    return edit;
}

// Removes a folder with everything in it, read-only files and paths of any length included.
void removeTree(const std::wstring& folder) {
    WIN32_FIND_DATAW entry{};
    const HANDLE search = ::FindFirstFileW((folder + L"\\*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = entry.cFileName;
            if (name == L"." || name == L"..") {
                continue;
            }
            const std::wstring path = folder + L"\\" + name;
            if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
                removeTree(path);
            } else {
                ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                ::DeleteFileW(path.c_str());
            }
        } while (::FindNextFileW(search, &entry) != FALSE);
        ::FindClose(search);
    }
    ::RemoveDirectoryW(folder.c_str());
}

} // namespace

std::wstring extendedPath(const fs::path& path) {
    return L"\\\\?\\" + path.wstring();
}

void PrintTo(const Panel& panel, std::ostream* out) {
    *out << "{";
    for (const auto& field : panel.fields) {
        *out << '"' << ascii(field) << "\" ";
    }
    *out << "charge " << panel.chargeSelection << ", boxes";
    for (const bool box : panel.boxes) {
        *out << ' ' << (box ? 1 : 0);
    }
    *out << "}";
}

std::string configurationText(const Panel& panel) {
    std::string text = "[SystemParameter]\r\n";
    for (std::size_t i = 0; i < panel.fields.size(); ++i) {
        text += ascii(kConfigurationKeys[i]) + "=" + ascii(panel.fields[i]) + "\r\n";
    }
    text += ascii(kConfigurationKeys[9]) + "=" + std::to_string(panel.chargeSelection) + "\r\n";
    for (std::size_t i = 0; i < panel.boxes.size(); ++i) {
        text += ascii(kConfigurationKeys[10 + i]) + "=" + (panel.boxes[i] ? "1" : "0") + "\r\n";
    }
    return text;
}

Panel panelInFile(const fs::path& file) {
    Panel panel;
    for (std::size_t i = 0; i < panel.fields.size(); ++i) {
        panel.fields[i] = profileValue(file, kConfigurationKeys[i]);
    }
    panel.chargeSelection = std::stoi(L"0" + profileValue(file, kConfigurationKeys[9]));
    for (std::size_t i = 0; i < panel.boxes.size(); ++i) {
        panel.boxes[i] = profileValue(file, kConfigurationKeys[10 + i]) == L"1";
    }
    return panel;
}

ScopedEnvironment::~ScopedEnvironment() {
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
        ::SetEnvironmentVariableW(it->first.c_str(), it->second ? it->second->c_str() : nullptr);
    }
}

void ScopedEnvironment::set(const std::wstring& name, const std::wstring& value) {
    std::optional<std::wstring> previous;
    if (const DWORD size = ::GetEnvironmentVariableW(name.c_str(), nullptr, 0); size > 0) {
        std::wstring text(size, L'\0');
        text.resize(::GetEnvironmentVariableW(name.c_str(), text.data(), size));
        previous = text;
    }
    saved_.emplace_back(name, previous);
    ::SetEnvironmentVariableW(name.c_str(), value.empty() ? nullptr : value.c_str());
}

ProgramFolder::ProgramFolder() {
    static std::atomic<int> serial{0};
    path_ = fs::temp_directory_path() / ("brenvik-gui-" + std::to_string(::GetCurrentProcessId()) +
                                         "-" + std::to_string(++serial));
    programFolder_ = path_;
    fs::remove_all(path_);
    fs::create_directories(path_);
    fs::copy_file(brenvikExecutable(), executable());
    fs::copy_file(programDirectory() / "FTCSPI.dll", path_ / "FTCSPI.dll");
}

void ProgramFolder::moveProgramInto(const fs::path& subfolder) {
    fs::path target = path_;
    for (const fs::path& part : subfolder) {
        target /= part;
        if (::CreateDirectoryW(extendedPath(target).c_str(), nullptr) == FALSE) {
            throw std::runtime_error("cannot create " + target.string());
        }
    }
    for (const wchar_t* file : {L"Brenvik-USB.exe", L"FTCSPI.dll"}) {
        if (::MoveFileW(extendedPath(programFolder_ / file).c_str(),
                        extendedPath(target / file).c_str()) == FALSE) {
            throw std::runtime_error("cannot move the program to " + target.string());
        }
    }
    programFolder_ = target;
}

ProgramFolder::~ProgramFolder() {
    removeTree(extendedPath(path_));
}

ProgramTest::ProgramTest() {
    environment_.set(L"BRENVIK_VSUPPLY_STATE", L"none");
    environment_.set(L"BRENVIK_VSUPPLY_TRACE", traceFile().wstring());
    environment_.set(L"BRENVIK_VSUPPLY_SCENARIO", L"");
}

void ProgramTest::useScenario(const std::string& lines) {
    const fs::path scenario = folder_.path() / "scenario.txt";
    writeFile(scenario, lines);
    environment_.set(L"BRENVIK_VSUPPLY_SCENARIO", scenario.wstring());
}

RunningProgram ProgramTest::start() {
    RunningProgram program = RunningProgram::start(folder_.executable());
    window_ = program.waitForMainWindow();
    return program;
}

std::wstring ProgramTest::waitForStatus(std::wstring_view text) const {
    const HWND bar = statusBar(window_);
    const auto deadline = std::chrono::steady_clock::now() + kAnswerTimeout;
    std::wstring shown = statusBarText(bar, 1);
    while (shown != text && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(50ms);
        shown = statusBarText(bar, 1);
    }
    return shown;
}

std::string ProgramTest::trace() const {
    return fileBytes(traceFile());
}

void typeText(HWND window, int id, std::wstring_view text) {
    const std::wstring terminated(text);
    send(::GetDlgItem(window, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(terminated.c_str()));
}

void click(HWND window, int id) {
    send(::GetDlgItem(window, id), BM_CLICK, 0, 0);
}

void runCommand(HWND window, int id) {
    send(window, WM_COMMAND, MAKEWPARAM(id, 0), 0);
}

void selectItem(HWND window, int id, int index) {
    send(::GetDlgItem(window, id), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

Panel readPanel(HWND window) {
    Panel panel;
    for (std::size_t i = 0; i < kPanelFields.size(); ++i) {
        panel.fields[i] = controlText(window, kPanelFields[i]);
    }
    panel.chargeSelection = comboSelection(window, IDC_CMB_CHARGE_CURRENT);
    for (std::size_t i = 0; i < kOptionBoxes.size(); ++i) {
        panel.boxes[i] = isChecked(window, kOptionBoxes[i]);
    }
    return panel;
}

void enterPanel(HWND window, const Panel& panel) {
    // The boxes first: their click handling redisplays the record over the fields.
    for (std::size_t i = 0; i < kOptionBoxes.size(); ++i) {
        if (isChecked(window, kOptionBoxes[i]) != panel.boxes[i]) {
            click(window, kOptionBoxes[i]);
        }
    }
    for (std::size_t i = 0; i < kPanelFields.size(); ++i) {
        typeText(window, kPanelFields[i], panel.fields[i]);
    }
    selectItem(window, IDC_CMB_CHARGE_CURRENT, panel.chargeSelection);
}

void expectEnablingFollowsBoxes(HWND window) {
    std::vector<int> wrong;
    bool anyTicked = false;
    for (std::size_t i = 0; i < kOptionBoxes.size(); ++i) {
        const bool ticked = isChecked(window, kOptionBoxes[i]);
        anyTicked = anyTicked || ticked;
        for (const int follower : kFollowers[i]) {
            if (isEnabled(window, follower) != ticked) {
                wrong.push_back(follower);
            }
        }
    }
    if (isEnabled(window, IDC_BTN_APPLY) != anyTicked) {
        wrong.push_back(IDC_BTN_APPLY);
    }
    EXPECT_EQ(wrong, std::vector<int>{}) << "controls enabled or disabled against their box";
}

bool answerFileDialog(const RunningProgram& program, std::wstring_view caption,
                      const fs::path& file) {
    const HWND dialog = waitForWindow(program.processId(), caption, kAnswerTimeout);
    if (dialog == nullptr) {
        ADD_FAILURE() << "no file dialog \"" << ascii(std::wstring(caption)) << "\"";
        return false;
    }
    const HWND edit = fileNameEdit(dialog);
    if (edit == nullptr) {
        ADD_FAILURE() << "the file dialog has no file name box";
        return false;
    }
    const std::wstring path = file.wstring();
    send(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
    pressButton(dialog, IDOK);
    if (!waitUntilGone(dialog, kAnswerTimeout)) {
        ADD_FAILURE() << "the file dialog stayed open for " << file.string();
        return false;
    }
    // The dialog is gone before the program has written or read the file; a message to the main
    // window is answered once the command is done (or has shown its own message box).
    send(findMainWindow(program.processId()), WM_NULL, 0, 0);
    return true;
}

std::wstring messageText(HWND box) {
    constexpr int kMessageText = 0xFFFF;
    return controlText(box, kMessageText);
}

std::string fileBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const fs::path& file, std::string_view bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

} // namespace brenvik::wintest::gui
