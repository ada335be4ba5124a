#include "tools/driver/program_driver.h"

#include "framework/module_path.h"

#include <algorithm>
#include <atomic>
#include <commctrl.h>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <thread>

namespace brenvik::wintest {
namespace {

// Long enough for the connect step (under 3 s) and a slow Wine, short of the CTest timeout.
constexpr auto kAnswerTimeout = 20s;

// A message to a window of another thread or process, which must answer in time.
LRESULT send(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    DWORD_PTR result = 0;
    if (::SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL,
                              static_cast<UINT>(kAnswerTimeout / 1ms), &result) == 0) {
        throw std::runtime_error("no answer to message " + std::to_string(message));
    }
    return static_cast<LRESULT>(result);
}

HWND findWindow(DWORD processId, std::wstring_view caption, const wchar_t* windowClass) {
    const std::vector<HWND> found = visibleWindows(processId, caption, windowClass);
    return found.empty() ? nullptr : found.front();
}

constexpr std::array<const wchar_t*, 16> kPanelKeys{
    L"AcFltDelayHr",   L"AcFltDelayMin",  L"AcFltDelaySec",     L"SysFltDelayHr",
    L"SysFltDelayMin", L"SysFltDelaySec", L"InstallMM",         L"InstallDD",
    L"InstallYYYY",    L"ICharge",        L"bChargeCurrent",    L"bAcFltDelay",
    L"bSysFltDelay",   L"bResetBatCon",   L"bResetFaultCounts", L"bInstallDate"};
// The hour, minute and second edits of both delays, month, day and year, the charge selector,
// and the six boxes.
constexpr std::array<int, 16> kPanelControls{1005, 1006, 1007, 1008, 1009, 1010, 1058, 1059,
                                             1060, 1003, 1000, 1001, 1002, 1004, 1031, 1032};
constexpr std::size_t kChargeEntry = 9;

bool isChecked(HWND dialog, int id) {
    return send(::GetDlgItem(dialog, id), BM_GETCHECK) == BST_CHECKED;
}

bool isEnabled(HWND dialog, int id) {
    return ::IsWindowEnabled(::GetDlgItem(dialog, id)) != FALSE;
}

// A control that each option box enables and disables, in the order of the boxes in kPanelControls
// (0 for the two boxes that govern no control).
constexpr std::array<int, 6> kFollowers{
    IDC_CMB_CHARGE_CURRENT, IDC_EDT_AC_HOURS, IDC_LBL_SYS_SEC, 0, 0, IDC_EDT_INSTALL_YEAR};
constexpr std::size_t kFirstBox = kChargeEntry + 1;

std::string ascii(std::wstring_view text) {
    return {text.begin(), text.end()};
}

// Removes a folder with everything in it, read-only files and paths of any length included
// (the extended form "\\?\" of an absolute path reaches any length).
void removeTree(const std::wstring& folder) {
    WIN32_FIND_DATAW entry{};
    const HANDLE search = ::FindFirstFileW((folder + L"\\*").c_str(), &entry);
    for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = ::FindNextFileW(search, &entry)) {
        const std::wstring name = entry.cFileName;
        const std::wstring path = folder + L"\\" + name;
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            ::DeleteFileW(path.c_str());
        } else if (name != L"." && name != L"..") {
            removeTree(path);
        }
    }
    ::FindClose(search);
    ::RemoveDirectoryW(folder.c_str());
}

} // namespace

std::vector<HWND> visibleWindows(DWORD processId, std::wstring_view caption,
                                 const wchar_t* windowClass) {
    const std::wstring title(caption);
    std::vector<HWND> found;
    for (HWND window = nullptr;
         (window = ::FindWindowExW(nullptr, window, windowClass, title.c_str())) != nullptr;) {
        DWORD owner = 0;
        ::GetWindowThreadProcessId(window, &owner);
        if ((processId == 0 || owner == processId) && ::IsWindowVisible(window) != FALSE) {
            found.push_back(window);
        }
    }
    return found;
}

RunningProgram RunningProgram::start(const fs::path& executable, std::wstring_view arguments,
                                     const fs::path& folder) {
    std::wstring commandLine = L"\"" + executable.wstring() + L"\"";
    if (!arguments.empty()) {
        commandLine.append(L" ").append(arguments);
    }
    const fs::path workingFolder = folder.empty() ? executable.parent_path() : folder;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    if (::CreateProcessW(executable.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                         nullptr, workingFolder.c_str(), &startup, &info) == FALSE) {
        throw std::runtime_error("CreateProcessW failed for " + executable.string());
    }
    ::CloseHandle(info.hThread);
    return RunningProgram(framework::UniqueHandle(info.hProcess), info.dwProcessId);
}

RunningProgram::~RunningProgram() {
    if (process_ && running()) {
        ::TerminateProcess(process_.get(), 255);
        ::WaitForSingleObject(process_.get(), 10000);
    }
}

bool RunningProgram::running() const {
    return ::WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT;
}

HWND RunningProgram::waitForMainWindow(std::chrono::milliseconds timeout) const {
    HWND window = nullptr;
    waitUntil(timeout, [&] {
        window = findMainWindow(processId_);
        return window != nullptr || !running();
    });
    return window;
}

std::optional<DWORD> RunningProgram::waitForExit(std::chrono::milliseconds timeout) const {
    DWORD code = 0;
    if (::WaitForSingleObject(process_.get(), static_cast<DWORD>(timeout.count())) !=
            WAIT_OBJECT_0 ||
        ::GetExitCodeProcess(process_.get(), &code) == FALSE) {
        return std::nullopt;
    }
    return code;
}

std::optional<DWORD> RunningProgram::close() const {
    if (const HWND window = findMainWindow(processId_)) {
        ::PostMessageW(window, WM_CLOSE, 0, 0);
    }
    return waitForExit();
}

HWND findMainWindow(DWORD processId) {
    return findWindow(processId, L"Brenvik-USB", L"#32770");
}

HWND findAnyMainWindow() {
    return findMainWindow(0);
}

HWND waitForWindow(DWORD processId, std::wstring_view caption, std::chrono::milliseconds timeout) {
    HWND window = nullptr;
    waitUntil(timeout,
              [&] { return (window = findWindow(processId, caption, nullptr)) != nullptr; });
    return window;
}

bool waitUntilGone(HWND window, std::chrono::milliseconds timeout) {
    return waitUntil(timeout, [&] { return ::IsWindow(window) == FALSE; });
}

std::wstring waitForStatus(HWND window, std::wstring_view text) {
    const HWND bar = statusBar(window);
    std::wstring shown;
    waitUntil(kAnswerTimeout, [&] { return (shown = statusBarText(bar, 1)) == text; });
    return shown;
}

std::wstring controlText(HWND dialog, int id) {
    // Asked of the control itself: for a control of another process GetWindowText reads the
    // window's caption, not what an edit holds.
    const HWND control = ::GetDlgItem(dialog, id);
    std::wstring text(static_cast<std::size_t>(send(control, WM_GETTEXTLENGTH)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        send(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()))));
    return text;
}

int comboSelection(HWND dialog, int id) {
    return static_cast<int>(send(::GetDlgItem(dialog, id), CB_GETCURSEL));
}

HWND focusedWindow(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    ::GetGUIThreadInfo(::GetWindowThreadProcessId(window, nullptr), &info);
    return info.hwndFocus;
}

HWND statusBar(HWND window) {
    return ::FindWindowExW(window, nullptr, STATUSCLASSNAMEW, nullptr);
}

std::wstring statusBarText(HWND bar, int part) {
    // The bar's text messages are not marshalled between processes: the text is read through a
    // buffer in the memory of the bar's process.
    const std::size_t length = LOWORD(send(bar, SB_GETTEXTLENGTHW, part));
    DWORD processId = 0;
    ::GetWindowThreadProcessId(bar, &processId);
    const framework::UniqueHandle process(
        ::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId));
    const std::size_t size = (length + 1) * sizeof(wchar_t);
    void* remote = process ? ::VirtualAllocEx(process.get(), nullptr, size,
                                              MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE)
                           : nullptr;
    if (remote == nullptr) {
        throw std::runtime_error("cannot reach the memory of the status bar's process");
    }
    send(bar, SB_GETTEXTW, part, reinterpret_cast<LPARAM>(remote));
    std::wstring text(length + 1, L'\0');
    const BOOL read = ::ReadProcessMemory(process.get(), remote, text.data(), size, nullptr);
    ::VirtualFreeEx(process.get(), remote, 0, MEM_RELEASE);
    if (read == FALSE) {
        throw std::runtime_error("cannot read the status bar's text");
    }
    text.resize(length);
    return text;
}

void pressButton(HWND dialog, int id) {
    ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id)));
}

void postKey(HWND window, UINT virtualKey) {
    const LPARAM scanCode = static_cast<LPARAM>(::MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC));
    ::PostMessageW(window, WM_KEYDOWN, virtualKey, 1 | (scanCode << 16));
    ::PostMessageW(window, WM_KEYUP, virtualKey, 1 | (scanCode << 16) | (LPARAM(3) << 30));
}

namespace {

// The program's visible top-level windows, with the class name of those without a caption.
std::vector<std::pair<HWND, std::wstring>> topLevelWindows(DWORD processId) {
    std::vector<std::pair<HWND, std::wstring>> found;
    for (HWND window = nullptr;
         (window = ::FindWindowExW(nullptr, window, nullptr, nullptr)) != nullptr;) {
        DWORD owner = 0;
        ::GetWindowThreadProcessId(window, &owner);
        if (owner == processId && ::IsWindowVisible(window) != FALSE) {
            wchar_t name[128] = L"";
            if (::GetWindowTextW(window, name, 128) == 0) {
                ::GetClassNameW(window, name, 128);
            }
            found.emplace_back(window, name);
        }
    }
    return found;
}

// Presses and releases the left button at `at` (screen pixels). The position travels with the
// button events: a pointer motion that the program's display connection reports late, from an
// earlier click, moves the cursor back, and a click at "wherever the cursor is" would then land
// there.
void leftClickAt(POINT at) {
    const int width = ::GetSystemMetrics(SM_CXSCREEN);
    const int height = ::GetSystemMetrics(SM_CYSCREEN);
    std::array<INPUT, 2> inputs{};
    for (INPUT& input : inputs) {
        input.type = INPUT_MOUSE;
        // The middle of the pixel on the 0..65535 scale of absolute input.
        input.mi.dx = static_cast<LONG>((2LL * at.x + 1) * 65536 / (2LL * width));
        input.mi.dy = static_cast<LONG>((2LL * at.y + 1) * 65536 / (2LL * height));
        input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    }
    inputs[0].mi.dwFlags |= MOUSEEVENTF_LEFTDOWN;
    inputs[1].mi.dwFlags |= MOUSEEVENTF_LEFTUP;
    ::SetCursorPos(at.x, at.y);
    ::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

// No menu of the thread of `window` is open or being tracked and no window of it holds the mouse:
// a click now reaches the window under the cursor instead of ending a menu.
bool noMenuOrCapture(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    return ::GetGUIThreadInfo(::GetWindowThreadProcessId(window, nullptr), &info) != FALSE &&
           (info.flags & (GUI_INMENUMODE | GUI_POPUPMENUMODE | GUI_INMOVESIZE)) == 0 &&
           info.hwndCapture == nullptr && info.hwndMenuOwner == nullptr;
}

// Waits until `ready` holds before a click; throws when it does not within the answer timeout.
template <class Predicate>
void waitBeforeClick(Predicate ready, const char* what) {
    if (!waitUntil(kAnswerTimeout, ready)) {
        throw std::runtime_error(std::string("no click sent: ") + what);
    }
}

std::wstring clickAndWatch(HWND window, MouseTarget target, std::chrono::milliseconds wait) {
    DWORD processId = 0;
    ::GetWindowThreadProcessId(window, &processId);
    const auto before = topLevelWindows(processId);
    const std::wstring caption = controlText(window, IDC_BTN_START);
    POINT at{};
    if (target == MouseTarget::FileMenu) {
        // "File" is the first item of the menu bar, which lies right above the client area.
        ::ClientToScreen(window, &at);
        at.x += 12;
        at.y -= ::GetSystemMetrics(SM_CYMENU) / 2;
    } else {
        RECT button{};
        ::GetWindowRect(
            ::GetDlgItem(window, target == MouseTarget::Start ? IDC_BTN_START : IDC_BTN_APPLY),
            &button);
        at = {(button.left + button.right) / 2, (button.top + button.bottom) / 2};
    }
    // Two clicks within the double-click time would make one double click.
    static auto lastClick = std::chrono::steady_clock::time_point();
    std::this_thread::sleep_until(lastClick + std::chrono::milliseconds(::GetDoubleClickTime()) +
                                  100ms);
    leftClickAt(at);
    lastClick = std::chrono::steady_clock::now();
    std::wstring shown;
    waitUntil(wait, [&] {
        if (controlText(window, IDC_BTN_START) != caption) {
            // Read again: a caption that changed between the reads of its length and its text
            // comes back cut short.
            shown = controlText(window, IDC_BTN_START);
            return true;
        }
        for (const auto& found : topLevelWindows(processId)) {
            if (std::find(before.begin(), before.end(), found) == before.end()) {
                shown = found.second;
                return true;
            }
        }
        return false;
    });
    if (shown == L"#32768") {
        // Closed again, and not only hidden: the menu's tracking ends after its window has gone,
        // and until then it takes the next click for itself.
        ::PostMessageW(window, WM_CANCELMODE, 0, 0);
        waitBeforeClick(
            [&] {
                return topLevelWindows(processId).size() == before.size() &&
                       noMenuOrCapture(window);
            },
            "the menu the click opened stayed open");
    }
    return shown;
}

} // namespace

std::wstring mouseClick(HWND window, MouseTarget target, std::chrono::milliseconds wait) {
    // A box that has just gone re-enables the window and hands it the activation a moment later;
    // a click before that would be lost.
    waitBeforeClick(
        [&] {
            return ::IsWindowEnabled(window) != FALSE && ::GetForegroundWindow() == window &&
                   noMenuOrCapture(window);
        },
        "the window never took input (disabled, in the background or in a menu)");
    return clickAndWatch(window, target, wait);
}

std::vector<std::wstring> clicksBehind(HWND box, HWND window) {
    RECT main{};
    RECT boxRect{};
    ::GetWindowRect(window, &main);
    ::GetWindowRect(box, &boxRect);
    // Below the main window when there is room, else above it.
    const int height = boxRect.bottom - boxRect.top;
    const int below = main.bottom + 8;
    const int top =
        below + height <= ::GetSystemMetrics(SM_CYSCREEN) ? below : main.top - height - 8;
    ::SetWindowPos(box, nullptr, main.left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    std::vector<std::wstring> shown;
    for (const MouseTarget target :
         {MouseTarget::Start, MouseTarget::Apply, MouseTarget::FileMenu}) {
        // The box is the operator's window, as it is when it has just opened.
        waitBeforeClick([&] { return ::GetForegroundWindow() == box && noMenuOrCapture(window); },
                        "the box never came to the foreground");
        shown.push_back(clickAndWatch(window, target, 1500ms));
    }
    return shown;
}

void typeText(HWND window, int id, std::wstring_view text) {
    const std::wstring terminated(text);
    send(::GetDlgItem(window, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(terminated.c_str()));
}

void click(HWND window, int id) {
    send(::GetDlgItem(window, id), BM_CLICK);
}

void runCommand(HWND window, int id) {
    send(window, WM_COMMAND, MAKEWPARAM(id, 0));
}

Panel readPanel(HWND window) {
    Panel panel;
    for (std::size_t i = 0; i < kPanelKeys.size(); ++i) {
        const int id = kPanelControls[i];
        panel[i] = i < kChargeEntry    ? controlText(window, id)
                   : i == kChargeEntry ? std::to_wstring(comboSelection(window, id))
                                       : (isChecked(window, id) ? L"1" : L"0");
    }
    return panel;
}

void enterPanel(HWND window, const Panel& panel) {
    // The boxes first: their click handling redisplays the record over the fields.
    for (std::size_t i = kFirstBox; i < kPanelKeys.size(); ++i) {
        if (isChecked(window, kPanelControls[i]) != (panel[i] == L"1")) {
            click(window, kPanelControls[i]);
        }
    }
    for (std::size_t i = 0; i < kChargeEntry; ++i) {
        typeText(window, kPanelControls[i], panel[i]);
    }
    send(::GetDlgItem(window, IDC_CMB_CHARGE_CURRENT), CB_SETCURSEL,
         static_cast<WPARAM>(std::stoi(panel[kChargeEntry])));
}

std::vector<int> controlsAgainstTheirBoxes(HWND window) {
    std::vector<int> wrong;
    bool anyTicked = false;
    for (std::size_t box = 0; box < kFollowers.size(); ++box) {
        const bool ticked = isChecked(window, kPanelControls[kFirstBox + box]);
        anyTicked = anyTicked || ticked;
        if (kFollowers[box] != 0 && isEnabled(window, kFollowers[box]) != ticked) {
            wrong.push_back(kFollowers[box]);
        }
    }
    if (isEnabled(window, IDC_BTN_APPLY) != anyTicked) {
        wrong.push_back(IDC_BTN_APPLY);
    }
    return wrong;
}

std::string configurationText(const Panel& panel) {
    std::string text = "[SystemParameter]\r\n";
    for (std::size_t i = 0; i < kPanelKeys.size(); ++i) {
        text += ascii(kPanelKeys[i]) + "=" + ascii(panel[i]) + "\r\n";
    }
    return text;
}

std::wstring profileValue(const fs::path& file, const wchar_t* key) {
    wchar_t buffer[64] = {};
    ::GetPrivateProfileStringW(L"SystemParameter", key, L"", buffer, 64, file.c_str());
    return buffer;
}

Panel panelInFile(const fs::path& file) {
    Panel panel;
    for (std::size_t i = 0; i < kPanelKeys.size(); ++i) {
        panel[i] = profileValue(file, kPanelKeys[i]);
    }
    return panel;
}

std::string fileBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const fs::path& file, std::string_view bytes) {
    std::ofstream(file, std::ios::binary | std::ios::trunc)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

TestFolder::TestFolder() {
    static std::atomic<int> serial{0};
    // Wine hands out the same small process ids run after run, and a run that was killed left its
    // folders behind: a name already taken is skipped, so every test starts in an empty folder.
    do {
        path_ =
            fs::temp_directory_path() / ("brenvik-test-" + std::to_string(::GetCurrentProcessId()) +
                                         "-" + std::to_string(++serial));
    } while (!fs::create_directory(path_));
}

TestFolder::~TestFolder() {
    removeTree(L"\\\\?\\" + path_.wstring());
}

ProgramSession::ProgramSession() : programFolder_(folder()) {
    // The program and the stand-in library, which the build puts beside the test program.
    const fs::path built = framework::modulePath().parent_path();
    fs::copy_file(built / "Brenvik-USB.exe", executable());
    fs::copy_file(built / "FTCSPI.dll", programFolder_ / "FTCSPI.dll");
    ::SetEnvironmentVariableW(L"BRENVIK_VSUPPLY_STATE", L"none");
    ::SetEnvironmentVariableW(L"BRENVIK_VSUPPLY_TRACE", (folder() / "trace.txt").c_str());
    ::SetEnvironmentVariableW(L"BRENVIK_VSUPPLY_SCENARIO", nullptr);
}

void ProgramSession::moveProgramInto(const std::wstring& name) {
    const fs::path target = folder() / name;
    fs::create_directory(target);
    for (const char* file : {"Brenvik-USB.exe", "FTCSPI.dll"}) {
        fs::rename(programFolder_ / file, target / file);
    }
    programFolder_ = target;
}

void ProgramSession::useScenario(std::string_view lines) {
    const fs::path scenario = folder() / "scenario.txt";
    writeFile(scenario, lines);
    ::SetEnvironmentVariableW(L"BRENVIK_VSUPPLY_SCENARIO", scenario.c_str());
}

RunningProgram ProgramSession::start() {
    RunningProgram program = RunningProgram::start(executable());
    processId_ = program.processId();
    window_ = program.waitForMainWindow();
    if (window_ == nullptr) {
        throw std::runtime_error("the program showed no main window");
    }
    return program;
}

std::wstring ProgramSession::waitForStatus(std::wstring_view text) const {
    return wintest::waitForStatus(window_, text);
}

void ProgramSession::answerFileDialog(std::wstring_view caption, const fs::path& file) const {
    // The file name box has the focus when a file dialog opens, in every layout of the dialog.
    const HWND dialog = waitForWindow(processId_, caption, kAnswerTimeout);
    const HWND edit = dialog != nullptr ? focusedWindow(dialog) : nullptr;
    wchar_t name[8] = {};
    if (edit == nullptr || ::GetClassNameW(edit, name, 8) == 0 || std::wstring(name) != L"Edit") {
        throw std::runtime_error("no file dialog \"" + ascii(caption) + "\" with a file name box");
    }
    send(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(file.c_str()));
    pressButton(dialog, IDOK);
    if (!waitUntilGone(dialog, kAnswerTimeout)) {
        throw std::runtime_error("the file dialog stayed open for " + file.string());
    }
    // The dialog is gone before the program has written or read the file; a message to the main
    // window is answered once the command is done (or has shown its own message box).
    send(window_, WM_NULL);
}

} // namespace brenvik::wintest
