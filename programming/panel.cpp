#include "programming/panel.h"

#include "res/resource.h"
#include "ui/data_exchange.h"

#include <array>
#include <span>
#include <string_view>

namespace brenvik {
namespace {

struct OptionBox {
    int id;
    std::int32_t DeviceSettings::*flag;
    std::span<const int> fields; // controls enabled and disabled with the box
};

constexpr std::array kChargeFields{IDC_CMB_CHARGE_CURRENT};
constexpr std::array kAcDelayFields{IDC_EDT_AC_HOURS, IDC_EDT_AC_MINUTES, IDC_EDT_AC_SECONDS,
                                    IDC_LBL_AC_HR,    IDC_LBL_AC_MIN,     IDC_LBL_AC_SEC};
constexpr std::array kSysDelayFields{IDC_EDT_SYS_HOURS, IDC_EDT_SYS_MINUTES, IDC_EDT_SYS_SECONDS,
                                     IDC_LBL_SYS_HR,    IDC_LBL_SYS_MIN,     IDC_LBL_SYS_SEC};
constexpr std::array kDateFields{IDC_EDT_INSTALL_MONTH, IDC_EDT_INSTALL_DAY, IDC_EDT_INSTALL_YEAR,
                                 IDC_LBL_DATE_SEP1, IDC_LBL_DATE_SEP2};

constexpr std::array<OptionBox, 6> kOptionBoxes{{
    {IDC_CHK_CHARGE_SELECTOR, &DeviceSettings::optChargeSelector, kChargeFields},
    {IDC_CHK_AC_FAULT_DELAY, &DeviceSettings::optAcFaultDelay, kAcDelayFields},
    {IDC_CHK_SYS_FAULT_DELAY, &DeviceSettings::optSysFaultDelay, kSysDelayFields},
    {IDC_CHK_RESET_BATTERY_TIMER, &DeviceSettings::optResetBatteryTimer, {}},
    {IDC_CHK_RESET_FAULT_COUNTS, &DeviceSettings::optResetFaultCounts, {}},
    {IDC_CHK_INSTALL_DATE, &DeviceSettings::optInstallDate, kDateFields},
}};

constexpr std::string_view kRangeCaption = "Brenvik";
constexpr std::string_view kDateCaption = "Error";
constexpr std::string_view kDateError = "Enter installation date error.";

} // namespace

// Buttons 1011 and 1012 carry no data.
void exchangePanel(DataExchange& dx, MainWindowModel& model) {
    DeviceSettings& s = model.settings;
    DisplayTexts& t = model.texts;
    dx.integer(IDC_EDT_AC_HOURS, s.acFaultHours);
    dx.integer(IDC_EDT_AC_MINUTES, s.acFaultMinutes);
    dx.integer(IDC_EDT_AC_SECONDS, s.acFaultSeconds);
    dx.integer(IDC_EDT_SYS_HOURS, s.sysFaultHours);
    dx.integer(IDC_EDT_SYS_SECONDS, s.sysFaultSeconds);
    dx.integer(IDC_EDT_SYS_MINUTES, s.sysFaultMinutes);
    dx.text(IDC_EDT_OUTPUT_VOLTAGE, t.outputVoltage);
    dx.text(IDC_EDT_BATTERY_VOLTAGE, t.batteryVoltage);
    dx.text(IDC_EDT_CHARGE_CURRENT, t.chargeCurrent);
    dx.text(IDC_EDT_POWERUP_TIME, t.powerUpTime);
    dx.text(IDC_EDT_BATTERY_TIME, t.batteryTime);
    dx.text(IDC_EDT_AC_FAULT_COUNT, t.acFaultCount);
    dx.text(IDC_EDT_SYS_FAULT_COUNT, t.sysFaultCount);
    dx.text(IDC_EDT_FAI_ACTIVATED, t.faiActivated);
    dx.text(IDC_EDT_OUTPUT_LATCHING, t.outputLatching);
    dx.text(IDC_EDT_AC_FAULT_STATUS, t.acFaultStatus);
    dx.text(IDC_EDT_SYS_FAULT_STATUS, t.sysFaultStatus);
    dx.text(IDC_EDT_FIRMWARE, t.firmware);
    dx.text(IDC_EDT_PART_NUMBER, t.partNumber);
    dx.integer(IDC_EDT_INSTALL_MONTH, s.installMonth);
    dx.integer(IDC_EDT_INSTALL_DAY, s.installDay);
    dx.integer(IDC_EDT_INSTALL_YEAR, s.installYear);
    dx.check(IDC_CHK_CHARGE_SELECTOR, s.optChargeSelector);
    dx.check(IDC_CHK_AC_FAULT_DELAY, s.optAcFaultDelay);
    dx.check(IDC_CHK_SYS_FAULT_DELAY, s.optSysFaultDelay);
    dx.check(IDC_CHK_RESET_BATTERY_TIMER, s.optResetBatteryTimer);
    dx.check(IDC_CHK_RESET_FAULT_COUNTS, s.optResetFaultCounts);
    dx.check(IDC_CHK_INSTALL_DATE, s.optInstallDate);
    dx.comboIndex(IDC_CMB_CHARGE_CURRENT, s.chargeSelection);
}

bool panelRead(WindowPort& window, MainWindowModel& model) {
    if (model.panelReadOpen) {
        return false;
    }
    model.panelReadOpen = true;
    DataExchange dx(window, true);
    exchangePanel(dx, model);
    model.panelReadOpen = false;
    return !dx.failed();
}

void panelRedisplay(WindowPort& window, MainWindowModel& model) {
    DataExchange dx(window, false);
    exchangePanel(dx, model);
}

void onOptionBoxClicked(WindowPort& window, MainWindowModel& model, int boxId) {
    const OptionBox* box = nullptr;
    for (const OptionBox& candidate : kOptionBoxes) {
        if (candidate.id == boxId) {
            box = &candidate;
        }
    }
    if (box == nullptr) {
        return;
    }
    // The flag, not the box, decides: when the read stopped before the check boxes, the closing
    // redisplay puts the box back to the flag, and the fields must agree with what is shown.
    panelRead(window, model);
    DeviceSettings& s = model.settings;
    const bool on = s.*(box->flag) != 0;
    for (int id : box->fields) {
        window.enableControl(id, on);
    }
    if (on) {
        window.enableControl(IDC_BTN_APPLY, true);
    } else {
        panelRead(window, model);
        bool anyOther = false;
        for (const OptionBox& other : kOptionBoxes) {
            if (other.id != boxId && s.*(other.flag) != 0) {
                anyOther = true;
            }
        }
        if (!anyOther) {
            window.enableControl(IDC_BTN_APPLY, false);
        }
    }
    panelRedisplay(window, model);
}

void lockPanel(WindowPort& window) {
    for (const OptionBox& box : kOptionBoxes) {
        window.enableControl(box.id, false);
        for (int id : box.fields) {
            window.enableControl(id, false);
        }
    }
}

bool unlockPanel(WindowPort& window, const DeviceSettings& settings) {
    for (const OptionBox& box : kOptionBoxes) {
        window.enableControl(box.id, true);
    }
    bool anySet = false;
    for (const OptionBox& box : kOptionBoxes) {
        if (settings.*(box.flag) != 0) {
            anySet = true;
            for (int id : box.fields) {
                window.enableControl(id, true);
            }
        }
    }
    return anySet;
}

void onDelayEditLostFocus(WindowPort& window, MainWindowModel& model) {
    panelRead(window, model);
}

bool isAcceptedInstallationDate(std::int32_t month, std::int32_t day, std::int32_t year) {
    if (month == 0 || day == 0 || year == 0 || year < 2010) {
        return false;
    }
    std::int32_t lastDay = 31;
    if (month == 2) {
        lastDay = year % 4 == 0 ? 29 : 28;
    } else if (month == 4 || month == 6 || month == 9 || month == 11) {
        lastDay = 30;
    }
    return day >= 1 && day <= lastDay;
}

bool validatePanel(WindowPort& window, const DeviceSettings& s) {
    struct RangeCheck {
        std::int32_t DeviceSettings::*option;
        std::int32_t value;
        std::int32_t low;
        std::int32_t high;
        std::string_view message;
    };
    const RangeCheck checks[] = {
        {&DeviceSettings::optChargeSelector, s.chargeSelection, 0, 5,
         "Enter an integer between 0 and 5."},
        {&DeviceSettings::optAcFaultDelay, s.acFaultHours, 0, 255,
         "Enter an integer between 0 and 255."},
        {&DeviceSettings::optAcFaultDelay, s.acFaultMinutes, 0, 59,
         "Enter an integer between 0 and 59."},
        {&DeviceSettings::optAcFaultDelay, s.acFaultSeconds, 0, 59,
         "Enter an integer between 0 and 59."},
        {&DeviceSettings::optSysFaultDelay, s.sysFaultHours, 0, 255,
         "Enter an integer between 0 and 255."},
        {&DeviceSettings::optSysFaultDelay, s.sysFaultMinutes, 0, 59,
         "Enter an integer between 0 and 59."},
        {&DeviceSettings::optSysFaultDelay, s.sysFaultSeconds, 0, 59,
         "Enter an integer between 0 and 59."},
        {&DeviceSettings::optInstallDate, s.installMonth, 1, 12,
         "Enter an integer between 1 and 12."},
        {&DeviceSettings::optInstallDate, s.installDay, 1, 31,
         "Enter an integer between 1 and 31."},
        {&DeviceSettings::optInstallDate, s.installYear, 1, 9999,
         "Enter an integer between 1 and 9999."},
    };
    bool valid = true;
    bool dateRangeFailed = false;
    for (const RangeCheck& check : checks) {
        if (s.*(check.option) == 0 || (check.value >= check.low && check.value <= check.high)) {
            continue;
        }
        window.messageBox(check.message, kRangeCaption, MessageIcon::Error, MessageButtons::Ok);
        valid = false;
        if (check.option == &DeviceSettings::optInstallDate) {
            dateRangeFailed = true;
        }
    }
    // A date whose fields failed their ranges is reported as a wrong date as well, once.
    if (s.optInstallDate != 0 &&
        (dateRangeFailed ||
         !isAcceptedInstallationDate(s.installMonth, s.installDay, s.installYear))) {
        window.messageBox(kDateError, kDateCaption, MessageIcon::Error, MessageButtons::Ok);
        valid = false;
    }
    return valid;
}

} // namespace brenvik
