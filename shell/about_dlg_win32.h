#pragma once
// The About box, dialog template 100, shown modally from the Help menu and the system menu.

#include "framework/cdialog.h"
#include "res/resource.h"

namespace brenvik {

class CAboutDlg : public framework::CDialog {
public:
    CAboutDlg() : CDialog(IDD_ABOUTBOX) {}

protected:
    framework::Reply handleMessage(const framework::Message& message) override;

private:
    // Paints the logo; the labels draw over it.
    framework::Reply onPaint(const framework::Message& message);

    static const framework::MessageEntry<CAboutDlg> kMessageMap[];
};

} // namespace brenvik
