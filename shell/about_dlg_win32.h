#pragma once
// The About box, dialog template 100, shown modally from the Help menu and the system menu.

#include "framework/cdialog.h"
#include "res/resource.h"

namespace brenvik {

class CAboutDlg : public framework::CDialog {
public:
    CAboutDlg() : CDialog(IDD_ABOUTBOX) {}
};

} // namespace brenvik
