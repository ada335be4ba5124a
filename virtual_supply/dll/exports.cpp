// The stand-in adapter library: the virtual bridge and supply behind the same ordinals and names
// as the vendor's FTCSPI.dll. The bridge is set up at the first call, from the environment
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

using brenvik::device::FtcStatus;
using brenvik::vsupply::HostedBridge;

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
    return call(static_cast<brenvik::device::AdapterLibrary&>(shared.bridge));
}

} // namespace

// Every export under the vendor's name, ftcspi.def giving each its ordinal.
extern "C" {
using namespace brenvik::device;
#define BRENVIK_EXPORT_CALL(number, constant, vendor, method, parameters, arguments)               \
    FtcStatus __stdcall vendor parameters {                                                        \
        return onBridge([&](AdapterLibrary& library) { return library.method arguments; });        \
    }
BRENVIK_ADAPTER_CALLS(BRENVIK_EXPORT_CALL)
#undef BRENVIK_EXPORT_CALL
} // extern "C"
