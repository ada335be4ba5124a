// The stand-in adapter library: the virtual bridge and supply behind the same ordinals as the
// vendor's FTCSPI.dll. The bridge is set up at the first call, from the environment:
//   BRENVIK_VSUPPLY_SCENARIO  scenario file (default: virtual-supply-scenario.txt beside this
//                             library if there is one, as in the demo installation; otherwise a
//                             model-1 supply with plausible values)
//   BRENVIK_VSUPPLY_STATE     state file (default: virtual-supply-state.txt beside this library;
//                             "none" keeps nothing across runs)
//   BRENVIK_VSUPPLY_TRACE     trace file to append every call to (default: no trace)

#include "virtual_supply/hosted_bridge.h"

#include <chrono>
#include <mutex>
#include <optional>
#include <string>
#include <windows.h>

namespace {

using brenvik::device::FtcHandle;
using brenvik::device::FtcStatus;
using brenvik::vsupply::HostedBridge;
using brenvik::vsupply::HostOptions;
using U32 = std::uint32_t;

// The value of an environment variable, nothing when it is unset or empty.
std::optional<std::wstring> environment(const wchar_t* name) {
    const DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
    if (size <= 1) {
        return std::nullopt;
    }
    std::wstring value(size, L'\0');
    const DWORD length = GetEnvironmentVariableW(name, value.data(), size);
    value.resize(length);
    return value;
}

std::filesystem::path libraryFolder() {
    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&libraryFolder), &self);
    // Grows the buffer until the whole path fits, however deep the folder lies.
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(self, path.data(), static_cast<DWORD>(path.size()));
        if (length < path.size()) {
            path.resize(length);
            return std::filesystem::path(path).parent_path();
        }
        path.resize(path.size() * 2);
    }
}

HostOptions optionsFromEnvironment() {
    HostOptions options;
    if (const auto scenario = environment(L"BRENVIK_VSUPPLY_SCENARIO")) {
        options.scenarioFile = *scenario;
    } else {
        std::error_code error;
        auto beside = libraryFolder() / L"virtual-supply-scenario.txt";
        if (std::filesystem::exists(beside, error)) {
            options.scenarioFile = std::move(beside);
        }
    }
    const auto state = environment(L"BRENVIK_VSUPPLY_STATE");
    if (!state) {
        options.stateFile = libraryFolder() / L"virtual-supply-state.txt";
    } else if (*state != L"none") {
        options.stateFile = *state;
    }
    if (const auto trace = environment(L"BRENVIK_VSUPPLY_TRACE")) {
        options.traceFile = *trace;
    }
    return options;
}

struct Host {
    Host()
        : start(std::chrono::steady_clock::now()), bridge(optionsFromEnvironment(), [this] {
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
