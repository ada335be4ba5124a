#include "programming/settings.h"

#include <algorithm>

namespace brenvik {
namespace {

std::uint8_t low8(std::int32_t value) {
    return static_cast<std::uint8_t>(value);
}

} // namespace

SettingsField flagOf(OptionBox box) {
    switch (box) {
    case OptionBox::ChargeSelector:
        return &DeviceSettings::optChargeSelector;
    case OptionBox::AcFaultDelay:
        return &DeviceSettings::optAcFaultDelay;
    case OptionBox::SysFaultDelay:
        return &DeviceSettings::optSysFaultDelay;
    case OptionBox::ResetBatteryTimer:
        return &DeviceSettings::optResetBatteryTimer;
    case OptionBox::ResetFaultCounts:
        return &DeviceSettings::optResetFaultCounts;
    case OptionBox::InstallDate:
        break;
    }
    return &DeviceSettings::optInstallDate;
}

bool anyOptionSet(const DeviceSettings& settings) {
    return std::any_of(kOptionBoxes.begin(), kOptionBoxes.end(),
                       [&](OptionBox box) { return settings.*flagOf(box) != 0; });
}

std::int32_t selectableCharge(std::int32_t selection) {
    return selection >= 0 && selection < kChargeSelectorItems ? selection : -1;
}

void takeStoredSettings(DeviceSettings& settings, const monitor::StatusBlock& block) {
    settings.acFaultHours = block.acFaultHours;
    settings.acFaultMinutes = block.acFaultMinutes;
    settings.acFaultSeconds = block.acFaultSeconds;
    settings.sysFaultHours = block.sysFaultHours;
    settings.sysFaultMinutes = block.sysFaultMinutes;
    settings.sysFaultSeconds = block.sysFaultSeconds;
    settings.chargeSelection = block.chargeSelection;
    settings.installMonth = block.installMonth;
    settings.installDay = block.installDay;
    settings.installYear = static_cast<std::int32_t>(block.installYear);
}

void takeConfirmedSettings(DeviceSettings& settings, monitor::LastReadSettings& lastRead,
                           const device::SettingsPayload& confirmed) {
    settings.acFaultSeconds = confirmed[0];
    settings.acFaultMinutes = confirmed[1];
    settings.acFaultHours = confirmed[2];
    settings.sysFaultSeconds = confirmed[3];
    settings.sysFaultMinutes = confirmed[4];
    settings.sysFaultHours = confirmed[5];
    settings.chargeSelection = confirmed[6];
    lastRead = {confirmed[6], confirmed[2], confirmed[1], confirmed[0],
                confirmed[5], confirmed[4], confirmed[3]};
}

device::SettingsPayload settingsPayload(const DeviceSettings& s,
                                        const monitor::LastReadSettings& last) {
    const bool ac = s.optAcFaultDelay != 0;
    const bool sys = s.optSysFaultDelay != 0;
    const bool charge = s.optChargeSelector != 0;
    return {ac ? low8(s.acFaultSeconds) : last.acFaultSeconds,
            ac ? low8(s.acFaultMinutes) : last.acFaultMinutes,
            ac ? low8(s.acFaultHours) : last.acFaultHours,
            sys ? low8(s.sysFaultSeconds) : last.sysFaultSeconds,
            sys ? low8(s.sysFaultMinutes) : last.sysFaultMinutes,
            sys ? low8(s.sysFaultHours) : last.sysFaultHours,
            charge ? low8(s.chargeSelection) : last.chargeSelection};
}

WritePlan writePlan(const DeviceSettings& s, const monitor::LastReadSettings& lastRead) {
    WritePlan plan;
    if (s.optChargeSelector != 0 || s.optAcFaultDelay != 0 || s.optSysFaultDelay != 0) {
        plan.settings = settingsPayload(s, lastRead);
    }
    plan.resetBatteryTimer = s.optResetBatteryTimer != 0;
    plan.resetFaultCounts = s.optResetFaultCounts != 0;
    if (s.optInstallDate != 0) {
        plan.installDate = device::dateBytes(s.installMonth, s.installDay, s.installYear);
    }
    return plan;
}

} // namespace brenvik
