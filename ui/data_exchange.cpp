#include "ui/data_exchange.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace brenvik {
namespace {

constexpr std::string_view kNotAnInteger = "Enter an integer.";
constexpr std::size_t kReadLimit = 63; // characters of a field that are looked at

// Leading blanks, an optional sign, at least one digit; whatever follows the digits is ignored.
// A number outside the signed 32-bit range is not an integer rather than some other value.
std::optional<std::int32_t> parseLeadingInteger(std::string_view text) {
    text = text.substr(0, kReadLimit);
    std::size_t pos = text.find_first_not_of(" \t");
    if (pos == std::string_view::npos) {
        return std::nullopt;
    }
    text.remove_prefix(pos);
    bool negative = false;
    if (text.front() == '+' || text.front() == '-') {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    std::int64_t magnitude = 0;
    std::size_t digits = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            break;
        }
        magnitude = magnitude * 10 + (c - '0');
        if (magnitude > 2147483648LL) {
            return std::nullopt;
        }
        ++digits;
    }
    if (digits == 0) {
        return std::nullopt;
    }
    const std::int64_t value = negative ? -magnitude : magnitude;
    if (value > INT32_MAX) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(value);
}

} // namespace

void DataExchange::integer(int id, std::int32_t& value) {
    if (failed_) {
        return;
    }
    if (!saving_) {
        window_.setControlText(id, std::to_string(value));
        return;
    }
    if (auto parsed = parseLeadingInteger(window_.controlText(id))) {
        value = *parsed;
        return;
    }
    failed_ = true;
    window_.messageBox(kNotAnInteger, window_.applicationName(), MessageIcon::Error,
                       MessageButtons::Ok);
    window_.focusControl(id);
}

void DataExchange::text(int id, std::string& value) {
    if (failed_) {
        return;
    }
    if (saving_) {
        value = window_.controlText(id);
    } else {
        window_.setControlText(id, value);
    }
}

void DataExchange::check(int id, std::int32_t& value) {
    if (failed_) {
        return;
    }
    if (saving_) {
        value = window_.isChecked(id) ? 1 : 0;
    } else {
        window_.setChecked(id, value != 0);
    }
}

void DataExchange::comboIndex(int id, std::int32_t& value) {
    if (failed_) {
        return;
    }
    if (saving_) {
        value = window_.comboSelection(id);
    } else {
        window_.setComboSelection(id, value);
    }
}

} // namespace brenvik
