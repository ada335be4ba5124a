#pragma once
// A clock that records every wait instead of sleeping.

#include "device/clock.h"

#include <chrono>
#include <vector>

namespace brenvik::testing {

class FakeClock final : public Clock {
public:
    void sleep(std::chrono::milliseconds duration) override { waits.push_back(duration); }

    std::vector<std::chrono::milliseconds> waits;
};

} // namespace brenvik::testing
