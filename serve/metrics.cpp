#include "serve/metrics.h"

#include <charconv>
#include <functional>

namespace brenvik::serve {
namespace {

std::string number(double value) {
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    return std::string(text, end);
}

// A label value: backslash, double quote and line feed escaped.
std::string labelValue(const std::string& text) {
    std::string escaped;
    for (const char c : text) {
        switch (c) {
        case '\\':
            escaped += "\\\\";
            break;
        case '"':
            escaped += "\\\"";
            break;
        case '\n':
            escaped += "\\n";
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

std::string bridgeLabels(const SupplyView& supply) {
    return "bridge=\"" + labelValue(supply.identity.bridge) + "\",location=\"" +
           labelValue(supply.identity.location) + "\"";
}

std::string readingLabels(const SupplyView& supply) {
    return bridgeLabels(supply) + ",part_number=\"" + labelValue(supply.lastGood->partNumber) +
           "\",firmware=\"" + labelValue(supply.lastGood->firmware) + "\"";
}

using Value = std::function<std::optional<double>(const SupplyView&)>;

struct Family {
    const char* name;
    const char* type;
    const char* help;
    Value value; // nothing for a supply the family has no sample of
    bool readingLabels;
};

// A value of the last good poll's reading.
Value reading(double (*field)(const Reading&)) {
    return [field](const SupplyView& s) -> std::optional<double> {
        if (!s.lastGood) {
            return std::nullopt;
        }
        return field(*s.lastGood);
    };
}

const std::vector<Family>& families() {
    static const std::vector<Family> list{
        {"brenvik_output_voltage_volts", "gauge", "Main output voltage.",
         reading([](const Reading& r) { return r.outputVolts; }), true},
        {"brenvik_battery_voltage_volts", "gauge", "Battery voltage.",
         reading([](const Reading& r) { return r.batteryVolts; }), true},
        {"brenvik_charge_current_amperes", "gauge", "Battery charge current.",
         reading([](const Reading& r) { return r.chargeAmps; }), true},
        {"brenvik_power_up_time_seconds", "gauge",
         "Total power-up time (the supply counts whole hours).",
         reading([](const Reading& r) { return static_cast<double>(r.powerUpHours) * 3600; }),
         true},
        {"brenvik_battery_installed_time_seconds", "gauge",
         "Battery installed time (the supply counts whole hours).", reading([](const Reading& r) {
             return static_cast<double>(r.batteryInstalledHours) * 3600;
         }),
         true},
        {"brenvik_ac_faults_detected", "gauge", "Number of AC faults detected.",
         reading([](const Reading& r) { return static_cast<double>(r.acFaultCount); }), true},
        {"brenvik_system_faults_detected", "gauge", "Number of system faults detected.",
         reading([](const Reading& r) { return static_cast<double>(r.systemFaultCount); }), true},
        {"brenvik_ac_fault", "gauge", "AC fault status: 1 fault, 0 no fault.",
         reading([](const Reading& r) { return r.acFault ? 1.0 : 0.0; }), true},
        {"brenvik_system_fault", "gauge", "System fault status: 1 fault, 0 no fault.",
         reading([](const Reading& r) { return r.systemFault ? 1.0 : 0.0; }), true},
        {"brenvik_fai_activated", "gauge", "Fire alarm interface activated: 1 yes, 0 no.",
         reading([](const Reading& r) { return r.faiActivated ? 1.0 : 0.0; }), true},
        {"brenvik_output_latching_on_fai", "gauge", "Output latching on FAI: 1 yes, 0 no.",
         reading([](const Reading& r) { return r.outputLatching ? 1.0 : 0.0; }), true},
        {"brenvik_poll_success", "gauge", "Whether the latest poll succeeded: 1 yes, 0 no.",
         [](const SupplyView& s) -> std::optional<double> {
             if (!s.lastPollMs) {
                 return std::nullopt;
             }
             return s.lastOk ? 1.0 : 0.0;
         },
         false},
        {"brenvik_last_good_poll_timestamp_seconds", "gauge",
         "When the last good poll started, seconds since the Unix epoch; the readings are its "
         "values.",
         [](const SupplyView& s) -> std::optional<double> {
             if (!s.lastGood) {
                 return std::nullopt;
             }
             return static_cast<double>(s.lastGoodMs) / 1000.0;
         },
         false},
        {"brenvik_poll_duration_seconds", "gauge", "How long the latest poll took.",
         [](const SupplyView& s) -> std::optional<double> {
             if (!s.lastPollMs) {
                 return std::nullopt;
             }
             return s.lastDurationSeconds;
         },
         false},
        {"brenvik_polls_total", "counter", "Polls made.",
         [](const SupplyView& s) -> std::optional<double> { return static_cast<double>(s.polls); },
         false},
        {"brenvik_poll_failures_total", "counter", "Polls that failed.",
         [](const SupplyView& s) -> std::optional<double> {
             return static_cast<double>(s.failedPolls);
         },
         false},
    };
    return list;
}

} // namespace

std::string metricsText(const std::vector<SupplyView>& supplies) {
    std::string text;
    for (const Family& family : families()) {
        std::string samples;
        for (const SupplyView& supply : supplies) {
            if (const auto value = family.value(supply)) {
                samples += std::string(family.name) + "{" +
                           (family.readingLabels ? readingLabels(supply) : bridgeLabels(supply)) +
                           "} " + number(*value) + "\n";
            }
        }
        if (!samples.empty()) {
            text += std::string("# HELP ") + family.name + " " + family.help + "\n# TYPE " +
                    family.name + " " + family.type + "\n" + samples;
        }
    }
    return text;
}

} // namespace brenvik::serve
