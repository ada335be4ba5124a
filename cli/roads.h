#pragma once
// The roads from the command line to the bridges: the vendor's adapter library, the serial
// engine over the bridge driver's library (Windows) or libftdi1 (Linux), the stand-in virtual
// bridge, and the serial engine over the command decoder that plays a bridge in front of the
// virtual supply. A road lists the bridge channels it sees and gives each unit a library of its
// own, so several units run side by side, each with its own link, clock and trace.

#include "device/adapter_library.h"
#include "device/bridge.h"
#include "device/clock.h"
#include "serial_engine/byte_pipe.h"
#include "serial_engine/usb_trace.h"
#include "virtual_supply/hosted_bridge.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace brenvik::cli {

enum class Backend { automatic, ftcspi, d2xx, libftdi, virtualSupply, virtualBridge };

// "auto", "ftcspi", "d2xx", "libftdi", "virtual", "virtual-bridge".
std::optional<Backend> backendNamed(std::string_view name);
std::string_view backendName(Backend backend);

// One bridge channel as `brenvik list` prints it.
struct Unit {
    std::size_t index = 0;
    std::string serial;
    std::string location;
    std::uint32_t locationId = 0;
    std::string type; // "2-channel" or "4-channel"
    std::string channel;
    std::string description;
    std::string backend; // the road that sees it
};

// "VB000121A" or, without a serial, the location.
std::string unitName(const Unit& unit);

// The adapter library one unit talks through, with everything beneath it that it owns.
class UnitLibrary {
public:
    virtual ~UnitLibrary() = default;
    virtual device::AdapterLibrary& library() = 0;
};

class Road {
public:
    virtual ~Road() = default;
    virtual std::string_view name() const = 0;
    // Every bridge channel the road sees, and a line for the operator when it could not look.
    virtual void list(std::vector<Unit>& units, std::string& error) = 0;
    // A library of the unit's own; without a unit, one that reaches every bridge channel, for
    // the program's own choice of the first channel "A". usbTrace, when given, receives the
    // USB traffic (roads through the serial engine only); clock makes the library's pauses.
    virtual std::unique_ptr<UnitLibrary> open(const Unit* unit, Clock& clock,
                                              std::ostream* usbTrace) = 0;
    // Whether the road's bytes can be traced with --usb-trace.
    virtual bool tracesUsb() const = 0;
};

// Chooses the unit's bridge among those its library lists: its location and channel "A".
device::BridgeChoice choiceOf(const Unit& unit);

// The serial engine over a bus the caller keeps, its traffic traced when usbTrace is given.
std::unique_ptr<UnitLibrary> engineOver(engine::BridgeBus& bus, Clock& clock,
                                        std::ostream* usbTrace);

// The serial engine over a bus made for each unit (the pipes to real bridges).
std::unique_ptr<Road> engineRoad(std::string name,
                                 std::function<std::unique_ptr<engine::BridgeBus>()> makeBus);

// The vendor's adapter library, one for the process: units take turns in its calls.
std::unique_ptr<Road> libraryRoad(std::unique_ptr<device::AdapterLibrary> library);

// The virtual bridge and supply as a process hosts them: every device of the scenario has a
// supply of its own, the first keeping its state and trace in the host's files, device N (from
// 1) in files named with ".N" before the extension. With the decoder the serial engine drives
// the command decoder, which hands each frame to the device's virtual bridge.
std::unique_ptr<Road> virtualRoad(const vsupply::HostOptions& host, bool throughDecoder);

} // namespace brenvik::cli
