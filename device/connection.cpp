#include "device/connection.h"

#include "monitor/read_back.h"
#include "programming/panel.h"
#include "res/resource.h"
#include "ui/status_texts.h"

#include <array>
#include <chrono>
#include <cstdint>

namespace brenvik::device {
namespace {

using std::chrono::milliseconds;

constexpr std::uint32_t kClockDivisor = 299;
constexpr std::uint8_t kFirstLatencyMs = 50;
constexpr std::uint8_t kSecondLatencyMs = 16;
constexpr milliseconds kPinSettleWait{200};
constexpr std::uint32_t kVersionBufferSize = 10;
constexpr std::uint32_t kNameBufferSize = 100;
constexpr std::uint32_t kChannelBufferSize = 5;

// Exactly "A". Looks no further than the buffer, whether or not the library terminated the text.
bool isChannelA(const std::array<char, kChannelBufferSize>& channel) {
    return channel[0] == 'A' && channel[1] == '\0';
}

class ConnectionSequence {
public:
    explicit ConnectionSequence(ConnectionContext& ctx)
        : ctx_(ctx), link_(ctx.link), library_(ctx.link.library) {}

    // True when the sequence reached the read-back (which leaves its outcome in the link flag);
    // false when it stopped on the way, with the adapter status non-zero.
    bool run() {
        panelRead(ctx_.window, ctx_.model);
        closeOpenChannel();

        std::array<char, kVersionBufferSize> version{};
        record(library_.getDllVersion(version.data(), kVersionBufferSize));

        std::uint32_t count = 0;
        const bool counted = record(library_.getNumHiSpeedDevices(&count));
        if (!counted || count == 0) {
            ctx_.window.setStatusText(status::kCheckCable);
        }
        if (!counted) {
            return false;
        }
        // With no device listed nothing is opened; the read-back then finds no supply to answer
        // and reports the failure itself.
        if (count > 0 && !openAndInitialise(count)) {
            return false;
        }
        monitor::readBackSettings(ctx_.window, ctx_.clock, link_, ctx_.model, ctx_.monitor);
        return true;
    }

private:
    bool record(FtcStatus status) {
        link_.adapterStatus = status;
        return status == kStatusSuccess;
    }

    bool stopSearching() {
        ctx_.window.setStatusText(status::kSearchingDevice);
        return false;
    }

    void closeOpenChannel() {
        if (link_.handle) {
            library_.closeDevice(*link_.handle);
            link_.handle.reset();
        }
    }

    bool openAndInitialise(std::uint32_t count) {
        // The first device whose channel is "A" is taken; the devices listed before it are
        // skipped.
        // One byte more than the size passed: the library writes the terminating zero one byte
        // past the size it is given when the name fills it.
        std::array<char, kNameBufferSize + 1> name{};
        std::array<char, kChannelBufferSize> channel{};
        std::uint32_t locationId = 0;
        std::uint32_t deviceType = 0;
        std::uint32_t index = 0;
        do {
            const bool described = record(library_.getHiSpeedDeviceNameLocIdChannel(
                index, name.data(), kNameBufferSize, &locationId, channel.data(),
                kChannelBufferSize, &deviceType));
            ++index;
            if (!described) {
                return stopSearching();
            }
        } while (!isChannelA(channel) && index < count);

        if (!isChannelA(channel)) {
            link_.adapterStatus = kStatusNoChannelA;
            return stopSearching();
        }

        // The name goes back to the library as a terminated text, even if it filled the buffer.
        name.back() = '\0';
        FtcHandle handle = 0;
        if (!record(library_.openHiSpeedDevice(name.data(), locationId, channel.data(), &handle))) {
            return stopSearching();
        }
        link_.handle = handle;
        if (!record(library_.getHiSpeedDeviceType(handle, &deviceType))) {
            return stopSearching();
        }
        ctx_.window.setStatusText(status::kSearchingDevice);

        if (!initialise(handle)) {
            return false;
        }
        link_.startCondition = StartCondition{0, 0, 1, 0};
        link_.highPins = HighPinRecord{};
        return true;
    }

    // SPI master set-up. A few calls' failures do not matter to the bridge and are passed over.
    bool initialise(FtcHandle handle) {
        std::uint8_t latency = 0;
        std::uint32_t frequency = 0;
        if (!record(library_.initDevice(handle, kClockDivisor)) ||
            !record(library_.getDeviceLatencyTimer(handle, &latency)) ||
            !record(library_.setDeviceLatencyTimer(handle, kFirstLatencyMs))) {
            return false;
        }
        record(library_.getDeviceLatencyTimer(handle, &latency));
        record(library_.setDeviceLatencyTimer(handle, kSecondLatencyMs));
        if (!record(library_.getDeviceLatencyTimer(handle, &latency)) ||
            !record(library_.getHiSpeedDeviceClock(0, &frequency)) ||
            !record(library_.turnOnDivideByFiveClock(handle))) {
            return false;
        }
        record(library_.getHiSpeedDeviceClock(0, &frequency));

        LowPinStates lowPins{};
        HighPinSettings highPins{};
        for (auto& pin : highPins.pins) {
            pin = PinDirectionLevel{1, 0};
        }
        if (!record(library_.setClock(handle, kClockDivisor, &frequency)) ||
            !record(library_.turnOffDivideByFiveClock(handle)) ||
            !record(library_.setClock(handle, kClockDivisor, &frequency)) ||
            !record(library_.setLoopback(handle, 0)) ||
            !record(library_.setHiSpeedDeviceGpios(handle, &lowPins, &highPins))) {
            return false;
        }

        HighPinStates pinStates{};
        ctx_.clock.sleep(kPinSettleWait);
        const bool pinsRead = record(library_.getHiSpeedDeviceGpios(handle, &pinStates));
        ctx_.clock.sleep(kPinSettleWait);
        return pinsRead;
    }

    ConnectionContext& ctx_;
    DeviceLink& link_;
    AdapterLibrary& library_;
};

} // namespace

void connectDevice(ConnectionContext& ctx) {
    if (!ConnectionSequence(ctx).run()) {
        ctx.link.linkOk = false;
    } else if (ctx.link.linkOk) {
        ctx.window.setStatusText(status::kConnectSuccess);
        for (int box : kOptionBoxIds) {
            ctx.window.setChecked(box, false);
            onOptionBoxClicked(ctx.window, ctx.model, box);
        }
        ctx.window.enableControl(IDC_BTN_APPLY, false);
    } else {
        ctx.window.setStatusText(status::kConnectFail);
        config::readConfiguration(ctx.window, ctx.model, ctx.files.current);
    }
    panelRedisplay(ctx.window, ctx.model);
}

void silentReconnect(ConnectionContext& ctx) {
    const bool readBackRan = ConnectionSequence(ctx).run();
    ctx.files.useWorking();
    if (!readBackRan) {
        ctx.link.linkOk = false;
    } else {
        ctx.window.setStatusText(ctx.link.linkOk ? status::kConnectSuccess : status::kConnectFail);
    }
    // Brings back the entries APPLY saved there, option boxes included.
    config::readConfiguration(ctx.window, ctx.model, ctx.files.working);
    panelRead(ctx.window, ctx.model);
}

void connectTimerStep(ConnectionContext& ctx) {
    ctx.window.invalidate(false);
    connectDevice(ctx);
    ctx.window.killTimer(IDT_CONNECT);
    ctx.window.invalidate(false);
}

} // namespace brenvik::device
