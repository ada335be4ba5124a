#pragma once
// The bridge vendor's SPI adapter library, one operation per ordinal that the program calls.
//
// Two implementations stand behind this interface: the Windows loader that resolves the
// functions of FTCSPI.dll by ordinal, and the virtual bridge that native tests use directly
// (and that the stand-in FTCSPI.dll exports). The program cannot tell them apart.

#include <array>
#include <cstdint>

namespace brenvik::device {

using FtcStatus = std::uint32_t; // 0 for success
using FtcHandle = std::uint32_t; // an open adapter channel

inline constexpr FtcStatus kStatusSuccess = 0;

// Line states at the start of every transfer: clock, data out, chip select, and the number of
// the chip-select line.
struct StartCondition {
    std::uint32_t clockPinState = 0;
    std::uint32_t dataOutPinState = 0;
    std::uint32_t chipSelectPinState = 0;
    std::uint32_t chipSelectLine = 0;
};
static_assert(sizeof(StartCondition) == 16);

// Sixteen 32-bit values passed with every transfer.
struct HighPinRecord {
    std::array<std::uint32_t, 16> values{};
};
static_assert(sizeof(HighPinRecord) == 64);

// Ordinal 30: the chip-select line and four low general-purpose lines (idle states)...
struct LowPinStates {
    std::uint32_t chipSelect = 0;
    std::uint32_t gpio1 = 0;
    std::uint32_t gpio2 = 0;
    std::uint32_t gpio3 = 0;
    std::uint32_t gpio4 = 0;
};
static_assert(sizeof(LowPinStates) == 20);

// ...and the eight high general-purpose lines, each a direction and a level.
struct PinDirectionLevel {
    std::uint32_t direction = 0;
    std::uint32_t level = 0;
};
struct HighPinSettings {
    std::array<PinDirectionLevel, 8> pins{};
};
static_assert(sizeof(HighPinSettings) == 64);

// Ordinal 31: eight 32-bit flags read back from the high lines.
struct HighPinStates {
    std::array<std::uint32_t, 8> pins{};
};
static_assert(sizeof(HighPinStates) == 32);

// Ordinal numbers of the library functions.
namespace ordinal {
inline constexpr std::uint32_t kClose = 5;
inline constexpr std::uint32_t kInit = 6;
inline constexpr std::uint32_t kSetClock = 8;
inline constexpr std::uint32_t kSetLoopback = 9;
inline constexpr std::uint32_t kDllVersion = 18;
inline constexpr std::uint32_t kCount = 20;
inline constexpr std::uint32_t kDescribe = 21;
inline constexpr std::uint32_t kOpen = 22;
inline constexpr std::uint32_t kDeviceType = 23;
inline constexpr std::uint32_t kDivideByFiveOn = 25;
inline constexpr std::uint32_t kDivideByFiveOff = 26;
inline constexpr std::uint32_t kSetLatency = 27;
inline constexpr std::uint32_t kGetLatency = 28;
inline constexpr std::uint32_t kClockQuery = 29;
inline constexpr std::uint32_t kSetPins = 30;
inline constexpr std::uint32_t kGetPins = 31;
inline constexpr std::uint32_t kTransfer = 33;
} // namespace ordinal

// Every ordinal the program calls, in ascending order.
inline constexpr std::array<std::uint32_t, 17> kAllOrdinals{5,  6,  8,  9,  18, 20, 21, 22, 23,
                                                            25, 26, 27, 28, 29, 30, 31, 33};

class AdapterLibrary {
public:
    virtual ~AdapterLibrary() = default;

    virtual FtcStatus closeDevice(FtcHandle handle) = 0;                            // 5
    virtual FtcStatus initDevice(FtcHandle handle, std::uint32_t clockDivisor) = 0; // 6
    virtual FtcStatus setClock(FtcHandle handle, std::uint32_t clockDivisor,
                               std::uint32_t* clockFrequencyHz) = 0;               // 8
    virtual FtcStatus setLoopback(FtcHandle handle, std::uint32_t loopbackOn) = 0; // 9
    virtual FtcStatus getDllVersion(char* buffer, std::uint32_t bufferSize) = 0;   // 18
    virtual FtcStatus getNumHiSpeedDevices(std::uint32_t* count) = 0;              // 20
    virtual FtcStatus getHiSpeedDeviceNameLocIdChannel(std::uint32_t index, char* name,
                                                       std::uint32_t nameSize,
                                                       std::uint32_t* locationId, char* channel,
                                                       std::uint32_t channelSize,
                                                       std::uint32_t* deviceType) = 0; // 21
    virtual FtcStatus openHiSpeedDevice(const char* name, std::uint32_t locationId,
                                        const char* channel, FtcHandle* handle) = 0;           // 22
    virtual FtcStatus getHiSpeedDeviceType(FtcHandle handle, std::uint32_t* deviceType) = 0;   // 23
    virtual FtcStatus turnOnDivideByFiveClock(FtcHandle handle) = 0;                           // 25
    virtual FtcStatus turnOffDivideByFiveClock(FtcHandle handle) = 0;                          // 26
    virtual FtcStatus setDeviceLatencyTimer(FtcHandle handle, std::uint8_t milliseconds) = 0;  // 27
    virtual FtcStatus getDeviceLatencyTimer(FtcHandle handle, std::uint8_t* milliseconds) = 0; // 28
    virtual FtcStatus getHiSpeedDeviceClock(std::uint32_t clockDivisor,
                                            std::uint32_t* clockFrequencyHz) = 0; // 29
    virtual FtcStatus setHiSpeedDeviceGpios(FtcHandle handle, const LowPinStates* lowPins,
                                            const HighPinSettings* highPins) = 0;           // 30
    virtual FtcStatus getHiSpeedDeviceGpios(FtcHandle handle, HighPinStates* highPins) = 0; // 31
    // 33: one transfer, frame out then reply in. The bit-order and clock-edge flags come in
    // pairs, first for the frame, then for the reply.
    virtual FtcStatus writeRead(FtcHandle handle, const StartCondition* start,
                                std::uint32_t frameBitOrder, std::uint32_t frameClockEdge,
                                std::uint32_t frameBits, const std::uint8_t* frame,
                                std::uint32_t frameBytes, std::uint32_t replyBitOrder,
                                std::uint32_t replyClockEdge, std::uint32_t replyBits,
                                std::uint8_t* reply, std::uint32_t* replyBytesDelivered,
                                const HighPinRecord* highPins) = 0;
};

} // namespace brenvik::device
