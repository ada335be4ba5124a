#include "monitor/monitoring_values.h"

namespace brenvik::monitor {

void takeIdentity(DisplayTexts& texts, const StatusBlock& block) {
    if (const ModelInfo* model = findModel(block.modelCode)) {
        texts.partNumber = model->partNumber;
    }
    texts.firmware = firmwareText(block.firmwareTenths);
}

void takeMonitoringValues(DisplayTexts& texts, const StatusBlock& block) {
    texts.powerUpTime = formatCount(block.powerUpHours);
    texts.acFaultCount = formatCount(block.acFaultCount);
    texts.sysFaultCount = formatCount(block.sysFaultCount);
    texts.batteryTime = formatCount(block.batteryHours);
    texts.acFaultStatus = faultText(block.acNoFault);
    texts.sysFaultStatus = faultText(block.sysNoFault);
    texts.outputLatching = yesNoText(block.outputLatching);
    texts.faiActivated = yesNoText(block.faiActivated);
    texts.batteryVoltage = formatHundredths(readingToVolts(block.batteryVoltageReading));
    texts.outputVoltage = formatHundredths(readingToVolts(block.outputVoltageReading));
    if (const auto amps = chargeCurrentAmps(block)) {
        texts.chargeCurrent = formatHundredths(*amps);
    }
    if (batteryVoltageTooLow(block)) {
        texts.chargeCurrent = formatHundredths(0.0f);
    }
    takeIdentity(texts, block);
}

} // namespace brenvik::monitor
