#include "tests/support/fake_window.h"

namespace brenvik::testing {

std::string FakeWindow::controlText(int id) const {
    auto it = texts.find(id);
    return it == texts.end() ? std::string{} : it->second;
}

void FakeWindow::setControlText(int id, std::string_view text) {
    texts[id] = std::string(text);
}

bool FakeWindow::isChecked(int id) const {
    return checked.contains(id);
}

void FakeWindow::setChecked(int id, bool on) {
    if (on) {
        checked.insert(id);
    } else {
        checked.erase(id);
    }
}

bool FakeWindow::isEnabled(int id) const {
    return !disabled.contains(id);
}

void FakeWindow::enableControl(int id, bool enabled) {
    if (enabled) {
        disabled.erase(id);
    } else {
        disabled.insert(id);
    }
}

int FakeWindow::comboSelection(int id) const {
    auto it = comboSelections.find(id);
    return it == comboSelections.end() ? -1 : it->second;
}

void FakeWindow::setComboSelection(int id, int index) {
    auto items = combos.find(id);
    const int count = items == combos.end() ? 0 : static_cast<int>(items->second.size());
    comboSelections[id] = (index >= 0 && index < count) ? index : -1;
}

std::vector<std::string> FakeWindow::comboItems(int id) const {
    auto it = combos.find(id);
    return it == combos.end() ? std::vector<std::string>{} : it->second;
}

void FakeWindow::setComboItems(int id, const std::vector<std::string>& items) {
    combos[id] = items;
    comboSelections[id] = -1;
}

MessageResult FakeWindow::messageBox(std::string_view text, std::string_view caption,
                                     MessageIcon icon, MessageButtons buttons) {
    messages.push_back({std::string(text), std::string(caption), icon, buttons});
    if (!messageAnswers.empty()) {
        auto answer = messageAnswers.front();
        messageAnswers.pop_front();
        return answer;
    }
    return buttons == MessageButtons::Ok ? MessageResult::Ok : MessageResult::Cancel;
}

bool FakeWindow::setTimer(int id, unsigned periodMs) {
    if (timersFail) {
        return false;
    }
    timers[id] = periodMs;
    return true;
}

void FakeWindow::enableMenuCommand(int commandId, bool enabled) {
    if (enabled) {
        disabledMenuCommands.erase(commandId);
    } else {
        disabledMenuCommands.insert(commandId);
    }
}

std::optional<std::filesystem::path> FakeWindow::chooseConfigurationFile(FileDialogKind kind) {
    fileDialogs.push_back(kind);
    if (fileAnswers.empty()) {
        return std::nullopt;
    }
    auto answer = fileAnswers.front();
    fileAnswers.pop_front();
    return answer;
}

std::string FakeWindow::statusText() const {
    return statusHistory.empty() ? std::string("Ready") : statusHistory.back();
}

std::vector<std::string> FakeWindow::messageTexts() const {
    std::vector<std::string> out;
    for (const auto& m : messages) {
        out.push_back(m.text);
    }
    return out;
}

} // namespace brenvik::testing
