#pragma once
// Every text written to the status line (part 1 of the status bar), exactly as the operator
// sees it, trailing blanks included.

#include <string_view>

namespace brenvik::status {

inline constexpr std::string_view kReady = "Ready";
inline constexpr std::string_view kSearchingDevice = "Searching device...";
inline constexpr std::string_view kCheckCable = "Connect device fail, please check the cable.";
inline constexpr std::string_view kConnectSuccess = "Pass, Connect device success! ";
inline constexpr std::string_view kConnectFail = "Fail, Connect device fail ";
inline constexpr std::string_view kReadingStatus = "Pass, Reading device status ... ";
inline constexpr std::string_view kReadStatusSuccess = "Pass, Read device status success! ";
inline constexpr std::string_view kCommErrorStop = "Fail, Communicate error,please try again. ";
inline constexpr std::string_view kCommErrorBang = "Fail, Communicate error,please try again! ";
inline constexpr std::string_view kWritingEeprom = "Pass, Writing EEPROM ... ";
inline constexpr std::string_view kWriteEepromSuccess = "Pass, Write EEPROM success. ";
inline constexpr std::string_view kResettingBatteryTime = "Pass, Resting battery connect time ... ";
inline constexpr std::string_view kResetBatteryTimeSuccess =
    "Pass, Rest battery connect time success. ";
inline constexpr std::string_view kResettingFaultCounts =
    "Pass, Resting AC and System Fault counts ... ";
inline constexpr std::string_view kResetFaultCountsSuccess =
    "Pass, Rest AC and System Fault counts success. ";
inline constexpr std::string_view kSettingInstallDate =
    "Pass, Setting battery installation date  ... ";
inline constexpr std::string_view kSetInstallDateSuccess =
    "Pass, Setting battery installation date success. ";

// Label in part 0 of the status bar, set once when the bar is created.
inline constexpr std::string_view kStatusLabel = "Pass/Failure Status";

} // namespace brenvik::status
