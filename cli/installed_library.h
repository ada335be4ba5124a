#pragma once
// The adapter library the platform provides: on Windows the vendor's FTCSPI.dll loaded by
// ordinal like the window loads it, elsewhere none.

#include "device/adapter_library.h"

#include <memory>

namespace brenvik::cli {

std::unique_ptr<device::AdapterLibrary> installedLibrary();

// Prepares the console for the program's output (text as UTF-8 where the platform needs it).
void prepareConsole();

} // namespace brenvik::cli
