#include "shell/about_dlg_win32.h"

#include "shell/image_holder_win32.h"
#include "shell/presentation.h"
#include "win32/handles.h"

namespace brenvik {

const framework::MessageEntry<CAboutDlg> CAboutDlg::kMessageMap[] = {
    framework::onMessage(WM_PAINT, &CAboutDlg::onPaint),
};

framework::Reply CAboutDlg::handleMessage(const framework::Message& message) {
    return framework::dispatch<CAboutDlg>(*this, kMessageMap, message);
}

framework::Reply CAboutDlg::onPaint(const framework::Message&) {
    const win32::PaintDc paint(hwnd());
    const PlacedImage logo = aboutBoxImage();
    imageHolder().paintFile(paint.get(), logo.file.data(), logo.x, logo.y);
    return 0;
}

} // namespace brenvik
