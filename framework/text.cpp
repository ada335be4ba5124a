#include "framework/text.h"

#include "win32/win32.h"

#include <limits>
#include <stdexcept>

namespace brenvik::framework {
namespace {

int checkedLength(std::size_t size) {
    if (size > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
        throw std::length_error("text too long for the Windows API");
    }
    return static_cast<int>(size);
}

} // namespace

std::wstring widen(std::string_view utf8) {
    if (utf8.empty()) {
        return {};
    }
    const int inLength = checkedLength(utf8.size());
    const int outLength = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), inLength, nullptr, 0);
    std::wstring out(static_cast<std::size_t>(outLength), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), inLength, out.data(), outLength);
    return out;
}

std::string narrow(std::wstring_view utf16) {
    if (utf16.empty()) {
        return {};
    }
    const int inLength = checkedLength(utf16.size());
    const int outLength =
        ::WideCharToMultiByte(CP_UTF8, 0, utf16.data(), inLength, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(outLength), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, utf16.data(), inLength, out.data(), outLength, nullptr,
                          nullptr);
    return out;
}

std::wstring windowText(HWND window) {
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        ::GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

} // namespace brenvik::framework
