#include "shell/caution_win32.h"

#include "res/resource.h"

namespace brenvik {

const framework::MessageEntry<Caution> Caution::kMessageMap[] = {
    framework::onMessage(WM_DESTROY, &Caution::onDestroy),
};

Caution::Caution() : CDialog(IDD_CAUTION) {}

bool Caution::ask(const ConfirmationTexts& texts, HWND owner) {
    chargeSelection_ = texts.chargeSelection;
    acFaultDelay_ = texts.acFaultDelay;
    sysFaultDelay_ = texts.sysFaultDelay;
    actionLine1_ = texts.actionLine1;
    actionLine2_ = texts.actionLine2;
    actionLine3_ = texts.actionLine3;
    // The flags keep the previous answer until a handler runs: without a dialog, no consent.
    return doModal(owner) != -1 && proceed_;
}

framework::Reply Caution::handleMessage(const framework::Message& message) {
    return framework::dispatch<Caution>(*this, kMessageMap, message);
}

void Caution::doDataExchange(DataExchange& exchange) {
    exchange.text(IDC_CAU_CHARGE, chargeSelection_);
    exchange.text(IDC_CAU_AC_DELAY, acFaultDelay_);
    exchange.text(IDC_CAU_SYS_DELAY, sysFaultDelay_);
    exchange.text(IDC_CAU_ACTION1, actionLine1_);
    exchange.text(IDC_CAU_ACTION3, actionLine3_);
    exchange.text(IDC_CAU_ACTION2, actionLine2_);
}

void Caution::onOK() {
    answered_ = true;
    proceed_ = true;
    CDialog::onOK();
}

void Caution::onCancel() {
    answered_ = true;
    proceed_ = false;
    CDialog::onCancel();
}

framework::Reply Caution::onDestroy(const framework::Message&) {
    answered_ = true;
    return framework::kDefault;
}

} // namespace brenvik
