#pragma once
// What the command line prints and appends: the supply's fields as text or JSON, one monitoring
// poll as a line or a CSV row, and the rows of the per-unit report. Files are only ever
// appended to, one whole row per write.

#include "monitor/status_block.h"
#include "operations/window_model.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brenvik::cli {

// The charge selector's items, index 0 first.
using ChargeItems = std::array<std::string_view, 4>;

// "1:02:03" and "7/18/2011".
std::string delayText(std::int64_t hours, std::int64_t minutes, std::int64_t seconds);
std::string dateText(std::int64_t month, std::int64_t day, std::int64_t year);

// Every monitoring and settings field, one "label: value" line each, with the window's texts.
std::string statusText(const MainWindowModel& model, const ChargeItems& chargeItems);
// The same fields as one JSON object (one line).
std::string statusJson(const MainWindowModel& model, const ChargeItems& chargeItems);

// One poll as a console line and as a CSV row; a failed poll carries the window's status text.
std::string pollLine(std::string_view time, const monitor::DisplayTexts* texts,
                     std::string_view failure);
std::string pollCsvRow(std::string_view time, const monitor::DisplayTexts* texts,
                       std::string_view failure);
extern const std::string_view kPollCsvHeader;

// "charge 1; AC 1:02:03; system 0:00:30; date 7/18/2011"
std::string settingsText(const monitor::StatusBlock& block);

struct ReportRow {
    std::string time;
    std::string partNumber;
    std::string firmware;
    std::string powerUpHours;
    std::string settingsBefore;
    std::string settingsAfter;
    std::string actions;
    std::string bridge; // the unit's serial or location, when one was chosen
    std::string verify;
};
std::string reportCsvRow(const ReportRow& row);
extern const std::string_view kReportCsvHeader;

// A CSV field, quoted when it holds a comma, a quote or a line end.
std::string csvField(std::string_view text);

// Appends the header (only to an empty file) and the row in one write.
bool appendRow(const std::filesystem::path& file, std::string_view header, std::string_view row);

} // namespace brenvik::cli
