#pragma once
// The live page's files, built into the program from serve/page/ and the chart library's Debian
// package, so the page needs nothing from outside.

#include <span>
#include <string_view>
#include <vector>

namespace brenvik::serve {

struct PageAsset {
    std::string_view path; // "/", "/app.js", ...
    std::string_view contentType;
    std::span<const unsigned char> bytes;
};

const std::vector<PageAsset>& pageAssets();

} // namespace brenvik::serve
