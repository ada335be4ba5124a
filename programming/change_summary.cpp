#include "programming/change_summary.h"

#include <array>
#include <string>

namespace brenvik {
namespace {

constexpr std::string_view kNoChange = "No change";
constexpr std::string_view kBatteryTimerLine = "Battery installed time will be reset to 0";
constexpr std::string_view kFaultCountsLine = "AC and System Fault counts will be reset to 0";
constexpr std::string_view kDatePrefix = "Enter installation date (mm/dd/yyyy): ";

using ChargeColumn = std::array<std::string_view, 4>;

// The charge selection in words, by part number; the last column serves an unknown supply.
struct ChargeWording {
    std::string_view partNumber;
    ChargeColumn column;
};
constexpr ChargeColumn kSmallModel{"9 to 40 Ah Battery .", "5 to 8 Ah Battery.", "4 Ah Battery.",
                                   "2 Ah Battery."};
constexpr ChargeColumn kLargeModels{"18 to >80 Ah Battery.", "9 to 12 Ah Battery.",
                                    "5 to 8 Ah Battery.", "4 Ah Battery."};
constexpr ChargeColumn kUnknownModel{"Full scale.", "1/2 Full scale.", "1/4 Full scale.",
                                     "1/8 Full scale."};
constexpr std::array<ChargeWording, 3> kChargeWordings{{
    {"TRQ 60-40-20", kSmallModel},
    {"TRQ 120-80", kLargeModels},
    {"TRQ 220-160", kLargeModels},
}};

// Values below 10 get a leading 0; negative values never get here with their option on.
std::string twoDigits(std::int32_t value) {
    std::string text = std::to_string(value);
    if (value >= 0 && value < 10) {
        text.insert(text.begin(), '0');
    }
    return text;
}

std::string delayText(bool on, std::int32_t hours, std::int32_t minutes, std::int32_t seconds) {
    if (!on) {
        return std::string(kNoChange);
    }
    std::string text = twoDigits(hours);
    text.append(": ").append(twoDigits(minutes)).append(": ").append(twoDigits(seconds));
    return text.append(" ");
}

std::string chargeText(bool on, std::int32_t selection, std::string_view partNumber) {
    if (!on) {
        return std::string(kNoChange);
    }
    const ChargeColumn* column = &kUnknownModel;
    for (const auto& wording : kChargeWordings) {
        if (wording.partNumber == partNumber) {
            column = &wording.column;
            break;
        }
    }
    // Selections 4 and 5 pass the panel's checks but the selector never offers them.
    if (selection < 0 || selection >= std::ssize(*column)) {
        return {};
    }
    return std::string((*column)[static_cast<std::size_t>(selection)]);
}

std::string dateText(const DeviceSettings& s) {
    std::string text(kDatePrefix);
    text.append(twoDigits(s.installMonth)).append("/ ").append(twoDigits(s.installDay));
    return text.append("/ ").append(std::to_string(s.installYear)).append(" ");
}

} // namespace

ConfirmationTexts buildChangeSummary(const DeviceSettings& settings, std::string_view partNumber) {
    ConfirmationTexts texts;
    texts.chargeSelection =
        chargeText(settings.optChargeSelector != 0, settings.chargeSelection, partNumber);
    texts.acFaultDelay = delayText(settings.optAcFaultDelay != 0, settings.acFaultHours,
                                   settings.acFaultMinutes, settings.acFaultSeconds);
    texts.sysFaultDelay = delayText(settings.optSysFaultDelay != 0, settings.sysFaultHours,
                                    settings.sysFaultMinutes, settings.sysFaultSeconds);

    std::array<std::string*, 3> lines{&texts.actionLine1, &texts.actionLine2, &texts.actionLine3};
    auto next = lines.begin();
    if (settings.optResetBatteryTimer != 0) {
        **next++ = kBatteryTimerLine;
    }
    if (settings.optInstallDate != 0) {
        **next++ = dateText(settings);
    }
    if (settings.optResetFaultCounts != 0) {
        **next++ = kFaultCountsLine;
    }
    return texts;
}

} // namespace brenvik
