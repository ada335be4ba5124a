#pragma once
// Conversions between the program's UTF-8 texts and the UTF-16 of the Windows API. Invalid
// input never fails: broken sequences become U+FFFD.

#include <string>
#include <string_view>

namespace brenvik::framework {

std::wstring widen(std::string_view utf8);
std::string narrow(std::wstring_view utf16);

} // namespace brenvik::framework
