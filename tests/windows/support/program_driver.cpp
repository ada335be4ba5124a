#include "tests/windows/support/program_driver.h"

#include "framework/module_path.h"

#include <commctrl.h>
#include <stdexcept>
#include <thread>

namespace brenvik::wintest {
namespace {

constexpr auto kPollInterval = 20ms;

template <class Predicate>
bool pollUntil(std::chrono::milliseconds timeout, Predicate done) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (done()) {
            return true;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(kPollInterval);
    }
}

constexpr DWORD kAnyProcess = 0;

struct WindowSearch {
    DWORD processId; // kAnyProcess for every process
    std::wstring_view caption;
    std::wstring_view windowClass; // empty: any class
    HWND found = nullptr;
};

BOOL CALLBACK matchWindow(HWND window, LPARAM context) {
    auto& search = *reinterpret_cast<WindowSearch*>(context);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if ((search.processId != kAnyProcess && owner != search.processId) ||
        ::IsWindowVisible(window) == FALSE || windowText(window) != search.caption ||
        (!search.windowClass.empty() && className(window) != search.windowClass)) {
        return TRUE;
    }
    search.found = window;
    return FALSE;
}

HWND findWindow(DWORD processId, std::wstring_view caption, std::wstring_view windowClass) {
    WindowSearch search{processId, caption, windowClass};
    ::EnumWindows(&matchWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// A block of memory in another process, freed at the end.
class RemoteBuffer {
public:
    RemoteBuffer(HANDLE process, std::size_t size)
        : process_(process), address_(::VirtualAllocEx(process, nullptr, size,
                                                       MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE)),
          size_(size) {
        if (address_ == nullptr) {
            throw std::runtime_error("VirtualAllocEx failed");
        }
    }
    RemoteBuffer(const RemoteBuffer&) = delete;
    RemoteBuffer& operator=(const RemoteBuffer&) = delete;
    ~RemoteBuffer() { ::VirtualFreeEx(process_, address_, 0, MEM_RELEASE); }

    LPARAM address() const { return reinterpret_cast<LPARAM>(address_); }
    void read(void* target, std::size_t size) const {
        SIZE_T copied = 0;
        if (size > size_ ||
            ::ReadProcessMemory(process_, address_, target, size, &copied) == FALSE ||
            copied != size) {
            throw std::runtime_error("ReadProcessMemory failed");
        }
    }

private:
    HANDLE process_;
    void* address_;
    std::size_t size_;
};

framework::UniqueHandle openOwner(HWND window) {
    DWORD processId = 0;
    ::GetWindowThreadProcessId(window, &processId);
    framework::UniqueHandle process(
        ::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId));
    if (!process) {
        throw std::runtime_error("OpenProcess failed");
    }
    return process;
}

} // namespace

std::filesystem::path programDirectory() {
    return framework::modulePath().parent_path();
}

std::filesystem::path brenvikExecutable() {
    return programDirectory() / "Brenvik-USB.exe";
}

RunningProgram RunningProgram::start(const std::filesystem::path& executable,
                                     std::wstring_view arguments,
                                     const std::filesystem::path& workingDirectory) {
    std::wstring commandLine = L"\"" + executable.wstring() + L"\"";
    if (!arguments.empty()) {
        commandLine += L" ";
        commandLine += arguments;
    }
    const std::filesystem::path folder =
        workingDirectory.empty() ? executable.parent_path() : workingDirectory;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    if (::CreateProcessW(executable.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                         nullptr, folder.c_str(), &startup, &info) == FALSE) {
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
    pollUntil(timeout, [&] {
        window = findMainWindow(processId_);
        return window != nullptr || !running();
    });
    return window;
}

std::optional<DWORD> RunningProgram::waitForExit(std::chrono::milliseconds timeout) const {
    if (::WaitForSingleObject(process_.get(), static_cast<DWORD>(timeout.count())) !=
        WAIT_OBJECT_0) {
        return std::nullopt;
    }
    DWORD code = 0;
    ::GetExitCodeProcess(process_.get(), &code);
    return code;
}

std::optional<DWORD> RunningProgram::close(std::chrono::milliseconds timeout) const {
    if (HWND window = findMainWindow(processId_)) {
        ::PostMessageW(window, WM_CLOSE, 0, 0);
    }
    return waitForExit(timeout);
}

HWND findMainWindow(DWORD processId) {
    return findWindow(processId, kMainWindowCaption, kDialogClass);
}

HWND findAnyMainWindow() {
    return findWindow(kAnyProcess, kMainWindowCaption, kDialogClass);
}

HWND waitForWindow(DWORD processId, std::wstring_view caption, std::chrono::milliseconds timeout) {
    HWND window = nullptr;
    pollUntil(timeout, [&] {
        window = findWindow(processId, caption, {});
        return window != nullptr;
    });
    return window;
}

bool waitUntilGone(HWND window, std::chrono::milliseconds timeout) {
    return pollUntil(timeout, [&] { return ::IsWindow(window) == FALSE; });
}

std::wstring windowText(HWND window) {
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        ::GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

std::wstring className(HWND window) {
    wchar_t name[256] = {};
    const int length = ::GetClassNameW(window, name, 256);
    return std::wstring(name, static_cast<std::size_t>(length));
}

std::wstring controlText(HWND dialog, int id) {
    // Asked of the control itself: for a control of another process GetWindowText reads the
    // window's caption, not what an edit holds.
    constexpr UINT kAnswerTimeoutMs = 10000;
    const HWND control = ::GetDlgItem(dialog, id);
    DWORD_PTR length = 0;
    if (::SendMessageTimeoutW(control, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kAnswerTimeoutMs,
                              &length) == 0) {
        return {};
    }
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    ::SendMessageTimeoutW(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                          SMTO_ABORTIFHUNG, kAnswerTimeoutMs, &copied);
    text.resize(copied < text.size() ? copied : 0);
    return text;
}

bool isChecked(HWND dialog, int id) {
    return ::SendDlgItemMessageW(dialog, id, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

bool isEnabled(HWND dialog, int id) {
    return ::IsWindowEnabled(::GetDlgItem(dialog, id)) != FALSE;
}

bool isVisible(HWND dialog, int id) {
    return ::IsWindowVisible(::GetDlgItem(dialog, id)) != FALSE;
}

DWORD style(HWND window) {
    return static_cast<DWORD>(::GetWindowLongPtrW(window, GWL_STYLE));
}

DWORD exStyle(HWND window) {
    return static_cast<DWORD>(::GetWindowLongPtrW(window, GWL_EXSTYLE));
}

RECT rectInParent(HWND window, HWND parent) {
    RECT rect{};
    ::GetWindowRect(window, &rect);
    ::MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

std::vector<std::wstring> comboItems(HWND dialog, int id) {
    std::vector<std::wstring> items;
    const LRESULT count = ::SendDlgItemMessageW(dialog, id, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        const LRESULT length = ::SendDlgItemMessageW(dialog, id, CB_GETLBTEXTLEN, i, 0);
        std::wstring text(static_cast<std::size_t>(length < 0 ? 0 : length) + 1, L'\0');
        const LRESULT copied = ::SendDlgItemMessageW(dialog, id, CB_GETLBTEXT, i,
                                                     reinterpret_cast<LPARAM>(text.data()));
        text.resize(copied < 0 ? 0 : static_cast<std::size_t>(copied));
        items.push_back(text);
    }
    return items;
}

int comboSelection(HWND dialog, int id) {
    return static_cast<int>(::SendDlgItemMessageW(dialog, id, CB_GETCURSEL, 0, 0));
}

HWND focusedWindow(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    if (::GetGUIThreadInfo(::GetWindowThreadProcessId(window, nullptr), &info) == FALSE) {
        return nullptr;
    }
    return info.hwndFocus;
}

HWND statusBar(HWND window) {
    return ::FindWindowExW(window, nullptr, STATUSCLASSNAMEW, nullptr);
}

std::wstring statusBarText(HWND bar, int part) {
    const LRESULT lengthAndType = ::SendMessageW(bar, SB_GETTEXTLENGTHW, part, 0);
    const std::size_t length = LOWORD(lengthAndType);
    const framework::UniqueHandle process = openOwner(bar);
    const RemoteBuffer remote(process.get(), (length + 1) * sizeof(wchar_t));
    ::SendMessageW(bar, SB_GETTEXTW, part, remote.address());
    std::wstring text(length + 1, L'\0');
    remote.read(text.data(), text.size() * sizeof(wchar_t));
    text.resize(length);
    return text;
}

std::vector<int> statusBarParts(HWND bar) {
    const auto count = static_cast<std::size_t>(::SendMessageW(bar, SB_GETPARTS, 0, 0));
    if (count == 0) {
        return {};
    }
    const framework::UniqueHandle process = openOwner(bar);
    const RemoteBuffer remote(process.get(), count * sizeof(int));
    ::SendMessageW(bar, SB_GETPARTS, count, remote.address());
    std::vector<int> edges(count);
    remote.read(edges.data(), count * sizeof(int));
    return edges;
}

void pressButton(HWND dialog, int id) {
    ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id)));
}

void postKey(HWND window, UINT virtualKey) {
    const UINT scanCode = ::MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC);
    ::PostMessageW(window, WM_KEYDOWN, virtualKey, 1 | (static_cast<LPARAM>(scanCode) << 16));
    ::PostMessageW(window, WM_KEYUP, virtualKey,
                   1 | (static_cast<LPARAM>(scanCode) << 16) | (LPARAM(3) << 30));
}

void postCommand(HWND window, int id) {
    ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, 0), 0);
}

} // namespace brenvik::wintest
