#include "programming/validation.h"

namespace brenvik {
namespace {

constexpr std::string_view kDateError = "Enter installation date error.";
constexpr std::int32_t kFirstYear = 2010;

} // namespace

bool isAcceptedInstallationDate(std::int32_t month, std::int32_t day, std::int32_t year) {
    if (month == 0 || day == 0 || year == 0 || year < kFirstYear) {
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

std::vector<ValidationFailure> validatePanel(const DeviceSettings& s) {
    struct RangeCheck {
        SettingsField option;
        SettingsField field;
        std::int32_t low;
        std::int32_t high;
        std::string_view message;
    };
    static constexpr RangeCheck kChecks[] = {
        {&DeviceSettings::optChargeSelector, &DeviceSettings::chargeSelection, 0, 5,
         "Enter an integer between 0 and 5."},
        {&DeviceSettings::optAcFaultDelay, &DeviceSettings::acFaultHours, 0, 255,
         "Enter an integer between 0 and 255."},
        {&DeviceSettings::optAcFaultDelay, &DeviceSettings::acFaultMinutes, 0, 59,
         "Enter an integer between 0 and 59."},
        {&DeviceSettings::optAcFaultDelay, &DeviceSettings::acFaultSeconds, 0, 59,
         "Enter an integer between 0 and 59."},
        {&DeviceSettings::optSysFaultDelay, &DeviceSettings::sysFaultHours, 0, 255,
         "Enter an integer between 0 and 255."},
        {&DeviceSettings::optSysFaultDelay, &DeviceSettings::sysFaultMinutes, 0, 59,
         "Enter an integer between 0 and 59."},
        {&DeviceSettings::optSysFaultDelay, &DeviceSettings::sysFaultSeconds, 0, 59,
         "Enter an integer between 0 and 59."},
        {&DeviceSettings::optInstallDate, &DeviceSettings::installMonth, 1, 12,
         "Enter an integer between 1 and 12."},
        {&DeviceSettings::optInstallDate, &DeviceSettings::installDay, 1, 31,
         "Enter an integer between 1 and 31."},
        {&DeviceSettings::optInstallDate, &DeviceSettings::installYear, 1, 9999,
         "Enter an integer between 1 and 9999."},
    };
    std::vector<ValidationFailure> failures;
    bool dateRangeFailed = false;
    for (const RangeCheck& check : kChecks) {
        const std::int32_t value = s.*(check.field);
        if (s.*(check.option) == 0 || (value >= check.low && value <= check.high)) {
            continue;
        }
        failures.push_back({check.field, check.message, kRangeCaption});
        dateRangeFailed = dateRangeFailed || check.option == &DeviceSettings::optInstallDate;
    }
    if (s.optInstallDate != 0 &&
        (dateRangeFailed ||
         !isAcceptedInstallationDate(s.installMonth, s.installDay, s.installYear))) {
        const SettingsField field =
            s.installYear < kFirstYear ? &DeviceSettings::installYear : nullptr;
        failures.push_back({field, kDateError, kDateCaption});
    }
    return failures;
}

} // namespace brenvik
