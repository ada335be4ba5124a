#include "config/ini_file.h"

#include <fstream>
#include <iterator>
#include <memory>
#include <ostream>
#include <random>
#include <system_error>

#ifdef _WIN32
#include "config/file_replace_win32.h"
#endif

namespace brenvik::config {
namespace {

namespace fs = std::filesystem;

bool isBlank(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\v' || c == u'\f';
}

std::u16string_view trim(std::u16string_view text) {
    while (!text.empty() && isBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

char16_t asciiLower(char16_t c) {
    return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

bool equalsIgnoringCase(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (asciiLower(a[i]) != asciiLower(b[i])) {
            return false;
        }
    }
    return true;
}

// Name of the section a header line opens, or nothing for any other line.
std::optional<std::u16string_view> sectionName(std::u16string_view line) {
    line = trim(line);
    if (line.empty() || line.front() != u'[') {
        return std::nullopt;
    }
    const std::size_t close = line.find(u']');
    if (close == std::u16string_view::npos) {
        return std::nullopt;
    }
    return trim(line.substr(1, close - 1));
}

struct KeyLine {
    std::u16string_view key;
    std::size_t valueStart; // first character of the value, blanks after '=' skipped
};

std::optional<KeyLine> keyLine(std::u16string_view line) {
    const std::size_t equals = line.find(u'=');
    if (equals == std::u16string_view::npos) {
        return std::nullopt;
    }
    const std::u16string_view key = trim(line.substr(0, equals));
    if (key.empty()) {
        return std::nullopt;
    }
    std::size_t start = equals + 1;
    while (start < line.size() && isBlank(line[start])) {
        ++start;
    }
    return KeyLine{key, start};
}

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

constexpr char32_t kReplacement = 0xFFFD;
constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

std::string utf16ToUtf8(std::u16string_view units) {
    std::string out;
    for (std::size_t i = 0; i < units.size(); ++i) {
        const char32_t u = units[i];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
            units[i + 1] <= 0xDFFF) {
            appendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (units[i + 1] - 0xDC00));
            ++i;
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            appendUtf8(out, kReplacement);
        } else {
            appendUtf8(out, u);
        }
    }
    return out;
}

std::u16string utf8ToUtf16(std::string_view text) {
    std::u16string out;
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = 0;
        char32_t cp = 0;
        if (lead < 0x80) {
            length = 1;
            cp = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            length = 2;
            cp = lead & 0x1F;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3;
            cp = lead & 0x0F;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4;
            cp = lead & 0x07;
        }
        bool ok = length != 0 && i + length <= text.size();
        for (std::size_t k = 1; ok && k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            ok = (next & 0xC0) == 0x80;
            cp = (cp << 6) | (next & 0x3F);
        }
        if (!ok || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            out += static_cast<char16_t>(kReplacement);
            ++i;
            continue;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
        i += length;
    }
    return out;
}

// The form of `file` to hand to the file system. Windows refuses paths past its classic length
// limit unless they are absolute and in extended-length form.
fs::path systemPath(const fs::path& file) {
#ifdef _WIN32
    // Leaves room for the temporary file's suffix below the classic limit of 260.
    constexpr std::size_t kClassicLimit = 200;
    const fs::path::string_type prefix = L"\\\\?\\";
    if (file.native().starts_with(prefix)) {
        return file;
    }
    const fs::path full = fs::path(file).make_preferred().lexically_normal();
    const fs::path::string_type& text = full.native();
    if (!full.is_absolute() || text.size() < kClassicLimit) {
        return file;
    }
    if (text.starts_with(L"\\\\")) {
        return fs::path(prefix + L"UNC\\" + text.substr(2));
    }
    return fs::path(prefix + text);
#else
    return file;
#endif
}

fs::path temporaryBeside(const fs::path& target) {
    static std::random_device source;
    static unsigned counter = 0;
    fs::path candidate;
    std::error_code ec;
    do {
        std::string suffix(1, '.');
        suffix.append(std::to_string(source())).append(1, '-');
        suffix.append(std::to_string(++counter)).append(".tmp");
        candidate = target;
        candidate += suffix;
    } while (fs::exists(candidate, ec));
    return candidate;
}

} // namespace

std::optional<IniFile> IniFile::load(const fs::path& requested) {
    const fs::path file = systemPath(requested);
    std::error_code ec;
    const fs::file_status status = fs::status(file, ec);
    if (status.type() == fs::file_type::not_found) {
        return IniFile{};
    }
    if (!fs::is_regular_file(status)) {
        return std::nullopt;
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad()) {
        return std::nullopt;
    }
    return parse(bytes);
}

IniFile IniFile::parse(std::string_view bytes) {
    IniFile ini;
    std::u16string units;
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        ini.encoding_ = Encoding::Utf16Le;
        bytes.remove_prefix(2);
        for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
            units += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                           (static_cast<unsigned char>(bytes[i + 1]) << 8));
        }
        if (bytes.size() % 2 != 0) {
            ini.oddTrailingByte_ = std::string(1, bytes.back());
        }
    } else {
        if (bytes.starts_with(kUtf8Mark)) {
            ini.encoding_ = Encoding::Utf8;
            bytes.remove_prefix(kUtf8Mark.size());
        }
        for (char c : bytes) {
            units += static_cast<char16_t>(static_cast<unsigned char>(c));
        }
    }

    std::size_t start = 0;
    for (std::size_t i = 0; i < units.size(); ++i) {
        if (units[i] != u'\r' && units[i] != u'\n') {
            continue;
        }
        std::size_t endLength = 1;
        if (units[i] == u'\r' && i + 1 < units.size() && units[i + 1] == u'\n') {
            endLength = 2;
        }
        ini.lines_.push_back({units.substr(start, i - start), units.substr(i, endLength)});
        i += endLength - 1;
        start = i + 1;
    }
    if (start < units.size()) {
        ini.lines_.push_back({units.substr(start), {}});
    }
    return ini;
}

std::optional<std::string> IniFile::value(std::string_view section, std::string_view key) const {
    const std::u16string wantedSection = toUnits(section);
    const std::u16string wantedKey = toUnits(key);
    bool inSection = false;
    for (const Line& line : lines_) {
        if (auto name = sectionName(line.text)) {
            inSection = equalsIgnoringCase(*name, wantedSection);
            continue;
        }
        if (!inSection) {
            continue;
        }
        if (auto found = keyLine(line.text); found && equalsIgnoringCase(found->key, wantedKey)) {
            std::u16string_view value =
                trim(std::u16string_view(line.text).substr(found->valueStart));
            if (value.size() >= 2 && value.front() == value.back() &&
                (value.front() == u'"' || value.front() == u'\'')) {
                value = value.substr(1, value.size() - 2);
            }
            return fromUnits(value);
        }
    }
    return std::nullopt;
}

void IniFile::setValue(std::string_view section, std::string_view key, std::string_view value) {
    const std::u16string wantedSection = toUnits(section);
    const std::u16string wantedKey = toUnits(key);
    const std::u16string newValue = toUnits(value);

    bool found = false;          // the first matching section exists
    bool inFirstSection = false; // walking the first matching section
    std::size_t insertAfter = 0; // its last line that is not blank
    bool inSection = false;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        Line& line = lines_[i];
        if (auto name = sectionName(line.text)) {
            inSection = equalsIgnoringCase(*name, wantedSection);
            inFirstSection = inSection && !found;
            if (inFirstSection) {
                found = true;
                insertAfter = i;
            }
            continue;
        }
        if (!inSection) {
            continue;
        }
        if (auto key = keyLine(line.text); key && equalsIgnoringCase(key->key, wantedKey)) {
            line.text = line.text.substr(0, key->valueStart) + newValue;
            return;
        }
        if (inFirstSection && !trim(line.text).empty()) {
            insertAfter = i;
        }
    }

    const std::size_t position = found ? insertAfter + 1 : lines_.size();
    // The new lines end like the line before them: its end never ran into the line after it,
    // whereas the file's first end could ("\r" before a blank "\n" line would read as one end).
    const std::u16string end =
        position > 0 && !lines_[position - 1].end.empty() ? lines_[position - 1].end : newLineEnd();
    // The line before the new ones may be the file's last, without a line end of its own.
    if (position > 0 && lines_[position - 1].end.empty()) {
        lines_[position - 1].end = end;
    }
    std::vector<Line> added;
    if (!found) {
        added.push_back({u"[" + wantedSection + u"]", end});
    }
    added.push_back({wantedKey + u"=" + newValue, end});
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(position), added.begin(),
                  added.end());
}

std::string IniFile::bytes() const {
    std::u16string units;
    for (const Line& line : lines_) {
        units += line.text;
        units += line.end;
    }
    std::string out;
    if (encoding_ == Encoding::Utf16Le) {
        out = "\xFF\xFE";
        for (char16_t u : units) {
            out += static_cast<char>(u & 0xFF);
            out += static_cast<char>(u >> 8);
        }
        out += oddTrailingByte_;
    } else {
        if (encoding_ == Encoding::Utf8) {
            out = kUtf8Mark;
        }
        for (char16_t u : units) {
            out += static_cast<char>(u);
        }
    }
    return out;
}

std::u16string IniFile::toUnits(std::string_view text) const {
    if (encoding_ == Encoding::Utf16Le) {
        return utf8ToUtf16(text);
    }
    std::u16string units;
    for (char c : text) {
        units += static_cast<char16_t>(static_cast<unsigned char>(c));
    }
    return units;
}

std::string IniFile::fromUnits(std::u16string_view units) const {
    if (encoding_ == Encoding::Utf16Le) {
        return utf16ToUtf8(units);
    }
    std::string text;
    for (char16_t u : units) {
        text += static_cast<char>(u);
    }
    return text;
}

std::u16string IniFile::newLineEnd() const {
    for (const Line& line : lines_) {
        if (!line.end.empty()) {
            return line.end;
        }
    }
    return u"\r\n";
}

FileReplaceSteps diskSteps() {
    FileReplaceSteps steps;
    steps.open = [](const fs::path& file, bool existing) -> std::unique_ptr<std::ostream> {
        // An existing file is opened without being recreated, which the platform refuses for
        // hidden files.
        auto out = existing ? std::make_unique<std::fstream>(file, std::ios::binary | std::ios::in |
                                                                       std::ios::out)
                            : std::make_unique<std::fstream>(
                                  file, std::ios::binary | std::ios::out | std::ios::trunc);
        if (!out->is_open()) {
            return nullptr;
        }
        return out;
    };
    steps.write = [](std::ostream& out, std::string_view data) {
        out.write(data.data(), static_cast<std::streamsize>(data.size()));
        return static_cast<bool>(out);
    };
    steps.moveOver = [](const fs::path& replacement, const fs::path& target) {
#ifdef _WIN32
        return replaceKeepingIdentity(replacement, target);
#else
        std::error_code ec;
        fs::rename(replacement, target, ec);
        return !ec;
#endif
    };
    steps.truncate = [](const fs::path& file, std::uintmax_t size) {
        std::error_code ec;
        fs::resize_file(file, size, ec);
        return !ec;
    };
    return steps;
}

namespace {

// Writes the bytes into a file the open step gives, and closes it; true when all went out.
bool writeThrough(const FileReplaceSteps& steps, const fs::path& file, bool existing,
                  std::string_view bytes) {
    std::unique_ptr<std::ostream> out = steps.open(file, existing);
    if (!out) {
        return false;
    }
    bool written = steps.write(*out, bytes);
    out->flush();
    written = written && out->good();
    out.reset();
    return written;
}

} // namespace

bool replaceFile(const fs::path& requested, std::string_view bytes, const FileReplaceSteps& steps) {
    const fs::path target = systemPath(requested);
    std::error_code ec;
    const fs::file_status status = fs::status(target, ec);
    const bool exists = fs::exists(status);
    if (exists && (status.permissions() & fs::perms::owner_write) == fs::perms::none) {
        return false;
    }
    const fs::path temporary = temporaryBeside(target);
    if (writeThrough(steps, temporary, false, bytes)) {
        if (steps.moveOver(temporary, target)) {
            return true;
        }
    } else if (exists && !fs::exists(temporary, ec)) {
        // The folder takes no new file, but the file itself may still be written.
        return writeThrough(steps, target, true, bytes) && steps.truncate(target, bytes.size());
    }
    fs::remove(temporary, ec);
    return false;
}

bool replaceFile(const fs::path& target, std::string_view bytes, const FileWriteStep& write) {
    FileReplaceSteps steps = diskSteps();
    steps.write = write;
    return replaceFile(target, bytes, steps);
}

bool replaceFile(const fs::path& target, std::string_view bytes) {
    return replaceFile(target, bytes, diskSteps());
}

} // namespace brenvik::config
