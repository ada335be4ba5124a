// Any 48 bytes as a status block, taken into the window's record as the read-back and the monitor
// tick take it: no crash, no undefined arithmetic, and texts of bounded length.

#include "monitor/monitoring_values.h"
#include "monitor/status_block.h"
#include "programming/settings.h"
#include "tests/fuzz/fuzz_input.h"

#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace brenvik;
    monitor::StatusBlockBytes bytes{};
    std::copy_n(data, std::min(size, bytes.size()), bytes.begin());
    const monitor::StatusBlock block = monitor::decodeStatusBlock(bytes);
    DeviceSettings settings;
    takeStoredSettings(settings, block);
    monitor::DisplayTexts t;
    monitor::takeIdentity(t, block);
    monitor::takeMonitoringValues(t, block);
    // Readings of 16 bits and counters of 24 bits never need more than a few characters.
    for (const auto* text : {&t.outputVoltage, &t.batteryVoltage, &t.chargeCurrent, &t.powerUpTime,
                             &t.batteryTime, &t.firmware}) {
        fuzz::require(text->size() <= 12, *text + " is too long");
    }
    return 0;
}
