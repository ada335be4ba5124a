#pragma once
// Everything a window operation touches, all owned elsewhere for the program's lifetime: the
// window in the program's terms, the clock of the protocol's waits, the program-wide state and
// the window's record.

#include "device/clock.h"
#include "operations/program_state.h"
#include "operations/supply.h"
#include "operations/view.h"
#include "operations/window_model.h"

namespace brenvik::operations {

struct Context {
    View& view;
    Clock& clock;
    ProgramState& state;
    MainWindowModel& model;

    Supply supply() const { return {state.link, clock}; }
};

// The status text of a block fetch's step, if it has one.
inline void showFetchStatus(View& view, const monitor::FetchOutcome& soFar,
                            monitor::BlockCaller caller) {
    if (const auto text = fetchStatus(soFar, caller)) {
        view.showStatus(*text);
    }
}

} // namespace brenvik::operations
