#pragma once
// The change summary APPLY shows before it sends anything: what each ticked setting will become
// and which one-off actions will run, in the words of the confirmation dialog.

#include "programming/settings.h"

#include <string>
#include <string_view>

namespace brenvik {

// The six texts of the confirmation dialog that APPLY shows before it sends anything.
struct ConfirmationTexts {
    std::string chargeSelection; // beside "Battery Charge Selector:"
    std::string acFaultDelay;    // beside "AC Fault reporting delay time in:"
    std::string sysFaultDelay;   // beside "System Fault reporting delay time in:"
    // The one-off actions, packed from the top; unused lines are empty.
    std::string actionLine1;
    std::string actionLine2;
    std::string actionLine3;

    friend bool operator==(const ConfirmationTexts&, const ConfirmationTexts&) = default;
};

// The six texts for the device settings as they stand. `partNumber` is the text of field 1035;
// it picks the battery-size wording of the charge selection (an unknown or empty one falls back
// to fractions of the full charge current).
ConfirmationTexts buildChangeSummary(const DeviceSettings& settings, std::string_view partNumber);

} // namespace brenvik
