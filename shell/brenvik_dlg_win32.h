#pragma once
// The main window, dialog template 102: owner of the programming panel's state, the status bar,
// the colour buttons and the fonts. Its portable behaviour lives in MainWindowCore; the handlers
// here forward to it or do the Windows-only part of the work.

#include "device/clock.h"
#include "framework/cdialog.h"
#include "framework/cstatusbarctrl.h"
#include "operations/program_state.h"
#include "shell/caution_win32.h"
#include "shell/color_button_win32.h"
#include "shell/main_window_core.h"
#include "win32/handles.h"

#include <filesystem>
#include <string>

namespace brenvik {

// Width of the status bar's label part, in pixels.
inline constexpr int kStatusLabelWidth = 130;

class CBrenvikforCustomDlg : public framework::CDialog {
public:
    CBrenvikforCustomDlg(const std::filesystem::path& executable, std::wstring applicationName,
                         ProgramState& state, Clock& clock);

protected:
    framework::Reply handleMessage(const framework::Message& message) override;
    bool onInitDialog() override;
    void doDataExchange(DataExchange& exchange) override;

private:
    framework::Reply onSysCommand(const framework::Message& message);
    framework::Reply onQueryDragIcon(const framework::Message& message);
    framework::Reply onAbout(const framework::Message& message);
    framework::Reply onDestroy(const framework::Message& message);
    framework::Reply onOptionBox(const framework::Message& message);
    framework::Reply onDelayEditKillFocus(const framework::Message& message);
    framework::Reply onStartStop(const framework::Message& message);
    framework::Reply onTimer(const framework::Message& message);
    framework::Reply onConnectDevice(const framework::Message& message);
    framework::Reply onSaveConfiguration(const framework::Message& message);
    framework::Reply onLoadConfiguration(const framework::Message& message);
    framework::Reply onApply(const framework::Message& message);
    framework::Reply onPaint(const framework::Message& message);
    framework::Reply onCtlColor(const framework::Message& message);
    framework::Reply onMouseMove(const framework::Message& message);
    framework::Reply onLeftButtonDown(const framework::Message& message);
    framework::Reply onDrawItem(const framework::Message& message);

    void addAboutToSystemMenu();
    void createFonts();
    void createStatusBar();
    void paintMinimised(HDC dc);
    bool overFooterLink(LPARAM position) const;
    // APPLY or START/STOP by control id; nothing for any other id.
    CColorButton* colourButtonFor(int id);
    void colourButton(int id, COLORREF text, COLORREF face);

    static const framework::MessageEntry<CBrenvikforCustomDlg> kMessageMap[];

    std::wstring applicationName_;
    ProgramState& state_;
    MainWindowCore core_;
    CColorButton apply_;
    CColorButton startStop_;
    framework::CStatusBarCtrl statusBar_;
    Caution caution_;
    win32::UniqueIcon bigIcon_;
    win32::UniqueIcon smallIcon_;
    win32::UniqueFont bodyFont_;
    win32::UniqueFont titleFont_;
    win32::UniqueFont trademarkFont_;
    win32::UniqueFont headingFont_;
    win32::UniqueFont buttonFont_;
    win32::UniqueFont footerFont_;
    // Background of field 1017 while no battery age is known.
    COLORREF field1017DefaultColour_ = 0;
};

} // namespace brenvik
