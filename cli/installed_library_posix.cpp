#include "cli/installed_library.h"

namespace brenvik::cli {

std::unique_ptr<device::AdapterLibrary> installedLibrary() {
    return nullptr;
}

void prepareConsole() {}

} // namespace brenvik::cli
