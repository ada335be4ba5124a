#include "cli/verification.h"

#include "cli/records.h"

#include <array>
#include <utility>

namespace brenvik::cli {
namespace {

void compare(std::vector<std::string>& differences, bool asked, std::string_view what,
             const std::string& held, const std::string& requested) {
    if (asked && held != requested) {
        differences.push_back(std::string(what) + " " + held + ", asked " + requested);
    }
}

std::array<std::pair<std::string_view, operations::ActionOutcome>, 4>
actions(const operations::WriteOutcome& o) {
    return {{{"settings write", o.settings},
             {"battery timer reset", o.batteryTimer},
             {"fault count reset", o.faultCounts},
             {"installation date", o.installDate}}};
}

std::string joined(const operations::WriteOutcome& outcome, bool failedOnly) {
    std::string text;
    for (const auto& [name, action] : actions(outcome)) {
        if (!action.ran || (failedOnly && action.succeeded)) {
            continue;
        }
        text += (text.empty() ? "" : "; ") + std::string(name);
        if (!failedOnly && !action.succeeded) {
            text += " (failed)";
        }
    }
    return text;
}

} // namespace

std::vector<std::string> verificationDifferences(const DeviceSettings& r,
                                                 const monitor::StatusBlock& h) {
    std::vector<std::string> differences;
    compare(differences, r.optChargeSelector != 0, "charge selection",
            std::to_string(h.chargeSelection), std::to_string(r.chargeSelection));
    compare(differences, r.optAcFaultDelay != 0, "AC fault delay",
            delayText(h.acFaultHours, h.acFaultMinutes, h.acFaultSeconds),
            delayText(r.acFaultHours, r.acFaultMinutes, r.acFaultSeconds));
    compare(differences, r.optSysFaultDelay != 0, "system fault delay",
            delayText(h.sysFaultHours, h.sysFaultMinutes, h.sysFaultSeconds),
            delayText(r.sysFaultHours, r.sysFaultMinutes, r.sysFaultSeconds));
    compare(differences, r.optInstallDate != 0, "installation date",
            dateText(h.installMonth, h.installDay, h.installYear),
            dateText(r.installMonth, r.installDay, r.installYear));
    compare(differences, r.optResetBatteryTimer != 0, "battery installed hours",
            std::to_string(h.batteryHours), "0");
    compare(differences, r.optResetFaultCounts != 0, "fault counts",
            std::to_string(h.acFaultCount) + "/" + std::to_string(h.sysFaultCount), "0/0");
    return differences;
}

std::string actionsText(const operations::WriteOutcome& outcome) {
    const std::string text = joined(outcome, false);
    return text.empty() ? "none" : text;
}

std::string failedActionsText(const operations::WriteOutcome& outcome) {
    return joined(outcome, true);
}

} // namespace brenvik::cli
