#pragma once
// After a write: what the supply holds, read back in a fresh block, against what was asked of
// it, and the one-off actions in words for the report.

#include "monitor/status_block.h"
#include "operations/supply.h"
#include "programming/settings.h"

#include <string>
#include <vector>

namespace brenvik::cli {

// One text per difference between the ticked settings, the date and the resets asked for and
// the block, e.g. "AC fault delay 1:02:04, asked 1:02:03"; empty when the supply holds them all.
std::vector<std::string> verificationDifferences(const DeviceSettings& requested,
                                                 const monitor::StatusBlock& held);

// The actions that ran, "; " between them, a failed one marked "(failed)"; "none" for none.
std::string actionsText(const operations::WriteOutcome& outcome);

// The actions that failed, "; " between them.
std::string failedActionsText(const operations::WriteOutcome& outcome);

} // namespace brenvik::cli
