#include "virtual_supply/host_options.h"

#include <system_error>

namespace brenvik::vsupply {

HostOptions hostOptionsFrom(const EnvironmentLookup& environment,
                            const std::filesystem::path& folder) {
    HostOptions options;
    if (auto scenario = environment("BRENVIK_VSUPPLY_SCENARIO")) {
        options.scenarioFile = std::move(scenario);
    } else {
        std::error_code error;
        auto beside = folder / "virtual-supply-scenario.txt";
        if (std::filesystem::exists(beside, error)) {
            options.scenarioFile = std::move(beside);
        }
    }
    const auto state = environment("BRENVIK_VSUPPLY_STATE");
    if (!state) {
        options.stateFile = folder / "virtual-supply-state.txt";
    } else if (*state != "none") {
        options.stateFile = *state;
    }
    options.traceFile = environment("BRENVIK_VSUPPLY_TRACE");
    // Every host shares its bridges with the others through the same folder of locks.
    if (auto locks = environment("BRENVIK_VSUPPLY_LOCKS")) {
        options.lockFolder = std::move(locks);
    } else {
        std::error_code error;
        options.lockFolder = std::filesystem::temp_directory_path(error);
    }
    return options;
}

} // namespace brenvik::vsupply
