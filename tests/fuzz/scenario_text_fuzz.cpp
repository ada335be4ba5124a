// Any text as a scenario, state or control file (the first byte picks which): lines that cannot
// be read are reported, never fatal; the stored values written back as a state file read back
// the same; and a bridge set up from the result answers a status request.

#include "device/commands.h"
#include "virtual_supply/scenario.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace brenvik::vsupply;
    if (size == 0) {
        return 0;
    }
    constexpr KeySet kSets[] = {KeySet::Scenario, KeySet::State, KeySet::Control};
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    Scenario scenario;
    applyText(text, scenario, kSets[data[0] % 3]);

    Scenario reread;
    const ParseResult again = applyText(stateText(scenario.state), reread, KeySet::State);
    const SupplyState& a = scenario.state;
    const SupplyState& b = reread.state;
    if (!again.errors.empty() || a.settings != b.settings || a.installDate != b.installDate ||
        a.powerUpHours != b.powerUpHours || a.batteryHours != b.batteryHours ||
        a.acFaultCount != b.acFaultCount || a.sysFaultCount != b.sysFaultCount) {
        std::abort();
    }

    VirtualLink virtualLink(scenario.devices);
    applyScenario(scenario, virtualLink.bridge);
    brenvik::device::send(virtualLink.link, brenvik::device::plainFrame(10));
    return 0;
}
