// The stand-in adapter library: the virtual bridge and supply behind the same ordinals as the
// vendor's FTCSPI.dll. The bridge is set up at the first call, from the environment
// (virtual_supply/host_options.h), its files beside this library unless the environment says
// otherwise.

#include "framework/module_path.h"
#include "virtual_supply/host_options.h"

#include <chrono>
#include <mutex>
#include <optional>
#include <string>
#include <windows.h>

namespace {

using brenvik::device::FtcHandle;
using brenvik::device::FtcStatus;
using brenvik::vsupply::HostedBridge;
using U32 = std::uint32_t;

// The value of an environment variable, nothing when it is unset or empty.
std::optional<std::filesystem::path> environment(std::string_view name) {
    const std::wstring wide(name.begin(), name.end());
    const DWORD size = GetEnvironmentVariableW(wide.c_str(), nullptr, 0);
    if (size <= 1) {
        return std::nullopt;
    }
    std::wstring value(size, L'\0');
    value.resize(GetEnvironmentVariableW(wide.c_str(), value.data(), size));
    return std::filesystem::path(value);
}

std::filesystem::path libraryFolder() {
    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&libraryFolder), &self);
    return brenvik::framework::modulePath(self).parent_path();
}

struct Host {
    Host()
        : start(std::chrono::steady_clock::now()),
          bridge(brenvik::vsupply::hostOptionsFrom(environment, libraryFolder()), [this] {
              return std::chrono::duration_cast<std::chrono::milliseconds>(
                  std::chrono::steady_clock::now() - start);
          }) {}

    std::chrono::steady_clock::time_point start;
    std::mutex mutex;
    HostedBridge bridge;
};

// The process's one bridge, set up at the first call.
Host& host() {
    static Host instance;
    return instance;
}

// Runs one call on the process's bridge, one call at a time.
template <typename Call>
FtcStatus onBridge(Call&& call) {
    Host& shared = host();
    const std::lock_guard lock(shared.mutex);
    return call(shared.bridge);
}

} // namespace

extern "C" {

U32 __stdcall vsCloseDevice(FtcHandle handle) {
    return onBridge([&](HostedBridge& b) { return b.closeDevice(handle); });
}

U32 __stdcall vsInitDevice(FtcHandle handle, U32 divisor) {
    return onBridge([&](HostedBridge& b) { return b.initDevice(handle, divisor); });
}

U32 __stdcall vsSetClock(FtcHandle handle, U32 divisor, U32* frequency) {
    return onBridge([&](HostedBridge& b) { return b.setClock(handle, divisor, frequency); });
}

U32 __stdcall vsSetLoopback(FtcHandle handle, U32 on) {
    return onBridge([&](HostedBridge& b) { return b.setLoopback(handle, on); });
}

U32 __stdcall vsLibraryVersion(char* buffer, U32 size) {
    return onBridge([&](HostedBridge& b) { return b.getDllVersion(buffer, size); });
}

U32 __stdcall vsCountDevices(U32* count) {
    return onBridge([&](HostedBridge& b) { return b.getNumHiSpeedDevices(count); });
}

U32 __stdcall vsDescribeDevice(U32 index, char* name, U32 nameSize, U32* location, char* channel,
                               U32 channelSize, U32* type) {
    return onBridge([&](HostedBridge& b) {
        return b.getHiSpeedDeviceNameLocIdChannel(index, name, nameSize, location, channel,
                                                  channelSize, type);
    });
}

U32 __stdcall vsOpenDevice(const char* name, U32 location, const char* channel, FtcHandle* handle) {
    return onBridge(
        [&](HostedBridge& b) { return b.openHiSpeedDevice(name, location, channel, handle); });
}

U32 __stdcall vsDeviceType(FtcHandle handle, U32* type) {
    return onBridge([&](HostedBridge& b) { return b.getHiSpeedDeviceType(handle, type); });
}

U32 __stdcall vsDivideByFiveOn(FtcHandle handle) {
    return onBridge([&](HostedBridge& b) { return b.turnOnDivideByFiveClock(handle); });
}

U32 __stdcall vsDivideByFiveOff(FtcHandle handle) {
    return onBridge([&](HostedBridge& b) { return b.turnOffDivideByFiveClock(handle); });
}

U32 __stdcall vsSetLatency(FtcHandle handle, std::uint8_t milliseconds) {
    return onBridge([&](HostedBridge& b) { return b.setDeviceLatencyTimer(handle, milliseconds); });
}

U32 __stdcall vsGetLatency(FtcHandle handle, std::uint8_t* milliseconds) {
    return onBridge([&](HostedBridge& b) { return b.getDeviceLatencyTimer(handle, milliseconds); });
}

U32 __stdcall vsClockFrequency(U32 divisor, U32* frequency) {
    return onBridge([&](HostedBridge& b) { return b.getHiSpeedDeviceClock(divisor, frequency); });
}

U32 __stdcall vsSetPins(FtcHandle handle, const brenvik::device::LowPinStates* low,
                        const brenvik::device::HighPinSettings* high) {
    return onBridge([&](HostedBridge& b) { return b.setHiSpeedDeviceGpios(handle, low, high); });
}

U32 __stdcall vsGetPins(FtcHandle handle, brenvik::device::HighPinStates* high) {
    return onBridge([&](HostedBridge& b) { return b.getHiSpeedDeviceGpios(handle, high); });
}

U32 __stdcall vsTransfer(FtcHandle handle, const brenvik::device::StartCondition* start,
                         U32 frameBitOrder, U32 frameClockEdge, U32 frameBits,
                         const std::uint8_t* frame, U32 frameBytes, U32 replyBitOrder,
                         U32 replyClockEdge, U32 replyBits, std::uint8_t* reply, U32* delivered,
                         const brenvik::device::HighPinRecord* highPins) {
    return onBridge([&](HostedBridge& b) {
        return b.writeRead(handle, start, frameBitOrder, frameClockEdge, frameBits, frame,
                           frameBytes, replyBitOrder, replyClockEdge, replyBits, reply, delivered,
                           highPins);
    });
}

} // extern "C"
