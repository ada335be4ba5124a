#pragma once
// The monitoring values: the texts of the read-only fields beside the programming panel, as a
// decoded status block gives them.

#include "monitor/status_block.h"

#include <string>

namespace brenvik::monitor {

// Texts of the read-only edits 1013 to 1022, 1026, 1034 and 1035.
struct DisplayTexts {
    std::string outputVoltage;  // 1013
    std::string batteryVoltage; // 1014
    std::string chargeCurrent;  // 1015
    std::string powerUpTime;    // 1016
    std::string batteryTime;    // 1017
    std::string acFaultCount;   // 1018
    std::string sysFaultCount;  // 1019
    std::string faiActivated;   // 1020
    std::string outputLatching; // 1021
    std::string acFaultStatus;  // 1022
    std::string sysFaultStatus; // 1026
    std::string firmware;       // 1034
    std::string partNumber;     // 1035

    friend bool operator==(const DisplayTexts&, const DisplayTexts&) = default;
};

// The identity, as the read-back at connection takes it: the part number of a known model (an
// unknown one leaves it as it was) and the firmware version.
void takeIdentity(DisplayTexts& texts, const StatusBlock& block);

// Every text, as a monitoring tick takes them: counters and hours, fault and FAI status, the
// voltages, the identity, and the charge current by the model's scale (an unknown model leaves
// it as it was), which reads zero whenever the battery voltage is too low.
void takeMonitoringValues(DisplayTexts& texts, const StatusBlock& block);

} // namespace brenvik::monitor
