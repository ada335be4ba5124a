#pragma once
// The adapter library the platform provides: on Windows the vendor's FTCSPI.dll loaded by
// ordinal like the window loads it, elsewhere none.

#include "cli/commands.h"

namespace brenvik::cli {

InstalledLibrary installedLibrary();

// Prepares the console for the program's output (text as UTF-8 where the platform needs it).
void prepareConsole();

} // namespace brenvik::cli
