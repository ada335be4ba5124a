#pragma once
// The check the program makes on an adapter library before calling it. The ordinals 20-33 are
// not confirmed from a shipped build of the vendor's library, so a library that exports names
// must export each called ordinal under the vendor's name for it: a library whose names sit at
// other ordinals would be called with the wrong arguments and could corrupt the stack. A library
// without names is taken as it is.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace brenvik::device {

// What a library exports: the address of each ordinal, and the ordinal behind each name.
struct ExportTable {
    std::map<std::uint32_t, std::uintptr_t> addressByOrdinal;
    std::map<std::string, std::uint32_t, std::less<>> ordinalByName;
};

// The first called ordinal that does not resolve to the same address as its vendor name.
struct ExportMismatch {
    std::uint32_t ordinal = 0;
    std::string_view expectedName;
    std::string foundName; // a name exported at that ordinal's address; empty for none

    bool operator==(const ExportMismatch&) const = default;
};

std::optional<ExportMismatch> checkExports(const ExportTable& exports);

// One line for the operator: the library's path, the ordinal and what was found there.
std::string describeMismatch(std::string_view libraryPath, const ExportMismatch& mismatch);

} // namespace brenvik::device
