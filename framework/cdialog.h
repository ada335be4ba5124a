#pragma once
// A dialog built from a template in the program's resources and run modally.
//
// The derived class routes messages with a message map (see message_map.h) by overriding
// handleMessage with one call to dispatch(). Whatever the map leaves alone gets the dialog's
// default handling; OK and Cancel end the modal run unless the derived class overrides them.
// No exception leaves the dialog procedure: the first one ends the modal run and doModal
// throws it again to its caller.

#include "framework/dialog_window_port.h"
#include "framework/message_map.h"
#include "ui/data_exchange.h"
#include "win32/win32.h"

#include <exception>

namespace brenvik::framework {

class CDialog {
public:
    explicit CDialog(UINT templateId, HINSTANCE instance = nullptr);
    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;
    virtual ~CDialog() = default;

    // Runs the dialog until endDialog; returns its result, or -1 when it could not be created.
    INT_PTR doModal(HWND parent = nullptr);

    HWND hwnd() const { return hwnd_; }
    UINT templateId() const { return templateId_; }
    HINSTANCE instance() const { return instance_; }

    // Moves member values into the controls (false) or the controls' values into the members
    // (true). Returns false when a field could not be read.
    bool updateData(bool saveAndValidate);
    void endDialog(INT_PTR result);

    // The dialog's controls as the portable code sees them.
    DialogWindowPort& port() { return port_; }

protected:
    // The message map: return dispatch(*this, kMessageMap, message).
    virtual Reply handleMessage(const Message& message);
    // Default: fill the controls from the members; true gives the focus to the first control.
    virtual bool onInitDialog();
    virtual void doDataExchange(DataExchange& exchange);
    // Default OK: read the controls, and end with IDOK when they all read.
    virtual void onOK();
    // Default Cancel (also Escape and the close box): end with IDCANCEL.
    virtual void onCancel();

private:
    static INT_PTR CALLBACK dialogProc(HWND window, UINT id, WPARAM wParam, LPARAM lParam);
    Reply route(const Message& message);
    void fail(std::exception_ptr error) noexcept;

    UINT templateId_;
    HINSTANCE instance_;
    HWND hwnd_ = nullptr;
    DialogWindowPort port_{hwnd_};
    std::exception_ptr error_;
};

} // namespace brenvik::framework
