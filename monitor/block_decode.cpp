#include "monitor/block_decode.h"

#include "res/resource.h"

#include <string>
#include <vector>

namespace brenvik::monitor {

void applyCountersAndHours(DisplayTexts& texts, const StatusBlock& block) {
    texts.powerUpTime = formatCount(block.powerUpHours);
    texts.acFaultCount = formatCount(block.acFaultCount);
    texts.sysFaultCount = formatCount(block.sysFaultCount);
    texts.batteryTime = formatCount(block.batteryHours);
}

void applyBatteryAge(WindowPort& window, MonitorState& state, const StatusBlock& block) {
    const BatteryAge age = batteryAgeOf(block.batteryHours);
    if (age != state.batteryAge) {
        state.batteryAge = age;
        window.invalidate(false);
    }
}

void applyDelays(DeviceSettings& settings, const StatusBlock& block) {
    settings.acFaultHours = block.acFaultHours;
    settings.acFaultMinutes = block.acFaultMinutes;
    settings.acFaultSeconds = block.acFaultSeconds;
    settings.sysFaultHours = block.sysFaultHours;
    settings.sysFaultMinutes = block.sysFaultMinutes;
    settings.sysFaultSeconds = block.sysFaultSeconds;
}

void applyChargeSelection(WindowPort& window, DeviceSettings& settings, const StatusBlock& block) {
    settings.chargeSelection = block.chargeSelection;
    window.setComboSelection(IDC_CMB_CHARGE_CURRENT, block.chargeSelection);
}

void applyLastReadSettings(MonitorState& state, const StatusBlock& block) {
    state.lastRead = lastReadSettingsOf(block);
}

void applyStatusTexts(DisplayTexts& texts, const StatusBlock& block) {
    texts.acFaultStatus = faultText(block.acNoFault);
    texts.sysFaultStatus = faultText(block.sysNoFault);
    texts.outputLatching = yesNoText(block.outputLatching);
    texts.faiActivated = yesNoText(block.faiActivated);
}

void applyVoltages(DisplayTexts& texts, const StatusBlock& block) {
    texts.batteryVoltage = formatHundredths(readingToVolts(block.batteryVoltageReading));
    texts.outputVoltage = formatHundredths(readingToVolts(block.outputVoltageReading));
}

void applyPartNumber(DisplayTexts& texts, const StatusBlock& block) {
    if (const ModelInfo* model = findModel(block.modelCode)) {
        texts.partNumber = model->partNumber;
    }
}

void applyChargeSelectorItems(WindowPort& window, const StatusBlock& block) {
    if (const ModelInfo* model = findModel(block.modelCode)) {
        window.setComboItems(
            IDC_CMB_CHARGE_CURRENT,
            std::vector<std::string>(model->chargeItems.begin(), model->chargeItems.end()));
    }
}

void applyChargeCurrent(DisplayTexts& texts, const StatusBlock& block) {
    if (const auto amps = chargeCurrentAmps(block)) {
        texts.chargeCurrent = formatHundredths(*amps);
    }
    if (batteryVoltageTooLow(block)) {
        texts.chargeCurrent = formatHundredths(0.0f);
    }
}

void applyFirmware(DisplayTexts& texts, const StatusBlock& block) {
    texts.firmware = firmwareText(block.firmwareTenths);
}

void applyInstallDate(DeviceSettings& settings, const StatusBlock& block) {
    settings.installMonth = block.installMonth;
    settings.installDay = block.installDay;
    settings.installYear = static_cast<std::int32_t>(block.installYear);
}

void applyReadBackFields(WindowPort& window, MainWindowModel& model, MonitorState& state,
                         const StatusBlock& block) {
    applyDelays(model.settings, block);
    applyChargeSelection(window, model.settings, block);
    applyLastReadSettings(state, block);
    applyPartNumber(model.texts, block);
    applyChargeSelectorItems(window, block);
    applyFirmware(model.texts, block);
    applyInstallDate(model.settings, block);
}

void applyMonitoringFields(WindowPort& window, MainWindowModel& model, MonitorState& state,
                           const StatusBlock& block) {
    applyCountersAndHours(model.texts, block);
    applyBatteryAge(window, state, block);
    applyDelays(model.settings, block);
    applyChargeSelection(window, model.settings, block);
    applyLastReadSettings(state, block);
    applyStatusTexts(model.texts, block);
    applyVoltages(model.texts, block);
    applyPartNumber(model.texts, block);
    applyChargeCurrent(model.texts, block);
    applyFirmware(model.texts, block);
    applyInstallDate(model.settings, block);
}

} // namespace brenvik::monitor
