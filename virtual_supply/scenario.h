#pragma once
// The scenario of a virtual bridge and supply: which devices the bridge lists, the supply's
// whole starting state and the faults to play, read from a key = value text file. The same
// format carries the supply's stored values across runs (the state file) and the faults an
// outside test switches while the program runs (the control file).

#include "virtual_supply/virtual_bridge.h"
#include "virtual_supply/virtual_supply.h"

#include <chrono>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace brenvik::vsupply {

struct Scenario {
    std::vector<DeviceEntry> devices = defaultDevices();
    std::string dllVersion = "2.0";
    SupplyState state = plausibleSupply();
    SupplyFaults supplyFaults;
    BridgeFaults bridgeFaults;
    bool plugged = true;
    // Real time per supply hour; 0 keeps the hour counters still.
    std::chrono::milliseconds hourLength{60'000};
    std::uint16_t readingJitter = 2;
    std::uint32_t seed = 1;
    // A file an outside test writes to switch faults and unplug or plug the supply; empty for
    // none.
    std::string controlFile;

    // A model-1 supply with values as a supply in service shows them.
    static SupplyState plausibleSupply();
};

// Which keys a text may set.
enum class KeySet {
    Scenario, // every key
    State,    // the values the supply keeps across power cycles
    Control,  // plugged and the fault keys
};

struct ParseResult {
    std::vector<std::string> errors; // "line N: ..." for every line that was not taken
    std::set<std::string> keys;      // the keys that were set
};

// Applies a text onto a scenario, line by line. Lines that cannot be read are reported and
// skipped; the rest still apply. A repeatable key's first line replaces the list it extends.
ParseResult applyText(std::string_view text, Scenario& scenario, KeySet allowed);

// The supply's stored values (settings, installation date, hour and fault counters) as a state
// file text that applyText with KeySet::State reads back.
std::string stateText(const SupplyState& state);

// Sets up a bridge as the scenario says: devices, library version, supply state and faults,
// plug state, reading jitter. The time source is the caller's.
void applyScenario(const Scenario& scenario, VirtualBridge& bridge);

} // namespace brenvik::vsupply
