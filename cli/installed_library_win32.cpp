#include "cli/installed_library.h"
#include "device/ftcspi_library_win32.h"
#include "framework/module_path.h"
#include "usb_pipes/d2xx_bus.h"

#include <algorithm>
#include <filesystem>
#include <string>

namespace brenvik::cli {
namespace {

std::string utf8(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return {text.begin(), text.end()};
}

// The folders the system searches for a library loaded by its bare name, in its order: the
// program's folder, the system folder, the Windows folder, the current folder, then PATH.
std::vector<std::string> librarySearchOrder() {
    std::vector<std::string> folders{utf8(framework::modulePath().parent_path())};
    wchar_t folder[MAX_PATH + 1] = L"";
    const auto add = [&](UINT length) {
        if (length > 0 && length <= MAX_PATH) {
            const std::string name = utf8(folder);
            if (std::find(folders.begin(), folders.end(), name) == folders.end()) {
                folders.push_back(name);
            }
        }
    };
    add(::GetSystemDirectoryW(folder, MAX_PATH + 1));
    add(::GetWindowsDirectoryW(folder, MAX_PATH + 1));
    add(static_cast<UINT>(::GetCurrentDirectoryW(MAX_PATH + 1, folder)));
    folders.emplace_back("the folders on PATH");
    return folders;
}

} // namespace

// A library that is there but does not load fails in its calls with their own status, so the
// connection reports "no device" exactly as the window does.
InstalledLibrary installedLibrary() {
    auto library = std::make_unique<device::FtcspiLibrary>();
    if (!library->loaded() &&
        ::SearchPathW(nullptr, L"FTCSPI.dll", nullptr, 0, nullptr, nullptr) == 0) {
        return LibraryNotFound{"FTCSPI.dll", librarySearchOrder()};
    }
    return library;
}

std::unique_ptr<engine::BridgeBus> hardwareBus(Backend backend) {
    if (backend != Backend::d2xx) {
        return nullptr;
    }
    auto bus = std::make_unique<usbpipes::D2xxBus>();
    if (!bus->available()) {
        return nullptr;
    }
    return bus;
}

void prepareConsole() {
    SetConsoleOutputCP(CP_UTF8);
}

} // namespace brenvik::cli
