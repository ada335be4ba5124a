#include "win32/module_path.h"

#include <string>
#include <system_error>

namespace brenvik::win32 {
namespace {

// Longest path the Windows API can hand out, with room for the terminator.
constexpr DWORD kLongestPath = 32768;

} // namespace

std::filesystem::path modulePath(HMODULE module, DWORD initialCapacity) {
    DWORD capacity = initialCapacity == 0 ? 1 : initialCapacity;
    for (;;) {
        std::wstring buffer(capacity, L'\0');
        const DWORD length = ::GetModuleFileNameW(module, buffer.data(), capacity);
        if (length == 0) {
            throw std::system_error(static_cast<int>(::GetLastError()), std::system_category(),
                                    "GetModuleFileNameW");
        }
        // A result that fills the whole buffer may have been cut off: try again with more room.
        if (length < capacity) {
            buffer.resize(length);
            return buffer;
        }
        if (capacity >= kLongestPath) {
            throw std::length_error("module path longer than the Windows API allows");
        }
        capacity = capacity * 2 > kLongestPath ? kLongestPath : capacity * 2;
    }
}

} // namespace brenvik::win32
