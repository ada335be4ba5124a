#pragma once
// The checks APPLY runs on the panel before anything is sent: a range check of every value of a
// ticked option, then the calendar check of the installation date.

#include "programming/settings.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace brenvik {

inline constexpr std::string_view kRangeCaption = "Brenvik";
inline constexpr std::string_view kDateCaption = "Error";

// One failed check, as the operator is told of it.
struct ValidationFailure {
    // The value that failed; the year for a date before the first one accepted, nothing when
    // only the date as a whole is wrong.
    SettingsField field = nullptr;
    std::string_view message;
    std::string_view caption; // kRangeCaption or kDateCaption
};

// Every failure in the order the operator is told of them; empty when the panel is valid. A
// date whose fields failed their ranges is reported as a wrong date as well, once, at the end.
std::vector<ValidationFailure> validatePanel(const DeviceSettings& settings);

// The calendar rule of the installation date alone: a year from 2010 on, and a day that exists
// in its month (every year divisible by 4 counts as a leap year).
bool isAcceptedInstallationDate(std::int32_t month, std::int32_t day, std::int32_t year);

} // namespace brenvik
