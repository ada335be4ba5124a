#pragma once
// The adapter library as the bridge vendor ships it: FTCSPI.dll, every function resolved by its
// ordinal number. When the library or one of its functions is missing, the calls concerned fail
// with kStatusLibraryMissing instead of crashing, so the program reports a missing adapter in
// its own words.

#include "device/adapter_library.h"
#include "framework/handles.h"

#include <array>
#include <cstdint>
#include <windows.h>

namespace brenvik::device {

// Returned by every call whose function could not be resolved.
inline constexpr FtcStatus kStatusLibraryMissing = 0xFFFF'FFFF;

class FtcspiLibrary final : public AdapterLibrary {
public:
    // Loads the library by the given name or path, searched the usual way (the executable's
    // folder first).
    explicit FtcspiLibrary(const wchar_t* fileName = L"FTCSPI.dll");
    FtcspiLibrary(const FtcspiLibrary&) = delete;
    FtcspiLibrary& operator=(const FtcspiLibrary&) = delete;

    bool loaded() const { return module_.get() != nullptr; }
    // The function behind an ordinal could be resolved.
    bool resolved(std::uint32_t ordinal) const;

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
    FtcStatus openHiSpeedDevice(const char* name, std::uint32_t locationId, const char* channel,
                                FtcHandle* handle) override;
    FtcStatus getHiSpeedDeviceType(FtcHandle handle, std::uint32_t* deviceType) override;
    FtcStatus turnOnDivideByFiveClock(FtcHandle handle) override;
    FtcStatus turnOffDivideByFiveClock(FtcHandle handle) override;
    FtcStatus setDeviceLatencyTimer(FtcHandle handle, std::uint8_t milliseconds) override;
    FtcStatus getDeviceLatencyTimer(FtcHandle handle, std::uint8_t* milliseconds) override;
    FtcStatus getHiSpeedDeviceClock(std::uint32_t clockDivisor,
                                    std::uint32_t* clockFrequencyHz) override;
    FtcStatus setHiSpeedDeviceGpios(FtcHandle handle, const LowPinStates* lowPins,
                                    const HighPinSettings* highPins) override;
    FtcStatus getHiSpeedDeviceGpios(FtcHandle handle, HighPinStates* highPins) override;
    FtcStatus writeRead(FtcHandle handle, const StartCondition* start, std::uint32_t frameBitOrder,
                        std::uint32_t frameClockEdge, std::uint32_t frameBits,
                        const std::uint8_t* frame, std::uint32_t frameBytes,
                        std::uint32_t replyBitOrder, std::uint32_t replyClockEdge,
                        std::uint32_t replyBits, std::uint8_t* reply,
                        std::uint32_t* replyBytesDelivered, const HighPinRecord* highPins) override;

private:
    // Calls the function of an ordinal with its exported signature.
    template <typename Signature, typename... Args>
    FtcStatus call(std::uint32_t ordinal, Args... args) const;

    framework::UniqueModule module_;
    // Resolved entry points by ordinal number; null where missing.
    std::array<FARPROC, 34> functions_{};
};

} // namespace brenvik::device
