#pragma once
// An INI file held in memory line by line, so that changing a key leaves every other byte of
// the file as it was: comments, blank lines, spacing, line ends and other sections.
//
// Sections and keys are found without regard to letter case; the first of duplicate keys wins.
// Whitespace around keys and values, and one pair of quotes around a value, are ignored on
// reading. Files are 8-bit text in the ANSI code page unless they start with a byte order mark:
// a UTF-8 one is kept, and a UTF-16LE file is read and written back as UTF-16LE (its text passes
// through this interface as UTF-8).

#include <cstdint>
#include <filesystem>
#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brenvik::config {

class IniFile {
public:
    enum class Encoding { Ansi, Utf8, Utf16Le };

    // The file's contents: an empty file when it does not exist, nothing when it exists but
    // cannot be read (so that a writer does not replace what it could not see).
    static std::optional<IniFile> load(const std::filesystem::path& file);
    static IniFile parse(std::string_view bytes);

    Encoding encoding() const { return encoding_; }

    // Value of `key` in `section`, trimmed; nothing when the section or key is missing.
    std::optional<std::string> value(std::string_view section, std::string_view key) const;

    // Replaces the value where the key stands, or appends the key at the end of its section;
    // a missing section is appended at the end of the file.
    void setValue(std::string_view section, std::string_view key, std::string_view value);

    // The whole file as it would be written.
    std::string bytes() const;

private:
    struct Line {
        std::u16string text; // without the line end
        std::u16string end;  // "\r\n", "\n", "\r" or nothing for the last line
    };

    std::u16string toUnits(std::string_view text) const;
    std::string fromUnits(std::u16string_view units) const;
    std::u16string newLineEnd() const;

    Encoding encoding_ = Encoding::Ansi;
    std::vector<Line> lines_;
    std::string oddTrailingByte_; // a UTF-16 file of odd length keeps its last byte
};

// Writes the bytes that a file write step produces. Returns false when writing failed.
using FileWriteStep = std::function<bool(std::ostream& out, std::string_view bytes)>;

// The steps of a replacement that touch the disk, each open to tests that play a failure.
struct FileReplaceSteps {
    // Opens a file for writing: a new one (created or emptied), or an existing one to be
    // overwritten in place. Nothing when it cannot be opened.
    std::function<std::unique_ptr<std::ostream>(const std::filesystem::path& file, bool existing)>
        open;
    FileWriteStep write;
    // Puts the finished temporary file in the target's place in one step.
    std::function<bool(const std::filesystem::path& replacement,
                       const std::filesystem::path& target)>
        moveOver;
    // Cuts a file rewritten in place to the length written.
    std::function<bool(const std::filesystem::path& file, std::uintmax_t size)> truncate;
};

// The platform's own steps. On Windows the temporary file takes the target's place through the
// platform's replace call, so the target keeps its attributes, security and creation time.
FileReplaceSteps diskSteps();

// Replaces `target` with `bytes` in one step: the bytes go to a temporary file beside it, which
// then takes the target's place, so a failed write leaves the previous file whole and removes
// the temporary. An existing read-only target is not replaced. When no new file can be made in
// the target's folder but the target itself is writable, the target is rewritten in place.
bool replaceFile(const std::filesystem::path& target, std::string_view bytes,
                 const FileReplaceSteps& steps);
// As above with the platform's steps, the write step given.
bool replaceFile(const std::filesystem::path& target, std::string_view bytes,
                 const FileWriteStep& write);
bool replaceFile(const std::filesystem::path& target, std::string_view bytes);

} // namespace brenvik::config
