#include "device/ftcspi_library_win32.h"

namespace brenvik::device {

namespace {

using Handle = FtcHandle;
using U32 = std::uint32_t;
using CloseFn = U32(__stdcall*)(Handle);
using InitFn = U32(__stdcall*)(Handle, U32);
using SetClockFn = U32(__stdcall*)(Handle, U32, U32*);
using SetLoopbackFn = U32(__stdcall*)(Handle, U32);
using DllVersionFn = U32(__stdcall*)(char*, U32);
using CountFn = U32(__stdcall*)(U32*);
using DescribeFn = U32(__stdcall*)(U32, char*, U32, U32*, char*, U32, U32*);
using OpenFn = U32(__stdcall*)(const char*, U32, const char*, Handle*);
using DeviceTypeFn = U32(__stdcall*)(Handle, U32*);
using HandleFn = U32(__stdcall*)(Handle);
using SetLatencyFn = U32(__stdcall*)(Handle, std::uint8_t);
using GetLatencyFn = U32(__stdcall*)(Handle, std::uint8_t*);
using ClockQueryFn = U32(__stdcall*)(U32, U32*);
using SetPinsFn = U32(__stdcall*)(Handle, const LowPinStates*, const HighPinSettings*);
using GetPinsFn = U32(__stdcall*)(Handle, HighPinStates*);
using TransferFn = U32(__stdcall*)(Handle, const StartCondition*, U32, U32, U32,
                                   const std::uint8_t*, U32, U32, U32, U32, std::uint8_t*, U32*,
                                   const HighPinRecord*);

} // namespace

FtcspiLibrary::FtcspiLibrary(const wchar_t* fileName) : module_(LoadLibraryW(fileName)) {
    if (module_.get() == nullptr) {
        return;
    }
    for (const auto ordinal : kAllOrdinals) {
        functions_[ordinal] = GetProcAddress(module_.get(), MAKEINTRESOURCEA(ordinal));
    }
}

bool FtcspiLibrary::resolved(std::uint32_t ordinal) const {
    return ordinal < functions_.size() && functions_[ordinal] != nullptr;
}

template <typename Signature, typename... Args>
FtcStatus FtcspiLibrary::call(std::uint32_t ordinal, Args... args) const {
    if (!resolved(ordinal)) {
        return kStatusLibraryMissing;
    }
    // GetProcAddress hands out a generic pointer; the ordinal fixes the real signature.
    const auto function =
        reinterpret_cast<Signature>(reinterpret_cast<void (*)()>(functions_[ordinal]));
    return function(args...);
}

FtcStatus FtcspiLibrary::closeDevice(FtcHandle handle) {
    return call<CloseFn>(ordinal::kClose, handle);
}

FtcStatus FtcspiLibrary::initDevice(FtcHandle handle, std::uint32_t clockDivisor) {
    return call<InitFn>(ordinal::kInit, handle, clockDivisor);
}

FtcStatus FtcspiLibrary::setClock(FtcHandle handle, std::uint32_t clockDivisor,
                                  std::uint32_t* clockFrequencyHz) {
    return call<SetClockFn>(ordinal::kSetClock, handle, clockDivisor, clockFrequencyHz);
}

FtcStatus FtcspiLibrary::setLoopback(FtcHandle handle, std::uint32_t loopbackOn) {
    return call<SetLoopbackFn>(ordinal::kSetLoopback, handle, loopbackOn);
}

FtcStatus FtcspiLibrary::getDllVersion(char* buffer, std::uint32_t bufferSize) {
    return call<DllVersionFn>(ordinal::kDllVersion, buffer, bufferSize);
}

FtcStatus FtcspiLibrary::getNumHiSpeedDevices(std::uint32_t* count) {
    return call<CountFn>(ordinal::kCount, count);
}

FtcStatus FtcspiLibrary::getHiSpeedDeviceNameLocIdChannel(std::uint32_t index, char* name,
                                                          std::uint32_t nameSize,
                                                          std::uint32_t* locationId, char* channel,
                                                          std::uint32_t channelSize,
                                                          std::uint32_t* deviceType) {
    return call<DescribeFn>(ordinal::kDescribe, index, name, nameSize, locationId, channel,
                            channelSize, deviceType);
}

FtcStatus FtcspiLibrary::openHiSpeedDevice(const char* name, std::uint32_t locationId,
                                           const char* channel, FtcHandle* handle) {
    return call<OpenFn>(ordinal::kOpen, name, locationId, channel, handle);
}

FtcStatus FtcspiLibrary::getHiSpeedDeviceType(FtcHandle handle, std::uint32_t* deviceType) {
    return call<DeviceTypeFn>(ordinal::kDeviceType, handle, deviceType);
}

FtcStatus FtcspiLibrary::turnOnDivideByFiveClock(FtcHandle handle) {
    return call<HandleFn>(ordinal::kDivideByFiveOn, handle);
}

FtcStatus FtcspiLibrary::turnOffDivideByFiveClock(FtcHandle handle) {
    return call<HandleFn>(ordinal::kDivideByFiveOff, handle);
}

FtcStatus FtcspiLibrary::setDeviceLatencyTimer(FtcHandle handle, std::uint8_t milliseconds) {
    return call<SetLatencyFn>(ordinal::kSetLatency, handle, milliseconds);
}

FtcStatus FtcspiLibrary::getDeviceLatencyTimer(FtcHandle handle, std::uint8_t* milliseconds) {
    return call<GetLatencyFn>(ordinal::kGetLatency, handle, milliseconds);
}

FtcStatus FtcspiLibrary::getHiSpeedDeviceClock(std::uint32_t clockDivisor,
                                               std::uint32_t* clockFrequencyHz) {
    return call<ClockQueryFn>(ordinal::kClockQuery, clockDivisor, clockFrequencyHz);
}

FtcStatus FtcspiLibrary::setHiSpeedDeviceGpios(FtcHandle handle, const LowPinStates* lowPins,
                                               const HighPinSettings* highPins) {
    return call<SetPinsFn>(ordinal::kSetPins, handle, lowPins, highPins);
}

FtcStatus FtcspiLibrary::getHiSpeedDeviceGpios(FtcHandle handle, HighPinStates* highPins) {
    return call<GetPinsFn>(ordinal::kGetPins, handle, highPins);
}

FtcStatus FtcspiLibrary::writeRead(FtcHandle handle, const StartCondition* start,
                                   std::uint32_t frameBitOrder, std::uint32_t frameClockEdge,
                                   std::uint32_t frameBits, const std::uint8_t* frame,
                                   std::uint32_t frameBytes, std::uint32_t replyBitOrder,
                                   std::uint32_t replyClockEdge, std::uint32_t replyBits,
                                   std::uint8_t* reply, std::uint32_t* replyBytesDelivered,
                                   const HighPinRecord* highPins) {
    return call<TransferFn>(ordinal::kTransfer, handle, start, frameBitOrder, frameClockEdge,
                            frameBits, frame, frameBytes, replyBitOrder, replyClockEdge, replyBits,
                            reply, replyBytesDelivered, highPins);
}

} // namespace brenvik::device
