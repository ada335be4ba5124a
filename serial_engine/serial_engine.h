#pragma once
// The adapter library's calls made directly on the bridge's serial engine: every call becomes the
// byte stream the vendor's library sends, over a byte pipe, and answers with the vendor library's
// status codes, parameter checks and out values. The program cannot tell it from the library.

#include "device/adapter_library.h"
#include "device/clock.h"
#include "device/library_status.h"
#include "serial_engine/byte_pipe.h"

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace brenvik::engine {

using device::FtcHandle;
using device::FtcStatus;

// The vendor library's own status codes that the engine returns besides the driver's. Where the
// vendor library would dereference a missing pointer or write past a buffer, the engine refuses
// with the driver's invalid-parameter status (6) instead.
namespace status = device::status;

class SerialEngine final : public device::AdapterLibrary {
public:
    // How long a read waits for the bridge's answer before the call fails with 20.
    static constexpr std::chrono::milliseconds kReadTimeout{5000};

    // The bus lists and opens the bridge channels; the clock makes the library's pauses.
    SerialEngine(BridgeBus& bus, Clock& clock);
    ~SerialEngine() override;

    FtcStatus closeDevice(FtcHandle handle) override;
    FtcStatus initDevice(FtcHandle handle, std::uint32_t clockDivisor) override;
    FtcStatus setClock(FtcHandle handle, std::uint32_t clockDivisor,
                       std::uint32_t* clockFrequencyHz) override;
    FtcStatus setLoopback(FtcHandle handle, std::uint32_t loopbackOn) override;
    FtcStatus getDllVersion(char* buffer, std::uint32_t bufferSize) override;
    FtcStatus getNumHiSpeedDevices(std::uint32_t* count) override;
    FtcStatus getHiSpeedDeviceNameLocIdChannel(std::uint32_t index, char* name,
                                               std::uint32_t nameSize, std::uint32_t* locationId,
                                               char* channel, std::uint32_t channelSize,
                                               std::uint32_t* deviceType) override;
    FtcStatus openHiSpeedDevice(const char* name, std::uint32_t locationId, char* channel,
                                FtcHandle* handle) override;
    FtcStatus getHiSpeedDeviceType(FtcHandle handle, std::uint32_t* deviceType) override;
    FtcStatus turnOnDivideByFiveClock(FtcHandle handle) override;
    FtcStatus turnOffDivideByFiveClock(FtcHandle handle) override;
    FtcStatus setDeviceLatencyTimer(FtcHandle handle, std::uint8_t milliseconds) override;
    FtcStatus getDeviceLatencyTimer(FtcHandle handle, std::uint8_t* milliseconds) override;
    FtcStatus getHiSpeedDeviceClock(std::uint32_t clockDivisor,
                                    std::uint32_t* clockFrequencyHz) override;
    FtcStatus setHiSpeedDeviceGpios(FtcHandle handle, const device::LowPinStates* lowPins,
                                    const device::HighPinSettings* highPins) override;
    FtcStatus getHiSpeedDeviceGpios(FtcHandle handle, device::HighPinStates* highPins) override;
    FtcStatus writeRead(FtcHandle handle, const device::StartCondition* start,
                        std::uint32_t frameBitOrder, std::uint32_t frameClockEdge,
                        std::uint32_t frameBits, const std::uint8_t* frame,
                        std::uint32_t frameBytes, std::uint32_t replyBitOrder,
                        std::uint32_t replyClockEdge, std::uint32_t replyBits, std::uint8_t* reply,
                        std::uint32_t* replyBytesDelivered,
                        device::HighPinRecord* highPins) override;

private:
    // An open channel and the pin and clock state the engine has set on it.
    struct Channel {
        std::unique_ptr<BytePipe> pipe;
        std::string location;
        BridgeType type = BridgeType::twoChannel;
        std::uint8_t lowLevels = 0x00;
        std::uint8_t highLevels = 0xFF;
        std::uint8_t highDirections = 0xFF;
        std::uint32_t divisor = 0;
        bool divideByFive = false;
    };

    Channel* find(FtcHandle handle);
    // The channels the adapter library lists (descriptions ending in " A" or " B").
    FtcStatus listed(std::vector<BridgeChannel>& channels);
    FtcStatus send(Channel& channel, std::span<const std::uint8_t> bytes);
    // Reads exactly buffer.size() bytes within the read timeout, else 20.
    FtcStatus receive(Channel& channel, std::span<std::uint8_t> buffer);
    FtcStatus synchronise(Channel& channel);
    // The two-channel bridge's high byte, read with the library's pause before it.
    FtcStatus readHighPins(Channel& channel, std::uint8_t& levels);

    BridgeBus& bus_;
    Clock& clock_;
    std::map<FtcHandle, Channel> channels_;
    FtcHandle nextHandle_ = 1;
};

} // namespace brenvik::engine
