#pragma once
// The bridge vendor's SPI adapter library, one operation per ordinal that the program calls.
//
// Two implementations stand behind this interface: the Windows loader that resolves the
// functions of FTCSPI.dll by ordinal, and the virtual bridge that native tests use directly
// (and that the stand-in FTCSPI.dll exports). The program cannot tell them apart.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace brenvik::device {

using FtcStatus = std::uint32_t; // 0 for success
using FtcHandle = std::uint32_t; // an open adapter channel

inline constexpr FtcStatus kStatusSuccess = 0;
// The library's answer to opening a channel that another program holds.
inline constexpr FtcStatus kStatusDeviceInUse = 27;

// Line states at the start of every transfer: clock, data out, chip select, and the number of
// the chip-select line (0-4).
struct StartCondition {
    std::uint32_t clockPinState = 0;
    std::uint32_t dataOutPinState = 0;
    std::uint32_t chipSelectPinState = 0;
    std::uint32_t chipSelectLine = 0;
};
static_assert(sizeof(StartCondition) == 16);

// The transfer's high output record: for each of the eight high lines whether it is to be
// active during the transfer, and its active state. The library writes into it: it clears the
// active states and sets them again from the lines.
struct HighOutputPin {
    std::uint32_t state = 0;
    std::uint32_t activeState = 0;

    bool operator==(const HighOutputPin&) const = default;
};
struct HighPinRecord {
    std::array<HighOutputPin, 8> pins{};

    bool operator==(const HighPinRecord&) const = default;
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

// ...and the eight high general-purpose lines, each a direction (1 output) and a level.
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

// Every library call the program makes, the only place their signatures are written:
// X(ordinal, constant, vendor's exported name, method, parameters, arguments).
// Every function is stdcall and returns a 32-bit status; every parameter takes 4 stack bytes.
// Types are written in full, as the table is expanded in other namespaces too.
// The interface below, the Windows ordinal loader, the forwarders and the stand-in library's
// exports are all expanded from it.
#define BRENVIK_ADAPTER_CALLS(X)                                                                   \
    X(5, kClose, SPI_Close, closeDevice, (::brenvik::device::FtcHandle handle), (handle))          \
    X(6, kInit, SPI_InitDevice, initDevice,                                                        \
      (::brenvik::device::FtcHandle handle, std::uint32_t clockDivisor), (handle, clockDivisor))   \
    X(8, kSetClock, SPI_SetClock, setClock,                                                        \
      (::brenvik::device::FtcHandle handle, std::uint32_t clockDivisor,                            \
       std::uint32_t * clockFrequencyHz),                                                          \
      (handle, clockDivisor, clockFrequencyHz))                                                    \
    X(9, kSetLoopback, SPI_SetLoopback, setLoopback,                                               \
      (::brenvik::device::FtcHandle handle, std::uint32_t loopbackOn), (handle, loopbackOn))       \
    X(18, kDllVersion, SPI_GetDllVersion, getDllVersion, (char* buffer, std::uint32_t bufferSize), \
      (buffer, bufferSize))                                                                        \
    X(20, kCount, SPI_GetNumHiSpeedDevices, getNumHiSpeedDevices, (std::uint32_t * count),         \
      (count))                                                                                     \
    X(21, kDescribe, SPI_GetHiSpeedDeviceNameLocIDChannel, getHiSpeedDeviceNameLocIdChannel,       \
      (std::uint32_t index, char* name, std::uint32_t nameSize, std::uint32_t* locationId,         \
       char* channel, std::uint32_t channelSize, std::uint32_t* deviceType),                       \
      (index, name, nameSize, locationId, channel, channelSize, deviceType))                       \
    X(22, kOpen, SPI_OpenHiSpeedDevice, openHiSpeedDevice,                                         \
      (const char* name, std::uint32_t locationId, char* channel,                                  \
       ::brenvik::device::FtcHandle* handle),                                                      \
      (name, locationId, channel, handle))                                                         \
    X(23, kDeviceType, SPI_GetHiSpeedDeviceType, getHiSpeedDeviceType,                             \
      (::brenvik::device::FtcHandle handle, std::uint32_t * deviceType), (handle, deviceType))     \
    X(25, kDivideByFiveOn, SPI_TurnOnDivideByFiveClockingHiSpeedDevice, turnOnDivideByFiveClock,   \
      (::brenvik::device::FtcHandle handle), (handle))                                             \
    X(26, kDivideByFiveOff, SPI_TurnOffDivideByFiveClockingHiSpeedDevice,                          \
      turnOffDivideByFiveClock, (::brenvik::device::FtcHandle handle), (handle))                   \
    X(27, kSetLatency, SPI_SetDeviceLatencyTimer, setDeviceLatencyTimer,                           \
      (::brenvik::device::FtcHandle handle, std::uint8_t milliseconds), (handle, milliseconds))    \
    X(28, kGetLatency, SPI_GetDeviceLatencyTimer, getDeviceLatencyTimer,                           \
      (::brenvik::device::FtcHandle handle, std::uint8_t * milliseconds), (handle, milliseconds))  \
    X(29, kClockQuery, SPI_GetHiSpeedDeviceClock, getHiSpeedDeviceClock,                           \
      (std::uint32_t clockDivisor, std::uint32_t * clockFrequencyHz),                              \
      (clockDivisor, clockFrequencyHz))                                                            \
    X(30, kSetPins, SPI_SetHiSpeedDeviceGPIOs, setHiSpeedDeviceGpios,                              \
      (::brenvik::device::FtcHandle handle, const ::brenvik::device::LowPinStates* lowPins,        \
       const ::brenvik::device::HighPinSettings* highPins),                                        \
      (handle, lowPins, highPins))                                                                 \
    X(31, kGetPins, SPI_GetHiSpeedDeviceGPIOs, getHiSpeedDeviceGpios,                              \
      (::brenvik::device::FtcHandle handle, ::brenvik::device::HighPinStates * highPins),          \
      (handle, highPins))                                                                          \
    /* One transfer, frame out then reply in. The bit-order and clock-edge flags come in pairs,    \
       first for the frame, then for the reply. */                                                 \
    X(33, kTransfer, SPI_ReadHiSpeedDevice, writeRead,                                             \
      (::brenvik::device::FtcHandle handle, const ::brenvik::device::StartCondition* start,        \
       std::uint32_t frameBitOrder, std::uint32_t frameClockEdge, std::uint32_t frameBits,         \
       const std::uint8_t* frame, std::uint32_t frameBytes, std::uint32_t replyBitOrder,           \
       std::uint32_t replyClockEdge, std::uint32_t replyBits, std::uint8_t* reply,                 \
       std::uint32_t* replyBytesDelivered, ::brenvik::device::HighPinRecord* highPins),            \
      (handle, start, frameBitOrder, frameClockEdge, frameBits, frame, frameBytes, replyBitOrder,  \
       replyClockEdge, replyBits, reply, replyBytesDelivered, highPins))

// Ordinal numbers of the library functions.
namespace ordinal {
#define BRENVIK_ORDINAL_CONSTANT(number, constant, ...)                                            \
    inline constexpr std::uint32_t constant = number;
BRENVIK_ADAPTER_CALLS(BRENVIK_ORDINAL_CONSTANT)
#undef BRENVIK_ORDINAL_CONSTANT
} // namespace ordinal

// An ordinal the program calls and the name the vendor's library exports it under.
struct AdapterCall {
    std::uint32_t ordinal;
    std::string_view vendorName;
};

// Every ordinal the program calls, in ascending order.
inline constexpr std::array kAdapterCalls{
#define BRENVIK_CALL_ENTRY(number, constant, vendor, ...) AdapterCall{number, #vendor},
    BRENVIK_ADAPTER_CALLS(BRENVIK_CALL_ENTRY)
#undef BRENVIK_CALL_ENTRY
};
inline constexpr auto kAllOrdinals = [] {
    std::array<std::uint32_t, kAdapterCalls.size()> ordinals{};
    for (std::size_t i = 0; i < kAdapterCalls.size(); ++i) {
        ordinals[i] = kAdapterCalls[i].ordinal;
    }
    return ordinals;
}();

class AdapterLibrary {
public:
    virtual ~AdapterLibrary() = default;

    // Why a library that was found is not called at all (it answers every call as a missing
    // library does); empty for a library that is used.
    virtual std::string refusal() const { return {}; }

#define BRENVIK_PURE_CALL(number, constant, vendor, method, parameters, arguments)                 \
    virtual FtcStatus method parameters = 0;
    BRENVIK_ADAPTER_CALLS(BRENVIK_PURE_CALL)
#undef BRENVIK_PURE_CALL
};

// Declares every call of the interface as overridden, in a class that implements them all.
#define BRENVIK_OVERRIDE_CALL(number, constant, vendor, method, parameters, arguments)             \
    FtcStatus method parameters override;

} // namespace brenvik::device
