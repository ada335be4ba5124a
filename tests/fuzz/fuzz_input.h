#pragma once
// Shared by the fuzz targets: the input after its first byte (which picks what the rest is
// taken as), and a broken promise that stops the run with its description.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace brenvik::fuzz {

inline std::string_view afterFirst(const std::uint8_t* data, std::size_t size) {
    return size == 0 ? std::string_view()
                     : std::string_view(reinterpret_cast<const char*>(data + 1), size - 1);
}

inline void require(bool kept, const std::string& promise) {
    if (!kept) {
        std::fprintf(stderr, "%s\n", promise.c_str());
        std::abort();
    }
}

} // namespace brenvik::fuzz
