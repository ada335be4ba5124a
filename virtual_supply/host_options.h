#pragma once
// Where a process that hosts the virtual supply (the stand-in library, `brenvik --virtual`) finds
// its scenario and keeps its state and trace, from the environment:
//   BRENVIK_VSUPPLY_SCENARIO  scenario file (default: virtual-supply-scenario.txt in the host's
//                             folder if there is one, as in the demo installation; otherwise a
//                             model-1 supply with plausible values)
//   BRENVIK_VSUPPLY_STATE     state file (default: virtual-supply-state.txt in the host's folder;
//                             "none" keeps nothing across runs)
//   BRENVIK_VSUPPLY_TRACE     trace file to append every call to (default: no trace)
//   BRENVIK_VSUPPLY_LOCKS     folder of the locks by which processes share the virtual bridges
//                             (default: the temporary folder)

#include "virtual_supply/hosted_bridge.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string_view>

namespace brenvik::vsupply {

// The value of an environment variable; nothing when it is unset or empty.
using EnvironmentLookup =
    std::function<std::optional<std::filesystem::path>(std::string_view name)>;

HostOptions hostOptionsFrom(const EnvironmentLookup& environment,
                            const std::filesystem::path& folder);

} // namespace brenvik::vsupply
