#pragma once
// Runs a dialog modally on a thread of the test program, the way the program runs it, while the
// test inspects and drives it from the test's own thread.

#include "framework/cdialog.h"

#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <thread>

namespace brenvik::wintest {

class LiveDialog {
public:
    // `make` builds the dialog on the dialog's thread; the constructor returns once the dialog
    // window exists and has been initialised (hwnd() is nullptr when it never did).
    explicit LiveDialog(std::function<std::unique_ptr<framework::CDialog>()> make);
    // Ends a dialog still open with IDCANCEL and waits for its thread.
    ~LiveDialog();
    LiveDialog(const LiveDialog&) = delete;
    LiveDialog& operator=(const LiveDialog&) = delete;

    HWND hwnd() const { return hwnd_; }
    framework::CDialog& dialog() { return *dialog_; }
    // Result of the modal run once it has ended; rethrows what the run threw. Nothing after
    // the timeout.
    std::optional<INT_PTR> waitForResult(std::chrono::milliseconds timeout);

private:
    std::unique_ptr<framework::CDialog> dialog_;
    std::promise<HWND> created_;
    std::promise<INT_PTR> result_;
    std::future<INT_PTR> resultFuture_ = result_.get_future();
    HWND hwnd_ = nullptr;
    std::thread thread_;
};

} // namespace brenvik::wintest
