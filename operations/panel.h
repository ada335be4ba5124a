#pragma once
// The programming panel's own behaviour: a click on an option box.

#include "operations/view.h"
#include "operations/window_model.h"

namespace brenvik::operations {

// Click handling of an option box: takes the box into its option flag, enables or disables the
// fields that belong to it and APPLY, then redisplays the panel.
void optionBoxClicked(View& view, MainWindowModel& model, OptionBox box);

} // namespace brenvik::operations
