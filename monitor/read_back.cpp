#include "monitor/read_back.h"

#include "monitor/block_decode.h"
#include "monitor/block_fetch.h"
#include "programming/panel.h"

namespace brenvik::monitor {

void readBackSettings(WindowPort& window, Clock& clock, device::DeviceLink& link,
                      MainWindowModel& model, MonitorState& state) {
    // Whatever the operator typed is kept in the record, so the closing redisplay gives it back
    // when the supply does not answer. A field without an integer has shown its message already.
    panelRead(window, model);
    if (const auto block = fetchStatusBlock(window, clock, link, BlockCaller::ReadBack)) {
        applyReadBackFields(window, model, state, decodeStatusBlock(*block));
    }
    // Also selects the supply's charge selection within a rebuilt list.
    panelRedisplay(window, model);
}

} // namespace brenvik::monitor
