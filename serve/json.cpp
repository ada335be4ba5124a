#include "serve/json.h"

#include "cli/session.h"

#include <charconv>
#include <chrono>
#include <cstdio>

namespace brenvik::serve {
namespace {

using nlohmann::json;

json delay(const Delay& d) {
    return {{"hours", d.hours}, {"minutes", d.minutes}, {"seconds", d.seconds}};
}

void appendEscaped(std::string& out, std::string_view text) {
    out += '"';
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char code[8];
            std::snprintf(code, sizeof code, "\\u%04x", c);
            out += code;
        } else {
            out += c;
        }
    }
    out += '"';
}

template <typename Number>
void appendNumber(std::string& out, Number value) {
    char text[32];
    out.append(text, std::to_chars(text, text + sizeof text, value).ptr);
}

// One array of the history: `write` appends a sample's value, or null where it has none.
template <typename Write>
void appendColumn(std::string& out, const char* name, const std::vector<Sample>& samples,
                  Write write) {
    out += ",\"";
    out += name;
    out += "\":[";
    for (std::size_t i = 0; i < samples.size(); ++i) {
        if (i > 0) {
            out += ',';
        }
        write(out, samples[i]);
    }
    out += ']';
}

// A value a good poll has; null for a failed one.
template <typename Field>
auto ofGood(Field field) {
    return [field](std::string& out, const Sample& s) {
        if (s.good()) {
            appendNumber(out, field(s));
        } else {
            out += "null";
        }
    };
}

auto flagOf(std::uint8_t bit) {
    return ofGood([bit](const Sample& s) { return s.flag(bit) ? 1 : 0; });
}

// Digits only, at least one.
std::optional<std::int64_t> digits(std::string_view text) {
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc{} || end != text.data() + text.size() ||
        text.front() == '-') {
        return std::nullopt;
    }
    return value;
}

// ".5" gives 500: the milliseconds of a fraction of a second (digits beyond the third dropped).
std::optional<std::int64_t> fractionMs(std::string_view fraction) {
    if (fraction.empty()) {
        return 0;
    }
    if (fraction.front() != '.' || !digits(fraction.substr(1))) {
        return std::nullopt;
    }
    std::string millis(fraction.substr(1, 3));
    millis.resize(3, '0');
    return digits(millis);
}

} // namespace

json statusObject(const Reading& r) {
    json charge{{"index", r.chargeSelection}};
    if (r.chargeText) {
        charge["text"] = *r.chargeText;
    }
    return {
        {"partNumber", r.partNumber},
        {"firmware", r.firmware},
        {"outputVoltage", r.outputVolts},
        {"batteryVoltage", r.batteryVolts},
        {"chargeCurrent", r.chargeAmps},
        {"powerUpHours", r.powerUpHours},
        {"batteryInstalledHours", r.batteryInstalledHours},
        {"acFaultCount", r.acFaultCount},
        {"systemFaultCount", r.systemFaultCount},
        {"faiActivated", r.faiActivated ? "Yes" : "No"},
        {"outputLatching", r.outputLatching ? "Yes" : "No"},
        {"acFaultStatus", r.acFault ? "Fault" : "No fault"},
        {"systemFaultStatus", r.systemFault ? "Fault" : "No fault"},
        {"acFaultDelay", delay(r.acFaultDelay)},
        {"systemFaultDelay", delay(r.systemFaultDelay)},
        {"chargeSelection", charge},
        {"installDate",
         {{"month", r.installMonth}, {"day", r.installDay}, {"year", r.installYear}}},
    };
}

std::string statusJson(const std::vector<SupplyView>& supplies) {
    json list = json::array();
    for (const SupplyView& s : supplies) {
        list.push_back({
            {"bridge", s.identity.bridge},
            {"location", s.identity.location},
            {"ok", s.lastOk},
            {"lastPoll", s.lastPollMs ? json(isoTime(*s.lastPollMs)) : json()},
            {"lastGoodPoll", s.lastGood ? json(isoTime(s.lastGoodMs)) : json()},
            {"failure", s.lastPollMs && !s.lastOk ? json(s.lastFailure) : json()},
            {"pollSeconds", s.lastPollMs ? json(s.lastDurationSeconds) : json()},
            {"status", s.lastGood ? statusObject(*s.lastGood) : json()},
        });
    }
    return json{{"supplies", list}}.dump() + "\n";
}

std::string historyJson(const std::vector<HistorySlice>& slices) {
    std::string out = "{\"supplies\":[";
    for (std::size_t n = 0; n < slices.size(); ++n) {
        const HistorySlice& slice = slices[n];
        const auto& samples = slice.samples;
        out += n > 0 ? ",{\"bridge\":" : "{\"bridge\":";
        appendEscaped(out, slice.identity.bridge);
        out += ",\"location\":";
        appendEscaped(out, slice.identity.location);
        appendColumn(out, "time", samples,
                     [](std::string& o, const Sample& s) { appendNumber(o, s.timeMs); });
        appendColumn(out, "ok", samples,
                     [](std::string& o, const Sample& s) { o += s.good() ? '1' : '0'; });
        appendColumn(out, "pollSeconds", samples, [](std::string& o, const Sample& s) {
            appendNumber(o, static_cast<double>(s.durationUs) / 1e6);
        });
        appendColumn(out, "outputVoltage", samples,
                     ofGood([](const Sample& s) { return s.outputVolts; }));
        appendColumn(out, "batteryVoltage", samples,
                     ofGood([](const Sample& s) { return s.batteryVolts; }));
        appendColumn(out, "chargeCurrent", samples,
                     ofGood([](const Sample& s) { return s.chargeAmps; }));
        appendColumn(out, "powerUpHours", samples,
                     ofGood([](const Sample& s) { return s.powerUpHours; }));
        appendColumn(out, "batteryInstalledHours", samples,
                     ofGood([](const Sample& s) { return s.batteryInstalledHours; }));
        appendColumn(out, "acFaultCount", samples,
                     ofGood([](const Sample& s) { return s.acFaultCount; }));
        appendColumn(out, "systemFaultCount", samples,
                     ofGood([](const Sample& s) { return s.systemFaultCount; }));
        appendColumn(out, "faiActivated", samples, flagOf(Sample::kFaiActivated));
        appendColumn(out, "outputLatching", samples, flagOf(Sample::kOutputLatching));
        appendColumn(out, "acFault", samples, flagOf(Sample::kAcFault));
        appendColumn(out, "systemFault", samples, flagOf(Sample::kSystemFault));
        appendColumn(out, "failure", samples, [&slice](std::string& o, const Sample& s) {
            if (s.good()) {
                o += "null";
            } else {
                appendEscaped(o, slice.failureTexts.at(s.failure - 1u));
            }
        });
        out += '}';
    }
    return out + "]}\n";
}

std::string isoTime(std::int64_t unixMs) {
    return cli::isoTime(cli::WallTime(std::chrono::milliseconds(unixMs)));
}

std::optional<std::int64_t> parseSince(std::string_view text) {
    using namespace std::chrono;
    const auto dot = text.find('.');
    if (text.find('T') == std::string_view::npos) {
        const auto seconds = digits(text.substr(0, dot));
        const auto millis = fractionMs(dot == std::string_view::npos ? "" : text.substr(dot));
        if (!seconds || !millis || *seconds > 253402300799) { // up to the year 9999
            return std::nullopt;
        }
        return *seconds * 1000 + *millis;
    }
    // YYYY-MM-DDTHH:MM:SS[.fff]Z
    if (text.size() < 20 || text.back() != 'Z' || text[4] != '-' || text[7] != '-' ||
        text[10] != 'T' || text[13] != ':' || text[16] != ':') {
        return std::nullopt;
    }
    const auto field = [&](std::size_t at, std::size_t width) {
        return digits(text.substr(at, width));
    };
    const auto y = field(0, 4), mo = field(5, 2), d = field(8, 2);
    const auto h = field(11, 2), mi = field(14, 2), s = field(17, 2);
    const auto millis = fractionMs(text.substr(19, text.size() - 20));
    if (!y || !mo || !d || !h || !mi || !s || !millis || *h > 23 || *mi > 59 || *s > 59) {
        return std::nullopt;
    }
    const year_month_day date{year(static_cast<int>(*y)), month(static_cast<unsigned>(*mo)),
                              day(static_cast<unsigned>(*d))};
    if (!date.ok()) {
        return std::nullopt;
    }
    const auto midnight = sys_days(date).time_since_epoch();
    return duration_cast<milliseconds>(midnight + hours(*h) + minutes(*mi) + seconds(*s)).count() +
           *millis;
}

} // namespace brenvik::serve
