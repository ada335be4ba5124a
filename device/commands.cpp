#include "device/commands.h"

#include <algorithm>
#include <numeric>

namespace brenvik::device {

namespace {

std::uint8_t sumOf(std::span<const std::uint8_t> bytes) {
    return static_cast<std::uint8_t>(std::accumulate(bytes.begin(), bytes.end(), 0u));
}

Frame payloadFrame(std::uint8_t code, std::span<const std::uint8_t> values, std::size_t length,
                   bool withChecksum) {
    Frame frame;
    frame.bytes[0] = code;
    frame.bytes[1] = kFrameMarker;
    std::copy(values.begin(), values.end(), frame.bytes.begin() + 2);
    frame.length = length;
    if (withChecksum) {
        frame.bytes[length - 1] =
            sumOf(std::span<const std::uint8_t>(frame.bytes).first(length - 1));
    }
    return frame;
}

// Leading reply bytes equal to the frame's bytes from the given offset, at most count.
std::size_t leadingMatches(const Frame& frame, std::size_t offset, const Reply& reply,
                           std::size_t count) {
    if (!reply.complete()) {
        return 0;
    }
    std::size_t matched = 0;
    while (matched < count && reply.bytes[matched] == frame.bytes[offset + matched]) {
        ++matched;
    }
    return matched;
}

bool allZero(const Reply& reply) {
    return reply.complete() &&
           std::all_of(reply.bytes.begin(), reply.bytes.begin() + reply.requested,
                       [](std::uint8_t b) { return b == 0; });
}

} // namespace

std::optional<CommandShape> commandShape(std::uint8_t code) {
    switch (code) {
    case command::kEepromWriteRequest:
    case command::kEepromWriteConfirm:
        return CommandShape{11, 10};
    case command::kReadBackOpen:
    case command::kBatteryResetRequest:
    case command::kMonitorOpen:
    case command::kFaultResetRequest:
        return CommandShape{2, 1};
    case command::kChunkRead:
        return CommandShape{2, 12};
    case command::kBatteryResetConfirm:
        return CommandShape{2, 3};
    case command::kFaultResetConfirm:
        return CommandShape{2, 4};
    case command::kDateRequest:
    case command::kDateConfirm:
        return CommandShape{8, 4};
    default:
        return std::nullopt;
    }
}

DateBytes dateBytes(std::int32_t month, std::int32_t day, std::int32_t year) {
    return {static_cast<std::uint8_t>(month), static_cast<std::uint8_t>(day),
            static_cast<std::uint8_t>(year / 100), static_cast<std::uint8_t>(year % 100)};
}

std::int32_t yearOf(const DateBytes& date) {
    return 100 * date[2] + date[3];
}

Frame plainFrame(std::uint8_t code) {
    return payloadFrame(code, {}, 2, false);
}

Frame settingsWriteRequest(const SettingsPayload& settings) {
    return payloadFrame(command::kEepromWriteRequest, settings, 11, true);
}

Frame settingsWriteConfirm(const SettingsPayload& settings) {
    return payloadFrame(command::kEepromWriteConfirm, settings, 11, false);
}

Frame installDateRequest(const DateBytes& date) {
    return payloadFrame(command::kDateRequest, date, 8, true);
}

Frame installDateConfirm(const DateBytes& date) {
    return payloadFrame(command::kDateConfirm, date, 8, false);
}

Reply send(DeviceLink& link, const Frame& frame) {
    const auto shape = commandShape(frame.code());
    const std::size_t replyLength = shape ? shape->replyLength : 1;
    return transact(link, frame.code(), frame.payload(), frame.length, replyLength);
}

std::size_t matchingConfirmBytes(const Frame& frame, const Reply& reply) {
    switch (frame.code()) {
    case command::kEepromWriteConfirm:
        return leadingMatches(frame, 2, reply, 7);
    case command::kDateConfirm:
        return leadingMatches(frame, 2, reply, 4);
    default:
        return 0;
    }
}

bool replyPasses(const Frame& frame, const Reply& reply) {
    switch (frame.code()) {
    case command::kEepromWriteRequest:
        return leadingMatches(frame, 1, reply, 9) == 9;
    case command::kEepromWriteConfirm:
        return matchingConfirmBytes(frame, reply) == 7;
    case command::kDateConfirm:
        return matchingConfirmBytes(frame, reply) == 4;
    case command::kBatteryResetConfirm:
    case command::kFaultResetConfirm:
        return allZero(reply);
    case command::kChunkRead:
        return reply.complete();
    case command::kReadBackOpen:
    case command::kBatteryResetRequest:
    case command::kMonitorOpen:
    case command::kFaultResetRequest:
    case command::kDateRequest:
        return acknowledged(reply);
    default:
        return false;
    }
}

void recordCheck(DeviceLink& link, std::uint8_t code, bool passed) {
    if (code == command::kBatteryResetConfirm || code == command::kFaultResetConfirm) {
        return;
    }
    link.linkOk = passed;
}

TwoStepOperation settingsWrite(const SettingsPayload& settings) {
    return {settingsWriteRequest(settings), settingsWriteConfirm(settings)};
}

TwoStepOperation batteryTimerReset() {
    return {plainFrame(command::kBatteryResetRequest), plainFrame(command::kBatteryResetConfirm)};
}

TwoStepOperation faultCountReset() {
    return {plainFrame(command::kFaultResetRequest), plainFrame(command::kFaultResetConfirm)};
}

TwoStepOperation installDateSet(const DateBytes& date) {
    return {installDateRequest(date), installDateConfirm(date)};
}

TwoStepOutcome runTwoStep(DeviceLink& link, Clock& clock, const TwoStepOperation& operation,
                          const TwoStepProgress& progress) {
    const auto report = [&](const TwoStepOutcome& soFar) {
        if (progress) {
            progress(soFar);
        }
    };
    TwoStepOutcome outcome;
    outcome.requestReply = send(link, operation.request);
    outcome.requestPassed = replyPasses(operation.request, outcome.requestReply);
    recordCheck(link, operation.request.code(), outcome.requestPassed);
    report(outcome);
    if (!outcome.requestPassed) {
        return outcome;
    }
    clock.sleep(kConfirmDelay);
    outcome.confirmReply = send(link, operation.confirm);
    outcome.confirmPassed = replyPasses(operation.confirm, *outcome.confirmReply);
    recordCheck(link, operation.confirm.code(), outcome.confirmPassed);
    report(outcome);
    return outcome;
}

} // namespace brenvik::device
