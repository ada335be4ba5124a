// Any bytes as an INI file: written back unchanged they stay the same bytes, the values set read
// back, and nothing else in the file changes. The first byte picks which keys are set.

#include "tests/support/ini_edit_check.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    static constexpr const char* kKeys[] = {"AcFltDelayHr", "SysFltDelaySec", "InstallYYYY",
                                            "ICharge",      "bInstallDate",   "x"};
    brenvik::testing::IniEdits edits;
    for (std::size_t i = 0; i < std::size(kKeys); ++i) {
        if ((data[0] >> i) & 1U) {
            edits.emplace_back(kKeys[i], std::to_string(-2147483647 + static_cast<int>(i)));
        }
    }
    const std::string_view file(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::string problem = brenvik::testing::iniEditProblems(file, "SystemParameter", edits);
    if (!problem.empty()) {
        std::fprintf(stderr, "%s\n", problem.c_str());
        std::abort();
    }
    return 0;
}
