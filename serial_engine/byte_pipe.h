#pragma once
// The bytes between the host and a bridge channel's serial engine, and the list of bridge
// channels on the bus. The serial engine speaks only through these two interfaces, so the same
// engine drives a real bridge (through libftdi1 or the bridge driver's library) and the command
// decoder that plays a bridge in tests.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace brenvik::engine {

// Outcome of a pipe operation, numbered as the bridge driver numbers its statuses (the adapter
// library hands these numbers through to its caller unchanged).
enum class PipeStatus : std::uint32_t {
    ok = 0,
    invalidHandle = 1,
    deviceNotFound = 2,
    deviceNotOpened = 3, // also: the channel is held by another process, or access is denied
    ioError = 4,
    insufficientResources = 5,
    invalidParameter = 6,
};

enum class BridgeType {
    twoChannel,  // two channels; channel A has a second, high byte of general-purpose lines
    fourChannel, // four channels, no high byte
};

// Bit modes of a channel.
inline constexpr std::uint8_t kBitModeReset = 0x00;
inline constexpr std::uint8_t kBitModeSerialEngine = 0x02;

// One channel of a bridge as the bus lists it.
struct BridgeChannel {
    std::string serial;
    std::string location;         // stable while the bridge stays in the same USB port
    std::uint32_t locationId = 0; // the same as a number
    BridgeType type = BridgeType::twoChannel;
    char channel = 'A';
    std::string description; // ends in " A" for channel A
    bool inUse = false;      // held open by another process

    bool operator==(const BridgeChannel&) const = default;
};

// An open bridge channel.
class BytePipe {
public:
    virtual ~BytePipe() = default;

    // One USB write of all the bytes.
    virtual PipeStatus write(std::span<const std::uint8_t> bytes) = 0;
    // Reads until the buffer is full or the timeout has passed; received tells how many bytes
    // arrived. A timeout of zero takes only what is waiting. Running out of time is not an error
    // of the pipe: the caller sees it in received.
    virtual PipeStatus read(std::span<std::uint8_t> buffer, std::size_t& received,
                            std::chrono::milliseconds timeout) = 0;
    virtual PipeStatus setLatencyTimer(std::uint8_t milliseconds) = 0;
    virtual PipeStatus getLatencyTimer(std::uint8_t& milliseconds) = 0;
    virtual PipeStatus setBitMode(std::uint8_t mask, std::uint8_t mode) = 0;
    // Empties the receive and transmit buffers.
    virtual PipeStatus purge() = 0;
    virtual PipeStatus reset() = 0;
};

enum class OpenBy { serial, location };

// The bridge channels reachable through one road to the hardware.
class BridgeBus {
public:
    virtual ~BridgeBus() = default;

    virtual PipeStatus enumerate(std::vector<BridgeChannel>& channels) = 0;
    // Opens a listed channel by its serial or its location. The pipe closes when released.
    virtual std::unique_ptr<BytePipe> open(OpenBy by, std::string_view key, PipeStatus& status) = 0;
    // One line for the operator about the last failure, empty when there was none.
    virtual std::string lastError() const = 0;
};

// The channel text ("A", "B") of a description, as the adapter library finds it: the first " A"
// in the upper-cased description, else the first " B"; 0 when neither is there.
char channelOfDescription(std::string_view description);

// Listed by the adapter library: a description that ends in " A" or " B".
bool listedByAdapterLibrary(std::string_view description);

} // namespace brenvik::engine
