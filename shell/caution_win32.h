#pragma once
// The confirmation dialog, template 131 ("Caution"): shows the change summary and asks "Do you
// still want to proceed?". The main window keeps one instance for its lifetime and shows it
// modally each time APPLY gets as far as the confirmation.

#include "framework/cdialog.h"
#include "ui/window_port.h"

#include <string>

namespace brenvik {

class Caution : public framework::CDialog {
public:
    Caution();

    // Shows `texts` modally over `owner` and returns whether the operator chose OK. A dialog that
    // could not be shown counts as not confirmed.
    bool ask(const ConfirmationTexts& texts, HWND owner);

    // Set by the dialog's own handlers only, and kept until the next showing.
    bool answered() const { return answered_; }
    bool proceed() const { return proceed_; }

protected:
    framework::Reply handleMessage(const framework::Message& message) override;
    void doDataExchange(DataExchange& exchange) override;
    void onOK() override;
    void onCancel() override;

private:
    framework::Reply onDestroy(const framework::Message& message);

    static const framework::MessageEntry<Caution> kMessageMap[];

    std::string sysFaultDelay_;
    std::string acFaultDelay_;
    std::string actionLine1_;
    std::string chargeSelection_;
    bool answered_ = false;
    bool proceed_ = false;
    std::string actionLine3_;
    std::string actionLine2_;
};

} // namespace brenvik
