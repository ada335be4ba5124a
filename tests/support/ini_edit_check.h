#pragma once
// The promise of the INI layer, checked on any file: parsing and writing back unchanged gives
// the same bytes, a value that was set reads back, and nothing but the edited values changes.
// Shared by the randomized edit rounds and the fuzz target.

#include "config/ini_file.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace brenvik::testing {

using IniEdits = std::vector<std::pair<std::string, std::string>>; // key, value (ASCII)

namespace detail {

using Units = std::u16string;

// The file as lines (text, end) of code units: 16-bit units after a UTF-16LE mark, bytes
// otherwise (a UTF-8 mark is not part of the first line).
inline std::vector<std::pair<Units, Units>> unitLines(std::string_view bytes) {
    const bool wide = bytes.starts_with("\xFF\xFE");
    bytes.remove_prefix(wide ? 2 : bytes.starts_with("\xEF\xBB\xBF") ? 3 : 0);
    Units units;
    for (std::size_t i = 0; i + wide < bytes.size(); i += 1 + wide) {
        const auto byte = [&](std::size_t at) { return static_cast<unsigned char>(bytes[at]); };
        units += static_cast<char16_t>(wide ? byte(i) | byte(i + 1) << 8 : byte(i));
    }
    std::vector<std::pair<Units, Units>> lines;
    for (std::size_t start = 0, end = 0; start < units.size(); start = end) {
        const std::size_t at = std::min(units.find_first_of(u"\r\n", start), units.size());
        end = std::min(at + (units.compare(at, 2, u"\r\n") == 0 ? 2 : 1), units.size());
        lines.emplace_back(units.substr(start, at - start), units.substr(at, end - at));
    }
    return lines;
}

} // namespace detail

// Applies the edits (distinct keys) to `original` in `section` and returns what went wrong, or
// an empty text when every promise held.
inline std::string iniEditProblems(std::string_view original, std::string_view section,
                                   const IniEdits& edits) {
    const auto widen = [](std::string_view ascii) {
        return detail::Units(ascii.begin(), ascii.end());
    };
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
        const std::size_t equals = sameEnd ? before[b].first.find(u'=') : detail::Units::npos;
        bool valueReplaced = false;
        bool added = text == u"[" + widen(section) + u"]";
        for (const auto& [key, value] : edits) {
            const std::size_t head = text.size() - std::min(text.size(), value.size());
            valueReplaced = valueReplaced || (equals != detail::Units::npos && head > equals &&
                                              text.ends_with(widen(value)) &&
                                              before[b].first.starts_with(text.substr(0, head)));
            added = added || text == widen(key) + u"=" + widen(value);
        }
        if (sameEnd && (text == before[b].first || valueReplaced)) {
            touched += text != before[b++].first;
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
