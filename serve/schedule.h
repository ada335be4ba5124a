#pragma once
// When each supply is polled: on absolute slots, every interval on the wall clock's grid (with a
// one-second interval, at every whole second), whatever each poll took. A slot already past when
// a poll ends is skipped rather than polled late, as the monitor does.

#include "serve/supply_source.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>

namespace brenvik::serve {

using WallTime = std::chrono::system_clock::time_point;
using Interval = std::chrono::milliseconds;

// Wall time and waiting, so tests run the loop on made-up time.
class Timeline {
public:
    virtual ~Timeline() = default;
    virtual WallTime now() = 0;
    // Returns at `deadline`, or soon after `stop` is set.
    virtual void waitUntil(WallTime deadline, const std::atomic<bool>& stop) = 0;
};

// The system time at start plus the monotonic time since: it never steps backwards during a
// run. Waits are cut into short slices so a stop ends them promptly.
class SteadyTimeline final : public Timeline {
public:
    WallTime now() override;
    void waitUntil(WallTime deadline, const std::atomic<bool>& stop) override;

private:
    WallTime startWall_ = std::chrono::system_clock::now();
    std::chrono::steady_clock::time_point startSteady_ = std::chrono::steady_clock::now();
};

class SlotSchedule {
public:
    // The first slot is the first grid point at or after `start`.
    SlotSchedule(WallTime start, Interval interval);
    WallTime next() const { return next_; }
    // After a poll that ended at `end`: the first grid point later than `end`.
    void advance(WallTime end);

private:
    Interval interval_;
    WallTime next_;
};

struct PollRecord {
    std::size_t index;
    std::int64_t timeMs; // the poll's start, Unix milliseconds
    std::chrono::microseconds duration;
    PollOutcome outcome;
};

// Polls supply `index` on its slots until `stop` is set; every poll, good or failed, goes to
// `record`, and the loop goes on.
void pollUntilStopped(SupplySource& source, std::size_t index, Timeline& timeline,
                      Interval interval, const std::atomic<bool>& stop,
                      const std::function<void(const PollRecord&)>& record);

} // namespace brenvik::serve
