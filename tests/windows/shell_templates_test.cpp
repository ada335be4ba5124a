// The main window's template as the shipped program carries it, read from Brenvik-USB.exe.

#include "res/maker.h"
#include "res/resource.h"
#include "tests/windows/support/dialog_template.h"
#include "tests/windows/support/program_driver.h"

#include <gtest/gtest.h>
#include <string>
#include <tuple>
#include <vector>

namespace brenvik::wintest {
namespace {

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
constexpr DWORD kLabel = kChild | WS_GROUP | SS_LEFT;
constexpr DWORD kCentred = kChild | WS_GROUP | SS_CENTER;
constexpr DWORD kFrame = kChild | SS_BLACKFRAME;
constexpr DWORD kCheck = kChild | WS_TABSTOP | BS_AUTOCHECKBOX;
constexpr DWORD kEdit = kChild | WS_TABSTOP | WS_BORDER | ES_LEFT | ES_AUTOHSCROLL;
constexpr DWORD kReadOnly = kEdit | ES_READONLY;

struct Expected {
    int id;
    const wchar_t* windowClass;
    std::wstring text;
    DWORD style;
    short x, y, cx, cy;
};

TEST(Templates, MainWindowFrameAndControlsInTabOrder) {
    const DialogTemplate dialog = loadDialogTemplate(brenvikExecutable(), IDD_BRENVIK_DIALOG);
    EXPECT_EQ(std::tuple(dialog.caption, dialog.cx, dialog.cy, dialog.typeface, dialog.pointSize,
                         dialog.menu),
              std::tuple(std::wstring(L"Brenvik-USB"), short{401}, short{280},
                         std::wstring(L"Microsoft Sans Serif"), WORD{11}, std::wstring(L"#129")));
    const DWORD required = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_MODALFRAME | WS_POPUP;
    EXPECT_EQ(dialog.style & (required | WS_MAXIMIZEBOX | WS_THICKFRAME), required);
    EXPECT_NE(dialog.exStyle & WS_EX_APPWINDOW, 0u);

    const std::vector<Expected> expected{
        {1033, L"Static", L"" BRENVIK_FOOTER_TEXT, kCentred, 88, 257, 220, 8},
        {1000, L"Button", L"Battery Charge Selector", kCheck, 17, 68, 118, 8},
        {1023, L"Static", L"Brenvik-USB", kCentred, 143, 10, 111, 20},
        {1024, L"Static", L"PROGRAMMING", kCentred, 46, 48, 76, 12},
        {-1, L"Static", L"", kFrame, 13, 63, 174, 189},
        {-1, L"Static", L"", kFrame, 212, 63, 175, 189},
        {1025, L"Static", L"MONITORING", kCentred, 255, 48, 65, 12},
        {1001, L"Button", L"AC Fault reporting delay in", kCheck, 17, 95, 156, 8},
        {1002, L"Button", L"System Fault reporting delay in", kCheck, 17, 122, 165, 8},
        {1003, L"ComboBox", L"", kChild | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN, 26, 77, 117, 51},
        {1004, L"Button", L"Reset timer for new battery installation", kCheck, 17, 149, 165, 8},
        {1005, L"Edit", L"", kEdit, 26, 104, 26, 12},
        {1006, L"Edit", L"", kEdit, 68, 104, 26, 12},
        {1007, L"Edit", L"", kEdit, 113, 104, 26, 12},
        {1008, L"Edit", L"", kEdit, 26, 131, 26, 12},
        {1009, L"Edit", L"", kEdit, 68, 131, 26, 12},
        {1010, L"Edit", L"", kEdit, 113, 131, 26, 12},
        {1028, L"Static", L"Hr", kLabel, 53, 106, 10, 8},
        {1029, L"Static", L"Min", kLabel, 95, 106, 12, 8},
        {1036, L"Static", L"Sec", kLabel, 140, 106, 18, 8},
        {1037, L"Static", L"Hr", kLabel, 53, 133, 10, 8},
        {1030, L"Static", L"Min", kLabel, 95, 133, 12, 8},
        {1038, L"Static", L"Sec", kLabel, 140, 133, 18, 8},
        {1011, L"Button", L"APPLY", kChild | WS_TABSTOP | BS_OWNERDRAW | BS_FLAT, 64, 202, 60, 18},
        {1012, L"Button", L"START", kChild | WS_TABSTOP | BS_OWNERDRAW, 270, 231, 60, 18},
        {1041, L"Static", L"Main output voltage:", kLabel, 218, 68, 96, 8},
        {1043, L"Static", L"Battery voltage:", kLabel, 218, 83, 96, 8},
        {1045, L"Static", L"Battery charge current:", kLabel, 218, 98, 96, 8},
        {1047, L"Static", L"Total power-up time:", kLabel, 218, 113, 96, 8},
        {1049, L"Static", L"Battery installed time:", kLabel, 218, 128, 96, 8},
        {1051, L"Static", L"# of AC Faults detected:", kLabel, 218, 143, 96, 8},
        {1052, L"Static", L"# of System Faults detected:", kLabel, 218, 158, 96, 8},
        {1053, L"Static", L"FAI activated:", kLabel, 218, 173, 96, 8},
        {1054, L"Static", L"Output latching on FAI:", kLabel, 218, 188, 84, 8},
        {1055, L"Static", L"AC Fault status:", kLabel, 218, 203, 65, 8},
        {1013, L"Edit", L"", kReadOnly, 314, 66, 43, 12},
        {1014, L"Edit", L"", kReadOnly, 314, 81, 43, 12},
        {1015, L"Edit", L"", kReadOnly, 314, 96, 43, 12},
        {1016, L"Edit", L"", kReadOnly, 314, 111, 43, 12},
        {1017, L"Edit", L"", kReadOnly, 314, 126, 43, 12},
        {1018, L"Edit", L"", kReadOnly, 314, 141, 43, 12},
        {1019, L"Edit", L"", kReadOnly, 314, 156, 43, 12},
        {1020, L"Edit", L"", kReadOnly, 314, 171, 43, 12},
        {1021, L"Edit", L"", kReadOnly, 300, 186, 57, 12},
        {1022, L"Edit", L"", kReadOnly, 300, 201, 57, 12},
        {1042, L"Static", L"Volts", kLabel, 361, 68, 24, 8},
        {1044, L"Static", L"Volts", kLabel, 361, 83, 24, 8},
        {1046, L"Static", L"Amps", kLabel, 361, 98, 24, 8},
        {1048, L"Static", L"Hours", kLabel, 361, 113, 24, 8},
        {1050, L"Static", L"Hours", kLabel, 361, 129, 24, 8},
        {1056, L"Static", L"System Fault status:", kLabel, 218, 217, 80, 8},
        {1026, L"Edit", L"", kReadOnly, 300, 215, 57, 12},
        {1039, L"Static", L"Firmware version:", kLabel, 17, 224, 70, 8},
        {1034, L"Edit", L"", kReadOnly, 93, 222, 89, 12},
        {1040, L"Static", L"Part number:", kLabel, 17, 239, 50, 8},
        {1035, L"Edit", L"", kReadOnly, 75, 237, 107, 12},
        {1027, L"Static", L"TM", kLabel, 253, 11, 11, 8},
        {1031, L"Button", L"Reset AC and System Fault counts", kCheck, 17, 191, 165, 8},
        {1032, L"Button", L"Enter installation date (mm/dd/yyyy)", kCheck, 17, 164, 162, 8},
        {1058, L"Edit", L"", kEdit, 26, 173, 18, 12},
        {1059, L"Edit", L"", kEdit, 59, 173, 18, 12},
        {1060, L"Edit", L"", kEdit, 89, 173, 26, 12},
        {1061, L"Static", L"/", kLabel, 47, 176, 10, 8},
        {1062, L"Static", L"/", kLabel, 80, 176, 8, 8},
        {1064, L"Button", L"Button3", WS_CHILD | WS_TABSTOP | BS_DEFPUSHBUTTON, 311, 261, 13, 7}};
    ASSERT_EQ(dialog.items.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const DialogItem& item = dialog.items[i];
        const Expected& want = expected[i];
        SCOPED_TRACE("template position " + std::to_string(i) + ", id " + std::to_string(want.id));
        // Class names are not case-sensitive; resource compilers spell them differently.
        EXPECT_EQ(_wcsicmp(item.windowClass.c_str(), want.windowClass), 0) << item.windowClass;
        EXPECT_EQ(
            std::tuple(item.id, item.text, item.style, item.exStyle, item.x, item.y, item.cx,
                       item.cy),
            std::tuple(want.id, want.text, want.style, DWORD{0}, want.x, want.y, want.cx, want.cy));
    }
}

} // namespace
} // namespace brenvik::wintest
