#pragma once
// The adapter library and the buses of real bridges the platform provides: on Windows the
// vendor's FTCSPI.dll loaded by ordinal like the window loads it and the bridge driver's
// ftd2xx.dll; elsewhere libftdi1 only.

#include "cli/commands.h"

namespace brenvik::cli {

InstalledLibrary installedLibrary();

// The bus of real bridges a backend names on this platform (D2XX on Windows when its library is
// installed, libftdi1 elsewhere); nothing for the others.
std::unique_ptr<engine::BridgeBus> hardwareBus(Backend backend);

// Prepares the console for the program's output (text as UTF-8 where the platform needs it).
void prepareConsole();

} // namespace brenvik::cli
