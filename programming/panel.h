#pragma once
// The programming panel: the exchange between the panel's controls and the device settings, the
// option boxes with the fields they enable, and the checks APPLY runs before anything is sent.

#include "programming/device_settings.h"
#include "res/resource.h"
#include "ui/data_exchange.h"
#include "ui/window_port.h"

#include <array>
#include <cstdint>

namespace brenvik {

// The six option boxes of the programming panel, in the order they are set and handled.
inline constexpr std::array<int, 6> kOptionBoxIds{
    IDC_CHK_CHARGE_SELECTOR,     IDC_CHK_AC_FAULT_DELAY,     IDC_CHK_SYS_FAULT_DELAY,
    IDC_CHK_RESET_BATTERY_TIMER, IDC_CHK_RESET_FAULT_COUNTS, IDC_CHK_INSTALL_DATE};

// The main window's data exchange: walks the panel's bindings in their fixed order (edits 1005 to
// 1010 with 1010 before 1009, the read-only texts, the date edits, the option boxes, the charge
// selector by index last), reading the controls or filling them as `dx` says.
void exchangePanel(DataExchange& dx, MainWindowModel& model);

// Panel read: controls into the record and the display texts, in the fixed exchange order.
// Returns whether every numeric field read as an integer; a field that did not stops the read
// there with "Enter an integer." and the later fields keep their values.
// A read never re-enters itself: one started while another still shows its message (from a
// handler the message's loop runs) reads nothing and returns false, so the same bad field cannot
// open a second message on top of the first.
bool panelRead(WindowPort& window, MainWindowModel& model);

// Panel redisplay: record and display texts into the controls.
void panelRedisplay(WindowPort& window, MainWindowModel& model);

// Click handling of option box 1000, 1001, 1002, 1004, 1031 or 1032: takes the box into its
// option flag, enables or disables the fields that belong to it and APPLY, then redisplays.
void onOptionBoxClicked(WindowPort& window, MainWindowModel& model, int boxId);

// Disables the six option boxes and every field that belongs to one, whatever the boxes say.
void lockPanel(WindowPort& window);

// Enables the six option boxes, then the fields of each box whose option flag is set; the fields
// of the others stay as they are. Returns whether any option flag is set.
bool unlockPanel(WindowPort& window, const DeviceSettings& settings);

// Focus-loss handler of edits 1005 to 1010.
void onDelayEditLostFocus(WindowPort& window, MainWindowModel& model);

// Range checks of every ticked option, then the calendar check of the installation date. Each
// failure shows its message; true when no message was shown.
bool validatePanel(WindowPort& window, const DeviceSettings& settings);

// The calendar rule of the installation date alone: a year from 2010 on, and a day that exists
// in its month (every year divisible by 4 counts as a leap year).
bool isAcceptedInstallationDate(std::int32_t month, std::int32_t day, std::int32_t year);

} // namespace brenvik
