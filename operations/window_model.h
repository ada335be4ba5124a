#pragma once
// What the main window shows besides its controls' own state: the device settings behind the
// programming panel and the texts of the read-only fields.

#include "monitor/monitoring_values.h"
#include "programming/settings.h"

namespace brenvik {

struct MainWindowModel {
    DeviceSettings settings;
    monitor::DisplayTexts texts;
};

} // namespace brenvik
