#pragma once
// Program-wide state learnt from the supply's status block: the settings last read from (or
// confirmed by) the supply and the battery-age class that colours the battery installed time.
// One instance lives for the whole program; every block decode and the write sequence share it.

#include <cstdint>

namespace brenvik::monitor {

// The seven settings values in the order the write sequence keeps them.
struct LastReadSettings {
    std::uint8_t chargeSelection = 0;
    std::uint8_t acFaultHours = 0;
    std::uint8_t acFaultMinutes = 0;
    std::uint8_t acFaultSeconds = 0;
    std::uint8_t sysFaultHours = 0;
    std::uint8_t sysFaultMinutes = 0;
    std::uint8_t sysFaultSeconds = 0;

    friend bool operator==(const LastReadSettings&, const LastReadSettings&) = default;
};

// Battery-age classes by installed hours; None until the first monitoring decode.
enum class BatteryAge { None = 0, Young = 1, Ageing = 2, Old = 3 };

struct MonitorState {
    LastReadSettings lastRead;
    BatteryAge batteryAge = BatteryAge::None;
};

} // namespace brenvik::monitor
