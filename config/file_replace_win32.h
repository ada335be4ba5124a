#pragma once
// The platform's replace call for configuration files.

#include <filesystem>

namespace brenvik::config {

// Puts `replacement` in the place of `target`. An existing target is replaced through the
// platform's replace call, which keeps its attributes (hidden, for one), its security and its
// creation time; a missing one is simply moved into place. Both replace the target whole.
bool replaceKeepingIdentity(const std::filesystem::path& replacement,
                            const std::filesystem::path& target);

} // namespace brenvik::config
