#pragma once
// A recording stand-in for the main window's controls, for tests and benchmarks: holds control
// states in maps, records every status-line text, message box, confirmation and repaint, and
// answers file dialogs, Retry/Cancel boxes and confirmations from scripts.

#include "ui/window_port.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <ranges>
#include <set>
#include <string>
#include <utility>
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
    std::string applicationName() const override { return "Brenvik-USB"; }
    std::string controlText(int id) const override {
        return texts.contains(id) ? texts.at(id) : "";
    }
    void setControlText(int id, std::string_view text) override { texts[id] = text; }
    bool isChecked(int id) const override { return checked.contains(id); }
    void setChecked(int id, bool on) override { mark(checked, id, on); }
    bool isEnabled(int id) const override { return !disabled.contains(id); }
    void enableControl(int id, bool enabled) override {
        if (timeline != nullptr && isEnabled(id) != enabled) {
            timeline->push_back((enabled ? "on " : "off ") + std::to_string(id));
        }
        mark(disabled, id, !enabled);
    }
    void focusControl(int id) override { focused = id; }
    int comboSelection(int id) const override {
        return comboSelections.contains(id) ? comboSelections.at(id) : -1;
    }
    // An index without an item selects nothing, as in a real combo box.
    void setComboSelection(int id, int index) override {
        comboSelections[id] = index >= 0 && index < std::ssize(comboItems(id)) ? index : -1;
    }
    std::vector<std::string> comboItems(int id) const override {
        return combos.contains(id) ? combos.at(id) : std::vector<std::string>{};
    }
    void setComboItems(int id, const std::vector<std::string>& items) override {
        combos[id] = items;
        comboSelections[id] = -1;
    }
    void setStatusText(std::string_view text) override {
        if (timeline != nullptr) {
            timeline->push_back("status " + std::string(text));
        }
        if (!keepHistory) {
            statusHistory.clear();
        }
        statusHistory.emplace_back(text);
    }
    MessageResult messageBox(std::string_view text, std::string_view caption, MessageIcon icon,
                             MessageButtons buttons) override {
        messages.push_back({std::string(text), std::string(caption), icon, buttons});
        if (timeline != nullptr) {
            timeline->push_back("box " + std::string(text));
        }
        if (whileMessageOpen) {
            whileMessageOpen();
        }
        return buttons == MessageButtons::Ok ? MessageResult::Ok
                                             : next(retryCancelAnswers, MessageResult::Cancel);
    }
    void invalidate(bool erase) override {
        if (keepHistory) {
            invalidations.push_back(erase);
        }
    }
    int setTimer(int id, unsigned periodMs) override {
        timers[id] = periodMs;
        return id;
    }
    void killTimer(int id) override { timers.erase(id); }
    void setButtonColours(int id, std::uint32_t text, std::uint32_t face) override {
        buttonColours[id] = {text, face};
    }
    void enableMenuCommand(int id, bool enabled) override {
        if (timeline != nullptr && disabledMenuCommands.contains(id) == enabled) {
            timeline->push_back((enabled ? "on menu " : "off menu ") + std::to_string(id));
        }
        mark(disabledMenuCommands, id, !enabled);
    }
    // The next scripted answer; none left means the operator cancelled.
    std::optional<std::filesystem::path> chooseConfigurationFile(FileDialogKind) override {
        if (whileFileDialogOpen) {
            whileFileDialogOpen();
        }
        return next(fileAnswers, std::optional<std::filesystem::path>());
    }
    // The next scripted answer; none left means Cancel.
    bool showConfirmation(const ConfirmationTexts&) override {
        if (timeline != nullptr) {
            timeline->push_back("show confirmation");
        }
        return next(confirmationAnswers, false);
    }

    // The last status-line text, "Ready" before any write.
    std::string statusText() const {
        return statusHistory.empty() ? "Ready" : statusHistory.back();
    }
    std::vector<std::string> messageTexts() const {
        const auto texts = messages | std::views::transform(&RecordedMessage::text);
        return {texts.begin(), texts.end()};
    }

    // When set, every status text, every control or menu command turned on or off and every
    // confirmation shown joins this time line (a test clock's, beside the transfers).
    std::vector<std::string>* timeline = nullptr;
    // False for long runs: only the last status text is kept, and no repaint.
    bool keepHistory = true;
    std::map<int, std::string> texts;
    std::set<int> checked;
    std::set<int> disabled;
    std::set<int> disabledMenuCommands;
    std::map<int, std::vector<std::string>> combos;
    std::map<int, int> comboSelections;
    std::map<int, unsigned> timers;
    std::map<int, std::pair<std::uint32_t, std::uint32_t>> buttonColours; // text, face
    std::optional<int> focused;
    std::vector<std::string> statusHistory;
    std::vector<RecordedMessage> messages;
    std::vector<bool> invalidations;
    std::deque<std::optional<std::filesystem::path>> fileAnswers;
    // Runs while a file dialog is open, which may move the process to another folder.
    std::function<void()> whileFileDialogOpen;
    // Runs while a message box is open, as the handlers the platform's message loop runs then.
    std::function<void()> whileMessageOpen;
    std::deque<MessageResult> retryCancelAnswers; // none left: Cancel
    std::deque<bool> confirmationAnswers;

private:
    template <typename T>
    static T next(std::deque<T>& script, T fallback) {
        if (script.empty()) {
            return fallback;
        }
        T answer = std::move(script.front());
        script.pop_front();
        return answer;
    }
    static void mark(std::set<int>& ids, int id, bool in) {
        in ? void(ids.insert(id)) : void(ids.erase(id));
    }
};

} // namespace brenvik::testing
