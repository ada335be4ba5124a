#include "operations/supply.h"

#include "operations/status_texts.h"

#include <array>

namespace brenvik::operations {

bool WriteOutcome::allSucceeded() const {
    const std::array<ActionOutcome, 4> actions{settings, batteryTimer, faultCounts, installDate};
    for (const auto& action : actions) {
        if (action.ran && !action.succeeded) {
            return false;
        }
    }
    return true;
}

device::OpenResult Supply::open(const device::BridgeChoice& choice) {
    return device::openBridge(link_, clock_, choice);
}

monitor::FetchOutcome Supply::readSettings(const monitor::FetchProgress& progress) {
    return monitor::fetchStatusBlock(clock_, link_, monitor::BlockCaller::ReadBack, progress);
}

monitor::FetchOutcome Supply::readBlock(const monitor::FetchProgress& progress) {
    return monitor::fetchStatusBlock(clock_, link_, monitor::BlockCaller::MonitorTick, progress);
}

device::TwoStepOutcome Supply::exchange(const device::TwoStepOperation& operation,
                                        const device::TwoStepProgress& progress) {
    return device::runTwoStep(link_, clock_, operation, progress);
}

WriteOutcome Supply::write(const WritePlan& plan) {
    const auto run = [this](const device::TwoStepOperation& operation) {
        return ActionOutcome{true, exchange(operation).confirmPassed};
    };
    WriteOutcome outcome;
    if (plan.settings) {
        outcome.settings = run(device::settingsWrite(*plan.settings));
    }
    if (plan.resetBatteryTimer) {
        outcome.batteryTimer = run(device::batteryTimerReset());
    }
    if (plan.resetFaultCounts) {
        outcome.faultCounts = run(device::faultCountReset());
    }
    if (plan.installDate) {
        outcome.installDate = run(device::installDateSet(*plan.installDate));
    }
    return outcome;
}

std::string_view openStatus(device::OpenResult result) {
    using enum device::OpenResult;
    return result == CountFailed || result == NoDevice ? status::kCheckCable
                                                       : status::kSearchingDevice;
}

std::optional<std::string_view> fetchStatus(const monitor::FetchOutcome& soFar,
                                            monitor::BlockCaller caller) {
    const bool readBack = caller == monitor::BlockCaller::ReadBack;
    switch (soFar.result) {
    case monitor::FetchResult::NotAcknowledged:
        return status::kCommErrorStop;
    case monitor::FetchResult::Acknowledged:
        return status::kReadingStatus;
    case monitor::FetchResult::BadBlock:
        return readBack ? status::kCommErrorBang : status::kCommErrorStop;
    case monitor::FetchResult::Good:
        break;
    }
    if (readBack) {
        return std::nullopt;
    }
    return status::kReadStatusSuccess;
}

std::string_view actionStatus(WriteAction action, const device::TwoStepOutcome& soFar) {
    struct StepTexts {
        std::string_view requestPass;
        std::string_view requestFail;
        std::string_view confirmPass;
    };
    static constexpr std::array<StepTexts, 4> kTexts{{
        {status::kWritingEeprom, status::kCommErrorStop, status::kWriteEepromSuccess},
        {status::kResettingBatteryTime, status::kCommErrorBang, status::kResetBatteryTimeSuccess},
        {status::kResettingFaultCounts, status::kCommErrorBang, status::kResetFaultCountsSuccess},
        {status::kSettingInstallDate, status::kCommErrorBang, status::kSetInstallDateSuccess},
    }};
    const StepTexts& texts = kTexts[static_cast<std::size_t>(action)];
    if (!soFar.confirmReply) {
        return soFar.requestPassed ? texts.requestPass : texts.requestFail;
    }
    return soFar.confirmPassed ? texts.confirmPass : status::kCommErrorStop;
}

} // namespace brenvik::operations
