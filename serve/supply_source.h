#pragma once
// What serving needs from the supplies, and nothing more: which supplies there are, and one poll
// of one of them (the monitor tick's block fetch and decode) giving its values or why it failed.
// `SessionSupplySource` is the one implementation over the command line's session.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace brenvik::serve {

// A bridge channel with a supply behind it.
struct SupplyIdentity {
    std::string bridge;   // the bridge's name as the adapter library lists it
    std::string location; // its location id, "0x121"
};

struct Delay {
    int hours = 0;
    int minutes = 0;
    int seconds = 0;
};

// Every value of one good poll, as `brenvik status --json` reports it.
struct Reading {
    std::string partNumber;
    std::string firmware;
    double outputVolts = 0;
    double batteryVolts = 0;
    double chargeAmps = 0;
    std::int64_t powerUpHours = 0;
    std::int64_t batteryInstalledHours = 0;
    std::int64_t acFaultCount = 0;
    std::int64_t systemFaultCount = 0;
    bool faiActivated = false;
    bool outputLatching = false;
    bool acFault = false;     // AC fault status "Fault"
    bool systemFault = false; // system fault status "Fault"
    Delay acFaultDelay;
    Delay systemFaultDelay;
    int chargeSelection = 0;
    std::optional<std::string> chargeText; // the model's battery size at that index, if any
    int installMonth = 0;
    int installDay = 0;
    int installYear = 0;
};

// A poll gives values, or the reason it failed.
struct PollOutcome {
    std::optional<Reading> reading;
    std::string failure;
};

class SupplySource {
public:
    virtual ~SupplySource() = default;
    virtual std::vector<SupplyIdentity> supplies() = 0;
    // One poll of supply `index` (of `supplies()`). Different supplies may be polled at the same
    // time from different threads; one supply is never polled twice at once.
    virtual PollOutcome poll(std::size_t index) = 0;
};

} // namespace brenvik::serve
