#include "virtual_supply/conformance.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <functional>
#include <optional>

namespace brenvik::vsupply::conformance {
namespace {

using device::FtcHandle;
using device::FtcStatus;

// Put in the delivered count before each transfer, to see whether the library touched it.
constexpr std::uint32_t kUntouched = 0xFFFFFFFF;

enum class Needs { Nothing, NoDevice, Device, Open, OpenDual, OpenQuad };

// What earlier rows found out, for the rows after them.
struct Context {
    explicit Context(device::AdapterLibrary& target) : library(target) {}

    device::AdapterLibrary& library;
    std::uint32_t count = 0;
    std::string name; // the first listed channel's
    std::uint32_t location = 0;
    std::uint32_t type = 0;
    std::optional<FtcHandle> handle;
};

struct Answer {
    FtcStatus status = 0;
    std::string outs; // the out values the row looks at, as text; empty for none
};

struct Row {
    const char* call;
    const char* arguments;
    Needs needs;
    FtcStatus status;
    const char* outs;
    std::function<Answer(Context&)> run;
};

// The transfer's thirteen arguments as the program passes them for command 10, reading one
// byte; each row changes what it checks.
struct Transfer {
    FtcHandle handle = 0;
    device::StartCondition start{0, 0, 1, 0};
    device::StartCondition* startArg = &start;
    std::uint32_t frameBitOrder = 1;
    std::uint32_t frameClockEdge = 0;
    std::uint32_t frameBits = 16;
    std::array<std::uint8_t, 256> frame{0x0A, 0x55};
    std::uint8_t* frameArg = frame.data();
    std::uint32_t frameBytes = 2;
    std::uint32_t replyBitOrder = 1;
    std::uint32_t replyClockEdge = 0;
    std::uint32_t replyBits = 8;
    std::vector<std::uint8_t> reply = std::vector<std::uint8_t>(65536, 0);
    std::uint8_t* replyArg = reply.data();
    std::uint32_t delivered = kUntouched;
    device::HighPinRecord record{};
    device::HighPinRecord* recordArg = &record;

    Answer call(device::AdapterLibrary& library) {
        const FtcStatus status = library.writeRead(
            handle, startArg, frameBitOrder, frameClockEdge, frameBits, frameArg, frameBytes,
            replyBitOrder, replyClockEdge, replyBits, replyArg, &delivered, recordArg);
        return {status,
                delivered == kUntouched ? "count untouched" : "count " + std::to_string(delivered)};
    }
};

// A transfer on the open handle, changed by `change`.
std::function<Answer(Context&)> transfer(std::function<void(Transfer&)> change) {
    return [change](Context& c) {
        Transfer t;
        t.handle = c.handle.value_or(0);
        change(t);
        return t.call(c.library);
    };
}

// "<what> v0,v1,...".
template <typename Values, typename Value>
std::string joined(std::string text, const Values& values, Value value) {
    for (std::size_t i = 0; i < values.size(); ++i) {
        text += i == 0 ? ' ' : ',';
        text += std::to_string(value(values[i]));
    }
    return text;
}

std::string activeStates(const device::HighPinRecord& record) {
    return joined("active states", record.pins,
                  [](const device::HighOutputPin& pin) { return pin.activeState; });
}

struct Described {
    FtcStatus status = 0;
    std::array<char, 128> name{};
    std::array<char, 8> channel{};
    std::uint32_t location = 0;
    std::uint32_t type = 0;
};

Described describe(Context& c, std::uint32_t index, std::uint32_t nameSize = 100,
                   std::uint32_t channelSize = 5, bool nameBuffer = true,
                   bool channelBuffer = true) {
    Described d;
    d.name.fill(0x7F);
    d.status = c.library.getHiSpeedDeviceNameLocIdChannel(
        index, nameBuffer ? d.name.data() : nullptr, nameSize, &d.location,
        channelBuffer ? d.channel.data() : nullptr, channelSize, &d.type);
    return d;
}

std::function<Answer(Context&)> describeWith(std::uint32_t nameSizeLess, std::uint32_t channelSize,
                                             bool nameBuffer, bool channelBuffer) {
    return [=](Context& c) {
        const auto size = static_cast<std::uint32_t>(c.name.size()) - nameSizeLess;
        return Answer{describe(c, 0, size, channelSize, nameBuffer, channelBuffer).status, ""};
    };
}

// Every listed channel: its name ends in " A" or " B", its channel text is "A" or "B", its type
// 1 or 2. The first is the one the later rows open.
Answer describeAll(Context& c) {
    for (std::uint32_t index = 0; index < c.count; ++index) {
        const Described d = describe(c, index);
        const std::string name(d.name.data(), strnlen(d.name.data(), 100));
        const std::string channel(d.channel.data());
        const bool listed = name.ends_with(" A") || name.ends_with(" B");
        if (d.status != 0 || !listed || (channel != "A" && channel != "B") ||
            (d.type != 1 && d.type != 2)) {
            return {d.status, "index " + std::to_string(index) + ": \"" + name + "\", channel \"" +
                                  channel + "\", type " + std::to_string(d.type)};
        }
        if (index == 0) {
            c.name = name;
            c.location = d.location;
            c.type = d.type;
        }
    }
    return {0, "as listed"};
}

std::function<Answer(Context&)> open(std::function<std::string(const Context&)> name,
                                     std::function<std::uint32_t(const Context&)> location,
                                     const char* channelText) {
    return [=](Context& c) {
        std::array<char, 8> channel{};
        std::strncpy(channel.data(), channelText, channel.size() - 1);
        FtcHandle handle = 0;
        const FtcStatus status =
            c.library.openHiSpeedDevice(name(c).c_str(), location(c), channel.data(), &handle);
        std::string outs = "channel \"" + std::string(channel.data()) + "\"";
        if (status == 0 && c.handle && *c.handle == handle) {
            outs = "the same handle";
        } else if (status == 0) {
            c.handle = handle;
        }
        return Answer{status, outs};
    };
}

const auto kName = [](const Context& c) { return c.name; };
const auto kLocation = [](const Context& c) { return c.location; };

std::function<Answer(Context&)> onHandle(FtcStatus (device::AdapterLibrary::*call)(FtcHandle)) {
    return [call](Context& c) { return Answer{(c.library.*call)(*c.handle), ""}; };
}

std::function<Answer(Context&)> setLatency(std::uint8_t milliseconds, bool handle) {
    return [=](Context& c) {
        return Answer{
            c.library.setDeviceLatencyTimer(handle ? c.handle.value_or(0) : 0, milliseconds), ""};
    };
}

std::function<Answer(Context&)> setClock() {
    return [](Context& c) {
        std::uint32_t hz = 0;
        const FtcStatus status = c.library.setClock(*c.handle, 299, &hz);
        return Answer{status, std::to_string(hz) + " Hz"};
    };
}

std::function<Answer(Context&)> getPins() {
    return [](Context& c) {
        device::HighPinStates pins;
        pins.pins.fill(7);
        const FtcStatus status = c.library.getHiSpeedDeviceGpios(*c.handle, &pins);
        return Answer{status, joined("lines", pins.pins, [](std::uint32_t line) { return line; })};
    };
}

const std::vector<Row>& rows() {
    using N = Needs;
    static const std::vector<Row> table{
        {"18 version", "buffer of 10", N::Nothing, 0, "",
         [](Context& c) {
             std::array<char, 10> version{};
             return Answer{c.library.getDllVersion(version.data(), 10), ""};
         }},
        {"20 count", "", N::Nothing, 0, "",
         [](Context& c) {
             return Answer{c.library.getNumHiSpeedDevices(&c.count), ""};
         }},
        {"27 set latency", "handle 0, 1 ms", N::Nothing, 32, "", setLatency(1, false)},
        {"33 transfer", "handle 0", N::Nothing, 1, "count untouched", transfer([](Transfer&) {})},
        {"21 describe", "index 0", N::NoDevice, 2, "",
         [](Context& c) {
             return Answer{describe(c, 0).status, ""};
         }},
        {"22 open", "\"USB SPI Bridge A\", location 0x121, \"A\"", N::NoDevice, 2, "channel \"A\"",
         open([](const Context&) { return std::string("USB SPI Bridge A"); },
              [](const Context&) { return 0x121u; }, "A")},
        {"21 describe", "every index", N::Device, 0, "as listed", describeAll},
        {"21 describe", "index = count", N::Device, 22, "",
         [](Context& c) {
             return Answer{describe(c, c.count).status, ""};
         }},
        {"21 describe", "no name buffer", N::Device, 23, "", describeWith(0, 5, false, true)},
        {"21 describe", "no channel buffer", N::Device, 29, "", describeWith(0, 5, true, false)},
        {"21 describe", "name size one less than the name", N::Device, 24, "",
         describeWith(1, 5, true, true)},
        {"21 describe", "name size equal to the name", N::Device, 0,
         "zero written one byte past the size",
         [](Context& c) {
             const auto size = static_cast<std::uint32_t>(c.name.size());
             const Described d = describe(c, 0, size);
             return Answer{d.status, d.name[size] == '\0' ? "zero written one byte past the size"
                                                          : "no zero past the size"};
         }},
        {"21 describe", "channel size 4", N::Device, 30, "", describeWith(0, 4, true, true)},
        {"22 open", "channel \"C\"", N::Device, 31, "channel \"C\"", open(kName, kLocation, "C")},
        {"22 open", "another name", N::Device, 25, "channel \"A\"",
         open([](const Context& c) { return c.name + "x"; }, kLocation, "A")},
        {"22 open", "location + 1", N::Device, 26, "channel \"A\"",
         open(
             kName, [](const Context& c) { return c.location + 1; }, "A")},
        {"22 open", "location 0", N::Device, 27, "channel \"A\"",
         open(
             kName, [](const Context&) { return 0u; }, "A")},
        {"22 open", "channel \"a\"", N::Device, 0, "channel \"A\"", open(kName, kLocation, "a")},
        {"22 open", "the same again", N::Open, 0, "the same handle", open(kName, kLocation, "A")},
        {"23 type", "", N::Open, 0, "as listed",
         [](Context& c) {
             std::uint32_t type = 0;
             const FtcStatus status = c.library.getHiSpeedDeviceType(*c.handle, &type);
             return Answer{status, type == c.type ? "as listed" : "type " + std::to_string(type)};
         }},
        {"6 initialise", "divisor 299", N::Open, 0, "",
         [](Context& c) {
             return Answer{c.library.initDevice(*c.handle, 299), ""};
         }},
        {"8 set clock", "divisor 299 after initialising", N::Open, 0, "100000 Hz", setClock()},
        {"31 get pins", "after initialising", N::OpenDual, 0, "lines 1,1,1,1,1,1,1,1", getPins()},
        {"31 get pins", "", N::OpenQuad, 0, "lines 7,7,7,7,7,7,7,7", getPins()},
        {"27 set latency", "1 ms", N::Open, 32, "", setLatency(1, true)},
        {"27 set latency", "2 ms", N::Open, 0, "", setLatency(2, true)},
        {"27 set latency", "16 ms", N::Open, 0, "", setLatency(16, true)},
        {"28 get latency", "", N::Open, 0, "16 ms",
         [](Context& c) {
             std::uint8_t ms = 0;
             const FtcStatus status = c.library.getDeviceLatencyTimer(*c.handle, &ms);
             return Answer{status, std::to_string(ms) + " ms"};
         }},
        {"25 divide by five on", "", N::Open, 0, "",
         onHandle(&device::AdapterLibrary::turnOnDivideByFiveClock)},
        {"8 set clock", "divisor 299, divided by five", N::Open, 0, "20000 Hz", setClock()},
        {"26 divide by five off", "", N::Open, 0, "",
         onHandle(&device::AdapterLibrary::turnOffDivideByFiveClock)},
        {"9 loopback", "off", N::Open, 0, "",
         [](Context& c) {
             return Answer{c.library.setLoopback(*c.handle, 0), ""};
         }},
        {"30 set pins", "high line 0 an input, the others outputs low", N::Open, 0, "",
         [](Context& c) {
             device::LowPinStates low{};
             device::HighPinSettings high{};
             for (std::size_t i = 1; i < high.pins.size(); ++i) {
                 high.pins[i] = {1, 0};
             }
             return Answer{c.library.setHiSpeedDeviceGpios(*c.handle, &low, &high), ""};
         }},
        {"31 get pins", "after setting them low", N::OpenDual, 0, "lines 0,0,0,0,0,0,0,0",
         getPins()},
        {"33 transfer", "no start condition", N::Open, 38, "count untouched",
         transfer([](Transfer& t) { t.startArg = nullptr; })},
        {"33 transfer", "no control buffer", N::Open, 39, "count untouched",
         transfer([](Transfer& t) { t.frameArg = nullptr; })},
        {"33 transfer", "chip-select pin 5", N::Open, 52, "count untouched",
         transfer([](Transfer& t) { t.start.chipSelectLine = 5; })},
        {"33 transfer", "clock idling high, out on the falling edge", N::Open, 51,
         "count untouched", transfer([](Transfer& t) { t.start.clockPinState = 1; })},
        {"33 transfer", "out on the rising edge, clock idling low", N::Open, 51, "count untouched",
         transfer([](Transfer& t) { t.frameClockEdge = 1; })},
        {"33 transfer", "2041 control bits", N::Open, 44, "count untouched",
         transfer([](Transfer& t) { t.frameBits = 2041; })},
        {"33 transfer", "0 control bytes", N::Open, 45, "count untouched",
         transfer([](Transfer& t) { t.frameBytes = 0; })},
        {"33 transfer", "256 control bytes", N::Open, 45, "count untouched",
         transfer([](Transfer& t) { t.frameBytes = 256; })},
        {"33 transfer", "16 control bits in 1 byte", N::Open, 46, "count untouched",
         transfer([](Transfer& t) { t.frameBytes = 1; })},
        {"33 transfer", "no read buffer", N::Open, 42, "count untouched",
         transfer([](Transfer& t) { t.replyArg = nullptr; })},
        {"33 transfer", "1 read bit", N::Open, 50, "count untouched",
         transfer([](Transfer& t) { t.replyBits = 1; })},
        {"33 transfer", "524281 read bits", N::Open, 50, "count untouched",
         transfer([](Transfer& t) { t.replyBits = 524281; })},
        {"33 transfer", "no high output record", N::Open, 37, "count untouched",
         transfer([](Transfer& t) { t.recordArg = nullptr; })},
        {"33 transfer", "input high line 0 asked active", N::OpenDual, 55, "count untouched",
         transfer([](Transfer& t) { t.record.pins[0].state = 1; })},
        {"33 transfer", "8 read bits, active states set", N::Open, 0,
         "count 1, active states 0,0,0,0,0,0,0,0",
         [](Context& c) {
             Transfer t;
             t.handle = *c.handle;
             for (auto& pin : t.record.pins) {
                 pin.activeState = 1;
             }
             Answer answer = t.call(c.library);
             answer.outs += ", " + activeStates(t.record);
             return answer;
         }},
        {"33 transfer", "12 read bits", N::Open, 0, "count 2",
         transfer([](Transfer& t) { t.replyBits = 12; })},
        {"33 transfer", "160 read bits", N::Open, 0, "count 20",
         transfer([](Transfer& t) { t.replyBits = 160; })},
        {"5 close", "", N::Open, 0, "", onHandle(&device::AdapterLibrary::closeDevice)},
        {"33 transfer", "the closed handle", N::Open, 1, "count untouched",
         transfer([](Transfer&) {})},
    };
    return table;
}

// Why a row cannot run against this library; nothing when it can.
std::optional<std::string> skipReason(Needs needs, const Context& c) {
    const bool device = c.count > 0;
    switch (needs) {
    case Needs::Nothing:
        return std::nullopt;
    case Needs::NoDevice:
        return device ? std::optional<std::string>("a device is attached") : std::nullopt;
    case Needs::Device:
        return device ? std::nullopt : std::optional<std::string>("no device attached");
    case Needs::Open:
        break;
    case Needs::OpenDual:
        if (c.handle && c.type != 1) {
            return "not a two-channel bridge";
        }
        break;
    case Needs::OpenQuad:
        if (c.handle && c.type == 1) {
            return "not a four-channel bridge";
        }
        break;
    }
    return !device     ? std::optional<std::string>("no device attached")
           : !c.handle ? std::optional<std::string>("no channel open")
                       : std::nullopt;
}

} // namespace

std::vector<RowResult> run(device::AdapterLibrary& library) {
    Context context(library);
    std::vector<RowResult> results;
    for (const Row& row : rows()) {
        RowResult result;
        result.row = std::string(row.call) +
                     (*row.arguments != '\0' ? " (" + std::string(row.arguments) + ")" : "");
        if (const auto reason = skipReason(row.needs, context)) {
            result.verdict = Verdict::Skipped;
            result.detail = *reason;
        } else {
            const Answer answer = row.run(context);
            const std::string expected = std::to_string(row.status) +
                                         (*row.outs != '\0' ? ", " + std::string(row.outs) : "");
            const std::string got =
                std::to_string(answer.status) + (*row.outs != '\0' ? ", " + answer.outs : "");
            result.verdict = expected == got ? Verdict::Ok : Verdict::Differs;
            result.detail =
                result.verdict == Verdict::Ok ? expected : "expected " + expected + ", got " + got;
        }
        results.push_back(std::move(result));
    }
    return results;
}

std::string line(const RowResult& result) {
    const char* word = result.verdict == Verdict::Ok        ? "ok"
                       : result.verdict == Verdict::Differs ? "differs"
                                                            : "skipped";
    return std::string(word) + ": " + result.row + ": " + result.detail;
}

} // namespace brenvik::vsupply::conformance
