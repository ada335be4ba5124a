#pragma once
// The record behind the programming panel and the texts of the read-only fields, both owned by
// the main window.

#include <array>
#include <cstdint>
#include <string>

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
    // Option flags, 0 or 1, bound to check boxes 1000, 1001, 1002, 1004, 1031, 1032.
    std::int32_t optChargeSelector = 0;
    std::int32_t optAcFaultDelay = 0;
    std::int32_t optSysFaultDelay = 0;
    std::int32_t optResetBatteryTimer = 0;
    std::int32_t optResetFaultCounts = 0;
    std::int32_t optInstallDate = 0;
};

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
};

// What the main window owns besides its controls.
struct MainWindowModel {
    DeviceSettings settings;
    DisplayTexts texts;
    // Option flags as last read from a configuration file, in box order 1000, 1001, 1002, 1004,
    // 1031, 1032.
    std::array<std::int32_t, 6> fileOptionFlags{};
    // True while a panel read runs. Its "Enter an integer." message lets the window's message
    // loop run other handlers; a read they start meanwhile is refused (see panelRead).
    bool panelReadOpen = false;
};

} // namespace brenvik
