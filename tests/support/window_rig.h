#pragma once
// The main window's portable side on a virtual bridge, as the window operations see it: the
// recording window, the test clock, the program's state and the window's record, with the start
// values shown and generic selector items. The bridge's channel is open as after a good
// connection, unless the rig is given devices of its own: then they are only listed.

#include "operations/context.h"
#include "res/resource.h"
#include "shell/window_face.h"
#include "tests/support/fake_clock.h"
#include "tests/support/fake_window.h"
#include "virtual_supply/virtual_bridge.h"

#include <utility>
#include <vector>

namespace brenvik::testing {

struct WindowRig {
    WindowRig() : WindowRig(vsupply::defaultDevices(), true) {}
    explicit WindowRig(std::vector<vsupply::DeviceEntry> devices, bool open = false)
        : opened(open ? devices : std::vector<vsupply::DeviceEntry>{}) {
        bridge.devices() = std::move(devices);
        if (open) {
            state.link.handle = opened.link.handle;
            state.link.startCondition = opened.link.startCondition;
        }
        window.setComboItems(IDC_CMB_CHARGE_CURRENT, {"a", "b", "c", "d"});
        face.showPanel(model);
    }

    // The bridge's transfers, the waits, the status texts and the enabling changes on one line.
    void follow() {
        clock.follow(bridge);
        window.timeline = &clock.timeline;
    }

    vsupply::VirtualLink opened;
    vsupply::VirtualBridge& bridge = opened.bridge;
    FakeWindow window;
    FakeClock clock;
    ProgramState state{bridge};
    MainWindowModel model;
    WindowFace face{window};
    operations::Context ctx{face, clock, state, model};
};

} // namespace brenvik::testing
