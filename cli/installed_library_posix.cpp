#include "cli/installed_library.h"

namespace brenvik::cli {

InstalledLibrary installedLibrary() {
    return nullptr;
}

void prepareConsole() {}

} // namespace brenvik::cli
