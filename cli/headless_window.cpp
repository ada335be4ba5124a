#include "cli/headless_window.h"

namespace brenvik::cli {

std::string HeadlessWindow::controlText(int id) const {
    const auto found = texts_.find(id);
    return found == texts_.end() ? std::string{} : found->second;
}

void HeadlessWindow::setControlText(int id, std::string_view text) {
    texts_[id] = std::string(text);
}

void HeadlessWindow::setChecked(int id, bool checked) {
    if (checked) {
        checked_.insert(id);
    } else {
        checked_.erase(id);
    }
}

void HeadlessWindow::enableControl(int id, bool enabled) {
    if (enabled) {
        disabled_.erase(id);
    } else {
        disabled_.insert(id);
    }
}

int HeadlessWindow::comboSelection(int id) const {
    const auto found = comboSelections_.find(id);
    return found == comboSelections_.end() ? -1 : found->second;
}

// An index without an item selects nothing, as in a real combo box.
void HeadlessWindow::setComboSelection(int id, int index) {
    const auto items = comboItems(id);
    comboSelections_[id] = index >= 0 && index < static_cast<int>(items.size()) ? index : -1;
}

std::vector<std::string> HeadlessWindow::comboItems(int id) const {
    const auto found = comboItems_.find(id);
    return found == comboItems_.end() ? std::vector<std::string>{} : found->second;
}

void HeadlessWindow::setComboItems(int id, const std::vector<std::string>& items) {
    comboItems_[id] = items;
    comboSelections_[id] = -1;
}

MessageResult HeadlessWindow::messageBox(std::string_view text, std::string_view caption,
                                         MessageIcon, MessageButtons buttons) {
    messages_.emplace_back(text);
    if (messagesShown_) {
        stream_ << caption << ": " << text << '\n';
    }
    return buttons == MessageButtons::Ok ? MessageResult::Ok : MessageResult::Cancel;
}

} // namespace brenvik::cli
