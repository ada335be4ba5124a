#include "shell/app_paths.h"

namespace brenvik {

std::filesystem::path applicationName(const std::filesystem::path& executable) {
    return executable.filename().stem();
}

std::filesystem::path workingConfigurationFile(const std::filesystem::path& executable) {
    return std::filesystem::path(executable).replace_filename(kWorkingConfigurationFileName);
}

} // namespace brenvik
