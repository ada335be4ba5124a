// The stand-in adapter library: the virtual bridge and supply behind the same ordinals and names
// as the vendor's FTCSPI.dll. The bridge is set up at the first call, from the environment:
//   BRENVIK_VSUPPLY_SCENARIO  scenario file (default: virtual-supply-scenario.txt beside this
//                             library if there is one, as in the demo installation; otherwise a
//                             model-1 supply with plausible values)
//   BRENVIK_VSUPPLY_STATE     state file (default: virtual-supply-state.txt beside this library;
//                             "none" keeps nothing across runs)
//   BRENVIK_VSUPPLY_TRACE     trace file to append every call to (default: no trace)
//   BRENVIK_VSUPPLY_LOCKS     folder of the locks by which processes share the virtual bridges
//                             (default: the temporary folder)

#include "virtual_supply/hosted_bridge.h"

#include <chrono>
#include <mutex>
#include <optional>
#include <string>
#include <windows.h>

namespace {

using brenvik::device::FtcStatus;
using brenvik::vsupply::HostedBridge;
using brenvik::vsupply::HostOptions;

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
    if (const auto locks = environment(L"BRENVIK_VSUPPLY_LOCKS")) {
        options.lockFolder = *locks;
    } else {
        std::error_code error;
        options.lockFolder = std::filesystem::temp_directory_path(error);
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
