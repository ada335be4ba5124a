#pragma once
// Full path of a loaded module, however long.

#include "win32/win32.h"

#include <filesystem>

namespace brenvik::win32 {

// The path of `module` (the program itself for nullptr). The buffer starts at
// `initialCapacity` characters and grows until the whole path fits; the path is never cut off.
std::filesystem::path modulePath(HMODULE module = nullptr, DWORD initialCapacity = MAX_PATH);

} // namespace brenvik::win32
