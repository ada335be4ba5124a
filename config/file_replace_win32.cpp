#include "config/file_replace_win32.h"

#include <windows.h>

namespace brenvik::config {

bool replaceKeepingIdentity(const std::filesystem::path& replacement,
                            const std::filesystem::path& target) {
    std::error_code ec;
    if (!std::filesystem::exists(target, ec)) {
        return ::MoveFileExW(replacement.c_str(), target.c_str(),
                             MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    }
    const DWORD attributes = ::GetFileAttributesW(target.c_str());
    if (!::ReplaceFileW(target.c_str(), replacement.c_str(), nullptr,
                        REPLACEFILE_IGNORE_MERGE_ERRORS | REPLACEFILE_IGNORE_ACL_ERRORS, nullptr,
                        nullptr)) {
        return false;
    }
    // Not every implementation of the call carries the attributes over; put them back.
    constexpr DWORD kKept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                            FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        (::GetFileAttributesW(target.c_str()) & kKept) != (attributes & kKept)) {
        ::SetFileAttributesW(target.c_str(), attributes & kKept);
    }
    return true;
}

} // namespace brenvik::config
