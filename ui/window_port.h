#pragma once
// A dialog window's controls by their resource ids, the status line, message boxes, repaints,
// timers, menu items and the file dialogs. The Win32 dialog implements it on real controls; the
// main window's face maps the operations' requests onto it, and native tests use a recording
// fake.

#include "programming/change_summary.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brenvik {

enum class MessageIcon { None, Error, Warning, Information };
enum class MessageButtons { Ok, RetryCancel };
enum class MessageResult { Ok, Cancel, Retry };
enum class FileDialogKind { Save, Open };

class WindowPort {
public:
    virtual ~WindowPort() = default;

    // Name of the executable without folder and extension; caption of the "Enter an integer."
    // message and name of the single-instance objects.
    virtual std::string applicationName() const = 0;

    // Window text of a control (edit, label, button caption).
    virtual std::string controlText(int id) const = 0;
    virtual void setControlText(int id, std::string_view text) = 0;

    // Check boxes.
    virtual bool isChecked(int id) const = 0;
    virtual void setChecked(int id, bool checked) = 0;

    virtual bool isEnabled(int id) const = 0;
    virtual void enableControl(int id, bool enabled) = 0;
    virtual void focusControl(int id) = 0;

    // Drop-down combo boxes. A selection of -1, or an index without an item, selects nothing.
    virtual int comboSelection(int id) const = 0;
    virtual void setComboSelection(int id, int index) = 0;
    virtual std::vector<std::string> comboItems(int id) const = 0;
    virtual void setComboItems(int id, const std::vector<std::string>& items) = 0;

    // Part 1 of the status bar: replaces its whole text.
    virtual void setStatusText(std::string_view text) = 0;

    // A message box without an owner window that blocks the program's own windows while it is
    // up; returns the button that closed it.
    virtual MessageResult messageBox(std::string_view text, std::string_view caption,
                                     MessageIcon icon, MessageButtons buttons) = 0;

    // Request a repaint of the whole main window.
    virtual void invalidate(bool erase) = 0;

    // Window timers of the main window. setTimer returns the id the platform armed, which is
    // the one to kill it by, or 0 when the timer could not be armed.
    virtual int setTimer(int id, unsigned periodMs) = 0;
    virtual void killTimer(int id) = 0;

    // Text and face colours of a colour button (APPLY, START/STOP), as 32-bit values with red in
    // the low byte; the button is repainted with its background erased.
    virtual void setButtonColours(int id, std::uint32_t text, std::uint32_t face) = 0;

    // Enables or greys a menu command of the main window's menu bar.
    virtual void enableMenuCommand(int commandId, bool enabled) = 0;

    // The platform's save or open dialog for configuration files, starting in the process's
    // current directory. Returns the chosen full path, or nothing when cancelled.
    virtual std::optional<std::filesystem::path> chooseConfigurationFile(FileDialogKind kind) = 0;

    // The confirmation dialog, shown modally over the main window with these texts. True when
    // the operator chose to proceed (OK); false after Cancel, Escape or the close box.
    virtual bool showConfirmation(const ConfirmationTexts& texts) = 0;
};

} // namespace brenvik
