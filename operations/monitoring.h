#pragma once
// Monitoring behind START/STOP: while it is on, the monitor timer polls the supply once a second
// with a status block opened by command 10, and the programming panel is locked; STOP ends the
// polling and unlocks the panel by its option boxes.

#include "monitor/block_fetch.h"
#include "operations/context.h"

namespace brenvik::operations {

class MonitoringLoop {
public:
    explicit MonitoringLoop(Context ctx) : ctx_(ctx) {}

    MonitoringLoop(const MonitoringLoop&) = delete;
    MonitoringLoop& operator=(const MonitoringLoop&) = delete;

    // START/STOP clicked: START when stopped, STOP when monitoring.
    void toggle();
    void start();
    void stop();

    // One tick of the monitor timer, after the panel read that starts every tick: flips the
    // activity flag, fetches a block and decodes it when it is good, and redisplays the panel
    // either way, so a failed poll leaves every value as it was.
    monitor::FetchOutcome tick();

private:
    Context ctx_;
    int timerId_ = 0; // as the platform armed it
};

// A good monitoring block into the record and the program-wide state: the monitoring values,
// the battery-age class (a changed one repaints the window so the battery installed time is
// redrawn in its colour), the stored settings with the charge selection shown at once, and the
// last-read settings.
void takeMonitoringBlock(Context& ctx, const monitor::StatusBlock& block);

} // namespace brenvik::operations
