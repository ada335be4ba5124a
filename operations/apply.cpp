#include "operations/apply.h"

#include "operations/configuration.h"
#include "operations/connection.h"
#include "programming/change_summary.h"
#include "programming/validation.h"

namespace brenvik::operations {
namespace {

void enableApplyAndStart(View& view, bool enabled) {
    view.enableApply(enabled);
    view.enableStart(enabled);
}

// APPLY, START and "Save Configuration" stay off from the moment the supply is found until the
// click ends, so neither monitoring nor a save can cut into the writes.
void enableApplyControls(View& view, bool enabled) {
    enableApplyAndStart(view, enabled);
    view.enableSaveConfiguration(enabled);
}

device::TwoStepOutcome exchange(Context& ctx, WriteAction action,
                                const device::TwoStepOperation& operation) {
    return ctx.supply().exchange(operation, [&ctx, action](const device::TwoStepOutcome& soFar) {
        ctx.view.showStatus(actionStatus(action, soFar));
    });
}

ActionOutcome writeSettings(Context& ctx) {
    const auto payload = settingsPayload(ctx.model.settings, ctx.state.monitor.lastRead);
    const auto outcome = exchange(ctx, WriteAction::Settings, device::settingsWrite(payload));
    // A reply that differs anywhere is not what the supply holds; it changes nothing here.
    if (outcome.confirmPassed) {
        takeConfirmedSettings(ctx.model.settings, ctx.state.monitor.lastRead, payload);
        ctx.view.showChargeSelection(ctx.model.settings.chargeSelection);
    }
    return {true, outcome.confirmPassed};
}

// One of the one-off actions: the panel read first (the operation may depend on it), APPLY and
// START off while it runs, the panel redisplayed afterwards.
template <typename BuildOperation, typename OnConfirmed>
ActionOutcome oneOffAction(Context& ctx, WriteAction action, BuildOperation build,
                           OnConfirmed onConfirmed) {
    ctx.view.readPanel(ctx.model);
    enableApplyAndStart(ctx.view, false);
    const auto operation = build();
    const auto outcome = exchange(ctx, action, operation);
    if (outcome.confirmPassed) {
        onConfirmed(operation);
    }
    ctx.view.showPanel(ctx.model);
    enableApplyAndStart(ctx.view, true);
    return {true, outcome.confirmPassed};
}

ActionOutcome resetAction(Context& ctx, WriteAction action,
                          device::TwoStepOperation (*operation)()) {
    return oneOffAction(ctx, action, operation, [](const device::TwoStepOperation&) {});
}

ActionOutcome setInstallDate(Context& ctx) {
    auto& s = ctx.model.settings;
    return oneOffAction(
        ctx, WriteAction::InstallDate,
        [&s] {
            return device::installDateSet(
                device::dateBytes(s.installMonth, s.installDay, s.installYear));
        },
        // The confirm matched in all four bytes: the supply holds the date sent.
        [&s](const device::TwoStepOperation& operation) {
            const auto sent = operation.confirm.payload();
            const device::DateBytes date{sent[0], sent[1], sent[2], sent[3]};
            s.installMonth = date[0];
            s.installDay = date[1];
            s.installYear = device::yearOf(date);
        });
}

enum class PanelCheck { NotInteger, Invalid, Valid };

PanelCheck readAndValidate(Context& ctx) {
    if (!ctx.view.readPanel(ctx.model)) {
        return PanelCheck::NotInteger;
    }
    const auto failures = validatePanel(ctx.model.settings);
    for (const ValidationFailure& failure : failures) {
        ctx.view.showValidationFailure(failure);
    }
    return failures.empty() ? PanelCheck::Valid : PanelCheck::Invalid;
}

// One attempt with a valid panel: reconnect when needed, confirm, write, close. Returns whether
// the operator chose Retry.
bool attempt(Context& ctx) {
    ProgramState& state = ctx.state;
    if (!state.link.linkOk || state.reconnectFirst) {
        state.reconnectFirst = false;
        // The reconnect reloads the panel from the working file: save the entries there first.
        state.files.useWorking();
        writeConfiguration(ctx.view, ctx.model, state.files.current);
        silentReconnect(ctx);
    }
    if (!state.link.linkOk) {
        if (ctx.view.askRetry(ApplyProblem::DeviceNotFound)) {
            return true;
        }
        state.reconnectFirst = false;
        return false;
    }
    enableApplyControls(ctx.view, false);
    if (!ctx.view.confirm(buildChangeSummary(ctx.model.settings, ctx.model.texts.partNumber))) {
        return false;
    }
    // Success only when every exchange of this click passed: the link flag alone would report
    // a failed settings write followed by a good reset, or a refused reset confirm, as success.
    if (runWriteSequence(ctx).allSucceeded()) {
        ctx.view.showApplied();
        return false;
    }
    if (ctx.view.askRetry(ApplyProblem::CommunicationError)) {
        return true;
    }
    state.reconnectFirst = false;
    return false;
}

} // namespace

WriteOutcome runWriteSequence(Context& ctx) {
    const auto& s = ctx.model.settings;
    WriteOutcome outcome;
    if (s.optChargeSelector != 0 || s.optAcFaultDelay != 0 || s.optSysFaultDelay != 0) {
        outcome.settings = writeSettings(ctx);
    }
    if (s.optResetBatteryTimer != 0) {
        outcome.batteryTimer =
            resetAction(ctx, WriteAction::BatteryTimer, &device::batteryTimerReset);
    }
    if (s.optResetFaultCounts != 0) {
        outcome.faultCounts = resetAction(ctx, WriteAction::FaultCounts, &device::faultCountReset);
    }
    if (s.optInstallDate != 0) {
        outcome.installDate = setInstallDate(ctx);
    }
    return outcome;
}

void runApplySequence(Context& ctx) {
    auto check = readAndValidate(ctx);
    while (check == PanelCheck::Valid && attempt(ctx)) {
        ctx.state.reconnectFirst = true;
        check = readAndValidate(ctx);
    }
    // A field that did not read keeps its text; after a Retry the panel shows the reloaded
    // entries until the next attempt.
    if (check != PanelCheck::NotInteger && !ctx.state.reconnectFirst) {
        ctx.view.showPanel(ctx.model);
    }
    enableApplyControls(ctx.view, true);
}

} // namespace brenvik::operations
