// Any text as a scenario, state or control file (the first byte picks which): lines that cannot
// be read are reported, never fatal; the stored values written back as a state file read back
// the same; and a bridge set up from the result answers a status request.

#include "device/commands.h"
#include "tests/fuzz/fuzz_input.h"
#include "virtual_supply/scenario.h"

#include <tuple>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace brenvik::vsupply;
    constexpr KeySet kSets[] = {KeySet::Scenario, KeySet::State, KeySet::Control};
    Scenario scenario;
    applyText(brenvik::fuzz::afterFirst(data, size), scenario, kSets[size == 0 ? 0 : data[0] % 3]);
    Scenario reread;
    const ParseResult again = applyText(stateText(scenario.state), reread, KeySet::State);
    const auto stored = [](const SupplyState& s) {
        return std::tie(s.settings, s.installDate, s.powerUpHours, s.batteryHours, s.acFaultCount,
                        s.sysFaultCount);
    };
    brenvik::fuzz::require(again.errors.empty() && stored(scenario.state) == stored(reread.state),
                           "the state file does not read back");
    VirtualLink virtualLink(scenario.devices);
    applyScenario(scenario, virtualLink.bridge);
    brenvik::device::send(virtualLink.link, brenvik::device::plainFrame(10));
    return 0;
}
