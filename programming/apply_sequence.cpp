#include "programming/apply_sequence.h"

#include "monitor/block_decode.h"
#include "monitor/status_block.h"
#include "programming/change_summary.h"
#include "programming/panel.h"
#include "res/resource.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <tuple>

namespace brenvik {
namespace {

constexpr std::string_view kCannotFindDevice =
    "Can not find device,please check device and try again.";
constexpr std::string_view kWriteSuccess = "Write EEPROM success.";
constexpr std::string_view kCommunicateError = "Communicate error,please try again.";
constexpr std::string_view kPassCaption = "Pass";
constexpr std::string_view kFailCaption = "Fail";

std::uint8_t low8(std::int32_t value) {
    return static_cast<std::uint8_t>(value);
}

void enableApplyAndStart(WindowPort& window, bool enabled) {
    window.enableControl(IDC_BTN_APPLY, enabled);
    window.enableControl(IDC_BTN_START, enabled);
}

// APPLY, START and "Save Configuration" stay off from the moment the supply is found until the
// click ends, so neither monitoring nor a save can cut into the writes.
void enableApplyControls(WindowPort& window, bool enabled) {
    enableApplyAndStart(window, enabled);
    window.enableMenuCommand(ID_FILE_SAVECONFIGURATION, enabled);
}

// A settings confirm that matched in all seven bytes: the supply now holds exactly these. They
// travel in the order the status block carries them from byte 10 on, so they are taken over as
// the read-back takes that block's settings.
void takeOverSettings(ApplyContext& ctx, const device::Reply& reply) {
    constexpr std::size_t kSettingsOffset = 10;
    monitor::StatusBlockBytes block{};
    std::copy_n(reply.bytes.begin(), std::tuple_size_v<device::SettingsPayload>,
                block.begin() + kSettingsOffset);
    const auto confirmed = monitor::decodeStatusBlock(block);
    monitor::applyDelays(ctx.model.settings, confirmed);
    monitor::applyChargeSelection(ctx.window, ctx.model.settings, confirmed);
    monitor::applyLastReadSettings(ctx.monitor, confirmed);
}

ActionOutcome writeSettings(ApplyContext& ctx) {
    const auto payload = settingsPayload(ctx.model.settings, ctx.monitor.lastRead);
    const auto result =
        device::runTwoStep(ctx.link, ctx.clock, ctx.window, device::settingsWrite(payload));
    // A reply that differs anywhere is not what the supply holds; it changes nothing here.
    if (result.confirmPassed) {
        takeOverSettings(ctx, *result.confirmReply);
    }
    return {true, result.confirmPassed};
}

// One of the one-off actions: the panel read first (the operation may depend on it), APPLY and
// START off while it runs, the panel redisplayed afterwards.
template <typename BuildOperation, typename OnConfirmed>
ActionOutcome oneOffAction(ApplyContext& ctx, BuildOperation build, OnConfirmed onConfirmed) {
    panelRead(ctx.window, ctx.model);
    enableApplyAndStart(ctx.window, false);
    const auto result = device::runTwoStep(ctx.link, ctx.clock, ctx.window, build());
    if (result.confirmPassed) {
        onConfirmed(*result.confirmReply);
    }
    panelRedisplay(ctx.window, ctx.model);
    enableApplyAndStart(ctx.window, true);
    return {true, result.confirmPassed};
}

ActionOutcome resetAction(ApplyContext& ctx, device::TwoStepOperation (*operation)()) {
    return oneOffAction(ctx, operation, [](const device::Reply&) {});
}

ActionOutcome setInstallDate(ApplyContext& ctx) {
    auto& s = ctx.model.settings;
    return oneOffAction(
        ctx,
        [&s] {
            return device::installDateSet(
                device::dateBytes(s.installMonth, s.installDay, s.installYear));
        },
        [&s](const device::Reply& reply) {
            const device::DateBytes date{reply.bytes[0], reply.bytes[1], reply.bytes[2],
                                         reply.bytes[3]};
            s.installMonth = date[0];
            s.installDay = date[1];
            s.installYear = device::yearOf(date);
        });
}

enum class PanelCheck { NotInteger, Invalid, Valid };

PanelCheck readAndValidate(ApplyContext& ctx) {
    if (!panelRead(ctx.window, ctx.model)) {
        return PanelCheck::NotInteger;
    }
    return validatePanel(ctx.window, ctx.model.settings) ? PanelCheck::Valid : PanelCheck::Invalid;
}

bool retryChosen(WindowPort& window, std::string_view text) {
    return window.messageBox(text, kFailCaption, MessageIcon::Error, MessageButtons::RetryCancel) ==
           MessageResult::Retry;
}

// One attempt with a valid panel: reconnect when needed, confirm, write, close. Returns whether
// the operator chose Retry.
bool attempt(ApplyContext& ctx) {
    if (!ctx.link.linkOk || ctx.reconnectFirst) {
        ctx.reconnectFirst = false;
        // The reconnect reloads the panel from the working file: save the entries there first.
        ctx.files.useWorking();
        config::writeConfiguration(ctx.window, ctx.model, ctx.files.current);
        auto connection = ctx.connection();
        device::silentReconnect(connection);
    }
    if (!ctx.link.linkOk) {
        if (retryChosen(ctx.window, kCannotFindDevice)) {
            return true;
        }
        ctx.reconnectFirst = false;
        return false;
    }
    enableApplyControls(ctx.window, false);
    const auto summary = buildChangeSummary(ctx.model.settings, ctx.model.texts.partNumber);
    if (!ctx.window.showConfirmation(summary)) {
        return false;
    }
    // Success only when every exchange of this click passed: the link flag alone would report
    // a failed settings write followed by a good reset, or a refused reset confirm, as success.
    if (runWriteSequence(ctx).allSucceeded()) {
        ctx.window.messageBox(kWriteSuccess, kPassCaption, MessageIcon::None, MessageButtons::Ok);
        return false;
    }
    if (retryChosen(ctx.window, kCommunicateError)) {
        return true;
    }
    ctx.reconnectFirst = false;
    return false;
}

} // namespace

bool WriteOutcome::allSucceeded() const {
    const std::array<ActionOutcome, 4> actions{settings, batteryTimer, faultCounts, installDate};
    for (const auto& action : actions) {
        if (action.ran && !action.succeeded) {
            return false;
        }
    }
    return true;
}

device::SettingsPayload settingsPayload(const DeviceSettings& s,
                                        const monitor::LastReadSettings& last) {
    const bool ac = s.optAcFaultDelay != 0;
    const bool sys = s.optSysFaultDelay != 0;
    const bool charge = s.optChargeSelector != 0;
    return {ac ? low8(s.acFaultSeconds) : last.acFaultSeconds,
            ac ? low8(s.acFaultMinutes) : last.acFaultMinutes,
            ac ? low8(s.acFaultHours) : last.acFaultHours,
            sys ? low8(s.sysFaultSeconds) : last.sysFaultSeconds,
            sys ? low8(s.sysFaultMinutes) : last.sysFaultMinutes,
            sys ? low8(s.sysFaultHours) : last.sysFaultHours,
            charge ? low8(s.chargeSelection) : last.chargeSelection};
}

WriteOutcome runWriteSequence(ApplyContext& ctx) {
    const auto& s = ctx.model.settings;
    WriteOutcome outcome;
    if (s.optChargeSelector != 0 || s.optAcFaultDelay != 0 || s.optSysFaultDelay != 0) {
        outcome.settings = writeSettings(ctx);
    }
    if (s.optResetBatteryTimer != 0) {
        outcome.batteryTimer = resetAction(ctx, &device::batteryTimerReset);
    }
    if (s.optResetFaultCounts != 0) {
        outcome.faultCounts = resetAction(ctx, &device::faultCountReset);
    }
    if (s.optInstallDate != 0) {
        outcome.installDate = setInstallDate(ctx);
    }
    return outcome;
}

void runApplySequence(ApplyContext& ctx) {
    auto check = readAndValidate(ctx);
    while (check == PanelCheck::Valid && attempt(ctx)) {
        ctx.reconnectFirst = true;
        check = readAndValidate(ctx);
    }
    // A field that did not read keeps its text; after a Retry the panel shows the reloaded
    // entries until the next attempt.
    if (check != PanelCheck::NotInteger && !ctx.reconnectFirst) {
        panelRedisplay(ctx.window, ctx.model);
    }
    enableApplyControls(ctx.window, true);
}

} // namespace brenvik
