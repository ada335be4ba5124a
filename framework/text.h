#pragma once
// Conversions between the program's UTF-8 texts and the UTF-16 of the Windows API. Invalid
// input never fails: broken sequences become U+FFFD.

#include "win32/win32.h"

#include <string>
#include <string_view>

namespace brenvik::framework {

std::wstring widen(std::string_view utf8);
std::string narrow(std::wstring_view utf16);

// The whole window text of a window or control; empty when it has none.
std::wstring windowText(HWND window);

} // namespace brenvik::framework
