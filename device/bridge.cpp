#include "device/bridge.h"

#include <chrono>

namespace brenvik::device {
namespace {

using std::chrono::milliseconds;

constexpr std::uint32_t kClockDivisor = 299;
constexpr std::uint8_t kFirstLatencyMs = 50;
constexpr std::uint8_t kSecondLatencyMs = 16;
constexpr milliseconds kPinSettleWait{200};
constexpr std::uint32_t kVersionBufferSize = 10;
constexpr std::uint32_t kNameBufferSize = 100;

class BridgeOpening {
public:
    BridgeOpening(DeviceLink& link, Clock& clock)
        : link_(link), library_(link.library), clock_(clock) {}

    OpenResult run(const BridgeChoice& choice) {
        closeOpenChannel();

        std::array<char, kVersionBufferSize> version{};
        record(library_.getDllVersion(version.data(), kVersionBufferSize));

        std::uint32_t count = 0;
        if (!record(library_.getNumHiSpeedDevices(&count))) {
            return OpenResult::CountFailed;
        }
        if (count == 0) {
            return OpenResult::NoDevice;
        }
        return openAndSetUp(count, choice);
    }

private:
    bool record(FtcStatus status) {
        link_.adapterStatus = status;
        return status == kStatusSuccess;
    }

    void closeOpenChannel() {
        if (link_.handle) {
            library_.closeDevice(*link_.handle);
            link_.handle.reset();
        }
    }

    OpenResult openAndSetUp(std::uint32_t count, const BridgeChoice& choice) {
        // The first device chosen is taken; the devices listed before it are skipped.
        // One byte more than the size passed: the library writes the terminating zero one byte
        // past the size it is given when the name fills it.
        std::array<char, kNameBufferSize + 1> name{};
        BridgeListing listing;
        std::uint32_t deviceType = 0;
        bool chosen = false;
        do {
            const bool described = record(library_.getHiSpeedDeviceNameLocIdChannel(
                listing.index, name.data(), kNameBufferSize, &listing.locationId,
                listing.channel.data(), kChannelBufferSize, &deviceType));
            if (!described) {
                return OpenResult::NotFound;
            }
            chosen = choice(listing);
            ++listing.index;
        } while (!chosen && listing.index < count);

        if (!chosen) {
            link_.adapterStatus = kStatusNoChannelA;
            return OpenResult::NotFound;
        }

        // The name goes back to the library as a terminated text, even if it filled the buffer.
        name.back() = '\0';
        FtcHandle handle = 0;
        if (!record(library_.openHiSpeedDevice(name.data(), listing.locationId,
                                               listing.channel.data(), &handle))) {
            return OpenResult::OpenFailed;
        }
        link_.handle = handle;
        if (!record(library_.getHiSpeedDeviceType(handle, &deviceType))) {
            return OpenResult::OpenFailed;
        }
        if (!setUp(handle)) {
            return OpenResult::SetUpFailed;
        }
        link_.startCondition = StartCondition{0, 0, 1, 0};
        link_.highPins = HighPinRecord{};
        return OpenResult::Opened;
    }

    // SPI master set-up. A few calls' failures do not matter to the bridge and are passed over.
    bool setUp(FtcHandle handle) {
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
        clock_.sleep(kPinSettleWait);
        const bool pinsRead = record(library_.getHiSpeedDeviceGpios(handle, &pinStates));
        clock_.sleep(kPinSettleWait);
        return pinsRead;
    }

    DeviceLink& link_;
    AdapterLibrary& library_;
    Clock& clock_;
};

} // namespace

bool isChannelA(const BridgeListing& listing) {
    return listing.channel[0] == 'A' && listing.channel[1] == '\0';
}

OpenResult openBridge(DeviceLink& link, Clock& clock, const BridgeChoice& choice) {
    return BridgeOpening(link, clock).run(choice);
}

} // namespace brenvik::device
