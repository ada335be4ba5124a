#include "serve/history.h"

#include <algorithm>

namespace brenvik::serve {

Sample sampleOf(std::int64_t timeMs, std::chrono::microseconds duration, const Reading& r) {
    Sample s;
    s.timeMs = timeMs;
    s.durationUs = static_cast<std::uint32_t>(duration.count());
    s.flags = static_cast<std::uint8_t>((r.faiActivated ? Sample::kFaiActivated : 0) |
                                        (r.outputLatching ? Sample::kOutputLatching : 0) |
                                        (r.acFault ? Sample::kAcFault : 0) |
                                        (r.systemFault ? Sample::kSystemFault : 0));
    s.outputVolts = static_cast<float>(r.outputVolts);
    s.batteryVolts = static_cast<float>(r.batteryVolts);
    s.chargeAmps = static_cast<float>(r.chargeAmps);
    s.powerUpHours = static_cast<std::uint32_t>(r.powerUpHours);
    s.batteryInstalledHours = static_cast<std::uint32_t>(r.batteryInstalledHours);
    s.acFaultCount = static_cast<std::uint16_t>(r.acFaultCount);
    s.systemFaultCount = static_cast<std::uint16_t>(r.systemFaultCount);
    return s;
}

void History::addFailure(std::int64_t timeMs, std::chrono::microseconds duration,
                         const std::string& failure) {
    auto known = std::find(failureTexts_.begin(), failureTexts_.end(), failure);
    if (known == failureTexts_.end()) {
        known = failureTexts_.insert(known, failure);
    }
    Sample sample;
    sample.timeMs = timeMs;
    sample.durationUs = static_cast<std::uint32_t>(duration.count());
    sample.failure = static_cast<std::uint16_t>(known - failureTexts_.begin() + 1);
    add(sample);
}

void History::add(const Sample& sample) {
    samples_.push_back(sample);
    const std::int64_t oldest = sample.timeMs - retention_.count();
    while (samples_.front().timeMs < oldest) {
        samples_.pop_front();
    }
}

std::vector<Sample> History::after(std::int64_t afterMs) const {
    const auto first = std::upper_bound(
        samples_.begin(), samples_.end(), afterMs,
        [](std::int64_t time, const Sample& sample) { return time < sample.timeMs; });
    return {first, samples_.end()};
}

} // namespace brenvik::serve
