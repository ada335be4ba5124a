#include "serve/csv_log.h"

#include "serve/json.h"

#include <cstdio>
#include <fstream>

namespace brenvik::serve {
namespace {

std::string field(std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
        return std::string(text);
    }
    std::string quoted = "\"";
    for (const char c : text) {
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    }
    return quoted + "\"";
}

std::string hundredths(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", value);
    return text;
}

} // namespace

const std::string_view kCsvHeader =
    "time,result,output_voltage,battery_voltage,charge_current,power_up_hours,"
    "battery_installed_hours,ac_fault_count,system_fault_count,fai_activated,"
    "output_latching,ac_fault_status,system_fault_status\n";

std::string csvRow(const PollRecord& record) {
    const std::string time = isoTime(record.timeMs);
    if (!record.outcome.reading) {
        return time + "," + field(record.outcome.failure) + ",,,,,,,,,,,\n";
    }
    const Reading& r = *record.outcome.reading;
    return time + ",ok," + hundredths(r.outputVolts) + "," + hundredths(r.batteryVolts) + "," +
           hundredths(r.chargeAmps) + "," + std::to_string(r.powerUpHours) + "," +
           std::to_string(r.batteryInstalledHours) + "," + std::to_string(r.acFaultCount) + "," +
           std::to_string(r.systemFaultCount) + "," + (r.faiActivated ? "Yes" : "No") + "," +
           (r.outputLatching ? "Yes" : "No") + "," + (r.acFault ? "Fault" : "No fault") + "," +
           (r.systemFault ? "Fault" : "No fault") + "\n";
}

CsvLog::CsvLog(const std::filesystem::path& folder, const std::vector<SupplyIdentity>& supplies) {
    for (const SupplyIdentity& supply : supplies) {
        files_.push_back(folder / ("brenvik-" + supply.location + ".csv"));
    }
}

std::optional<std::filesystem::path> CsvLog::unwritable() const {
    for (const auto& file : files_) {
        std::error_code error;
        if (std::filesystem::is_directory(file, error) ||
            !std::ofstream(file, std::ios::app | std::ios::binary).is_open()) {
            return file;
        }
    }
    return std::nullopt;
}

bool CsvLog::append(const PollRecord& record) const {
    const auto& file = files_.at(record.index);
    std::error_code error;
    const auto size = std::filesystem::file_size(file, error);
    const std::uintmax_t before = error ? 0 : size;
    std::string text = before == 0 ? std::string(kCsvHeader) : std::string{};
    text += csvRow(record);
    std::ofstream out(file, std::ios::app | std::ios::binary);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.flush();
    if (out.good()) {
        return true;
    }
    out.close();
    if (std::filesystem::exists(file, error)) {
        std::filesystem::resize_file(file, before, error);
    }
    return false;
}

} // namespace brenvik::serve
