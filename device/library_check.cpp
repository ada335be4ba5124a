#include "device/library_check.h"

#include "device/adapter_library.h"

namespace brenvik::device {

std::optional<ExportMismatch> checkExports(const ExportTable& exports) {
    if (exports.ordinalByName.empty()) {
        return std::nullopt;
    }
    const auto addressOf = [&](std::uint32_t ordinal) -> std::optional<std::uintptr_t> {
        const auto found = exports.addressByOrdinal.find(ordinal);
        return found == exports.addressByOrdinal.end() ? std::nullopt
                                                       : std::optional(found->second);
    };
    for (const AdapterCall& call : kAdapterCalls) {
        const auto address = addressOf(call.ordinal);
        const auto named = exports.ordinalByName.find(call.vendorName);
        if (address && named != exports.ordinalByName.end() &&
            addressOf(named->second) == address) {
            continue;
        }
        ExportMismatch mismatch{call.ordinal, call.vendorName, {}};
        for (const auto& [name, ordinal] : exports.ordinalByName) {
            if (address && addressOf(ordinal) == address) {
                mismatch.foundName = name;
                break;
            }
        }
        return mismatch;
    }
    return std::nullopt;
}

std::string describeMismatch(std::string_view libraryPath, const ExportMismatch& mismatch) {
    const std::string found =
        mismatch.foundName.empty() ? "no name" : "the name " + mismatch.foundName;
    return std::string(libraryPath) + ": ordinal " + std::to_string(mismatch.ordinal) +
           " carries " + found + " instead of " + std::string(mismatch.expectedName) +
           "; the adapter library is not used";
}

} // namespace brenvik::device
