#pragma once
// The promise of the INI layer, checked on any file: parsing and writing back unchanged gives
// the same bytes, a value that was set reads back, and nothing but the edited values changes.
// Shared by the randomized edit rounds and the fuzz target.

#include "config/ini_file.h"

#include <cstddef>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace brenvik::testing {

using IniEdits = std::vector<std::pair<std::string, std::string>>; // key, value (ASCII)

namespace detail {

struct Units {
    std::u16string text;
    std::u16string end;
    bool operator==(const Units&) const = default;
};

// The file as lines of code units: 16-bit units after a UTF-16LE mark, bytes otherwise.
inline std::vector<Units> unitLines(std::string_view bytes) {
    std::u16string units;
    if (bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE') {
        for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
            units += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                           static_cast<unsigned char>(bytes[i + 1]) << 8);
        }
    } else {
        if (bytes.starts_with("\xEF\xBB\xBF")) {
            bytes.remove_prefix(3); // a mark, not part of the first line
        }
        for (const char c : bytes) {
            units += static_cast<char16_t>(static_cast<unsigned char>(c));
        }
    }
    std::vector<Units> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < units.size(); ++i) {
        if (units[i] == u'\r' || units[i] == u'\n') {
            const std::size_t length =
                units[i] == u'\r' && i + 1 < units.size() && units[i + 1] == u'\n' ? 2 : 1;
            lines.push_back({units.substr(start, i - start), units.substr(i, length)});
            i += length - 1;
            start = i + 1;
        }
    }
    if (start < units.size()) {
        lines.push_back({units.substr(start), {}});
    }
    return lines;
}

inline std::u16string widen(std::string_view ascii) {
    return {ascii.begin(), ascii.end()};
}

// `changed` is `original` with only its value replaced by one of the edited values.
inline bool valueReplaced(const std::u16string& original, const std::u16string& changed,
                          const IniEdits& edits) {
    const std::size_t equals = original.find(u'=');
    if (equals == std::u16string::npos) {
        return false;
    }
    for (const auto& [key, value] : edits) {
        const std::u16string tail = widen(value);
        if (changed.size() < tail.size() || !changed.ends_with(tail)) {
            continue;
        }
        const std::u16string head = changed.substr(0, changed.size() - tail.size());
        if (head.size() > equals && original.starts_with(head)) {
            return true;
        }
    }
    return false;
}

// A line the writer adds: the section header or one edited key with its value.
inline bool addedLine(const std::u16string& line, std::string_view section, const IniEdits& edits) {
    if (line == u"[" + widen(section) + u"]") {
        return true;
    }
    for (const auto& [key, value] : edits) {
        if (line == widen(key) + u"=" + widen(value)) {
            return true;
        }
    }
    return false;
}

} // namespace detail

// Applies the edits (distinct keys) to `original` in `section` and returns what went wrong, or
// an empty text when every promise held.
inline std::string iniEditProblems(std::string_view original, std::string_view section,
                                   const IniEdits& edits) {
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
    const auto before = detail::unitLines(original);
    const auto after = detail::unitLines(edited);
    std::size_t b = 0;
    std::size_t touched = 0;
    for (const auto& line : after) {
        const bool lastGainedEnd =
            b + 1 == before.size() && before[b].end.empty() && !line.end.empty();
        if (b < before.size() && (line.end == before[b].end || lastGainedEnd)) {
            if (line.text == before[b].text) {
                ++b;
                continue;
            }
            if (detail::valueReplaced(before[b].text, line.text, edits)) {
                ++b;
                ++touched;
                continue;
            }
        }
        if (!detail::addedLine(line.text, section, edits)) {
            return "line " + std::to_string(b + 1) + " of the original is lost or changed";
        }
        if (line.text.front() != u'[') {
            ++touched;
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
