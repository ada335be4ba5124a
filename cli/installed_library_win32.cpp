#include "cli/installed_library.h"
#include "device/ftcspi_library_win32.h"

namespace brenvik::cli {

// Calls into a missing library fail with their own status, so the connection reports "no
// device" exactly as the window does.
std::unique_ptr<device::AdapterLibrary> installedLibrary() {
    return std::make_unique<device::FtcspiLibrary>();
}

void prepareConsole() {
    SetConsoleOutputCP(CP_UTF8);
}

} // namespace brenvik::cli
