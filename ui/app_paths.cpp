#include "ui/app_paths.h"

namespace brenvik {

std::filesystem::path applicationName(const std::filesystem::path& executable) {
    return executable.filename().stem();
}

} // namespace brenvik
