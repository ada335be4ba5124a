#pragma once
// Program-wide state of the link to the supply: one instance for the whole program.

#include "device/adapter_library.h"

#include <optional>

namespace brenvik::device {

class TransactionObserver;

struct DeviceLink {
    explicit DeviceLink(AdapterLibrary& adapter) : library(adapter) {}

    AdapterLibrary& library;
    std::optional<FtcHandle> handle; // the open adapter channel, none before the first open
    StartCondition startCondition{}; // set after every successful initialisation
    HighPinRecord highPins{};        // likewise
    FtcStatus adapterStatus = kStatusSuccess; // status of the last library call
    bool linkOk = true;                       // true when the last reply check succeeded
    TransactionObserver* observer = nullptr;  // told of every transaction, when set
};

} // namespace brenvik::device
