#include "cli/installed_library.h"
#include "usb_pipes/ftdi_bus.h"

namespace brenvik::cli {

InstalledLibrary installedLibrary() {
    return nullptr;
}

std::unique_ptr<engine::BridgeBus> hardwareBus(Backend backend) {
    if (backend != Backend::libftdi) {
        return nullptr;
    }
    return std::make_unique<usbpipes::FtdiBus>();
}

void prepareConsole() {}

} // namespace brenvik::cli
