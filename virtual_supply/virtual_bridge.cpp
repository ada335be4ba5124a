#include "virtual_supply/virtual_bridge.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <span>

namespace brenvik::vsupply {

namespace {

constexpr std::uint32_t kBaseClockHz = 60'000'000;
constexpr std::uint32_t kMinChannelBuffer = 5;
constexpr std::uint8_t kMinLatencyMs = 2;
// The wiring of the supply: chip select on line 0, idling high; clock idling low, data out on
// the falling edge and the reply sampled on the falling edge.
constexpr std::uint32_t kSupplyChipSelectLine = 0;

std::string hex(std::span<const std::uint8_t> bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (const auto b : bytes) {
        text.push_back(kDigits[b >> 4]);
        text.push_back(kDigits[b & 0x0F]);
    }
    return text;
}

std::string handleText(FtcHandle handle) {
    return "handle=" + std::to_string(handle);
}

std::uint8_t reversedBits(std::uint8_t byte) {
    std::uint8_t reversed = 0;
    for (int bit = 0; bit < 8; ++bit) {
        reversed = static_cast<std::uint8_t>(reversed << 1 | (byte >> bit & 1));
    }
    return reversed;
}

std::uint32_t wholeBytes(std::uint32_t bits) {
    return bits / 8 + (bits % 8 != 0 ? 1 : 0);
}

} // namespace

bool listedByLibrary(std::string_view description) {
    return description.ends_with(" A") || description.ends_with(" B");
}

std::string channelOf(std::string_view description) {
    std::string upper(description);
    std::ranges::transform(upper, upper.begin(),
                           [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return upper.find(" A") != std::string::npos ? "A" : "B";
}

std::vector<DeviceEntry> defaultDevices() {
    return {{"USB SPI Bridge A", 0x0121, kTypeDualChannel}};
}

VirtualBridge::VirtualBridge() : VirtualBridge(defaultDevices()) {}

VirtualBridge::VirtualBridge(std::vector<DeviceEntry> devices) : devices_(std::move(devices)) {}

FtcStatus VirtualBridge::begin(std::uint32_t ordinal) {
    if (keepLog_) {
        calls_.push_back(ordinal);
    }
    const std::uint32_t occurrence = ++callCounts_.at(ordinal);
    for (const auto& failure : faults_.failingCalls) {
        if (failure.ordinal == ordinal &&
            (failure.occurrence == 0 || failure.occurrence == occurrence)) {
            return failure.status;
        }
    }
    return device::kStatusSuccess;
}

VirtualBridge::Channel* VirtualBridge::channel(FtcHandle handle) {
    const auto found = open_.find(handle);
    return found == open_.end() ? nullptr : &found->second;
}

const VirtualBridge::Channel* VirtualBridge::firstChannel() const {
    return open_.empty() ? nullptr : &open_.begin()->second;
}

std::optional<FtcHandle> VirtualBridge::openHandle() const {
    return open_.empty() ? std::nullopt : std::optional(open_.begin()->first);
}

bool VirtualBridge::dualChannel(const Channel& open) const {
    return open.device >= devices_.size() || devices_[open.device].type == kTypeDualChannel;
}

std::vector<std::size_t> VirtualBridge::listed() const {
    std::vector<std::size_t> indexes;
    for (std::size_t i = 0; i < devices_.size() && !faults_.countZero; ++i) {
        if (listedByLibrary(devices_[i].description)) {
            indexes.push_back(i);
        }
    }
    return indexes;
}

std::string VirtualBridge::lockKey(std::size_t device) const {
    std::string key = "brenvik-bridge-" + std::to_string(devices_[device].locationId) + "-";
    for (const char c : devices_[device].description) {
        key.push_back(std::isalnum(static_cast<unsigned char>(c)) ? c : '_');
    }
    return key;
}

bool VirtualBridge::heldElsewhere(std::size_t device) const {
    return locks_ && locks_->heldElsewhere(lockKey(device));
}

FtcStatus VirtualBridge::finish(std::uint32_t ordinal, std::string_view name,
                                const std::string& arguments, FtcStatus status) {
    if (trace_) {
        std::string line = "call ord=" + std::to_string(ordinal) + " " + std::string(name);
        if (!arguments.empty()) {
            line += " " + arguments;
        }
        line += " status=" + std::to_string(status);
        trace_(line);
    }
    return status;
}

FtcStatus VirtualBridge::onChannel(std::uint32_t ordinal, FtcHandle handle, Channel*& open) {
    const FtcStatus status = begin(ordinal);
    open = status == device::kStatusSuccess ? channel(handle) : nullptr;
    return status != device::kStatusSuccess ? status
           : open == nullptr                ? status::kInvalidHandle
                                            : device::kStatusSuccess;
}

FtcStatus VirtualBridge::closeDevice(FtcHandle handle) {
    Channel* open = nullptr;
    const FtcStatus status = onChannel(ordinal::kClose, handle, open);
    if (open != nullptr) {
        if (locks_) {
            locks_->give(lockKey(open->device));
        }
        open_.erase(handle);
    }
    return finish(ordinal::kClose, "close", handleText(handle), status);
}

FtcStatus VirtualBridge::initDevice(FtcHandle handle, std::uint32_t clockDivisor) {
    Channel* open = nullptr;
    const FtcStatus status = onChannel(ordinal::kInit, handle, open);
    std::string arguments = handleText(handle) + " divisor=" + std::to_string(clockDivisor);
    if (open != nullptr) {
        // Reset, divide-by-five off, every high line an output driven high, loopback off.
        open->divideByFive = false;
        open->highDirections = 0xFF;
        open->highLevels = 0xFF;
        open->clockDivisor = clockDivisor;
        open->loopback = false;
        arguments += " clock=" + std::to_string(spiClockHz());
    }
    return finish(ordinal::kInit, "init", arguments, status);
}

std::uint32_t VirtualBridge::spiClockHz() const {
    const Channel* open = firstChannel();
    if (open == nullptr) {
        return 0;
    }
    const std::uint32_t base = open->divideByFive ? kBaseClockHz / 5 : kBaseClockHz;
    return base / ((1 + open->clockDivisor) * 2);
}

FtcStatus VirtualBridge::setClock(FtcHandle handle, std::uint32_t clockDivisor,
                                  std::uint32_t* clockFrequencyHz) {
    Channel* open = nullptr;
    const FtcStatus status = onChannel(ordinal::kSetClock, handle, open);
    std::string arguments = handleText(handle) + " divisor=" + std::to_string(clockDivisor);
    if (open != nullptr) {
        open->clockDivisor = clockDivisor;
        *clockFrequencyHz = spiClockHz();
        arguments += " clock=" + std::to_string(spiClockHz());
    }
    return finish(ordinal::kSetClock, "set-clock", arguments, status);
}

FtcStatus VirtualBridge::setLoopback(FtcHandle handle, std::uint32_t loopbackOn) {
    Channel* open = nullptr;
    const FtcStatus status = onChannel(ordinal::kSetLoopback, handle, open);
    if (open != nullptr) {
        open->loopback = loopbackOn != 0;
    }
    return finish(ordinal::kSetLoopback, "set-loopback",
                  handleText(handle) + " on=" + std::to_string(loopbackOn), status);
}

FtcStatus VirtualBridge::getDllVersion(char* buffer, std::uint32_t bufferSize) {
    FtcStatus status = begin(ordinal::kDllVersion);
    if (status == device::kStatusSuccess && dllVersion_.size() + 1 > bufferSize) {
        status = status::kNameBufferTooSmall;
    } else if (status == device::kStatusSuccess) {
        std::memcpy(buffer, dllVersion_.c_str(), dllVersion_.size() + 1);
    }
    return finish(ordinal::kDllVersion, "dll-version", "size=" + std::to_string(bufferSize),
                  status);
}

FtcStatus VirtualBridge::getNumHiSpeedDevices(std::uint32_t* count) {
    const FtcStatus status = begin(ordinal::kCount);
    const auto devices = static_cast<std::uint32_t>(listed().size());
    if (status == device::kStatusSuccess) {
        *count = devices;
    }
    return finish(ordinal::kCount, "count", "count=" + std::to_string(devices), status);
}

FtcStatus VirtualBridge::getHiSpeedDeviceNameLocIdChannel(std::uint32_t index, char* name,
                                                          std::uint32_t nameSize,
                                                          std::uint32_t* locationId, char* channel,
                                                          std::uint32_t channelSize,
                                                          std::uint32_t* deviceType) {
    FtcStatus status = begin(ordinal::kDescribe);
    const auto devices = listed();
    std::string described;
    if (status == device::kStatusSuccess && devices.empty()) {
        status = status::kDeviceNotFound;
    } else if (status == device::kStatusSuccess && index >= devices.size()) {
        status = status::kInvalidDeviceIndex;
    } else if (status == device::kStatusSuccess && name == nullptr) {
        status = status::kNullNameBuffer;
    } else if (status == device::kStatusSuccess && channel == nullptr) {
        status = status::kNullChannelBuffer;
    } else if (status == device::kStatusSuccess) {
        const DeviceEntry& entry = devices_[devices[index]];
        const std::string channelText = channelOf(entry.description);
        *deviceType = 0;
        // Copied when it is no longer than the buffer: at equal length the terminating zero
        // lands one byte past it, as the vendor's library does.
        if (entry.description.size() > nameSize) {
            status = status::kNameBufferTooSmall;
        } else if (channelSize < kMinChannelBuffer) {
            status = status::kChannelBufferTooSmall;
        } else {
            std::memcpy(name, entry.description.c_str(), entry.description.size() + 1);
            *locationId = heldElsewhere(devices[index]) ? 0 : entry.locationId;
            std::memcpy(channel, channelText.c_str(), channelText.size() + 1);
            *deviceType = entry.type == kTypeDualChannel ? kTypeDualChannel : kTypeQuadChannel;
            described = " name=\"" + entry.description +
                        "\" location=" + std::to_string(*locationId) + " channel=\"" + channelText +
                        "\" type=" + std::to_string(*deviceType);
        }
    }
    return finish(ordinal::kDescribe, "describe",
                  "index=" + std::to_string(index) + " sizes=" + std::to_string(nameSize) + "/" +
                      std::to_string(channelSize) + described,
                  status);
}

FtcStatus VirtualBridge::openHiSpeedDevice(const char* name, std::uint32_t locationId,
                                           char* channel, FtcHandle* handle) {
    FtcStatus status = begin(ordinal::kOpen);
    std::string arguments;
    if (status == device::kStatusSuccess) {
        // The channel text is upper-cased where it lies.
        for (char* c = channel; *c != '\0'; ++c) {
            *c = static_cast<char>(std::toupper(static_cast<unsigned char>(*c)));
        }
        arguments = "name=\"" + std::string(name) + "\" location=" + std::to_string(locationId) +
                    " channel=\"" + std::string(channel) + "\"";
        const auto devices = listed();
        const auto found = std::ranges::find_if(
            devices, [&](std::size_t i) { return devices_[i].description == name; });
        const auto held =
            found == devices.end() ? open_.end() : std::ranges::find_if(open_, [&](const auto& o) {
                return o.second.device == *found;
            });
        if (std::strcmp(channel, "A") != 0 && std::strcmp(channel, "B") != 0) {
            status = status::kInvalidChannel;
        } else if (devices.empty()) {
            status = status::kDeviceNotFound;
        } else if (found == devices.end()) {
            status = status::kInvalidDeviceName;
        } else if (held != open_.end()) {
            // Already open in this process: the same handle again.
            *handle = held->first;
        } else if (locationId == 0 || heldElsewhere(*found)) {
            status = status::kDeviceInUse;
        } else if (devices_[*found].locationId != locationId) {
            status = status::kInvalidLocationId;
        } else if (locks_ && !locks_->take(lockKey(*found))) {
            status = status::kDeviceInUse;
        } else {
            *handle = nextHandle_++;
            open_[*handle] = Channel{*found};
        }
        if (status == device::kStatusSuccess) {
            arguments.append(1, ' ').append(handleText(*handle));
        }
    }
    return finish(ordinal::kOpen, "open", arguments, status);
}

FtcStatus VirtualBridge::getHiSpeedDeviceType(FtcHandle handle, std::uint32_t* deviceType) {
    Channel* open = nullptr;
    const FtcStatus status = onChannel(ordinal::kDeviceType, handle, open);
    if (open != nullptr) {
        *deviceType = dualChannel(*open) ? kTypeDualChannel : kTypeQuadChannel;
    }
    return finish(ordinal::kDeviceType, "device-type", handleText(handle), status);
}

FtcStatus VirtualBridge::turnOnDivideByFiveClock(FtcHandle handle) {
    Channel* open = nullptr;
    const FtcStatus status = onChannel(ordinal::kDivideByFiveOn, handle, open);
    std::string arguments = handleText(handle);
    if (open != nullptr) {
        open->divideByFive = true;
        arguments += " clock=" + std::to_string(spiClockHz());
    }
    return finish(ordinal::kDivideByFiveOn, "divide-by-five-on", arguments, status);
}

FtcStatus VirtualBridge::turnOffDivideByFiveClock(FtcHandle handle) {
    Channel* open = nullptr;
    const FtcStatus status = onChannel(ordinal::kDivideByFiveOff, handle, open);
    std::string arguments = handleText(handle);
    if (open != nullptr) {
        open->divideByFive = false;
        arguments += " clock=" + std::to_string(spiClockHz());
    }
    return finish(ordinal::kDivideByFiveOff, "divide-by-five-off", arguments, status);
}

FtcStatus VirtualBridge::setDeviceLatencyTimer(FtcHandle handle, std::uint8_t milliseconds) {
    // The value is checked, the handle only by the driver underneath.
    FtcStatus status = begin(ordinal::kSetLatency);
    if (status == device::kStatusSuccess && milliseconds < kMinLatencyMs) {
        status = status::kInvalidLatency;
    } else if (status == device::kStatusSuccess && channel(handle) == nullptr) {
        status = status::kInvalidHandle;
    } else if (status == device::kStatusSuccess) {
        channel(handle)->latency = milliseconds;
    }
    return finish(ordinal::kSetLatency, "set-latency",
                  handleText(handle) + " ms=" + std::to_string(milliseconds), status);
}

FtcStatus VirtualBridge::getDeviceLatencyTimer(FtcHandle handle, std::uint8_t* milliseconds) {
    Channel* open = nullptr;
    const FtcStatus status = onChannel(ordinal::kGetLatency, handle, open);
    if (open != nullptr) {
        *milliseconds = open->latency;
    }
    return finish(ordinal::kGetLatency, "get-latency", handleText(handle), status);
}

FtcStatus VirtualBridge::getHiSpeedDeviceClock(std::uint32_t clockDivisor,
                                               std::uint32_t* clockFrequencyHz) {
    const FtcStatus status = begin(ordinal::kClockQuery);
    if (status == device::kStatusSuccess) {
        *clockFrequencyHz = kBaseClockHz / ((1 + clockDivisor) * 2);
    }
    return finish(ordinal::kClockQuery, "clock-query", "divisor=" + std::to_string(clockDivisor),
                  status);
}

FtcStatus VirtualBridge::setHiSpeedDeviceGpios(FtcHandle handle,
                                               const device::LowPinStates* lowPins,
                                               const device::HighPinSettings* highPins) {
    Channel* open = nullptr;
    const FtcStatus status = onChannel(ordinal::kSetPins, handle, open);
    std::string arguments = handleText(handle);
    if (open != nullptr) {
        // Chip select and the four low lines, then direction/level of the eight high lines.
        arguments += " low=" + std::to_string(lowPins->chipSelect) + "," +
                     std::to_string(lowPins->gpio1) + "," + std::to_string(lowPins->gpio2) + "," +
                     std::to_string(lowPins->gpio3) + "," + std::to_string(lowPins->gpio4) +
                     " high=";
        for (std::size_t i = 0; i < highPins->pins.size(); ++i) {
            const auto& pin = highPins->pins[i];
            arguments += std::to_string(pin.direction) + "/" + std::to_string(pin.level) +
                         (i + 1 < highPins->pins.size() ? "," : "");
        }
    }
    // A four-channel bridge has no high lines: nothing happens there.
    if (open != nullptr && dualChannel(*open)) {
        open->highDirections = 0;
        open->highLevels = 0;
        for (std::size_t i = 0; i < highPins->pins.size(); ++i) {
            open->highDirections |= highPins->pins[i].direction != 0 ? 1 << i : 0;
            open->highLevels |= highPins->pins[i].level != 0 ? 1 << i : 0;
        }
    }
    return finish(ordinal::kSetPins, "set-pins", arguments, status);
}

FtcStatus VirtualBridge::getHiSpeedDeviceGpios(FtcHandle handle, device::HighPinStates* highPins) {
    Channel* open = nullptr;
    const FtcStatus status = onChannel(ordinal::kGetPins, handle, open);
    if (open != nullptr && dualChannel(*open)) {
        for (std::size_t i = 0; i < highPins->pins.size(); ++i) {
            highPins->pins[i] = open->highLevels >> i & 1;
        }
    }
    return finish(ordinal::kGetPins, "get-pins", handleText(handle), status);
}

void VirtualBridge::forgetCalls() {
    calls_.clear();
    commands_.clear();
    std::fill(callCounts_.begin(), callCounts_.end(), 0);
    std::fill(commandCounts_.begin(), commandCounts_.end(), 0);
    transfers_ = 0;
}

VirtualLink::VirtualLink() : VirtualLink(defaultDevices()) {}

VirtualLink::VirtualLink(std::vector<DeviceEntry> devices) : bridge(std::move(devices)) {
    const auto channelA = std::ranges::find_if(bridge.devices(), [](const DeviceEntry& e) {
        return listedByLibrary(e.description) && channelOf(e.description) == "A";
    });
    if (channelA != bridge.devices().end()) {
        FtcHandle handle = 0;
        char channel[] = "A";
        if (bridge.openHiSpeedDevice(channelA->description.c_str(), channelA->locationId, channel,
                                     &handle) == device::kStatusSuccess) {
            link.handle = handle;
        }
    }
    link.startCondition = {0, 0, 1, 0};
    link.highPins = {};
    bridge.forgetCalls();
}

void VirtualBridge::applyPlugEvents(std::uint8_t code, bool beforeAnswer) {
    for (const auto& event : faults_.plugEvents) {
        const bool due = beforeAnswer
                             ? event.atCommand != 0 && event.atCommand == code &&
                                   commandCounts_[code] == event.commandOccurrence
                             : event.afterTransfers != 0 && event.afterTransfers == transfers_;
        if (due) {
            plugged_ = event.plugged;
        }
    }
}

// The parameter checks of the transfer, none of which touches the delivered count. The high
// output record is written back once they have passed.
FtcStatus VirtualBridge::transferChecks(FtcHandle handle, const device::TransferParameters& p,
                                        device::HighPinRecord* highPins) {
    const Channel* open = channel(handle);
    if (open == nullptr) {
        return status::kInvalidHandle;
    }
    const bool dual = dualChannel(*open);
    if (const FtcStatus refused = device::checkTransfer(p, dual, open->highDirections);
        refused != device::kStatusSuccess) {
        return refused;
    }
    for (std::size_t i = 0; i < highPins->pins.size(); ++i) {
        const bool drivenHigh = dual && (open->highDirections & open->highLevels) >> i & 1;
        highPins->pins[i].activeState = drivenHigh ? 1 : 0;
    }
    return device::kStatusSuccess;
}

void VirtualBridge::countTransfer(std::uint8_t code) {
    ++transfers_;
    ++commandCounts_[code];
    if (keepLog_) {
        commands_.push_back(code);
    }
    applyPlugEvents(code, true);
}

FtcStatus VirtualBridge::answer(std::span<const std::uint8_t> frame, std::span<std::uint8_t> reply,
                                std::uint32_t& delivered) {
    FtcStatus status = begin(ordinal::kTransfer);
    delivered = 0;
    if (frame.empty() || reply.empty()) {
        return finish(ordinal::kTransfer, "transfer", "frame= reply=", status::kInvalidReadBits);
    }
    const std::uint8_t code = frame[0];
    countTransfer(code);
    if (status == device::kStatusSuccess && !plugged_) {
        status = status::kIoError;
    }
    if (status == device::kStatusSuccess) {
        std::ranges::fill(reply, kIdleLine);
        const auto answered = supply_.exchange(frame, std::min(reply.size(), kMaxReply));
        std::ranges::copy(answered, reply.begin());
        delivered = static_cast<std::uint32_t>(reply.size());
        if (const auto cut = faults_.shortTransfers.find(code);
            cut != faults_.shortTransfers.end()) {
            delivered = std::min(delivered, cut->second);
        }
    }
    applyPlugEvents(code, false);
    return finish(ordinal::kTransfer, "transfer",
                  "frame=" + hex(frame) + " reply=" + hex(reply.first(delivered)) + " delivered=" +
                      std::to_string(delivered) + "/" + std::to_string(reply.size()),
                  status);
}

FtcStatus VirtualBridge::writeRead(FtcHandle handle, const device::StartCondition* start,
                                   std::uint32_t frameBitOrder, std::uint32_t frameClockEdge,
                                   std::uint32_t frameBits, const std::uint8_t* frame,
                                   std::uint32_t frameBytes, std::uint32_t replyBitOrder,
                                   std::uint32_t replyClockEdge, std::uint32_t replyBits,
                                   std::uint8_t* reply, std::uint32_t* replyBytesDelivered,
                                   device::HighPinRecord* highPins) {
    FtcStatus status = begin(ordinal::kTransfer);
    const bool hasFrame = frame != nullptr && frameBytes >= 1;
    const std::uint8_t code = hasFrame ? frame[0] : 0;
    if (hasFrame) {
        countTransfer(code);
    }
    if (status == device::kStatusSuccess) {
        status = transferChecks(
            handle,
            {start, frameClockEdge, frameBits, frame, frameBytes, replyBits, reply, highPins},
            highPins);
    }
    const std::uint32_t replyBytes = wholeBytes(replyBits);
    std::uint32_t delivered = 0;
    // A two-channel bridge is asked for its high lines first; with the cable pulled that fails
    // before the count is touched.
    const bool dual = status == device::kStatusSuccess && dualChannel(*channel(handle));
    if (dual && !plugged_) {
        status = status::kIoError;
    } else if (status == device::kStatusSuccess) {
        if (!faults_.countUntouched) {
            *replyBytesDelivered = 0;
        }
        if (!plugged_) {
            status = status::kIoError;
        }
    }
    if (status == device::kStatusSuccess) {
        std::vector<std::uint8_t> out(frame, frame + wholeBytes(frameBits));
        std::vector<std::uint8_t> in(replyBytes, kIdleLine);
        const bool selected = start->chipSelectLine == kSupplyChipSelectLine &&
                              start->chipSelectPinState != 0 && frameClockEdge == 0 &&
                              replyClockEdge == 0;
        if (frameBitOrder == 0) {
            std::ranges::transform(out, out.begin(), reversedBits);
        }
        if (channel(handle)->loopback) {
            // Data out is wired back to data in inside the chip: the supply is never asked, and
            // the reply repeats the frame, padded with the idle line.
            std::copy_n(frame, std::min<std::size_t>(frameBytes, replyBytes), in.begin());
        } else if (selected) {
            const auto answer = supply_.exchange(out, std::min<std::size_t>(replyBytes, kMaxReply));
            std::ranges::copy(answer, in.begin());
            if (replyBitOrder == 0) {
                std::ranges::transform(in, in.begin(), reversedBits);
            }
        }
        delivered = replyBytes;
        if (const auto cut = faults_.shortTransfers.find(code);
            cut != faults_.shortTransfers.end()) {
            delivered = std::min(delivered, cut->second);
        }
        std::copy_n(in.begin(), delivered, reply);
        if (!faults_.countUntouched) {
            *replyBytesDelivered = delivered;
        }
    }
    if (hasFrame) {
        applyPlugEvents(code, false);
    }
    std::string arguments = handleText(handle);
    if (start != nullptr) {
        arguments += " start=" + std::to_string(start->clockPinState) + "," +
                     std::to_string(start->dataOutPinState) + "," +
                     std::to_string(start->chipSelectPinState) +
                     " cs-line=" + std::to_string(start->chipSelectLine);
    }
    if (hasFrame) {
        arguments += " frame=" + (frameBytes <= device::kMaxWriteBytes
                                      ? hex({frame, frameBytes})
                                      : std::to_string(frameBytes) + "-bytes");
    }
    arguments += " reply=" + hex({reply, reply == nullptr ? 0 : delivered}) +
                 " delivered=" + std::to_string(delivered) + "/" + std::to_string(replyBytes);
    return finish(ordinal::kTransfer, "transfer", arguments, status);
}

} // namespace brenvik::vsupply
