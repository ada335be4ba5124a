#pragma once
// Every text the operator reads, written out once more as the operator reads it, trailing blanks
// and the double blank included. Tests compare what the program shows with these, never with the
// program's own constants, so a changed comma or a lost blank there fails.

#include <string>
#include <vector>

namespace brenvik::testing::text {

using Items = std::vector<std::string>;

// The status line.
inline const std::string kSearching = "Searching device...";
inline const std::string kCheckCable = "Connect device fail, please check the cable.";
inline const std::string kConnectSuccess = "Pass, Connect device success! ";
inline const std::string kConnectFail = "Fail, Connect device fail ";
inline const std::string kReading = "Pass, Reading device status ... ";
inline const std::string kReadSuccess = "Pass, Read device status success! ";
inline const std::string kCommErrorStop = "Fail, Communicate error,please try again. ";
inline const std::string kCommErrorBang = "Fail, Communicate error,please try again! ";
inline const std::string kWriting = "Pass, Writing EEPROM ... ";
inline const std::string kWriteSuccess = "Pass, Write EEPROM success. ";
inline const std::string kResettingBattery = "Pass, Resting battery connect time ... ";
inline const std::string kResetBatterySuccess = "Pass, Rest battery connect time success. ";
inline const std::string kResettingFaults = "Pass, Resting AC and System Fault counts ... ";
inline const std::string kResetFaultsSuccess = "Pass, Rest AC and System Fault counts success. ";
inline const std::string kSettingDate = "Pass, Setting battery installation date  ... ";
inline const std::string kSetDateSuccess = "Pass, Setting battery installation date success. ";

// Message boxes: texts and captions.
inline const std::string kNotAnInteger = "Enter an integer.";
inline const std::string kDateError = "Enter installation date error.";
inline const std::string kDateCaption = "Error";
inline const std::string kRangeCaption = "Brenvik";
inline const std::string kSaveFailed = "Save configuration file fail, please check the file.";
inline const std::string kApplyCommError = "Communicate error,please try again.";
inline const std::string kApplyNoDevice = "Can not find device,please check device and try again.";
inline const std::string kApplySuccess = "Write EEPROM success.";
inline const std::string kFailCaption = "Fail";
inline const std::string kPassCaption = "Pass";

// The charge selector's items before any supply answered, and for each model; part numbers.
inline const Items kDefaultItems{"Default Charge Current", "1/2 Default Charge Current",
                                 "1/4 Default Charge Current", "1/8 Default Charge Current"};
inline const Items kModel1Items{"9 to 40 Ah Battery", "5 to 8 Ah Battery", "4 Ah Battery",
                                "2 Ah Battery"};
inline const Items kModel2Items{"18 to >80 Ah Battery", "9 to 12 Ah Battery", "5 to 8 Ah Battery",
                                "4 Ah Battery"};
inline const std::string kPartModel1 = "TRQ 60-40-20";
inline const std::string kPartModel2 = "TRQ 120-80";
inline const std::string kPartModel3 = "TRQ 220-160";

// The Caution dialog's charge selection line for selections 0 to 3, by part number, and for a
// part number the program does not know.
inline const Items kSummaryModel1{"9 to 40 Ah Battery .", "5 to 8 Ah Battery.", "4 Ah Battery.",
                                  "2 Ah Battery."};
inline const Items kSummaryModel23{"18 to >80 Ah Battery.", "9 to 12 Ah Battery.",
                                   "5 to 8 Ah Battery.", "4 Ah Battery."};
inline const Items kSummaryUnknown{"Full scale.", "1/2 Full scale.", "1/4 Full scale.",
                                   "1/8 Full scale."};

// A configuration file's section with all sixteen keys in the order they are written, holding
// AC delay 1:2:3, system delay 4:5:6, date 7/8/2019, selection 2 and boxes 1000, 1002 and 1031.
inline const std::string kSavedFile =
    "[SystemParameter]\r\nAcFltDelayHr=1\r\nAcFltDelayMin=2\r\nAcFltDelaySec=3\r\n"
    "SysFltDelayHr=4\r\nSysFltDelayMin=5\r\nSysFltDelaySec=6\r\n"
    "InstallMM=7\r\nInstallDD=8\r\nInstallYYYY=2019\r\nICharge=2\r\n"
    "bChargeCurrent=1\r\nbAcFltDelay=0\r\nbSysFltDelay=1\r\n"
    "bResetBatCon=0\r\nbResetFaultCounts=1\r\nbInstallDate=0\r\n";

} // namespace brenvik::testing::text
