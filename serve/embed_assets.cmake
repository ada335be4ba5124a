# Writes OUTPUT, a C++ file defining brenvik::serve::pageAssets() with the bytes of each file of
# ASSETS, "url-path|content-type|file" entries separated by commas.
string(REPLACE "," ";" ASSETS "${ASSETS}")
set(body "")
set(table "")
set(n 0)
foreach(entry IN LISTS ASSETS)
    string(REPLACE "|" ";" parts "${entry}")
    list(GET parts 0 url)
    list(GET parts 1 type)
    list(GET parts 2 file)
    file(READ "${file}" hex HEX)
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," hex "${hex}")
    string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n" hex "${hex}")
    string(APPEND body "constexpr unsigned char asset${n}[] = {\n${hex}};\n")
    string(APPEND table "        {\"${url}\", \"${type}\", asset${n}},\n")
    math(EXPR n "${n} + 1")
endforeach()
file(WRITE "${OUTPUT}.tmp" "// Generated from the page's files at build time; do not edit.
#include \"serve/page_assets.h\"

namespace brenvik::serve {
namespace {
${body}} // namespace

const std::vector<PageAsset>& pageAssets() {
    static const std::vector<PageAsset> assets{
${table}    };
    return assets;
}

} // namespace brenvik::serve
")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
