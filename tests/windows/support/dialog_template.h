#pragma once
// Reads an extended dialog template (DIALOGEX) out of a program file's resources, so tests can
// check every control's id, class, text, style and position in dialog units, in template order.

#include "framework/win32.h"

#include <filesystem>
#include <string>
#include <vector>

namespace brenvik::wintest {

struct DialogItem {
    DWORD exStyle = 0;
    DWORD style = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    int id = 0;               // -1 for controls without an id
    std::wstring windowClass; // predefined classes by name: "Button", "Edit", "Static", ...
    std::wstring text;
};

struct DialogTemplate {
    DWORD exStyle = 0;
    DWORD style = 0;
    short cx = 0, cy = 0;
    std::wstring menu; // "#<n>" for a resource ordinal
    std::wstring caption;
    WORD pointSize = 0;
    std::wstring typeface;
    std::vector<DialogItem> items;
};

// Template `id` of the program file `module` (read, not run); throws std::runtime_error when it
// is missing, not an extended template or truncated.
DialogTemplate loadDialogTemplate(const std::filesystem::path& module, int id);

} // namespace brenvik::wintest
