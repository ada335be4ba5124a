#pragma once
// Finding the USB-to-SPI bridge among the devices the adapter library lists, opening the chosen
// channel and preparing it as SPI master, ready for transactions.

#include "device/adapter_library.h"
#include "device/clock.h"
#include "device/device_link.h"

#include <array>
#include <cstdint>
#include <functional>

namespace brenvik::device {

// Adapter status the program sets itself when no listed device was chosen.
inline constexpr FtcStatus kStatusNoChannelA = 27;

inline constexpr std::uint32_t kChannelBufferSize = 5;
using ChannelText = std::array<char, kChannelBufferSize>;

// One device as the library describes it (ordinal 21).
struct BridgeListing {
    std::uint32_t index = 0;
    std::uint32_t locationId = 0;
    ChannelText channel{};
};

// Which listed device to open; the search stops at the first one chosen.
using BridgeChoice = std::function<bool(const BridgeListing&)>;

// The program's own choice: channel exactly "A", looking no further than the buffer whether or
// not the library terminated the text.
bool isChannelA(const BridgeListing& listing);

// How far opening a bridge got: the step that stopped it, or Opened.
enum class OpenResult {
    CountFailed, // the device count call failed
    NoDevice,    // the library listed no device: nothing was opened
    NotFound,    // a describe call failed, or no listed device was chosen
    OpenFailed,  // opening the device or asking its type failed
    SetUpFailed, // a call of the SPI master set-up failed
    Opened,
};

// Closes the open channel, if any; lists the devices until `choice` accepts one, opens it and
// sets it up as SPI master (two 200 ms waits). Every library status is kept in the link's
// adapter status; a channel opened by a set-up that then failed stays open until the next
// attempt. Does not touch the link flag.
OpenResult openBridge(DeviceLink& link, Clock& clock, const BridgeChoice& choice = isChannelA);

} // namespace brenvik::device
