#include "virtual_supply/virtual_bridge.h"

#include <algorithm>
#include <cstring>
#include <span>

namespace brenvik::vsupply {

namespace {

constexpr std::uint32_t kBaseClockHz = 60'000'000;
constexpr std::uint32_t kMaxFrame = 11;
constexpr std::uint8_t kResetLatencyMs = 16;

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

// Copies a text into a caller's buffer including its terminator, if it fits.
bool copyText(const std::string& text, char* buffer, std::uint32_t size) {
    if (buffer == nullptr || text.size() + 1 > size) {
        return false;
    }
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return true;
}

} // namespace

std::vector<DeviceEntry> defaultDevices() {
    return {{"USB SPI Bridge A", 0x0121, "A", kTypeDualChannel}};
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

FtcStatus VirtualBridge::checkHandle(FtcHandle handle) const {
    return openHandle_ && *openHandle_ == handle ? device::kStatusSuccess : kStatusInvalidHandle;
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

FtcStatus VirtualBridge::handleCall(std::uint32_t ordinal, std::string_view name, FtcHandle handle,
                                    const std::string& arguments) {
    FtcStatus status = begin(ordinal);
    if (status == device::kStatusSuccess) {
        status = checkHandle(handle);
    }
    return finish(ordinal, name,
                  arguments.empty() ? handleText(handle) : handleText(handle) + " " + arguments,
                  status);
}

FtcStatus VirtualBridge::closeDevice(FtcHandle handle) {
    FtcStatus status = begin(ordinal::kClose);
    if (status == device::kStatusSuccess) {
        status = checkHandle(handle);
    }
    if (status == device::kStatusSuccess) {
        openHandle_.reset();
    }
    return finish(ordinal::kClose, "close", handleText(handle), status);
}

FtcStatus VirtualBridge::clockCall(std::uint32_t ordinal, std::string_view name, FtcHandle handle,
                                   std::optional<std::uint32_t> divisor,
                                   std::optional<bool> divideByFive) {
    FtcStatus status = begin(ordinal);
    if (status == device::kStatusSuccess) {
        status = checkHandle(handle);
    }
    std::string arguments = handleText(handle);
    if (divisor) {
        arguments += " divisor=" + std::to_string(*divisor);
    }
    if (status == device::kStatusSuccess) {
        clockDivisor_ = divisor.value_or(clockDivisor_);
        divideByFive_ = divideByFive.value_or(divideByFive_);
        arguments += " clock=" + std::to_string(spiClockHz());
    }
    return finish(ordinal, name, arguments, status);
}

std::uint32_t VirtualBridge::spiClockHz() const {
    const std::uint32_t base = divideByFive_ ? kBaseClockHz / 5 : kBaseClockHz;
    return base / ((1 + clockDivisor_) * 2);
}

FtcStatus VirtualBridge::initDevice(FtcHandle handle, std::uint32_t clockDivisor) {
    return clockCall(ordinal::kInit, "init", handle, clockDivisor, std::nullopt);
}

FtcStatus VirtualBridge::setClock(FtcHandle handle, std::uint32_t clockDivisor,
                                  std::uint32_t* clockFrequencyHz) {
    if (clockFrequencyHz == nullptr) {
        begin(ordinal::kSetClock);
        return finish(ordinal::kSetClock, "set-clock", "malformed", kStatusInvalidParameter);
    }
    const FtcStatus status =
        clockCall(ordinal::kSetClock, "set-clock", handle, clockDivisor, std::nullopt);
    if (status == device::kStatusSuccess) {
        *clockFrequencyHz = spiClockHz();
    }
    return status;
}

FtcStatus VirtualBridge::setLoopback(FtcHandle handle, std::uint32_t loopbackOn) {
    const FtcStatus status = handleCall(ordinal::kSetLoopback, "set-loopback", handle,
                                        "on=" + std::to_string(loopbackOn));
    if (status == device::kStatusSuccess) {
        loopback_ = loopbackOn != 0;
    }
    return status;
}

FtcStatus VirtualBridge::getDllVersion(char* buffer, std::uint32_t bufferSize) {
    FtcStatus status = begin(ordinal::kDllVersion);
    if (status == device::kStatusSuccess && !copyText(dllVersion_, buffer, bufferSize)) {
        status = kStatusBufferTooSmall;
    }
    return finish(ordinal::kDllVersion, "dll-version", "size=" + std::to_string(bufferSize),
                  status);
}

FtcStatus VirtualBridge::getNumHiSpeedDevices(std::uint32_t* count) {
    FtcStatus status = begin(ordinal::kCount);
    if (status == device::kStatusSuccess && count == nullptr) {
        status = kStatusInvalidParameter;
    }
    std::uint32_t devices = 0;
    if (status == device::kStatusSuccess) {
        devices = faults_.countZero ? 0 : static_cast<std::uint32_t>(devices_.size());
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
    if (status == device::kStatusSuccess && (locationId == nullptr || deviceType == nullptr)) {
        status = kStatusInvalidParameter;
    }
    if (status == device::kStatusSuccess && index >= devices_.size()) {
        status = kStatusDeviceNotFound;
    }
    std::string described;
    if (status == device::kStatusSuccess) {
        const DeviceEntry& entry = devices_[index];
        if (!copyText(entry.name, name, nameSize) ||
            !copyText(entry.channel, channel, channelSize)) {
            status = kStatusBufferTooSmall;
        } else {
            *locationId = entry.locationId;
            *deviceType = entry.type;
            described = " name=\"" + entry.name +
                        "\" location=" + std::to_string(entry.locationId) + " channel=\"" +
                        entry.channel + "\" type=" + std::to_string(entry.type);
        }
    }
    return finish(ordinal::kDescribe, "describe",
                  "index=" + std::to_string(index) + " sizes=" + std::to_string(nameSize) + "/" +
                      std::to_string(channelSize) + described,
                  status);
}

FtcStatus VirtualBridge::openHiSpeedDevice(const char* name, std::uint32_t locationId,
                                           const char* channel, FtcHandle* handle) {
    FtcStatus status = begin(ordinal::kOpen);
    if (status == device::kStatusSuccess &&
        (name == nullptr || channel == nullptr || handle == nullptr)) {
        status = kStatusInvalidParameter;
    }
    std::string arguments;
    if (status == device::kStatusSuccess) {
        arguments = "name=\"" + std::string(name) + "\" location=" + std::to_string(locationId) +
                    " channel=\"" + std::string(channel) + "\"";
        const auto found = std::find_if(devices_.begin(), devices_.end(), [&](const auto& e) {
            return e.name == name && e.locationId == locationId && e.channel == channel;
        });
        if (found == devices_.end()) {
            status = kStatusDeviceNotFound;
        } else if (openHandle_) {
            // The channel is already held by an earlier open that was never closed.
            status = kStatusIoError;
        } else {
            openHandle_ = nextHandle_++;
            *handle = *openHandle_;
            // A freshly opened channel starts from the chip's reset state.
            divideByFive_ = true;
            loopback_ = false;
            latency_ = kResetLatencyMs;
            arguments.append(1, ' ').append(handleText(*handle));
        }
    }
    return finish(ordinal::kOpen, "open", arguments, status);
}

FtcStatus VirtualBridge::getHiSpeedDeviceType(FtcHandle handle, std::uint32_t* deviceType) {
    FtcStatus status = begin(ordinal::kDeviceType);
    if (status == device::kStatusSuccess) {
        status = checkHandle(handle);
    }
    if (status == device::kStatusSuccess && deviceType == nullptr) {
        status = kStatusInvalidParameter;
    }
    if (status == device::kStatusSuccess) {
        *deviceType = kTypeDualChannel;
    }
    return finish(ordinal::kDeviceType, "device-type", handleText(handle), status);
}

FtcStatus VirtualBridge::turnOnDivideByFiveClock(FtcHandle handle) {
    return clockCall(ordinal::kDivideByFiveOn, "divide-by-five-on", handle, std::nullopt, true);
}

FtcStatus VirtualBridge::turnOffDivideByFiveClock(FtcHandle handle) {
    return clockCall(ordinal::kDivideByFiveOff, "divide-by-five-off", handle, std::nullopt, false);
}

FtcStatus VirtualBridge::setDeviceLatencyTimer(FtcHandle handle, std::uint8_t milliseconds) {
    const FtcStatus status = handleCall(ordinal::kSetLatency, "set-latency", handle,
                                        "ms=" + std::to_string(milliseconds));
    if (status == device::kStatusSuccess) {
        latency_ = milliseconds;
    }
    return status;
}

FtcStatus VirtualBridge::getDeviceLatencyTimer(FtcHandle handle, std::uint8_t* milliseconds) {
    FtcStatus status = begin(ordinal::kGetLatency);
    if (status == device::kStatusSuccess) {
        status = checkHandle(handle);
    }
    if (status == device::kStatusSuccess && milliseconds == nullptr) {
        status = kStatusInvalidParameter;
    }
    if (status == device::kStatusSuccess) {
        *milliseconds = latency_;
    }
    return finish(ordinal::kGetLatency, "get-latency", handleText(handle), status);
}

FtcStatus VirtualBridge::getHiSpeedDeviceClock(std::uint32_t clockDivisor,
                                               std::uint32_t* clockFrequencyHz) {
    FtcStatus status = begin(ordinal::kClockQuery);
    if (status == device::kStatusSuccess && clockFrequencyHz == nullptr) {
        status = kStatusInvalidParameter;
    }
    if (status == device::kStatusSuccess) {
        *clockFrequencyHz = kBaseClockHz / ((1 + clockDivisor) * 2);
    }
    return finish(ordinal::kClockQuery, "clock-query", "divisor=" + std::to_string(clockDivisor),
                  status);
}

FtcStatus VirtualBridge::setHiSpeedDeviceGpios(FtcHandle handle,
                                               const device::LowPinStates* lowPins,
                                               const device::HighPinSettings* highPins) {
    FtcStatus status = begin(ordinal::kSetPins);
    if (status == device::kStatusSuccess) {
        status = checkHandle(handle);
    }
    std::string arguments = handleText(handle);
    if (status == device::kStatusSuccess && (lowPins == nullptr || highPins == nullptr)) {
        status = kStatusInvalidParameter;
    }
    if (status == device::kStatusSuccess) {
        // Chip select and the four low lines, then direction/level of the eight high lines.
        arguments += " low=" + std::to_string(lowPins->chipSelect) + "," +
                     std::to_string(lowPins->gpio1) + "," + std::to_string(lowPins->gpio2) + "," +
                     std::to_string(lowPins->gpio3) + "," + std::to_string(lowPins->gpio4) +
                     " high=";
        for (const auto& pin : highPins->pins) {
            arguments += std::to_string(pin.direction) + "/" + std::to_string(pin.level) +
                         (&pin == &highPins->pins.back() ? "" : ",");
        }
    }
    return finish(ordinal::kSetPins, "set-pins", arguments, status);
}

FtcStatus VirtualBridge::getHiSpeedDeviceGpios(FtcHandle handle, device::HighPinStates* highPins) {
    FtcStatus status = begin(ordinal::kGetPins);
    if (status == device::kStatusSuccess) {
        status = checkHandle(handle);
    }
    if (status == device::kStatusSuccess && highPins == nullptr) {
        status = kStatusInvalidParameter;
    }
    if (status == device::kStatusSuccess) {
        *highPins = device::HighPinStates{};
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
    const auto channelA = std::find_if(bridge.devices().begin(), bridge.devices().end(),
                                       [](const DeviceEntry& e) { return e.channel == "A"; });
    if (channelA != bridge.devices().end()) {
        FtcHandle handle = 0;
        if (bridge.openHiSpeedDevice(channelA->name.c_str(), channelA->locationId,
                                     channelA->channel.c_str(),
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

FtcStatus VirtualBridge::writeRead(FtcHandle handle, const device::StartCondition* start,
                                   std::uint32_t frameBitOrder, std::uint32_t frameClockEdge,
                                   std::uint32_t frameBits, const std::uint8_t* frame,
                                   std::uint32_t frameBytes, std::uint32_t replyBitOrder,
                                   std::uint32_t replyClockEdge, std::uint32_t replyBits,
                                   std::uint8_t* reply, std::uint32_t* replyBytesDelivered,
                                   const device::HighPinRecord* highPins) {
    FtcStatus status = begin(ordinal::kTransfer);
    const std::uint32_t replyBytes = replyBits / 8;
    const bool wellFormed = start != nullptr && highPins != nullptr && frame != nullptr &&
                            reply != nullptr && replyBytesDelivered != nullptr && frameBytes >= 1 &&
                            frameBytes <= kMaxFrame && frameBits == frameBytes * 8 &&
                            replyBits % 8 == 0 && replyBytes >= 1 && replyBytes <= kMaxReply &&
                            frameBitOrder == replyBitOrder && frameClockEdge == replyClockEdge;
    if (!wellFormed) {
        if (replyBytesDelivered != nullptr && !faults_.countUntouched) {
            *replyBytesDelivered = 0;
        }
        return finish(ordinal::kTransfer, "transfer", "malformed", kStatusInvalidParameter);
    }
    if (status == device::kStatusSuccess) {
        status = checkHandle(handle);
    }
    const std::span<const std::uint8_t> frameBytesSent(frame, frameBytes);
    std::uint32_t delivered = 0;
    status = transfer(frameBytesSent, {reply, replyBytes}, status, delivered);
    if (!faults_.countUntouched) {
        *replyBytesDelivered = delivered;
    }
    return finish(ordinal::kTransfer, "transfer",
                  handleText(handle) + " start=" + std::to_string(start->clockPinState) + "," +
                      std::to_string(start->dataOutPinState) + "," +
                      std::to_string(start->chipSelectPinState) +
                      " cs-line=" + std::to_string(start->chipSelectLine) +
                      " frame=" + hex(frameBytesSent) + " reply=" + hex({reply, delivered}) +
                      " delivered=" + std::to_string(delivered) + "/" + std::to_string(replyBytes),
                  status);
}

FtcStatus VirtualBridge::transfer(std::span<const std::uint8_t> frame,
                                  std::span<std::uint8_t> reply, FtcStatus status,
                                  std::uint32_t& delivered) {
    const std::uint8_t code = frame[0];
    ++transfers_;
    ++commandCounts_[code];
    if (keepLog_) {
        commands_.push_back(code);
    }
    applyPlugEvents(code, true);
    if (status == device::kStatusSuccess && !plugged_) {
        status = kStatusIoError;
    }
    delivered = 0;
    if (status == device::kStatusSuccess && loopback_) {
        // Data out is wired back to data in inside the chip: the supply is never asked, and the
        // reply repeats the frame, padded with the idle line.
        std::fill(reply.begin(), reply.end(), kIdleLine);
        std::copy_n(frame.begin(), std::min(frame.size(), reply.size()), reply.begin());
        delivered = static_cast<std::uint32_t>(reply.size());
    } else if (status == device::kStatusSuccess) {
        const auto answer = supply_.exchange(frame, reply.size());
        delivered = static_cast<std::uint32_t>(answer.size());
        if (const auto cut = faults_.shortTransfers.find(code);
            cut != faults_.shortTransfers.end()) {
            delivered = std::min(delivered, cut->second);
        }
        std::copy_n(answer.begin(), delivered, reply.begin());
    }
    applyPlugEvents(code, false);
    return status;
}

FtcStatus VirtualBridge::answer(std::span<const std::uint8_t> frame, std::span<std::uint8_t> reply,
                                std::uint32_t& delivered) {
    FtcStatus status = begin(ordinal::kTransfer);
    if (frame.empty() || reply.empty() || frame.size() > kMaxFrame || reply.size() > kMaxReply) {
        delivered = 0;
        return finish(ordinal::kTransfer, "transfer", "malformed", kStatusInvalidParameter);
    }
    status = transfer(frame, reply, status, delivered);
    return finish(ordinal::kTransfer, "transfer",
                  "frame=" + hex(frame) + " reply=" + hex(reply.first(delivered)) + " delivered=" +
                      std::to_string(delivered) + "/" + std::to_string(reply.size()),
                  status);
}

} // namespace brenvik::vsupply
