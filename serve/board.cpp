#include "serve/board.h"

namespace brenvik::serve {

Board::Board(const std::vector<SupplyIdentity>& supplies, std::chrono::milliseconds retention) {
    for (const SupplyIdentity& identity : supplies) {
        supplies_.push_back(std::make_unique<Supply>(identity, retention));
    }
}

void Board::record(std::size_t index, std::int64_t timeMs, std::chrono::microseconds duration,
                   const PollOutcome& outcome) {
    Supply& supply = *supplies_.at(index);
    const std::lock_guard hold(supply.lock);
    SupplyView& view = supply.view;
    view.lastPollMs = timeMs;
    view.lastDurationSeconds = std::chrono::duration<double>(duration).count();
    view.lastOk = outcome.reading.has_value();
    ++view.polls;
    if (outcome.reading) {
        view.lastGood = outcome.reading;
        view.lastGoodMs = timeMs;
        view.lastFailure.clear();
        supply.history.add(sampleOf(timeMs, duration, *outcome.reading));
    } else {
        ++view.failedPolls;
        view.lastFailure = outcome.failure.empty() ? "poll failed" : outcome.failure;
        supply.history.addFailure(timeMs, duration, view.lastFailure);
    }
}

std::vector<SupplyView> Board::views() const {
    std::vector<SupplyView> views;
    for (const auto& supply : supplies_) {
        const std::lock_guard hold(supply->lock);
        views.push_back(supply->view);
    }
    return views;
}

std::vector<HistorySlice> Board::history(std::int64_t afterMs) const {
    std::vector<HistorySlice> slices;
    for (const auto& supply : supplies_) {
        const std::lock_guard hold(supply->lock);
        slices.push_back({supply->view.identity, supply->history.after(afterMs),
                          supply->history.failureTexts()});
    }
    return slices;
}

} // namespace brenvik::serve
