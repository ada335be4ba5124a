#include "operations/panel.h"

#include <algorithm>

namespace brenvik::operations {

void optionBoxClicked(View& view, MainWindowModel& model, OptionBox box) {
    // The flag, not the box, decides: when the read stopped before the check boxes, the closing
    // redisplay puts the box back to the flag, and the fields must agree with what is shown.
    view.readPanel(model);
    const DeviceSettings& s = model.settings;
    const bool on = s.*flagOf(box) != 0;
    view.enableOptionFields(box, on);
    if (on) {
        view.enableApply(true);
    } else {
        view.readPanel(model);
        const bool anyOther =
            std::any_of(kOptionBoxes.begin(), kOptionBoxes.end(),
                        [&](OptionBox other) { return other != box && s.*flagOf(other) != 0; });
        if (!anyOther) {
            view.enableApply(false);
        }
    }
    view.showPanel(model);
}

} // namespace brenvik::operations
