#include "device/ftcspi_library_win32.h"

#include <vector>

namespace brenvik::device {

namespace {

// The names and ordinals a loaded module exports, read from its export directory.
ExportTable exportsOf(HMODULE module) {
    ExportTable table;
    const auto base = reinterpret_cast<const std::uint8_t*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& entry =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    if (entry.VirtualAddress == 0 || entry.Size == 0) {
        return table;
    }
    const auto* directory =
        reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + entry.VirtualAddress);
    const auto* functions = reinterpret_cast<const DWORD*>(base + directory->AddressOfFunctions);
    const auto* names = reinterpret_cast<const DWORD*>(base + directory->AddressOfNames);
    const auto* nameIndexes =
        reinterpret_cast<const WORD*>(base + directory->AddressOfNameOrdinals);
    for (DWORD i = 0; i < directory->NumberOfFunctions; ++i) {
        if (functions[i] != 0) {
            table.addressByOrdinal[directory->Base + i] = functions[i];
        }
    }
    for (DWORD i = 0; i < directory->NumberOfNames; ++i) {
        table.ordinalByName[reinterpret_cast<const char*>(base + names[i])] =
            directory->Base + nameIndexes[i];
    }
    return table;
}

std::string modulePath(HMODULE module) {
    std::vector<wchar_t> path(MAX_PATH);
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
        if (length < path.size()) {
            const int bytes = WideCharToMultiByte(CP_UTF8, 0, path.data(), static_cast<int>(length),
                                                  nullptr, 0, nullptr, nullptr);
            std::string text(static_cast<std::size_t>(bytes), '\0');
            WideCharToMultiByte(CP_UTF8, 0, path.data(), static_cast<int>(length), text.data(),
                                bytes, nullptr, nullptr);
            return text;
        }
        path.resize(path.size() * 2);
    }
}

} // namespace

FtcspiLibrary::FtcspiLibrary(const wchar_t* fileName) : module_(LoadLibraryW(fileName)) {
    if (module_.get() == nullptr) {
        return;
    }
    if (const auto mismatch = checkExports(exportsOf(module_.get()))) {
        refusal_ = describeMismatch(modulePath(module_.get()), *mismatch);
        module_.reset();
        return;
    }
    for (const auto ordinal : kAllOrdinals) {
        functions_[ordinal] = GetProcAddress(module_.get(), MAKEINTRESOURCEA(ordinal));
    }
}

bool FtcspiLibrary::resolved(std::uint32_t ordinal) const {
    return ordinal < functions_.size() && functions_[ordinal] != nullptr;
}

// GetProcAddress hands out a generic pointer; the ordinal fixes the real signature.
#define BRENVIK_CALL_BY_ORDINAL(number, constant, vendor, method, parameters, arguments)           \
    FtcStatus FtcspiLibrary::method parameters {                                                   \
        if (!resolved(number)) {                                                                   \
            return kStatusLibraryMissing;                                                          \
        }                                                                                          \
        using Function = FtcStatus(__stdcall*) parameters;                                         \
        return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(functions_[number]))        \
            arguments;                                                                             \
    }
BRENVIK_ADAPTER_CALLS(BRENVIK_CALL_BY_ORDINAL)
#undef BRENVIK_CALL_BY_ORDINAL

} // namespace brenvik::device
