#pragma once
// The change summary APPLY shows before it sends anything: what each ticked setting will become
// and which one-off actions will run, in the words of the confirmation dialog.

#include "programming/device_settings.h"
#include "ui/window_port.h"

#include <string_view>

namespace brenvik {

// The six texts for the device settings as they stand. `partNumber` is the text of field 1035;
// it picks the battery-size wording of the charge selection (an unknown or empty one falls back
// to fractions of the full charge current).
ConfirmationTexts buildChangeSummary(const DeviceSettings& settings, std::string_view partNumber);

} // namespace brenvik
