#pragma once
// The WindowPort of a dialog window: the portable code's view of the real controls.

#include "framework/cstatusbarctrl.h"
#include "ui/window_port.h"
#include "win32/win32.h"

#include <cstdint>
#include <functional>
#include <string>
#include <utility>

namespace brenvik::framework {

class DialogWindowPort final : public WindowPort {
public:
    // `dialog` is read on every call, so the port can be built before the window exists.
    explicit DialogWindowPort(const HWND& dialog);

    // The status line is part 1 of this bar; a dialog without one has no status line.
    void attachStatusBar(CStatusBarCtrl& statusBar) { statusBar_ = &statusBar; }
    // The owner's colour buttons, which the owner colours and repaints by control id; a dialog
    // without any ignores button colours.
    using ButtonColourer = std::function<void(int id, COLORREF text, COLORREF face)>;
    void attachButtonColours(ButtonColourer colourer) { buttonColourer_ = std::move(colourer); }

    // The owner of the confirmation dialog answers showConfirmation; a port without one
    // declines every confirmation.
    using ConfirmationHandler = std::function<bool(const ConfirmationTexts&)>;
    void attachConfirmation(ConfirmationHandler handler) {
        confirmationHandler_ = std::move(handler);
    }

    std::string applicationName() const override { return applicationName_; }
    std::string controlText(int id) const override;
    void setControlText(int id, std::string_view text) override;
    bool isChecked(int id) const override;
    void setChecked(int id, bool checked) override;
    bool isEnabled(int id) const override;
    void enableControl(int id, bool enabled) override;
    void focusControl(int id) override;
    int comboSelection(int id) const override;
    void setComboSelection(int id, int index) override;
    std::vector<std::string> comboItems(int id) const override;
    void setComboItems(int id, const std::vector<std::string>& items) override;
    void setStatusText(std::string_view text) override;
    MessageResult messageBox(std::string_view text, std::string_view caption, MessageIcon icon,
                             MessageButtons buttons) override;
    void invalidate(bool erase) override;
    int setTimer(int id, unsigned periodMs) override;
    void killTimer(int id) override;
    void setButtonColours(int id, std::uint32_t text, std::uint32_t face) override;
    void enableMenuCommand(int commandId, bool enabled) override;
    std::optional<std::filesystem::path> chooseConfigurationFile(FileDialogKind kind) override;
    bool showConfirmation(const ConfirmationTexts& texts) override;

private:
    HWND item(int id) const { return ::GetDlgItem(dialog_, id); }

    const HWND& dialog_;
    CStatusBarCtrl* statusBar_ = nullptr;
    ButtonColourer buttonColourer_;
    std::string applicationName_;
    ConfirmationHandler confirmationHandler_;
};

} // namespace brenvik::framework
