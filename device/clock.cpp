#include "device/clock.h"

#include <thread>

namespace brenvik {

void SystemClock::sleep(std::chrono::milliseconds duration) {
    std::this_thread::sleep_for(duration);
}

} // namespace brenvik
