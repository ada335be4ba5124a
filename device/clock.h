#pragma once
// Every wait between device transactions goes through a Clock, so tests can count the waits
// instead of sleeping.

#include <chrono>

namespace brenvik {

class Clock {
public:
    virtual ~Clock() = default;
    virtual void sleep(std::chrono::milliseconds duration) = 0;
};

// Blocks the calling thread for real.
class SystemClock final : public Clock {
public:
    void sleep(std::chrono::milliseconds duration) override;
};

} // namespace brenvik
