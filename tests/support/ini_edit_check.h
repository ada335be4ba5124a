#pragma once
// The promise of the INI layer, checked on any file: parsing and writing back unchanged gives
// the same bytes, a value that was set reads back, and nothing but the edited values changes.
// Shared by the randomized edit rounds and the fuzz target.

#include "config/ini_file.h"

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace brenvik::testing {

using IniEdits = std::vector<std::pair<std::string, std::string>>; // key, value (ASCII)

namespace detail {

// The file as lines (text, end) of code units: 16-bit units after a UTF-16LE mark, bytes
// otherwise (a UTF-8 mark is not part of the first line).
inline std::vector<std::pair<std::u16string, std::u16string>> unitLines(std::string_view bytes) {
    std::u16string units;
    const bool wide = bytes.starts_with("\xFF\xFE");
    if (!wide && bytes.starts_with("\xEF\xBB\xBF")) {
        bytes.remove_prefix(3);
    }
    for (std::size_t i = wide ? 2 : 0; i + (wide ? 1 : 0) < bytes.size(); i += wide ? 2 : 1) {
        const auto low = static_cast<unsigned char>(bytes[i]);
        units +=
            static_cast<char16_t>(wide ? low | static_cast<unsigned char>(bytes[i + 1]) << 8 : low);
    }
    std::vector<std::pair<std::u16string, std::u16string>> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < units.size(); ++i) {
        if (units[i] == u'\r' || units[i] == u'\n') {
            const std::size_t length =
                units[i] == u'\r' && i + 1 < units.size() && units[i + 1] == u'\n' ? 2 : 1;
            lines.emplace_back(units.substr(start, i - start), units.substr(i, length));
            i += length - 1;
            start = i + 1;
        }
    }
    if (start < units.size()) {
        lines.emplace_back(units.substr(start), u"");
    }
    return lines;
}

inline std::u16string widen(std::string_view ascii) {
    return {ascii.begin(), ascii.end()};
}

} // namespace detail

// Applies the edits (distinct keys) to `original` in `section` and returns what went wrong, or
// an empty text when every promise held.
inline std::string iniEditProblems(std::string_view original, std::string_view section,
                                   const IniEdits& edits) {
    using detail::widen;
    config::IniFile ini = config::IniFile::parse(original);
    if (ini.bytes() != original) {
        return "written back unchanged, the bytes differ";
    }
    for (const auto& [key, value] : edits) {
        ini.setValue(section, key, value);
    }
    const std::string edited = ini.bytes();
    const config::IniFile reread = config::IniFile::parse(edited);
    for (const auto& [key, value] : edits) {
        if (reread.value(section, key) != value) {
            return "key " + key + " does not read back " + value;
        }
    }
    // Every original line stays, in order, with its end (the last may gain one); an edited line
    // keeps everything up to its value; added lines are the section header or edited keys.
    const auto before = detail::unitLines(original);
    std::size_t b = 0;
    std::size_t touched = 0;
    for (const auto& [text, end] : detail::unitLines(edited)) {
        const bool sameEnd =
            b < before.size() &&
            (end == before[b].second || (b + 1 == before.size() && before[b].second.empty()));
        const std::size_t equals = sameEnd ? before[b].first.find(u'=') : std::u16string::npos;
        bool valueReplaced = false;
        bool added = text == u"[" + widen(section) + u"]";
        for (const auto& [key, value] : edits) {
            const std::u16string tail = widen(value);
            const std::size_t head = text.size() - std::min(text.size(), tail.size());
            valueReplaced = valueReplaced || (equals != std::u16string::npos && head > equals &&
                                              text.ends_with(tail) &&
                                              before[b].first.starts_with(text.substr(0, head)));
            added = added || text == widen(key) + u"=" + tail;
        }
        if (sameEnd && text == before[b].first) {
            ++b;
        } else if (valueReplaced) {
            ++b;
            ++touched;
        } else if (added) {
            touched += text.front() != u'[';
        } else {
            return "line " + std::to_string(b + 1) + " of the original is lost or changed";
        }
    }
    if (b != before.size()) {
        return "the original's lines from " + std::to_string(b + 1) + " on are lost";
    }
    // Fewer when a value stood already as set; never more.
    if (touched > edits.size()) {
        return std::to_string(touched) + " lines touched for " + std::to_string(edits.size()) +
               " edits";
    }
    return {};
}

} // namespace brenvik::testing
