#pragma once
// The adapter library as the bridge vendor ships it: FTCSPI.dll, every function resolved by its
// ordinal number. Before anything is called, a library that exports names must carry the
// vendor's name at each ordinal the program calls; one that does not is let go at once and
// treated as missing. When the library or one of its functions is missing, the calls concerned
// fail with kStatusLibraryMissing instead of crashing, so the program reports a missing adapter
// in its own words.

#include "device/adapter_library.h"
#include "device/library_check.h"
#include "framework/handles.h"

#include <array>
#include <cstdint>
#include <string>
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
    // A library that was found but is not used: its path, the ordinal and the name found there.
    std::string refusal() const override { return refusal_; }

    BRENVIK_ADAPTER_CALLS(BRENVIK_OVERRIDE_CALL)

private:
    framework::UniqueModule module_;
    // Resolved entry points by ordinal number; null where missing.
    std::array<FARPROC, 34> functions_{};
    std::string refusal_;
};

} // namespace brenvik::device
