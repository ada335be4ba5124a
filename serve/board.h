#pragma once
// What the pollers write and the web face reads: per supply its latest poll, its last good
// values with their time, its poll counts and its history. One lock per supply, held only to
// copy in or out, so a long answer never holds up a poll.

#include "serve/history.h"
#include "serve/supply_source.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace brenvik::serve {

// A supply as it stands after its latest poll.
struct SupplyView {
    SupplyIdentity identity;
    std::optional<Reading> lastGood;
    std::int64_t lastGoodMs = 0;            // when the last good poll started, Unix ms
    std::optional<std::int64_t> lastPollMs; // none before the first poll
    bool lastOk = false;
    std::string lastFailure; // of the latest poll, when it failed
    double lastDurationSeconds = 0;
    std::uint64_t polls = 0;
    std::uint64_t failedPolls = 0;
};

struct HistorySlice {
    SupplyIdentity identity;
    std::vector<Sample> samples;
    std::vector<std::string> failureTexts; // sample.failure - 1 indexes this
};

class Board {
public:
    Board(const std::vector<SupplyIdentity>& supplies, std::chrono::milliseconds retention);

    std::size_t size() const { return supplies_.size(); }
    void record(std::size_t index, std::int64_t timeMs, std::chrono::microseconds duration,
                const PollOutcome& outcome);
    std::vector<SupplyView> views() const;
    // Every supply's samples later than `afterMs`.
    std::vector<HistorySlice> history(std::int64_t afterMs) const;

private:
    struct Supply {
        explicit Supply(const SupplyIdentity& identity, std::chrono::milliseconds retention)
            : history(retention) {
            view.identity = identity;
        }
        mutable std::mutex lock;
        SupplyView view;
        History history;
    };
    std::vector<std::unique_ptr<Supply>> supplies_;
};

} // namespace brenvik::serve
