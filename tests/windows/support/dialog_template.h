#pragma once
// Reads an extended dialog template (DIALOGEX) out of a program's resources, so tests can check
// every control's id, class, text, style and position in dialog units, in template order.

#include "framework/win32.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace brenvik::wintest {

struct DialogItem {
    DWORD exStyle = 0;
    DWORD style = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    int id = 0;               // -1 for controls without an id
    std::wstring windowClass; // predefined classes by name: "Button", "Edit", "Static", ...
    std::wstring text;        // "#<n>" for a resource ordinal
};

struct DialogTemplate {
    DWORD exStyle = 0;
    DWORD style = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    std::wstring menu; // "#<n>" for a resource ordinal, empty for none
    std::wstring windowClass;
    std::wstring caption;
    WORD pointSize = 0;
    WORD weight = 0;
    bool italic = false;
    std::wstring typeface;
    std::vector<DialogItem> items;
};

// Parses DLGTEMPLATEEX data; throws std::runtime_error for anything else or truncated data.
DialogTemplate parseDialogTemplate(std::span<const std::byte> data);

// Loads template `id` from the resources of the program file `module` (not run, only read).
DialogTemplate loadDialogTemplate(const std::filesystem::path& module, int id);

// Raw data of resource (`type`, `id`) of the program file `module`.
std::vector<std::byte> loadResource(const std::filesystem::path& module, LPCWSTR type, int id);

} // namespace brenvik::wintest
