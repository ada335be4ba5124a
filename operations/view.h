#pragma once
// What the operations need from the window, in the program's own terms. The window face maps
// each call to its controls, boxes and timers; the operations never see a control.

#include "operations/window_model.h"
#include "programming/change_summary.h"
#include "programming/settings.h"
#include "programming/validation.h"

#include <array>
#include <filesystem>
#include <optional>
#include <string_view>

namespace brenvik::operations {

// What a Retry/Cancel question of APPLY is about.
enum class ApplyProblem {
    DeviceNotFound,     // the supply did not answer after reconnecting
    CommunicationError, // an exchange of the writes failed
};

class View {
public:
    virtual ~View() = default;

    // Panel read: the panel's entries and the read-only fields into the record. False when a
    // numeric field holds no integer; the view has then told the operator, and the record's
    // later fields keep their values.
    virtual bool readPanel(MainWindowModel& model) = 0;
    // Panel redisplay: the record into the panel and the read-only fields.
    virtual void showPanel(MainWindowModel& model) = 0;

    // The status line, replaced as a whole.
    virtual void showStatus(std::string_view text) = 0;

    // The charge selector: its selection at once, and the items of the connected model.
    virtual void showChargeSelection(std::int32_t selection) = 0;
    virtual void showChargeItems(const std::array<std::string_view, 4>& items) = 0;

    // The programming panel's option boxes and the fields that belong to each.
    virtual void showOptionBox(OptionBox box, bool ticked) = 0;
    virtual void enableOptionFields(OptionBox box, bool enabled) = 0;
    // Every box and field disabled, whatever the boxes say.
    virtual void lockPanel() = 0;
    // The boxes enabled, and the fields of each box whose option flag is set.
    virtual void unlockPanel(const DeviceSettings& settings) = 0;

    virtual void enableApply(bool enabled) = 0;
    virtual void enableStart(bool enabled) = 0;
    virtual void enableSaveConfiguration(bool enabled) = 0;
    // START/STOP: "STOP" on red while monitoring, "START" on green otherwise.
    virtual void showMonitoringButton(bool monitoring) = 0;
    // Repaint the whole window without erasing it.
    virtual void requestRepaint() = 0;

    // The monitor timer, armed once a second; the id to stop it by, 0 when it could not be armed.
    virtual int armMonitorTimer() = 0;
    virtual void stopMonitorTimer(int id) = 0;
    virtual void stopConnectTimer() = 0;

    // Message boxes.
    virtual void showValidationFailure(const ValidationFailure& failure) = 0;
    // True when the operator chose Retry.
    virtual bool askRetry(ApplyProblem problem) = 0;
    virtual void showApplied() = 0;
    virtual void showSaveFailed() = 0;
    // The confirmation dialog; true when the operator chose to proceed.
    virtual bool confirm(const ConfirmationTexts& texts) = 0;

    // The file dialogs for configuration files; nothing when cancelled.
    virtual std::optional<std::filesystem::path> chooseFileToSave() = 0;
    virtual std::optional<std::filesystem::path> chooseFileToLoad() = 0;
};

} // namespace brenvik::operations
