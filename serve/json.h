#pragma once
// The web face's JSON: each supply's `status --json` object with its poll state, the retained
// history (one array per value, a value null where its poll failed), and the times they use.

#include "serve/board.h"

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brenvik::serve {

// The object `brenvik status --json` prints for these values.
nlohmann::json statusObject(const Reading& reading);

// {"supplies":[{"bridge","location","ok","lastPoll","lastGoodPoll","failure","pollSeconds",
// "status"}]}: the last good values stay with their time while polls fail.
std::string statusJson(const std::vector<SupplyView>& supplies);

// {"supplies":[{"bridge","location","time":[Unix ms],"ok":[1|0],"pollSeconds":[..],
// "outputVoltage":[..|null], ..., "failure":[null|text]}]}
std::string historyJson(const std::vector<HistorySlice>& slices);

// "2026-12-07T20:22:52.123Z" for Unix milliseconds.
std::string isoTime(std::int64_t unixMs);

// `since` as Unix milliseconds: Unix seconds ("1765140000", "1765140000.5") or a UTC time
// ("2026-12-07T20:22:52Z", "2026-12-07T20:22:52.5Z"). Nothing for anything else.
std::optional<std::int64_t> parseSince(std::string_view text);

} // namespace brenvik::serve
