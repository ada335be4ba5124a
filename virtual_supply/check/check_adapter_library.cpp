// Runs the conformance table against an FTCSPI.dll, loaded by ordinal as the program loads it,
// and prints one line per row. A user with the vendor's library (with or without a bridge
// attached) runs it and sends us the output.
//   check-adapter-library [PATH-TO-FTCSPI.dll]    (default: FTCSPI.dll found as the program finds
//   it)
// Exit code 0 when every row that ran answered as expected, 1 otherwise (also when the library
// cannot be loaded or is refused before any call).

#include "device/ftcspi_library_win32.h"
#include "virtual_supply/conformance.h"

#include <cstdio>
#include <string>

int wmain(int argc, wchar_t** argv) {
    using namespace brenvik;
    const std::wstring file = argc > 1 ? argv[1] : L"FTCSPI.dll";
    device::FtcspiLibrary library(file.c_str());
    if (!library.refusal().empty()) {
        std::printf("differs: names: %s\n", library.refusal().c_str());
        return 1;
    }
    if (!library.loaded()) {
        std::printf("differs: the library cannot be loaded\n");
        return 1;
    }
    int differing = 0;
    for (const auto& result : vsupply::conformance::run(library)) {
        differing += result.verdict == vsupply::conformance::Verdict::Differs ? 1 : 0;
        std::printf("%s\n", vsupply::conformance::line(result).c_str());
    }
    std::printf("%d row(s) differ\n", differing);
    return differing == 0 ? 0 : 1;
}
