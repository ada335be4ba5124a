#pragma once
// Per-supply CSV files in one folder, one row appended per poll with the columns of
// `brenvik monitor --csv`. A row is written whole or not at all: a write that fails part-way is
// cut back off, so the file always ends with a whole row.

#include "serve/schedule.h"
#include "serve/supply_source.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace brenvik::serve {

extern const std::string_view kCsvHeader;

// "2026-12-07T20:22:52.000Z,ok,27.51,..." or the time, the failure and empty fields.
std::string csvRow(const PollRecord& record);

class CsvLog {
public:
    // "brenvik-0x121.csv" for each supply in `folder`.
    CsvLog(const std::filesystem::path& folder, const std::vector<SupplyIdentity>& supplies);

    // The first file that cannot be appended to (the folder missing, or not writable).
    std::optional<std::filesystem::path> unwritable() const;
    const std::filesystem::path& file(std::size_t index) const { return files_.at(index); }
    // False when the row could not be written; the file is left as it was.
    bool append(const PollRecord& record) const;

private:
    std::vector<std::filesystem::path> files_;
};

} // namespace brenvik::serve
