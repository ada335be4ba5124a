#include "cli/installed_library.h"
#include "device/ftcspi_library_win32.h"
#include "usb_pipes/d2xx_bus.h"

namespace brenvik::cli {

// Calls into a missing library fail with their own status, so the connection reports "no
// device" exactly as the window does.
std::unique_ptr<device::AdapterLibrary> installedLibrary() {
    return std::make_unique<device::FtcspiLibrary>();
}

bool vendorLibraryInstalled() {
    return device::FtcspiLibrary().loaded();
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
