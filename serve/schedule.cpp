#include "serve/schedule.h"

#include <algorithm>
#include <thread>

namespace brenvik::serve {
namespace {

using namespace std::chrono;

// The first grid point later than `time`, or at it when `atOrAfter`.
WallTime gridPoint(WallTime time, Interval interval, bool atOrAfter) {
    const auto since = duration_cast<milliseconds>(time.time_since_epoch());
    auto slots = since / interval;
    if (!(atOrAfter && slots * interval == since)) {
        ++slots;
    }
    return WallTime(duration_cast<WallTime::duration>(slots * interval));
}

} // namespace

WallTime SteadyTimeline::now() {
    return startWall_ + duration_cast<WallTime::duration>(steady_clock::now() - startSteady_);
}

void SteadyTimeline::waitUntil(WallTime deadline, const std::atomic<bool>& stop) {
    constexpr auto kSlice = milliseconds(50);
    for (auto left = deadline - now(); left.count() > 0 && !stop; left = deadline - now()) {
        std::this_thread::sleep_for(std::min<WallTime::duration>(left, kSlice));
    }
}

SlotSchedule::SlotSchedule(WallTime start, Interval interval)
    : interval_(interval), next_(gridPoint(start, interval, true)) {}

void SlotSchedule::advance(WallTime end) {
    next_ = gridPoint(std::max(end, next_), interval_, false);
}

void pollUntilStopped(SupplySource& source, std::size_t index, Timeline& timeline,
                      Interval interval, const std::atomic<bool>& stop,
                      const std::function<void(const PollRecord&)>& record) {
    SlotSchedule schedule(timeline.now(), interval);
    while (true) {
        timeline.waitUntil(schedule.next(), stop);
        if (stop) {
            return;
        }
        const WallTime start = timeline.now();
        PollOutcome outcome = source.poll(index);
        const WallTime end = timeline.now();
        record({index, duration_cast<milliseconds>(start.time_since_epoch()).count(),
                duration_cast<microseconds>(end - start), std::move(outcome)});
        schedule.advance(end);
    }
}

} // namespace brenvik::serve
