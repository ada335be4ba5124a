#include "cli/records.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <initializer_list>
#include <nlohmann/json.hpp>
#include <utility>

namespace brenvik::cli {
namespace {

std::string chargeText(std::int32_t selection, const ChargeItems& items) {
    std::string text = std::to_string(selection);
    if (selection >= 0 && selection < static_cast<std::int32_t>(items.size())) {
        text += " (" + std::string(items[static_cast<std::size_t>(selection)]) + ")";
    }
    return text;
}

// The monitoring fields in the order the window shows them, with its labels and units.
std::vector<std::pair<std::string_view, std::string>>
monitoringFields(const monitor::DisplayTexts& t) {
    return {
        {"Main output voltage", t.outputVoltage + " Volts"},
        {"Battery voltage", t.batteryVoltage + " Volts"},
        {"Battery charge current", t.chargeCurrent + " Amps"},
        {"Total power-up time", t.powerUpTime + " Hours"},
        {"Battery installed time", t.batteryTime + " Hours"},
        {"# of AC Faults detected", t.acFaultCount},
        {"# of System Faults detected", t.sysFaultCount},
        {"FAI activated", t.faiActivated},
        {"Output latching on FAI", t.outputLatching},
        {"AC Fault status", t.acFaultStatus},
        {"System Fault status", t.sysFaultStatus},
    };
}

std::string csvRow(std::initializer_list<std::string_view> fields) {
    std::string row;
    std::string_view separator;
    for (const std::string_view field : fields) {
        row += separator;
        row += csvField(field);
        separator = ",";
    }
    return row + "\n";
}

double decimal(const std::string& text) {
    return std::strtod(text.c_str(), nullptr);
}

long long integer(const std::string& text) {
    return std::strtoll(text.c_str(), nullptr, 10);
}

} // namespace

std::string delayText(std::int64_t hours, std::int64_t minutes, std::int64_t seconds) {
    char text[64];
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", static_cast<long long>(hours),
                  static_cast<long long>(minutes), static_cast<long long>(seconds));
    return text;
}

std::string dateText(std::int64_t month, std::int64_t day, std::int64_t year) {
    return std::to_string(month) + "/" + std::to_string(day) + "/" + std::to_string(year);
}

std::string statusText(const MainWindowModel& model, const ChargeItems& chargeItems) {
    const DeviceSettings& s = model.settings;
    auto fields = monitoringFields(model.texts);
    fields.insert(fields.begin(), {{"Part number", model.texts.partNumber},
                                   {"Firmware version", model.texts.firmware}});
    fields.emplace_back("AC Fault reporting delay",
                        delayText(s.acFaultHours, s.acFaultMinutes, s.acFaultSeconds));
    fields.emplace_back("System Fault reporting delay",
                        delayText(s.sysFaultHours, s.sysFaultMinutes, s.sysFaultSeconds));
    fields.emplace_back("Battery Charge Selector", chargeText(s.chargeSelection, chargeItems));
    fields.emplace_back("Installation date", dateText(s.installMonth, s.installDay, s.installYear));

    std::string text;
    for (const auto& [label, value] : fields) {
        std::string line = std::string(label) + ":";
        line.resize(31, ' ');
        text += line + value + "\n";
    }
    return text;
}

std::string statusJson(const MainWindowModel& model, const ChargeItems& chargeItems) {
    const DeviceSettings& s = model.settings;
    const monitor::DisplayTexts& t = model.texts;
    const auto delay = [](std::int32_t h, std::int32_t m, std::int32_t sec) {
        return nlohmann::json{{"hours", h}, {"minutes", m}, {"seconds", sec}};
    };
    nlohmann::json charge{{"index", s.chargeSelection}};
    if (s.chargeSelection >= 0 &&
        s.chargeSelection < static_cast<std::int32_t>(chargeItems.size())) {
        charge["text"] = chargeItems[static_cast<std::size_t>(s.chargeSelection)];
    }
    const nlohmann::json object{
        {"partNumber", t.partNumber},
        {"firmware", t.firmware},
        {"outputVoltage", decimal(t.outputVoltage)},
        {"batteryVoltage", decimal(t.batteryVoltage)},
        {"chargeCurrent", decimal(t.chargeCurrent)},
        {"powerUpHours", integer(t.powerUpTime)},
        {"batteryInstalledHours", integer(t.batteryTime)},
        {"acFaultCount", integer(t.acFaultCount)},
        {"systemFaultCount", integer(t.sysFaultCount)},
        {"faiActivated", t.faiActivated},
        {"outputLatching", t.outputLatching},
        {"acFaultStatus", t.acFaultStatus},
        {"systemFaultStatus", t.sysFaultStatus},
        {"acFaultDelay", delay(s.acFaultHours, s.acFaultMinutes, s.acFaultSeconds)},
        {"systemFaultDelay", delay(s.sysFaultHours, s.sysFaultMinutes, s.sysFaultSeconds)},
        {"chargeSelection", charge},
        {"installDate",
         {{"month", s.installMonth}, {"day", s.installDay}, {"year", s.installYear}}},
    };
    return object.dump() + "\n";
}

const std::string_view kPollCsvHeader =
    "time,result,output_voltage,battery_voltage,charge_current,power_up_hours,"
    "battery_installed_hours,ac_fault_count,system_fault_count,fai_activated,"
    "output_latching,ac_fault_status,system_fault_status\n";

std::string pollLine(std::string_view time, const monitor::DisplayTexts* texts,
                     std::string_view failure) {
    std::string line(time);
    if (texts == nullptr) {
        return line + "  " + std::string(failure) + "\n";
    }
    for (const auto& [label, value] : monitoringFields(*texts)) {
        line += "  " + std::string(label) + ": " + value;
    }
    return line + "\n";
}

std::string pollCsvRow(std::string_view time, const monitor::DisplayTexts* texts,
                       std::string_view failure) {
    if (texts == nullptr) {
        return csvRow({time, failure, "", "", "", "", "", "", "", "", "", "", ""});
    }
    const monitor::DisplayTexts& t = *texts;
    return csvRow({time, "ok", t.outputVoltage, t.batteryVoltage, t.chargeCurrent, t.powerUpTime,
                   t.batteryTime, t.acFaultCount, t.sysFaultCount, t.faiActivated, t.outputLatching,
                   t.acFaultStatus, t.sysFaultStatus});
}

std::string settingsText(const monitor::StatusBlock& b) {
    return "charge " + std::to_string(b.chargeSelection) + "; AC " +
           delayText(b.acFaultHours, b.acFaultMinutes, b.acFaultSeconds) + "; system " +
           delayText(b.sysFaultHours, b.sysFaultMinutes, b.sysFaultSeconds) + "; date " +
           dateText(b.installMonth, b.installDay, b.installYear);
}

const std::string_view kReportCsvHeader =
    "time,part_number,firmware,power_up_hours,settings_before,settings_after,actions,"
    "bridge,verify\n";

std::string reportCsvRow(const ReportRow& r) {
    return csvRow({r.time, r.partNumber, r.firmware, r.powerUpHours, r.settingsBefore,
                   r.settingsAfter, r.actions, r.bridge, r.verify});
}

std::string csvField(std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
        return std::string(text);
    }
    std::string quoted = "\"";
    for (const char c : text) {
        quoted += c == '"' ? "\"\"" : std::string(1, c);
    }
    return quoted + "\"";
}

bool appendRow(const std::filesystem::path& file, std::string_view header, std::string_view row) {
    std::error_code error;
    const auto size = std::filesystem::file_size(file, error);
    std::string record = error || size == 0 ? std::string(header) : std::string{};
    record += row;
    std::ofstream out(file, std::ios::app | std::ios::binary);
    out.write(record.data(), static_cast<std::streamsize>(record.size()));
    out.flush();
    return out.good();
}

} // namespace brenvik::cli
