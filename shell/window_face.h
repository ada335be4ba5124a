#pragma once
// The main window's face: the operations' requests, made in the program's terms, carried out on
// the window's controls by their resource ids, its timers, menu and message boxes.

#include "operations/view.h"
#include "operations/window_model.h"
#include "ui/data_exchange.h"
#include "ui/window_port.h"

#include <cstdint>
#include <optional>

namespace brenvik {

// Periods of the connect timer, which connects once shortly after the window has appeared, and
// of the monitor timer.
inline constexpr unsigned kConnectDelayMs = 500;
inline constexpr unsigned kMonitorPeriodMs = 1000;

// Button colours, red in the low byte.
inline constexpr std::uint32_t kWhite = 0xFFFFFF;
inline constexpr std::uint32_t kGreen = 0x008000;
inline constexpr std::uint32_t kRed = 0x0000FF;

// The check box of an option, and the option of a check box (nothing for any other control).
int optionBoxId(OptionBox box);
std::optional<OptionBox> optionBoxOf(int controlId);

// The main window's data exchange: walks the panel's bindings in their fixed order (edits 1005 to
// 1010 with 1010 before 1009, the read-only texts, the date edits, the option boxes, the charge
// selector by index last), reading the controls or filling them as `dx` says.
void exchangePanel(DataExchange& dx, MainWindowModel& model);

class WindowFace final : public operations::View {
public:
    explicit WindowFace(WindowPort& window) : window_(window) {}

    // The charge selector's four items before a supply has told its model, the first selected.
    void fillDefaultChargeSelector();
    void armConnectTimer();
    // True while a panel read shows its "Enter an integer." message, whose loop lets other
    // handlers run; a read they start meanwhile is refused.
    bool panelReadOpen() const { return panelReadOpen_; }

    bool readPanel(MainWindowModel& model) override;
    void showPanel(MainWindowModel& model) override;
    void showStatus(std::string_view text) override { window_.setStatusText(text); }
    void showChargeSelection(std::int32_t selection) override;
    void showChargeItems(const std::array<std::string_view, 4>& items) override;
    void showOptionBox(OptionBox box, bool ticked) override;
    void enableOptionFields(OptionBox box, bool enabled) override;
    void lockPanel() override;
    void unlockPanel(const DeviceSettings& settings) override;
    void enableApply(bool enabled) override;
    void enableStart(bool enabled) override;
    void enableSaveConfiguration(bool enabled) override;
    void showMonitoringButton(bool monitoring) override;
    void requestRepaint() override { window_.invalidate(false); }
    int armMonitorTimer() override;
    void stopMonitorTimer(int id) override { window_.killTimer(id); }
    void stopConnectTimer() override;
    void showValidationFailure(const ValidationFailure& failure) override;
    bool askRetry(operations::ApplyProblem problem) override;
    void showApplied() override;
    void showSaveFailed() override;
    bool confirm(const ConfirmationTexts& texts) override {
        return window_.showConfirmation(texts);
    }
    std::optional<std::filesystem::path> chooseFileToSave() override {
        return window_.chooseConfigurationFile(FileDialogKind::Save);
    }
    std::optional<std::filesystem::path> chooseFileToLoad() override {
        return window_.chooseConfigurationFile(FileDialogKind::Open);
    }

private:
    WindowPort& window_;
    bool panelReadOpen_ = false;
};

} // namespace brenvik
