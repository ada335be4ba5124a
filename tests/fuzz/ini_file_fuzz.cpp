// Any bytes as an INI file: written back unchanged they stay the same bytes, the values set read
// back, and nothing else in the file changes. The first byte picks which keys are set.

#include "tests/fuzz/fuzz_input.h"
#include "tests/support/ini_edit_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static constexpr const char* kKeys[] = {"AcFltDelayHr", "SysFltDelaySec", "InstallYYYY",
                                            "ICharge",      "bInstallDate",   "x"};
    brenvik::testing::IniEdits edits;
    for (std::size_t i = 0; size > 0 && i < std::size(kKeys); ++i) {
        if ((data[0] >> i) & 1U) {
            edits.emplace_back(kKeys[i], std::to_string(-2147483647 + static_cast<int>(i)));
        }
    }
    const std::string problem = brenvik::testing::iniEditProblems(
        brenvik::fuzz::afterFirst(data, size), "SystemParameter", edits);
    brenvik::fuzz::require(problem.empty(), problem);
    return 0;
}
