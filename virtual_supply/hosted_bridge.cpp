#include "virtual_supply/hosted_bridge.h"

#include <fstream>
#include <sstream>
#include <utility>

namespace brenvik::vsupply {

std::optional<std::string> readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::filesystem::path deviceFile(const std::filesystem::path& file, std::size_t device) {
    if (device == 0) {
        return file;
    }
    std::filesystem::path named = file;
    named.replace_filename(file.stem().string() + "." + std::to_string(device) +
                           file.extension().string());
    return named;
}

namespace {

HostOptions ofDevice(HostOptions options) {
    if (options.device) {
        for (auto* file : {&options.stateFile, &options.traceFile}) {
            if (*file) {
                *file = deviceFile(**file, *options.device);
            }
        }
    }
    return options;
}

} // namespace

HostedBridge::HostedBridge(const HostOptions& options, VirtualSupply::TimeSource time)
    : options_(ofDevice(options)), time_(std::move(time)) {
    bridge_.setTrace([this](std::string_view line) { note(line); });
    bridge_.keepCallLog(false);
    const auto reportErrors = [this](std::string_view what, const ParseResult& result) {
        for (const auto& error : result.errors) {
            note(std::string(what) + " " + error);
        }
    };
    if (options_.scenarioFile) {
        if (const auto text = readFile(*options_.scenarioFile)) {
            note("note scenario " + options_.scenarioFile->string());
            reportErrors("note scenario", applyText(*text, base_, KeySet::Scenario));
        } else {
            note("note scenario " + options_.scenarioFile->string() +
                 " cannot be read, default scenario used");
        }
    }
    Scenario start = base_;
    if (options_.stateFile) {
        if (const auto text = readFile(*options_.stateFile)) {
            note("note state " + options_.stateFile->string());
            reportErrors("note state", applyText(*text, start, KeySet::State));
        }
    }
    if (options_.device) {
        const std::size_t device = *options_.device;
        start.devices = device < base_.devices.size()
                            ? std::vector<DeviceEntry>{base_.devices[device]}
                            : std::vector<DeviceEntry>{};
        if (!base_.controlFile.empty()) {
            base_.controlFile = deviceFile(base_.controlFile, device).string();
        }
    }
    applyScenario(start, bridge_);
    if (base_.hourLength.count() > 0) {
        bridge_.supply().setTimeSource(time_, base_.hourLength);
    }
    savedRevision_ = bridge_.supply().revision();
    if (!base_.controlFile.empty()) {
        controlFile_ = base_.controlFile;
        if (controlFile_.is_relative() && options_.scenarioFile) {
            controlFile_ = options_.scenarioFile->parent_path() / controlFile_;
        }
    }
}

void HostedBridge::note(std::string_view text) {
    if (!options_.traceFile) {
        return;
    }
    std::ofstream out(*options_.traceFile, std::ios::app | std::ios::binary);
    out << time_().count() << ' ' << text << '\n';
}

void HostedBridge::pollControl() {
    if (controlFile_.empty()) {
        return;
    }
    auto text = readFile(controlFile_);
    if (text == controlText_) {
        return;
    }
    controlText_ = std::move(text);
    if (!controlText_) {
        note("note control file removed");
        return;
    }
    Scenario control = base_;
    const auto result = applyText(*controlText_, control, KeySet::Control);
    for (const auto& error : result.errors) {
        note("note control " + error);
    }
    bridge_.faults() = control.bridgeFaults;
    bridge_.supply().faults() = control.supplyFaults;
    if (result.keys.contains("plugged")) {
        if (control.plugged) {
            bridge_.plugIn();
        } else {
            bridge_.unplug();
        }
    }
    note(std::string("note control applied, supply ") +
         (bridge_.plugged() ? "plugged" : "unplugged"));
}

void HostedBridge::persist() {
    if (!options_.stateFile || bridge_.supply().revision() == savedRevision_) {
        return;
    }
    // Replaced whole, so a write cut short leaves the previous state to start from.
    if (config::replaceFile(*options_.stateFile, stateText(bridge_.supply().state()),
                            stateFileSteps_)) {
        savedRevision_ = bridge_.supply().revision();
    }
}

template <typename Call>
FtcStatus HostedBridge::around(Call&& call) {
    pollControl();
    const FtcStatus status = call();
    persist();
    return status;
}

FtcStatus HostedBridge::answer(std::span<const std::uint8_t> frame, std::span<std::uint8_t> reply,
                               std::uint32_t& delivered) {
    return around([&] { return bridge_.answer(frame, reply, delivered); });
}

FtcStatus HostedBridge::closeDevice(FtcHandle handle) {
    return around([&] { return bridge_.closeDevice(handle); });
}

FtcStatus HostedBridge::initDevice(FtcHandle handle, std::uint32_t clockDivisor) {
    return around([&] { return bridge_.initDevice(handle, clockDivisor); });
}

FtcStatus HostedBridge::setClock(FtcHandle handle, std::uint32_t clockDivisor,
                                 std::uint32_t* clockFrequencyHz) {
    return around([&] { return bridge_.setClock(handle, clockDivisor, clockFrequencyHz); });
}

FtcStatus HostedBridge::setLoopback(FtcHandle handle, std::uint32_t loopbackOn) {
    return around([&] { return bridge_.setLoopback(handle, loopbackOn); });
}

FtcStatus HostedBridge::getDllVersion(char* buffer, std::uint32_t bufferSize) {
    return around([&] { return bridge_.getDllVersion(buffer, bufferSize); });
}

FtcStatus HostedBridge::getNumHiSpeedDevices(std::uint32_t* count) {
    return around([&] { return bridge_.getNumHiSpeedDevices(count); });
}

FtcStatus HostedBridge::getHiSpeedDeviceNameLocIdChannel(std::uint32_t index, char* name,
                                                         std::uint32_t nameSize,
                                                         std::uint32_t* locationId, char* channel,
                                                         std::uint32_t channelSize,
                                                         std::uint32_t* deviceType) {
    return around([&] {
        return bridge_.getHiSpeedDeviceNameLocIdChannel(index, name, nameSize, locationId, channel,
                                                        channelSize, deviceType);
    });
}

FtcStatus HostedBridge::openHiSpeedDevice(const char* name, std::uint32_t locationId,
                                          const char* channel, FtcHandle* handle) {
    return around([&] { return bridge_.openHiSpeedDevice(name, locationId, channel, handle); });
}

FtcStatus HostedBridge::getHiSpeedDeviceType(FtcHandle handle, std::uint32_t* deviceType) {
    return around([&] { return bridge_.getHiSpeedDeviceType(handle, deviceType); });
}

FtcStatus HostedBridge::turnOnDivideByFiveClock(FtcHandle handle) {
    return around([&] { return bridge_.turnOnDivideByFiveClock(handle); });
}

FtcStatus HostedBridge::turnOffDivideByFiveClock(FtcHandle handle) {
    return around([&] { return bridge_.turnOffDivideByFiveClock(handle); });
}

FtcStatus HostedBridge::setDeviceLatencyTimer(FtcHandle handle, std::uint8_t milliseconds) {
    return around([&] { return bridge_.setDeviceLatencyTimer(handle, milliseconds); });
}

FtcStatus HostedBridge::getDeviceLatencyTimer(FtcHandle handle, std::uint8_t* milliseconds) {
    return around([&] { return bridge_.getDeviceLatencyTimer(handle, milliseconds); });
}

FtcStatus HostedBridge::getHiSpeedDeviceClock(std::uint32_t clockDivisor,
                                              std::uint32_t* clockFrequencyHz) {
    return around([&] { return bridge_.getHiSpeedDeviceClock(clockDivisor, clockFrequencyHz); });
}

FtcStatus HostedBridge::setHiSpeedDeviceGpios(FtcHandle handle, const device::LowPinStates* lowPins,
                                              const device::HighPinSettings* highPins) {
    return around([&] { return bridge_.setHiSpeedDeviceGpios(handle, lowPins, highPins); });
}

FtcStatus HostedBridge::getHiSpeedDeviceGpios(FtcHandle handle, device::HighPinStates* highPins) {
    return around([&] { return bridge_.getHiSpeedDeviceGpios(handle, highPins); });
}

FtcStatus HostedBridge::writeRead(FtcHandle handle, const device::StartCondition* start,
                                  std::uint32_t frameBitOrder, std::uint32_t frameClockEdge,
                                  std::uint32_t frameBits, const std::uint8_t* frame,
                                  std::uint32_t frameBytes, std::uint32_t replyBitOrder,
                                  std::uint32_t replyClockEdge, std::uint32_t replyBits,
                                  std::uint8_t* reply, std::uint32_t* replyBytesDelivered,
                                  const device::HighPinRecord* highPins) {
    return around([&] {
        return bridge_.writeRead(handle, start, frameBitOrder, frameClockEdge, frameBits, frame,
                                 frameBytes, replyBitOrder, replyClockEdge, replyBits, reply,
                                 replyBytesDelivered, highPins);
    });
}

} // namespace brenvik::vsupply
