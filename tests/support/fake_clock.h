#pragma once
// The tests' one time source. Every wait is recorded and moves a made-up time line on at once;
// the line starts at 2026-12-07 08:00:00 UTC. Following a virtual bridge puts each transfer's
// frame on the same line, so a wait moved past a transfer shows where it falls.

#include "cli/commands.h"
#include "device/clock.h"
#include "virtual_supply/virtual_bridge.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace brenvik::testing {

class FakeClock final : public Clock {
public:
    void sleep(std::chrono::milliseconds duration) override {
        waits.push_back(duration);
        timeline.push_back("wait " + std::to_string(duration.count()));
        now += duration;
    }

    // Each transfer of the bridge joins the time line as its frame in hex, then runs `also`.
    void follow(vsupply::VirtualBridge& bridge, std::function<void()> also = {}) {
        bridge.setTrace([this, also](std::string_view line) {
            const auto at = line.find(" frame=");
            if (at == std::string_view::npos) {
                return;
            }
            timeline.emplace_back(line.substr(at + 7, line.find(' ', at + 7) - at - 7));
            if (also) {
                also();
            }
        });
    }

    std::vector<std::chrono::milliseconds> waits;
    std::vector<std::string> timeline;
    std::chrono::system_clock::time_point now{
        std::chrono::sys_days(std::chrono::year(2026) / 12 / 7) + std::chrono::hours(8)};
};

// Lists of time-line events one after the other, so that a long time line reads in its steps.
inline std::vector<std::string> inSteps(std::initializer_list<std::vector<std::string>> steps) {
    std::vector<std::string> out;
    for (const auto& step : steps) {
        out.insert(out.end(), step.begin(), step.end());
    }
    return out;
}

// The command line's monitoring slots on the same time line: waiting for a slot moves it on at
// once, after `beforeSlot` has run with the slot's number (from 0).
struct FakeTimer final : cli::PollTimer {
    explicit FakeTimer(FakeClock& clock) : clock(clock) {}
    cli::WallTime now() override { return clock.now; }
    void waitUntil(cli::WallTime deadline, const std::atomic<bool>&) override {
        if (beforeSlot) {
            beforeSlot(slots);
        }
        ++slots;
        clock.now = std::max(clock.now, deadline);
    }

    FakeClock& clock;
    int slots = 0;
    std::function<void(int)> beforeSlot;
};

} // namespace brenvik::testing
