#include "serial_engine/serial_engine.h"

#include "device/transfer_checks.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <string_view>

namespace brenvik::engine {

namespace {

using namespace std::chrono_literals;

constexpr std::string_view kVersionText = "2.0";

// Device types of the adapter library.
constexpr std::uint32_t kTypeTwoChannel = 1;
constexpr std::uint32_t kTypeFourChannel = 2;

constexpr std::uint32_t kBaseClockHz = 60'000'000;
constexpr std::uint32_t kDividedClockHz = 12'000'000;
constexpr std::uint32_t kMaxDivisor = 0xFFFF;

constexpr std::uint8_t kMinLatency = 2;
constexpr std::size_t kChannelBufferMin = 5;

// The pause the library makes before it reads the high pins.
constexpr std::chrono::milliseconds kHighPinPause = 5ms;
// Synchronisation: how often the bad command is sent, and how long each answer is awaited.
constexpr int kSyncAttempts = 5;
constexpr std::chrono::milliseconds kSyncTimeout = 200ms;

// Serial-engine commands.
namespace op {
constexpr std::uint8_t kDataOut = 0x10; // | 0x01 out on falling edge, | 0x02 bits, | 0x08 LSB
constexpr std::uint8_t kDataIn = 0x20;  // | 0x04 in on falling edge, | 0x02 bits, | 0x08 LSB
constexpr std::uint8_t kBitsFlag = 0x02;
constexpr std::uint8_t kOutFallingEdge = 0x01;
constexpr std::uint8_t kInFallingEdge = 0x04;
constexpr std::uint8_t kLeastSignificantFirst = 0x08;
constexpr std::uint8_t kSetLow = 0x80;
constexpr std::uint8_t kSetHigh = 0x82;
constexpr std::uint8_t kReadHigh = 0x83;
constexpr std::uint8_t kLoopbackOn = 0x84;
constexpr std::uint8_t kLoopbackOff = 0x85;
constexpr std::uint8_t kSetDivisor = 0x86;
constexpr std::uint8_t kSendImmediate = 0x87;
constexpr std::uint8_t kDivideByFiveOff = 0x8A;
constexpr std::uint8_t kDivideByFiveOn = 0x8B;
constexpr std::uint8_t kThreePhaseOff = 0x8D;
constexpr std::uint8_t kAdaptiveOff = 0x97;
constexpr std::uint8_t kBadCommandReply = 0xFA;
constexpr std::uint8_t kSyncFirst = 0xAA;
constexpr std::uint8_t kSyncSecond = 0xAB;
} // namespace op

// Low byte: clock out, data out, data in, chip select, four general-purpose lines.
constexpr std::uint8_t kClockBit = 0x01;
constexpr std::uint8_t kDataOutBit = 0x02;
constexpr std::uint8_t kLowDirections = 0xFB; // every line an output but data in

// Bit of the low byte for chip-select line 0 (the chip-select pin) to 4 (the four low lines).
constexpr std::uint8_t chipSelectBit(std::uint32_t line) {
    return static_cast<std::uint8_t>(0x08u << line);
}

constexpr FtcStatus ftc(PipeStatus status) {
    return static_cast<FtcStatus>(status);
}

std::uint32_t clockHz(std::uint32_t divisor, bool divideByFive) {
    return (divideByFive ? kDividedClockHz : kBaseClockHz) / ((1 + divisor) * 2);
}

std::uint8_t lowByte(std::uint32_t value) {
    return static_cast<std::uint8_t>(value & 0xFF);
}

std::uint8_t highByte(std::uint32_t value) {
    return static_cast<std::uint8_t>((value >> 8) & 0xFF);
}

// Appends one shift command for count bits (1..8 in bits mode, else whole bytes).
void appendShift(std::vector<std::uint8_t>& out, std::uint8_t command, std::uint32_t wholeBytes,
                 std::uint32_t lastBits, const std::uint8_t* data) {
    if (wholeBytes > 0) {
        out.insert(out.end(), {command, lowByte(wholeBytes - 1), highByte(wholeBytes - 1)});
        if (data != nullptr) {
            out.insert(out.end(), data, data + wholeBytes);
        }
    }
    if (lastBits > 0) {
        out.push_back(static_cast<std::uint8_t>(command | op::kBitsFlag));
        out.push_back(static_cast<std::uint8_t>(lastBits - 1));
        if (data != nullptr) {
            out.push_back(data[wholeBytes]);
        }
    }
}

// A shift of bits split as the library splits it: whole bytes, then the last byte in bits mode
// (a whole last byte as 8 bits).
void appendBits(std::vector<std::uint8_t>& out, std::uint8_t command, std::uint32_t bits,
                const std::uint8_t* data) {
    const std::uint32_t remainder = bits % 8;
    const std::uint32_t whole = bits / 8;
    if (remainder == 0 && whole > 0) {
        appendShift(out, command, whole - 1, 8, data);
    } else {
        appendShift(out, command, whole, remainder, data);
    }
}

// Copies text into a buffer of size bytes, with its terminator when there is room for it.
void copyText(std::string_view text, char* buffer, std::size_t size) {
    std::memcpy(buffer, text.data(), text.size());
    if (text.size() < size) {
        buffer[text.size()] = '\0';
    }
}

} // namespace

SerialEngine::SerialEngine(BridgeBus& bus, Clock& clock) : bus_(bus), clock_(clock) {}

SerialEngine::~SerialEngine() = default;

SerialEngine::Channel* SerialEngine::find(FtcHandle handle) {
    const auto found = channels_.find(handle);
    return found == channels_.end() ? nullptr : &found->second;
}

FtcStatus SerialEngine::listed(std::vector<BridgeChannel>& channels) {
    std::vector<BridgeChannel> all;
    const PipeStatus status = bus_.enumerate(all);
    channels.clear();
    std::copy_if(all.begin(), all.end(), std::back_inserter(channels),
                 [](const BridgeChannel& c) { return listedByAdapterLibrary(c.description); });
    return ftc(status);
}

FtcStatus SerialEngine::send(Channel& channel, std::span<const std::uint8_t> bytes) {
    return ftc(channel.pipe->write(bytes));
}

FtcStatus SerialEngine::receive(Channel& channel, std::span<std::uint8_t> buffer) {
    std::size_t received = 0;
    const PipeStatus status = channel.pipe->read(buffer, received, kReadTimeout);
    if (status != PipeStatus::ok) {
        return ftc(status);
    }
    return received == buffer.size() ? device::kStatusSuccess : status::kFailedToComplete;
}

FtcStatus SerialEngine::synchronise(Channel& channel) {
    // A bad command is answered with FA and the command itself; a bridge just switched into its
    // serial engine may need more than one.
    for (const std::uint8_t command : {op::kSyncFirst, op::kSyncSecond}) {
        const std::array<std::uint8_t, 2> expected{op::kBadCommandReply, command};
        std::vector<std::uint8_t> seen;
        bool answered = false;
        for (int attempt = 0; attempt < kSyncAttempts && !answered; ++attempt) {
            const std::array<std::uint8_t, 1> bad{command};
            if (const FtcStatus status = send(channel, bad); status != device::kStatusSuccess) {
                return status;
            }
            std::array<std::uint8_t, 2> answer{};
            std::size_t received = 0;
            if (const PipeStatus status = channel.pipe->read(answer, received, kSyncTimeout);
                status != PipeStatus::ok) {
                return ftc(status);
            }
            seen.insert(seen.end(), answer.begin(), answer.begin() + received);
            answered = std::search(seen.begin(), seen.end(), expected.begin(), expected.end()) !=
                       seen.end();
        }
        if (!answered) {
            return status::kFailedToSynchronise;
        }
    }
    return device::kStatusSuccess;
}

FtcStatus SerialEngine::readHighPins(Channel& channel, std::uint8_t& levels) {
    clock_.sleep(kHighPinPause);
    // Whatever the bridge still had to say belongs to no question asked now.
    std::array<std::uint8_t, 64> stale{};
    std::size_t received = 0;
    do {
        if (const PipeStatus status = channel.pipe->read(stale, received, 0ms);
            status != PipeStatus::ok) {
            return ftc(status);
        }
    } while (received > 0);
    const std::array<std::uint8_t, 2> query{op::kReadHigh, op::kSendImmediate};
    if (const FtcStatus status = send(channel, query); status != device::kStatusSuccess) {
        return status;
    }
    std::array<std::uint8_t, 1> answer{};
    const FtcStatus status = receive(channel, answer);
    levels = answer[0];
    return status;
}

FtcStatus SerialEngine::closeDevice(FtcHandle handle) {
    return channels_.erase(handle) == 1 ? device::kStatusSuccess : ftc(PipeStatus::invalidHandle);
}

FtcStatus SerialEngine::initDevice(FtcHandle handle, std::uint32_t clockDivisor) {
    Channel* channel = find(handle);
    if (channel == nullptr) {
        return ftc(PipeStatus::invalidHandle);
    }
    if (clockDivisor > kMaxDivisor) {
        return status::kInvalidClockDivisor;
    }
    BytePipe& pipe = *channel->pipe;
    for (const auto step :
         {+[](BytePipe& p) { return p.reset(); }, +[](BytePipe& p) { return p.purge(); },
          +[](BytePipe& p) { return p.setBitMode(0x00, kBitModeReset); },
          +[](BytePipe& p) { return p.setBitMode(0x00, kBitModeSerialEngine); }}) {
        if (const PipeStatus status = step(pipe); status != PipeStatus::ok) {
            return ftc(status);
        }
    }
    if (const FtcStatus status = synchronise(*channel); status != device::kStatusSuccess) {
        return status;
    }
    const std::array<std::uint8_t, 3> clocking{op::kDivideByFiveOff, op::kAdaptiveOff,
                                               op::kThreePhaseOff};
    if (const FtcStatus status = send(*channel, clocking); status != device::kStatusSuccess) {
        return status;
    }
    std::vector<std::uint8_t> setup{op::kSetLow, 0x00, kLowDirections};
    // A four-channel bridge has no high byte: it would answer the command as a bad one.
    if (channel->type == BridgeType::twoChannel) {
        setup.insert(setup.end(), {op::kSetHigh, 0xFF, 0xFF});
    }
    setup.insert(setup.end(), {op::kSetDivisor, lowByte(clockDivisor), highByte(clockDivisor),
                               op::kLoopbackOff});
    const FtcStatus status = send(*channel, setup);
    if (status == device::kStatusSuccess) {
        channel->lowLevels = 0x00;
        channel->highLevels = 0xFF;
        channel->highDirections = channel->type == BridgeType::twoChannel ? 0xFF : 0x00;
        channel->divisor = clockDivisor;
        channel->divideByFive = false;
    }
    return status;
}

FtcStatus SerialEngine::setClock(FtcHandle handle, std::uint32_t clockDivisor,
                                 std::uint32_t* clockFrequencyHz) {
    Channel* channel = find(handle);
    if (channel == nullptr) {
        return ftc(PipeStatus::invalidHandle);
    }
    if (clockDivisor > kMaxDivisor) {
        return status::kInvalidClockDivisor;
    }
    if (clockFrequencyHz == nullptr) {
        return status::kInvalidParameter;
    }
    const std::array<std::uint8_t, 3> command{op::kSetDivisor, lowByte(clockDivisor),
                                              highByte(clockDivisor)};
    const FtcStatus status = send(*channel, command);
    if (status == device::kStatusSuccess) {
        channel->divisor = clockDivisor;
        *clockFrequencyHz = clockHz(clockDivisor, channel->divideByFive);
    }
    return status;
}

FtcStatus SerialEngine::setLoopback(FtcHandle handle, std::uint32_t loopbackOn) {
    Channel* channel = find(handle);
    if (channel == nullptr) {
        return ftc(PipeStatus::invalidHandle);
    }
    const std::array<std::uint8_t, 1> command{loopbackOn != 0 ? op::kLoopbackOn : op::kLoopbackOff};
    return send(*channel, command);
}

FtcStatus SerialEngine::getDllVersion(char* buffer, std::uint32_t bufferSize) {
    if (buffer == nullptr || bufferSize <= kVersionText.size()) {
        return status::kInvalidParameter;
    }
    copyText(kVersionText, buffer, bufferSize);
    return device::kStatusSuccess;
}

FtcStatus SerialEngine::getNumHiSpeedDevices(std::uint32_t* count) {
    if (count == nullptr) {
        return status::kInvalidParameter;
    }
    std::vector<BridgeChannel> channels;
    const FtcStatus status = listed(channels);
    *count = static_cast<std::uint32_t>(channels.size());
    return status;
}

FtcStatus SerialEngine::getHiSpeedDeviceNameLocIdChannel(std::uint32_t index, char* name,
                                                         std::uint32_t nameSize,
                                                         std::uint32_t* locationId, char* channel,
                                                         std::uint32_t channelSize,
                                                         std::uint32_t* deviceType) {
    if (deviceType != nullptr) {
        *deviceType = 0;
    }
    std::vector<BridgeChannel> channels;
    if (const FtcStatus status = listed(channels); status != device::kStatusSuccess) {
        return status;
    }
    if (channels.empty()) {
        return ftc(PipeStatus::deviceNotFound);
    }
    if (index >= channels.size()) {
        return status::kInvalidDeviceIndex;
    }
    if (name == nullptr) {
        return status::kNullNameBuffer;
    }
    if (channel == nullptr) {
        return status::kNullChannelBuffer;
    }
    if (locationId == nullptr || deviceType == nullptr) {
        return status::kInvalidParameter;
    }
    const BridgeChannel& entry = channels[index];
    if (entry.description.size() > nameSize) {
        return status::kNameBufferTooSmall;
    }
    // The vendor library writes the terminator one byte past a buffer that the name fills
    // exactly; the engine never writes past the size it is given.
    copyText(entry.description, name, nameSize);
    if (channelSize < kChannelBufferMin) {
        return status::kChannelBufferTooSmall;
    }
    const char text[2] = {channelOfDescription(entry.description), '\0'};
    copyText(std::string_view(text, 1), channel, channelSize);
    *locationId = entry.inUse ? 0 : entry.locationId;
    *deviceType = entry.type == BridgeType::twoChannel ? kTypeTwoChannel : kTypeFourChannel;
    return device::kStatusSuccess;
}

FtcStatus SerialEngine::openHiSpeedDevice(const char* name, std::uint32_t locationId, char* channel,
                                          FtcHandle* handle) {
    if (name == nullptr || channel == nullptr || handle == nullptr) {
        return status::kInvalidParameter;
    }
    std::string channelText(channel);
    std::transform(channelText.begin(), channelText.end(), channelText.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    if (channelText != "A" && channelText != "B") {
        return status::kInvalidChannel;
    }
    std::vector<BridgeChannel> channels;
    if (const FtcStatus status = listed(channels); status != device::kStatusSuccess) {
        return status;
    }
    if (channels.empty()) {
        return ftc(PipeStatus::deviceNotFound);
    }
    const auto named = [&](const BridgeChannel& c) { return c.description == name; };
    if (std::none_of(channels.begin(), channels.end(), named)) {
        return status::kInvalidDeviceName;
    }
    const auto entry = std::find_if(channels.begin(), channels.end(), [&](const BridgeChannel& c) {
        return named(c) && (c.inUse ? 0 : c.locationId) == locationId;
    });
    if (entry == channels.end()) {
        return status::kInvalidLocationId;
    }
    if (locationId == 0) {
        return status::kDeviceInUse;
    }
    for (const auto& [open, held] : channels_) {
        if (held.location == entry->location) {
            *handle = open;
            return device::kStatusSuccess;
        }
    }
    PipeStatus status = PipeStatus::ok;
    std::unique_ptr<BytePipe> pipe = bus_.open(OpenBy::location, entry->location, status);
    if (pipe == nullptr) {
        return status == PipeStatus::deviceNotOpened || status == PipeStatus::ok
                   ? status::kDeviceInUse
                   : ftc(status);
    }
    const FtcHandle opened = nextHandle_++;
    Channel& held = channels_[opened];
    held.pipe = std::move(pipe);
    held.location = entry->location;
    held.type = entry->type;
    *handle = opened;
    return device::kStatusSuccess;
}

FtcStatus SerialEngine::getHiSpeedDeviceType(FtcHandle handle, std::uint32_t* deviceType) {
    const Channel* channel = find(handle);
    if (channel == nullptr) {
        return ftc(PipeStatus::invalidHandle);
    }
    if (deviceType == nullptr) {
        return status::kInvalidParameter;
    }
    *deviceType = channel->type == BridgeType::twoChannel ? kTypeTwoChannel : kTypeFourChannel;
    return device::kStatusSuccess;
}

FtcStatus SerialEngine::turnOnDivideByFiveClock(FtcHandle handle) {
    Channel* channel = find(handle);
    if (channel == nullptr) {
        return ftc(PipeStatus::invalidHandle);
    }
    const std::array<std::uint8_t, 1> command{op::kDivideByFiveOn};
    const FtcStatus status = send(*channel, command);
    if (status == device::kStatusSuccess) {
        channel->divideByFive = true;
    }
    return status;
}

FtcStatus SerialEngine::turnOffDivideByFiveClock(FtcHandle handle) {
    Channel* channel = find(handle);
    if (channel == nullptr) {
        return ftc(PipeStatus::invalidHandle);
    }
    const std::array<std::uint8_t, 1> command{op::kDivideByFiveOff};
    const FtcStatus status = send(*channel, command);
    if (status == device::kStatusSuccess) {
        channel->divideByFive = false;
    }
    return status;
}

FtcStatus SerialEngine::setDeviceLatencyTimer(FtcHandle handle, std::uint8_t milliseconds) {
    // The value is checked first; the handle only by the driver.
    if (milliseconds < kMinLatency) {
        return status::kInvalidLatency;
    }
    Channel* channel = find(handle);
    if (channel == nullptr) {
        return ftc(PipeStatus::invalidHandle);
    }
    return ftc(channel->pipe->setLatencyTimer(milliseconds));
}

FtcStatus SerialEngine::getDeviceLatencyTimer(FtcHandle handle, std::uint8_t* milliseconds) {
    Channel* channel = find(handle);
    if (channel == nullptr) {
        return ftc(PipeStatus::invalidHandle);
    }
    if (milliseconds == nullptr) {
        return status::kInvalidParameter;
    }
    return ftc(channel->pipe->getLatencyTimer(*milliseconds));
}

FtcStatus SerialEngine::getHiSpeedDeviceClock(std::uint32_t clockDivisor,
                                              std::uint32_t* clockFrequencyHz) {
    if (clockDivisor > kMaxDivisor) {
        return status::kInvalidClockDivisor;
    }
    if (clockFrequencyHz == nullptr) {
        return status::kInvalidParameter;
    }
    *clockFrequencyHz = clockHz(clockDivisor, false);
    return device::kStatusSuccess;
}

FtcStatus SerialEngine::setHiSpeedDeviceGpios(FtcHandle handle, const device::LowPinStates* lowPins,
                                              const device::HighPinSettings* highPins) {
    Channel* channel = find(handle);
    if (channel == nullptr) {
        return ftc(PipeStatus::invalidHandle);
    }
    if (channel->type == BridgeType::fourChannel) {
        return device::kStatusSuccess;
    }
    if (lowPins == nullptr || highPins == nullptr) {
        return status::kInvalidParameter;
    }
    const std::array<std::uint32_t, 5> low{lowPins->chipSelect, lowPins->gpio1, lowPins->gpio2,
                                           lowPins->gpio3, lowPins->gpio4};
    std::uint8_t lowLevels = 0;
    for (std::uint32_t line = 0; line < low.size(); ++line) {
        lowLevels |= low[line] != 0 ? chipSelectBit(line) : 0;
    }
    std::uint8_t levels = 0;
    std::uint8_t directions = 0;
    for (std::size_t pin = 0; pin < highPins->pins.size(); ++pin) {
        levels |= static_cast<std::uint8_t>((highPins->pins[pin].level != 0 ? 1u : 0u) << pin);
        directions |=
            static_cast<std::uint8_t>((highPins->pins[pin].direction != 0 ? 1u : 0u) << pin);
    }
    const std::array<std::uint8_t, 6> command{op::kSetLow,  lowLevels, kLowDirections,
                                              op::kSetHigh, levels,    directions};
    const FtcStatus status = send(*channel, command);
    if (status == device::kStatusSuccess) {
        channel->lowLevels = lowLevels;
        channel->highLevels = levels;
        channel->highDirections = directions;
    }
    return status;
}

FtcStatus SerialEngine::getHiSpeedDeviceGpios(FtcHandle handle, device::HighPinStates* highPins) {
    Channel* channel = find(handle);
    if (channel == nullptr) {
        return ftc(PipeStatus::invalidHandle);
    }
    if (channel->type == BridgeType::fourChannel) {
        return device::kStatusSuccess;
    }
    if (highPins == nullptr) {
        return status::kInvalidParameter;
    }
    std::uint8_t levels = 0;
    const FtcStatus status = readHighPins(*channel, levels);
    if (status == device::kStatusSuccess) {
        for (std::size_t pin = 0; pin < highPins->pins.size(); ++pin) {
            highPins->pins[pin] = (levels >> pin) & 1u;
        }
    }
    return status;
}

FtcStatus SerialEngine::writeRead(FtcHandle handle, const device::StartCondition* start,
                                  std::uint32_t frameBitOrder, std::uint32_t frameClockEdge,
                                  std::uint32_t frameBits, const std::uint8_t* frame,
                                  std::uint32_t frameBytes, std::uint32_t replyBitOrder,
                                  std::uint32_t replyClockEdge, std::uint32_t replyBits,
                                  std::uint8_t* reply, std::uint32_t* replyBytesDelivered,
                                  device::HighPinRecord* highPins) {
    Channel* channel = find(handle);
    if (channel == nullptr) {
        return ftc(PipeStatus::invalidHandle);
    }
    if (const FtcStatus refused = device::checkTransfer(
            {start, frameClockEdge, frameBits, frame, frameBytes, replyBits, reply, highPins},
            channel->type == BridgeType::twoChannel, channel->highDirections);
        refused != device::kStatusSuccess) {
        return refused;
    }
    if (replyBytesDelivered == nullptr) {
        return status::kInvalidParameter;
    }
    std::uint8_t levels = 0;
    if (channel->type == BridgeType::twoChannel) {
        if (const FtcStatus status = readHighPins(*channel, levels);
            status != device::kStatusSuccess) {
            return status;
        }
    }
    // The library clears every active state, then sets those of the output lines that read
    // high (a four-channel bridge has none).
    for (std::size_t pin = 0; pin < highPins->pins.size(); ++pin) {
        highPins->pins[pin].activeState = (channel->highDirections & levels) >> pin & 1u;
    }
    *replyBytesDelivered = 0;

    const std::uint8_t select = chipSelectBit(start->chipSelectLine);
    std::uint8_t idle =
        channel->lowLevels & static_cast<std::uint8_t>(~(select | kClockBit | kDataOutBit));
    idle |= start->clockPinState != 0 ? kClockBit : 0;
    idle |= start->dataOutPinState != 0 ? kDataOutBit : 0;
    const std::uint8_t selected = start->chipSelectPinState != 0 ? idle : (idle | select);
    const std::uint8_t released = start->chipSelectPinState != 0 ? (idle | select) : idle;

    std::vector<std::uint8_t> out;
    out.reserve(32 + frameBytes);
    out.insert(out.end(), {op::kSetLow, selected, kLowDirections});
    std::uint8_t shiftOut = op::kDataOut;
    shiftOut |= frameClockEdge == 0 ? op::kOutFallingEdge : 0;
    shiftOut |= frameBitOrder == 0 ? op::kLeastSignificantFirst : 0;
    appendBits(out, shiftOut, frameBits, frame);
    std::uint8_t shiftIn = op::kDataIn;
    shiftIn |= replyClockEdge == 0 ? op::kInFallingEdge : 0;
    shiftIn |= replyBitOrder == 0 ? op::kLeastSignificantFirst : 0;
    appendBits(out, shiftIn, replyBits, nullptr);
    out.insert(out.end(), {op::kSetLow, released, kLowDirections});
    out.push_back(op::kSendImmediate);
    if (const FtcStatus status = send(*channel, out); status != device::kStatusSuccess) {
        return status;
    }
    // The caller's buffer sees the reply only when all of it has arrived.
    std::vector<std::uint8_t> answer((replyBits + 7) / 8);
    const FtcStatus status = receive(*channel, answer);
    if (status == device::kStatusSuccess) {
        std::copy(answer.begin(), answer.end(), reply);
        *replyBytesDelivered = static_cast<std::uint32_t>(answer.size());
    }
    return status;
}

} // namespace brenvik::engine
