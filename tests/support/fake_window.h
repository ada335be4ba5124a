#pragma once
// A recording stand-in for the main window: holds control states in maps, records every
// status-line text and message box, and answers message boxes from a script.

#include "ui/window_port.h"

#include <deque>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace brenvik::testing {

struct RecordedMessage {
    std::string text;
    std::string caption;
    MessageIcon icon;
    MessageButtons buttons;
};

class FakeWindow : public WindowPort {
public:
    std::string applicationName() const override { return appName; }

    std::string controlText(int id) const override;
    void setControlText(int id, std::string_view text) override;
    bool isChecked(int id) const override;
    void setChecked(int id, bool checked) override;
    bool isEnabled(int id) const override;
    void enableControl(int id, bool enabled) override;
    void focusControl(int id) override { focused = id; }
    int comboSelection(int id) const override;
    void setComboSelection(int id, int index) override;
    std::vector<std::string> comboItems(int id) const override;
    void setComboItems(int id, const std::vector<std::string>& items) override;
    void setStatusText(std::string_view text) override { statusHistory.emplace_back(text); }
    MessageResult messageBox(std::string_view text, std::string_view caption, MessageIcon icon,
                             MessageButtons buttons) override;
    void invalidate(bool erase) override { invalidations.push_back(erase); }
    bool setTimer(int id, unsigned periodMs) override;
    void killTimer(int id) override { timers.erase(id); }
    void enableMenuCommand(int commandId, bool enabled) override;
    std::optional<std::filesystem::path> chooseConfigurationFile(FileDialogKind kind) override;

    // The last status-line text, "Ready" before any write.
    std::string statusText() const;
    std::vector<std::string> messageTexts() const;

    std::string appName = "Brenvik-USB";
    std::map<int, std::string> texts;
    std::set<int> checked;
    std::set<int> disabled;
    std::set<int> disabledMenuCommands;
    std::map<int, std::vector<std::string>> combos;
    std::map<int, int> comboSelections;
    std::map<int, unsigned> timers;
    std::optional<int> focused;
    std::vector<std::string> statusHistory;
    std::vector<RecordedMessage> messages;
    std::vector<bool> invalidations;
    // Answers for the next message boxes, in order; when empty, Ok for an Ok box and Cancel for
    // a Retry/Cancel box.
    std::deque<MessageResult> messageAnswers;
    // Answers for the next file dialogs, in order; nothing means cancelled.
    std::deque<std::optional<std::filesystem::path>> fileAnswers;
    std::vector<FileDialogKind> fileDialogs;
    bool timersFail = false;
};

} // namespace brenvik::testing
