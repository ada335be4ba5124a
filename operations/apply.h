#pragma once
// APPLY: the panel read and checked, the supply reached (reconnecting first when the link is
// down or the operator asked to retry), the change summary confirmed, then the write sequence:
// the settings write (commands 1, 2), the battery timer reset (5, 6), the fault count reset
// (11, 12) and the installation date (13, 14), each as its option box says, and a closing box.

#include "operations/context.h"
#include "operations/supply.h"

namespace brenvik::operations {

// The write sequence, proceeding as if confirmed: each ticked action in turn, whatever became of
// the ones before, each one-off action between a panel read and a redisplay. A settings write
// confirmed in all seven bytes becomes the last-read settings, the device settings and the
// selector's selection; a confirmed date becomes the device settings' date.
WriteOutcome runWriteSequence(Context& ctx);

// A click of APPLY, run to the end: checks, reconnection, confirmation, writes, the closing box
// with its Retry, and APPLY, START and "Save Configuration" enabled again.
void runApplySequence(Context& ctx);

} // namespace brenvik::operations
