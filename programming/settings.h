#pragma once
// The device settings: the record behind the programming panel, its six option boxes, and what
// the settings become on the wire and take from the supply.

#include "device/commands.h"
#include "monitor/monitor_state.h"
#include "monitor/status_block.h"

#include <array>
#include <cstdint>
#include <optional>

namespace brenvik {

struct DeviceSettings {
    std::int32_t acFaultHours = 0;
    std::int32_t acFaultMinutes = 0;
    std::int32_t acFaultSeconds = 0;
    std::int32_t sysFaultHours = 0;
    std::int32_t sysFaultMinutes = 0;
    std::int32_t sysFaultSeconds = 0;
    std::int32_t chargeSelection = 0; // index of the selected charge selector item, -1 for none
    std::int32_t installMonth = 2;
    std::int32_t installDay = 7;
    std::int32_t installYear = 2010;
    // Option flags, 0 or 1, one per option box.
    std::int32_t optChargeSelector = 0;
    std::int32_t optAcFaultDelay = 0;
    std::int32_t optSysFaultDelay = 0;
    std::int32_t optResetBatteryTimer = 0;
    std::int32_t optResetFaultCounts = 0;
    std::int32_t optInstallDate = 0;

    friend bool operator==(const DeviceSettings&, const DeviceSettings&) = default;
};

using SettingsField = std::int32_t DeviceSettings::*;

// The six option boxes, in the order they are set and handled.
enum class OptionBox {
    ChargeSelector,
    AcFaultDelay,
    SysFaultDelay,
    ResetBatteryTimer,
    ResetFaultCounts,
    InstallDate
};
inline constexpr std::array<OptionBox, 6> kOptionBoxes{
    OptionBox::ChargeSelector,    OptionBox::AcFaultDelay,     OptionBox::SysFaultDelay,
    OptionBox::ResetBatteryTimer, OptionBox::ResetFaultCounts, OptionBox::InstallDate};

// The option flag a box stands for.
SettingsField flagOf(OptionBox box);
bool anyOptionSet(const DeviceSettings& settings);

// The charge selector always holds four items; a selection without an item reads back as none.
inline constexpr std::int32_t kChargeSelectorItems = 4;
std::int32_t selectableCharge(std::int32_t selection);

// The supply's stored settings from a block: the delays, the charge selection and the
// installation date.
void takeStoredSettings(DeviceSettings& settings, const monitor::StatusBlock& block);

// A settings write confirmed in all seven bytes: the supply now holds exactly these. They become
// the device settings' delays and charge selection and the last-read settings.
void takeConfirmedSettings(DeviceSettings& settings, monitor::LastReadSettings& lastRead,
                           const device::SettingsPayload& confirmed);

// The seven setting bytes to send: the device settings' values for the ticked setting options,
// the supply's last-read values for the others, so the supply keeps what it has.
device::SettingsPayload settingsPayload(const DeviceSettings& settings,
                                        const monitor::LastReadSettings& lastRead);

// What a write sends, each action as its option box says.
struct WritePlan {
    std::optional<device::SettingsPayload> settings; // commands 1 and 2
    bool resetBatteryTimer = false;                  // commands 5 and 6
    bool resetFaultCounts = false;                   // commands 11 and 12
    std::optional<device::DateBytes> installDate;    // commands 13 and 14
};
WritePlan writePlan(const DeviceSettings& settings, const monitor::LastReadSettings& lastRead);

} // namespace brenvik
