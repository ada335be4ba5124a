#include "shell/window_face.h"

#include "res/resource.h"

#include <array>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace brenvik {
namespace {

constexpr std::array kChargeFields{IDC_CMB_CHARGE_CURRENT};
constexpr std::array kAcDelayFields{IDC_EDT_AC_HOURS, IDC_EDT_AC_MINUTES, IDC_EDT_AC_SECONDS,
                                    IDC_LBL_AC_HR,    IDC_LBL_AC_MIN,     IDC_LBL_AC_SEC};
constexpr std::array kSysDelayFields{IDC_EDT_SYS_HOURS, IDC_EDT_SYS_MINUTES, IDC_EDT_SYS_SECONDS,
                                     IDC_LBL_SYS_HR,    IDC_LBL_SYS_MIN,     IDC_LBL_SYS_SEC};
constexpr std::array kDateFields{IDC_EDT_INSTALL_MONTH, IDC_EDT_INSTALL_DAY, IDC_EDT_INSTALL_YEAR,
                                 IDC_LBL_DATE_SEP1, IDC_LBL_DATE_SEP2};

constexpr std::array kOptionBoxIds{IDC_CHK_CHARGE_SELECTOR,    IDC_CHK_AC_FAULT_DELAY,
                                   IDC_CHK_SYS_FAULT_DELAY,    IDC_CHK_RESET_BATTERY_TIMER,
                                   IDC_CHK_RESET_FAULT_COUNTS, IDC_CHK_INSTALL_DATE};

constexpr std::string_view kFailCaption = "Fail";
constexpr std::string_view kPassCaption = "Pass";
constexpr std::string_view kCannotFindDevice =
    "Can not find device,please check device and try again.";
constexpr std::string_view kCommunicateError = "Communicate error,please try again.";
constexpr std::string_view kWriteSuccess = "Write EEPROM success.";
constexpr std::string_view kSaveFailed = "Save configuration file fail, please check the file.";

// The controls enabled and disabled with an option box.
std::span<const int> optionFieldIds(OptionBox box) {
    switch (box) {
    case OptionBox::ChargeSelector:
        return kChargeFields;
    case OptionBox::AcFaultDelay:
        return kAcDelayFields;
    case OptionBox::SysFaultDelay:
        return kSysDelayFields;
    case OptionBox::InstallDate:
        return kDateFields;
    case OptionBox::ResetBatteryTimer:
    case OptionBox::ResetFaultCounts:
        break;
    }
    return {};
}

} // namespace

int optionBoxId(OptionBox box) {
    return kOptionBoxIds[static_cast<std::size_t>(box)];
}

std::optional<OptionBox> optionBoxOf(int controlId) {
    for (const OptionBox box : kOptionBoxes) {
        if (optionBoxId(box) == controlId) {
            return box;
        }
    }
    return std::nullopt;
}

// Buttons 1011 and 1012 carry no data.
void exchangePanel(DataExchange& dx, MainWindowModel& model) {
    DeviceSettings& s = model.settings;
    monitor::DisplayTexts& t = model.texts;
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

void WindowFace::fillDefaultChargeSelector() {
    showChargeItems(monitor::kDefaultChargeItems);
    showChargeSelection(0);
}

void WindowFace::armConnectTimer() {
    // Not being able to arm it only means no automatic connection; "Connect Device" still works.
    window_.setTimer(IDT_CONNECT, kConnectDelayMs);
}

// A read never re-enters itself: one started while another still shows its message (from a
// handler the message's loop runs) reads nothing and returns false, so the same bad field cannot
// open a second message on top of the first.
bool WindowFace::readPanel(MainWindowModel& model) {
    if (panelReadOpen_) {
        return false;
    }
    panelReadOpen_ = true;
    DataExchange dx(window_, true);
    exchangePanel(dx, model);
    panelReadOpen_ = false;
    return !dx.failed();
}

void WindowFace::showPanel(MainWindowModel& model) {
    DataExchange dx(window_, false);
    exchangePanel(dx, model);
}

void WindowFace::showChargeSelection(std::int32_t selection) {
    window_.setComboSelection(IDC_CMB_CHARGE_CURRENT, selection);
}

void WindowFace::showChargeItems(const std::array<std::string_view, 4>& items) {
    window_.setComboItems(IDC_CMB_CHARGE_CURRENT,
                          std::vector<std::string>(items.begin(), items.end()));
}

void WindowFace::showOptionBox(OptionBox box, bool ticked) {
    window_.setChecked(optionBoxId(box), ticked);
}

void WindowFace::enableOptionFields(OptionBox box, bool enabled) {
    for (const int id : optionFieldIds(box)) {
        window_.enableControl(id, enabled);
    }
}

void WindowFace::lockPanel() {
    for (const OptionBox box : kOptionBoxes) {
        window_.enableControl(optionBoxId(box), false);
        enableOptionFields(box, false);
    }
}

void WindowFace::unlockPanel(const DeviceSettings& settings) {
    for (const OptionBox box : kOptionBoxes) {
        window_.enableControl(optionBoxId(box), true);
    }
    for (const OptionBox box : kOptionBoxes) {
        if (settings.*flagOf(box) != 0) {
            enableOptionFields(box, true);
        }
    }
}

void WindowFace::enableApply(bool enabled) {
    window_.enableControl(IDC_BTN_APPLY, enabled);
}

void WindowFace::enableStart(bool enabled) {
    window_.enableControl(IDC_BTN_START, enabled);
}

void WindowFace::enableSaveConfiguration(bool enabled) {
    window_.enableMenuCommand(ID_FILE_SAVECONFIGURATION, enabled);
}

void WindowFace::showMonitoringButton(bool monitoring) {
    window_.setControlText(IDC_BTN_START, monitoring ? "STOP" : "START");
    window_.setButtonColours(IDC_BTN_START, kWhite, monitoring ? kRed : kGreen);
}

int WindowFace::armMonitorTimer() {
    return window_.setTimer(IDT_MONITOR, kMonitorPeriodMs);
}

void WindowFace::stopConnectTimer() {
    window_.killTimer(IDT_CONNECT);
}

void WindowFace::showValidationFailure(const ValidationFailure& failure) {
    window_.messageBox(failure.message, failure.caption, MessageIcon::Error, MessageButtons::Ok);
}

bool WindowFace::askRetry(operations::ApplyProblem problem) {
    const std::string_view text =
        problem == operations::ApplyProblem::DeviceNotFound ? kCannotFindDevice : kCommunicateError;
    return window_.messageBox(text, kFailCaption, MessageIcon::Error,
                              MessageButtons::RetryCancel) == MessageResult::Retry;
}

void WindowFace::showApplied() {
    window_.messageBox(kWriteSuccess, kPassCaption, MessageIcon::None, MessageButtons::Ok);
}

void WindowFace::showSaveFailed() {
    window_.messageBox(kSaveFailed, kFailCaption, MessageIcon::Error, MessageButtons::Ok);
}

} // namespace brenvik
