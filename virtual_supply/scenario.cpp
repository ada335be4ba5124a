#include "virtual_supply/scenario.h"

#include <algorithm>
#include <charconv>
#include <functional>
#include <map>
#include <optional>

namespace brenvik::vsupply {

namespace {

std::string_view trim(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

std::vector<std::string_view> split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    while (true) {
        const auto at = text.find(separator, start);
        parts.push_back(trim(text.substr(start, at - start)));
        if (at == std::string_view::npos) {
            return parts;
        }
        start = at + 1;
    }
}

// A decimal or 0x-prefixed hexadecimal number no greater than max.
std::optional<std::uint32_t> number(std::string_view text, std::uint32_t max) {
    text = trim(text);
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    std::uint32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value > max) {
        return std::nullopt;
    }
    return value;
}

std::optional<bool> flag(std::string_view text) {
    text = trim(text);
    if (text == "yes" || text == "true" || text == "1" || text == "on") {
        return true;
    }
    if (text == "no" || text == "false" || text == "0" || text == "off") {
        return false;
    }
    return std::nullopt;
}

// "a, b, c" of numbers no greater than max; "none" or nothing for an empty list.
std::optional<std::vector<std::uint32_t>> numberList(std::string_view text, std::uint32_t max) {
    std::vector<std::uint32_t> values;
    text = trim(text);
    if (text.empty() || text == "none") {
        return values;
    }
    for (const auto part : split(text, ',')) {
        const auto value = number(part, max);
        if (!value) {
            return std::nullopt;
        }
        values.push_back(*value);
    }
    return values;
}

// "first<separator>second", each a number.
std::optional<std::pair<std::uint32_t, std::uint32_t>>
numberPair(std::string_view text, char separator, std::uint32_t maxFirst, std::uint32_t maxSecond) {
    const auto parts = split(text, separator);
    if (parts.size() != 2) {
        return std::nullopt;
    }
    const auto first = number(parts[0], maxFirst);
    const auto second = number(parts[1], maxSecond);
    if (!first || !second) {
        return std::nullopt;
    }
    return std::pair{*first, *second};
}

using Setter = std::function<bool(Scenario&, std::string_view)>;

struct Key {
    KeySet group;
    bool repeatable;
    Setter set;
};

// A numeric field of the supply state.
template <typename Field>
Setter stateNumber(Field SupplyState::*field, std::uint32_t max) {
    return [field, max](Scenario& s, std::string_view v) {
        const auto value = number(v, max);
        if (value) {
            s.state.*field = static_cast<Field>(*value);
        }
        return value.has_value();
    };
}

// "H:M:S" into three wire-order setting bytes starting at the seconds.
Setter delay(std::size_t secondsAt) {
    return [secondsAt](Scenario& s, std::string_view v) {
        const auto parts = split(v, ':');
        if (parts.size() != 3) {
            return false;
        }
        std::array<std::uint32_t, 3> hms{};
        for (std::size_t i = 0; i < 3; ++i) {
            const auto value = number(parts[i], 255);
            if (!value) {
                return false;
            }
            hms[i] = *value;
        }
        s.state.settings[secondsAt] = static_cast<std::uint8_t>(hms[2]);
        s.state.settings[secondsAt + 1] = static_cast<std::uint8_t>(hms[1]);
        s.state.settings[secondsAt + 2] = static_cast<std::uint8_t>(hms[0]);
        return true;
    };
}

// "description | location | type"; the driver keeps at most 63 characters of a description.
bool setDevice(Scenario& s, std::string_view v) {
    const auto parts = split(v, '|');
    if (parts.size() != 3 || parts[0].empty() || parts[0].size() > 63) {
        return false;
    }
    const auto location = number(parts[1], 0xFFFFFFFF);
    const auto type = number(parts[2], 0xFFFFFFFF);
    if (!location || !type) {
        return false;
    }
    s.devices.push_back({std::string(parts[0]), *location, *type});
    return true;
}

bool setInstallDate(Scenario& s, std::string_view v) {
    const auto parts = split(v, '/');
    if (parts.size() != 3) {
        return false;
    }
    const auto month = number(parts[0], 255);
    const auto day = number(parts[1], 255);
    const auto year = number(parts[2], 25599);
    if (!month || !day || !year) {
        return false;
    }
    s.state.installDate = {static_cast<std::uint8_t>(*month), static_cast<std::uint8_t>(*day),
                           static_cast<std::uint8_t>(*year / 100),
                           static_cast<std::uint8_t>(*year % 100)};
    return true;
}

bool setFailCall(Scenario& s, std::string_view v) {
    // ordinal[@occurrence][:status]
    CallFailure failure;
    auto statusAt = v.find(':');
    if (statusAt != std::string_view::npos) {
        const auto status = number(v.substr(statusAt + 1), 0xFFFFFFFF);
        if (!status || *status == 0) {
            return false;
        }
        failure.status = *status;
        v = v.substr(0, statusAt);
    }
    auto occurrenceAt = v.find('@');
    if (occurrenceAt != std::string_view::npos) {
        const auto occurrence = number(v.substr(occurrenceAt + 1), 0xFFFFFFFF);
        if (!occurrence) {
            return false;
        }
        failure.occurrence = *occurrence;
        v = v.substr(0, occurrenceAt);
    }
    const auto ordinal = number(v, 255);
    if (!ordinal || std::ranges::find(kAllOrdinals, *ordinal) == kAllOrdinals.end()) {
        return false;
    }
    failure.ordinal = *ordinal;
    s.bridgeFaults.failingCalls.push_back(failure);
    return true;
}

Setter plugAfter(bool plugged) {
    return [plugged](Scenario& s, std::string_view v) {
        const auto count = number(v, 0xFFFFFFFF);
        if (!count || *count == 0) {
            return false;
        }
        s.bridgeFaults.plugEvents.push_back({plugged, *count, 0, 1});
        return true;
    };
}

Setter plugAt(bool plugged) {
    return [plugged](Scenario& s, std::string_view v) {
        const auto pair = numberPair(v, '@', 255, 0xFFFFFFFF);
        if (!pair || pair->first == 0 || pair->second == 0) {
            return false;
        }
        s.bridgeFaults.plugEvents.push_back(
            {plugged, 0, static_cast<std::uint8_t>(pair->first), pair->second});
        return true;
    };
}

// A yes/no value of the scenario; `field` gives the flag within a scenario.
template <typename Field>
Setter flagOf(Field field) {
    return [field](Scenario& s, std::string_view v) {
        const auto value = flag(v);
        if (value) {
            field(s) = *value;
        }
        return value.has_value();
    };
}

// "command:byte" into a map from command code to a reply byte index or count; `field` gives the
// map within a scenario.
template <typename Field>
Setter replyByteOf(Field field) {
    return [field](Scenario& s, std::string_view v) {
        const auto pair = numberPair(v, ':', 255, kMaxReply - 1);
        if (pair) {
            field(s)[static_cast<std::uint8_t>(pair->first)] = pair->second;
        }
        return pair.has_value();
    };
}

Setter commandSet(std::set<std::uint8_t> SupplyFaults::*field) {
    return [field](Scenario& s, std::string_view v) {
        const auto codes = numberList(v, 255);
        if (!codes) {
            return false;
        }
        s.supplyFaults.*field = {codes->begin(), codes->end()};
        return true;
    };
}

const std::map<std::string, Key, std::less<>>& keys() {
    using enum KeySet;
    static const std::map<std::string, Key, std::less<>> table{
        {"device", {Scenario, true, setDevice}},
        {"dll_version",
         {Scenario, false,
          [](vsupply::Scenario& s, std::string_view v) {
              if (v.size() > 9) {
                  return false;
              }
              s.dllVersion = std::string(v);
              return true;
          }}},
        {"model", {Scenario, false, stateNumber(&SupplyState::modelCode, 255)}},
        {"firmware", {Scenario, false, stateNumber(&SupplyState::firmwareTenths, 255)}},
        {"ac_delay", {State, false, delay(0)}},
        {"system_delay", {State, false, delay(3)}},
        {"charge_selection",
         {State, false,
          [](vsupply::Scenario& s, std::string_view v) {
              const auto value = number(v, 255);
              if (value) {
                  s.state.settings[6] = static_cast<std::uint8_t>(*value);
              }
              return value.has_value();
          }}},
        {"install_date", {State, false, setInstallDate}},
        {"power_up_hours", {State, false, stateNumber(&SupplyState::powerUpHours, 0xFFFFFF)}},
        {"battery_hours", {State, false, stateNumber(&SupplyState::batteryHours, 0xFFFFFF)}},
        {"ac_faults", {State, false, stateNumber(&SupplyState::acFaultCount, 0xFFFF)}},
        {"system_faults", {State, false, stateNumber(&SupplyState::sysFaultCount, 0xFFFF)}},
        {"status1", {Scenario, false, stateNumber(&SupplyState::statusBits1, 255)}},
        {"status2", {Scenario, false, stateNumber(&SupplyState::statusBits2, 255)}},
        {"battery_reading", {Scenario, false, stateNumber(&SupplyState::batteryReading, 0xFFFF)}},
        {"output_reading", {Scenario, false, stateNumber(&SupplyState::outputReading, 0xFFFF)}},
        {"charge_reading", {Scenario, false, stateNumber(&SupplyState::chargeReading, 0xFFFF)}},
        {"charge_offset", {Scenario, false, stateNumber(&SupplyState::chargeOffset, 0xFFFF)}},
        {"hour_length_ms",
         {Scenario, false,
          [](vsupply::Scenario& s, std::string_view v) {
              const auto value = number(v, 0xFFFFFFFF);
              if (value) {
                  s.hourLength = std::chrono::milliseconds(*value);
              }
              return value.has_value();
          }}},
        {"jitter",
         {Scenario, false,
          [](vsupply::Scenario& s, std::string_view v) {
              const auto value = number(v, 1000);
              if (value) {
                  s.readingJitter = static_cast<std::uint16_t>(*value);
              }
              return value.has_value();
          }}},
        {"seed",
         {Scenario, false,
          [](vsupply::Scenario& s, std::string_view v) {
              const auto value = number(v, 0xFFFFFFFF);
              if (value) {
                  s.seed = *value;
              }
              return value.has_value();
          }}},
        {"control_file",
         {Scenario, false,
          [](vsupply::Scenario& s, std::string_view v) {
              s.controlFile = std::string(v);
              return true;
          }}},
        {"plugged",
         {Control, false, flagOf([](vsupply::Scenario& s) -> bool& { return s.plugged; })}},
        {"count_zero", {Control, false, flagOf([](vsupply::Scenario& s) -> bool& {
                            return s.bridgeFaults.countZero;
                        })}},
        {"count_untouched", {Scenario, false, flagOf([](vsupply::Scenario& s) -> bool& {
                                 return s.bridgeFaults.countUntouched;
                             })}},
        {"short_transfer", {Control, true, replyByteOf([](vsupply::Scenario & s) -> auto& {
                                return s.bridgeFaults.shortTransfers;
                            })}},
        {"fail_call", {Control, true, setFailCall}},
        {"no_ack", {Control, false, commandSet(&SupplyFaults::unacknowledged)}},
        {"nonzero_confirm", {Control, false, commandSet(&SupplyFaults::nonZeroConfirm)}},
        {"stores_other", {Control, false, commandSet(&SupplyFaults::storesOther)}},
        {"bad_checksum", {Control, false, flagOf([](vsupply::Scenario& s) -> bool& {
                              return s.supplyFaults.badBlockChecksum;
                          })}},
        {"wrong_echo", {Control, true, replyByteOf([](vsupply::Scenario & s) -> auto& {
                            return s.supplyFaults.wrongEcho;
                        })}},
        {"unplug_after", {Control, true, plugAfter(false)}},
        {"plug_after", {Control, true, plugAfter(true)}},
        {"unplug_at", {Control, true, plugAt(false)}},
        {"plug_at", {Control, true, plugAt(true)}},
    };
    return table;
}

bool allowedIn(KeySet key, KeySet allowed) {
    return allowed == KeySet::Scenario || key == allowed;
}

// Empties the list a repeatable key extends, before its first line in a text.
void clearList(std::string_view key, Scenario& s) {
    if (key == "device") {
        s.devices.clear();
    } else if (key == "fail_call") {
        s.bridgeFaults.failingCalls.clear();
    } else if (key == "short_transfer") {
        s.bridgeFaults.shortTransfers.clear();
    } else if (key == "wrong_echo") {
        s.supplyFaults.wrongEcho.clear();
    } else if (key.find("plug_") != std::string_view::npos) {
        // The four plug keys share one list of events.
        std::erase_if(s.bridgeFaults.plugEvents, [&](const PlugEvent& e) {
            const bool byCount = key.ends_with("_after");
            const bool plugging = !key.starts_with("un");
            return e.plugged == plugging && (e.afterTransfers != 0) == byCount;
        });
    }
}

} // namespace

SupplyState Scenario::plausibleSupply() {
    SupplyState state;
    state.settings = {0, 5, 0, 30, 0, 0, 0}; // AC 0:05:00, system 0:00:30, largest battery
    state.installDate = {2, 7, 20, 10};
    state.powerUpHours = 12345;
    state.batteryHours = 8760;
    state.acFaultCount = 3;
    state.sysFaultCount = 1;
    state.statusBits1 = 0x80;
    state.statusBits2 = 0x01;
    state.batteryReading = 927; // 27.19 V
    state.outputReading = 938;  // 27.51 V
    state.chargeReading = 700;
    state.chargeOffset = 40; // 1.01 A on a model 1
    state.modelCode = 1;
    state.firmwareTenths = 23;
    return state;
}

ParseResult applyText(std::string_view text, Scenario& scenario, KeySet allowed) {
    ParseResult result;
    std::size_t lineNumber = 0;
    for (const auto rawLine : split(text, '\n')) {
        ++lineNumber;
        const auto line = trim(rawLine);
        if (line.empty() || line.front() == '#') {
            continue;
        }
        const auto fail = [&](std::string message) {
            result.errors.push_back("line " + std::to_string(lineNumber) + ": " + message);
        };
        const auto equals = line.find('=');
        if (equals == std::string_view::npos) {
            fail("expected key = value");
            continue;
        }
        const auto name = trim(line.substr(0, equals));
        const auto value = trim(line.substr(equals + 1));
        const auto found = keys().find(name);
        if (found == keys().end()) {
            fail("unknown key " + std::string(name));
            continue;
        }
        const Key& key = found->second;
        if (!allowedIn(key.group, allowed)) {
            fail("key " + std::string(name) + " is not allowed here");
            continue;
        }
        // The first good line of a repeatable key replaces the list; a bad one leaves it.
        Scenario updated = scenario;
        if (key.repeatable && !result.keys.contains(found->first)) {
            clearList(name, updated);
        }
        if (!key.set(updated, value)) {
            fail("bad value for " + std::string(name) + ": " + std::string(value));
            continue;
        }
        scenario = std::move(updated);
        result.keys.insert(found->first);
    }
    return result;
}

std::string stateText(const SupplyState& state) {
    const auto& s = state.settings;
    const auto& d = state.installDate;
    const auto hms = [&](std::size_t at) {
        return std::to_string(s[at + 2]) + ":" + std::to_string(s[at + 1]) + ":" +
               std::to_string(s[at]);
    };
    return "ac_delay = " + hms(0) + "\n" + "system_delay = " + hms(3) + "\n" +
           "charge_selection = " + std::to_string(s[6]) + "\n" +
           "install_date = " + std::to_string(d[0]) + "/" + std::to_string(d[1]) + "/" +
           std::to_string(100 * d[2] + d[3]) + "\n" +
           "power_up_hours = " + std::to_string(state.powerUpHours) + "\n" +
           "battery_hours = " + std::to_string(state.batteryHours) + "\n" +
           "ac_faults = " + std::to_string(state.acFaultCount) + "\n" +
           "system_faults = " + std::to_string(state.sysFaultCount) + "\n";
}

void applyScenario(const Scenario& scenario, VirtualBridge& bridge) {
    bridge.devices() = scenario.devices;
    bridge.setDllVersion(scenario.dllVersion);
    bridge.faults() = scenario.bridgeFaults;
    bridge.supply().state() = scenario.state;
    bridge.supply().faults() = scenario.supplyFaults;
    bridge.supply().setReadingJitter(scenario.readingJitter, scenario.seed);
    if (scenario.plugged) {
        bridge.plugIn();
    } else {
        bridge.unplug();
    }
}

} // namespace brenvik::vsupply
