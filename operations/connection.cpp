#include "operations/connection.h"

#include "monitor/status_block.h"
#include "operations/configuration.h"
#include "operations/panel.h"
#include "operations/status_texts.h"

namespace brenvik::operations {
namespace {

// The connection sequence both entry points share; its outcome says whether it reached the
// read-back (which leaves its result in the link flag) or stopped on the way, with the adapter
// status non-zero.
ConnectOutcome connectionSequence(Context& ctx) {
    ctx.view.readPanel(ctx.model);
    ConnectOutcome outcome;
    outcome.open = ctx.supply().open();
    ctx.view.showStatus(openStatus(outcome.open));
    // With no device listed nothing is opened; the read-back then finds no supply to answer and
    // reports the failure itself.
    if (outcome.open == device::OpenResult::Opened ||
        outcome.open == device::OpenResult::NoDevice) {
        outcome.readBack = readBackSettings(ctx).result;
    }
    return outcome;
}

} // namespace

monitor::FetchOutcome readBackSettings(Context& ctx) {
    // Whatever the operator typed is kept in the record, so the closing redisplay gives it back
    // when the supply does not answer. A field without an integer has shown its message already.
    ctx.view.readPanel(ctx.model);
    const monitor::FetchOutcome outcome =
        ctx.supply().readSettings([&ctx](const monitor::FetchOutcome& soFar) {
            showFetchStatus(ctx.view, soFar, monitor::BlockCaller::ReadBack);
        });
    if (outcome.good()) {
        const monitor::StatusBlock block = monitor::decodeStatusBlock(outcome.bytes);
        takeStoredSettings(ctx.model.settings, block);
        ctx.view.showChargeSelection(ctx.model.settings.chargeSelection);
        ctx.state.monitor.lastRead = monitor::lastReadSettingsOf(block);
        monitor::takeIdentity(ctx.model.texts, block);
        if (const monitor::ModelInfo* model = monitor::findModel(block.modelCode)) {
            ctx.view.showChargeItems(model->chargeItems);
        }
    }
    // Also selects the supply's charge selection within a rebuilt list.
    ctx.view.showPanel(ctx.model);
    return outcome;
}

ConnectOutcome connectDevice(Context& ctx) {
    const ConnectOutcome outcome = connectionSequence(ctx);
    if (!outcome.readBack) {
        ctx.state.link.linkOk = false;
    } else if (ctx.state.link.linkOk) {
        ctx.view.showStatus(status::kConnectSuccess);
        for (const OptionBox box : kOptionBoxes) {
            ctx.view.showOptionBox(box, false);
            optionBoxClicked(ctx.view, ctx.model, box);
        }
        ctx.view.enableApply(false);
    } else {
        ctx.view.showStatus(status::kConnectFail);
        readConfiguration(ctx.view, ctx.model, ctx.state.files.current);
    }
    ctx.view.showPanel(ctx.model);
    return outcome;
}

ConnectOutcome silentReconnect(Context& ctx) {
    const ConnectOutcome outcome = connectionSequence(ctx);
    ctx.state.files.useWorking();
    if (!outcome.readBack) {
        ctx.state.link.linkOk = false;
    } else {
        ctx.view.showStatus(ctx.state.link.linkOk ? status::kConnectSuccess : status::kConnectFail);
    }
    // Brings back the entries APPLY saved there, option boxes included.
    readConfiguration(ctx.view, ctx.model, ctx.state.files.working);
    ctx.view.readPanel(ctx.model);
    return outcome;
}

void connectTimerStep(Context& ctx) {
    ctx.view.requestRepaint();
    connectDevice(ctx);
    ctx.view.stopConnectTimer();
    ctx.view.requestRepaint();
}

} // namespace brenvik::operations
