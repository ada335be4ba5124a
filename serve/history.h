#pragma once
// The readings kept in memory: one compact sample per poll, good or failed, for a bounded time.

#include "serve/supply_source.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace brenvik::serve {

// One poll in 40 bytes.
struct Sample {
    std::int64_t timeMs = 0;      // when the poll started, Unix milliseconds
    std::uint32_t durationUs = 0; // how long it took
    std::uint16_t failure = 0;    // 0 for a good poll, else 1 + the index of its failure text
    std::uint8_t flags = 0;       // the kFlag bits below
    float outputVolts = 0;
    float batteryVolts = 0;
    float chargeAmps = 0;
    std::uint32_t powerUpHours = 0;
    std::uint32_t batteryInstalledHours = 0;
    std::uint16_t acFaultCount = 0; // the block holds 16 bits for each count
    std::uint16_t systemFaultCount = 0;

    static constexpr std::uint8_t kFaiActivated = 1;
    static constexpr std::uint8_t kOutputLatching = 2;
    static constexpr std::uint8_t kAcFault = 4;
    static constexpr std::uint8_t kSystemFault = 8;

    bool good() const { return failure == 0; }
    bool flag(std::uint8_t bit) const { return (flags & bit) != 0; }
};

// The sample of a good poll (`failure` stays 0).
Sample sampleOf(std::int64_t timeMs, std::chrono::microseconds duration, const Reading& reading);

// Samples of one supply, oldest first, none older than the retention before the newest.
class History {
public:
    explicit History(std::chrono::milliseconds retention) : retention_(retention) {}

    // Samples arrive in time order.
    void add(const Sample& good);
    void addFailure(std::int64_t timeMs, std::chrono::microseconds duration,
                    const std::string& failure);
    // Every sample later than `afterMs`.
    std::vector<Sample> after(std::int64_t afterMs) const;
    const std::vector<std::string>& failureTexts() const { return failureTexts_; }

private:
    std::chrono::milliseconds retention_;
    std::deque<Sample> samples_;
    // The distinct failure texts seen: fixed sentences of the program, a handful at most.
    std::vector<std::string> failureTexts_;
};

} // namespace brenvik::serve
