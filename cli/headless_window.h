#pragma once
// The main window's seam without a window: the command line runs the window's own sequences
// against it. Controls live in memory, the status line keeps its last text, message boxes are
// printed to the error stream and answered with OK or Cancel, the confirmation with the
// command's own answer.

#include "ui/window_port.h"

#include <cstdint>
#include <functional>
#include <map>
#include <ostream>
#include <set>
#include <string>
#include <vector>

namespace brenvik::cli {

class HeadlessWindow final : public WindowPort {
public:
    explicit HeadlessWindow(std::ostream& messages) : stream_(messages) {}

    std::string applicationName() const override { return "brenvik"; }
    std::string controlText(int id) const override;
    void setControlText(int id, std::string_view text) override;
    bool isChecked(int id) const override { return checked_.contains(id); }
    void setChecked(int id, bool checked) override;
    bool isEnabled(int id) const override { return !disabled_.contains(id); }
    void enableControl(int id, bool enabled) override;
    void focusControl(int) override {}
    int comboSelection(int id) const override;
    void setComboSelection(int id, int index) override;
    std::vector<std::string> comboItems(int id) const override;
    void setComboItems(int id, const std::vector<std::string>& items) override;
    void setStatusText(std::string_view text) override { statusText_ = text; }
    // Printed as "caption: text"; a question box is answered with Cancel, as nobody is there to
    // retry.
    MessageResult messageBox(std::string_view text, std::string_view caption, MessageIcon icon,
                             MessageButtons buttons) override;
    void invalidate(bool) override {}
    int setTimer(int, unsigned) override { return 0; }
    void killTimer(int) override {}
    void setButtonColours(int, std::uint32_t, std::uint32_t) override {}
    void enableMenuCommand(int, bool) override {}
    std::optional<std::filesystem::path> chooseConfigurationFile(FileDialogKind) override {
        return std::nullopt;
    }
    // Answered by the command's own confirmation; without one, nobody proceeds.
    bool showConfirmation(const ConfirmationTexts& texts) override {
        return confirm_ && confirm_(texts);
    }
    void setConfirmation(std::function<bool(const ConfirmationTexts&)> confirm) {
        confirm_ = std::move(confirm);
    }

    // The last status-line text, empty before the first.
    const std::string& lastStatusText() const { return statusText_; }
    // Texts of every message box so far, oldest first.
    const std::vector<std::string>& messages() const { return messages_; }
    // Message boxes go to the error stream only while this is true.
    void setMessagesShown(bool shown) { messagesShown_ = shown; }

private:
    std::ostream& stream_;
    bool messagesShown_ = true;
    std::vector<std::string> messages_;
    std::map<int, std::string> texts_;
    std::set<int> checked_;
    std::set<int> disabled_;
    std::map<int, std::vector<std::string>> comboItems_;
    std::map<int, int> comboSelections_;
    std::string statusText_;
    std::function<bool(const ConfirmationTexts&)> confirm_;
};

} // namespace brenvik::cli
