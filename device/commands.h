#pragma once
// The supply's command table: the frame of every command, the check its reply must pass, the
// link flag rules, and the two-step write operations (a request, then after a second its
// confirm).

#include "device/clock.h"
#include "device/device_link.h"
#include "device/transaction.h"

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>

namespace brenvik::device {

namespace command {
inline constexpr std::uint8_t kEepromWriteRequest = 1;
inline constexpr std::uint8_t kEepromWriteConfirm = 2;
inline constexpr std::uint8_t kReadBackOpen = 3;
inline constexpr std::uint8_t kChunkRead = 4;
inline constexpr std::uint8_t kBatteryResetRequest = 5;
inline constexpr std::uint8_t kBatteryResetConfirm = 6;
inline constexpr std::uint8_t kMonitorOpen = 10;
inline constexpr std::uint8_t kFaultResetRequest = 11;
inline constexpr std::uint8_t kFaultResetConfirm = 12;
inline constexpr std::uint8_t kDateRequest = 13;
inline constexpr std::uint8_t kDateConfirm = 14;
} // namespace command

// Frame and reply lengths of a command of the table.
struct CommandShape {
    std::size_t frameLength;
    std::size_t replyLength;
};
// The shape of a command the program sends; nothing for codes outside the table.
std::optional<CommandShape> commandShape(std::uint8_t code);

// The wait between a request whose check passed and its confirm.
inline constexpr std::chrono::milliseconds kConfirmDelay{1000};

// The seven setting bytes in wire order: AC fault delay seconds, minutes, hours; system fault
// delay seconds, minutes, hours; charge selection.
using SettingsPayload = std::array<std::uint8_t, 7>;

// An installation date as it travels: month, day, century, year within the century.
using DateBytes = std::array<std::uint8_t, 4>;
// Each part travels as its low 8 bits; 2011 is century 20, year 11.
DateBytes dateBytes(std::int32_t month, std::int32_t day, std::int32_t year);
// The year a date reply carries: 100 times the century plus the year within it.
std::int32_t yearOf(const DateBytes& date);

// A command frame: the bytes to send, code and marker first.
struct Frame {
    std::array<std::uint8_t, kMaxFrameLength> bytes{};
    std::size_t length = 2;

    std::uint8_t code() const { return bytes[0]; }
    // Everything after the code and the marker.
    std::span<const std::uint8_t> payload() const {
        return std::span<const std::uint8_t>(bytes).subspan(2, length - 2);
    }
    bool operator==(const Frame&) const = default;
};

// The two-byte frame of a command without payload (3, 4, 5, 6, 10, 11, 12).
Frame plainFrame(std::uint8_t code);
// Command 1: the settings, a 0, and the sum of bytes 0 to 9 in byte 10.
Frame settingsWriteRequest(const SettingsPayload& settings);
// Command 2: the same settings with 0 where the request has its checksum.
Frame settingsWriteConfirm(const SettingsPayload& settings);
// Command 13: the date, a 0, and the sum of bytes 0 to 6 in byte 7.
Frame installDateRequest(const DateBytes& date);
// Command 14: the same date with 0 where the request has its checksum.
Frame installDateConfirm(const DateBytes& date);

// Sends a frame with the reply length of its command.
Reply send(DeviceLink& link, const Frame& frame);

// The check of the command table for the reply to a frame. A reply that the transfer did not
// deliver completely never passes. A chunk read (4) has no check of its own beyond that.
bool replyPasses(const Frame& frame, const Reply& reply);

// How many leading bytes of a settings confirm reply (2) or date confirm reply (14) equal the
// values sent; 0 for an incomplete reply.
std::size_t matchingConfirmBytes(const Frame& frame, const Reply& reply);

// Sets the link flag from a check, except for the reset confirms (6, 12), whose checks leave
// it as it was.
void recordCheck(DeviceLink& link, std::uint8_t code, bool passed);

struct TwoStepOperation {
    Frame request;
    Frame confirm;
};

TwoStepOperation settingsWrite(const SettingsPayload& settings);
TwoStepOperation batteryTimerReset();
TwoStepOperation faultCountReset();
TwoStepOperation installDateSet(const DateBytes& date);

struct TwoStepOutcome {
    Reply requestReply;
    bool requestPassed = false;
    std::optional<Reply> confirmReply; // only when the confirm was sent
    bool confirmPassed = false;
};

// Told the outcome so far after each check: after the request's (no confirm reply yet), and after
// the confirm's.
using TwoStepProgress = std::function<void(const TwoStepOutcome& soFar)>;

// Sends the request and checks it; only when it passed waits kConfirmDelay and sends the
// confirm and checks that. Each check records its result in the link flag.
TwoStepOutcome runTwoStep(DeviceLink& link, Clock& clock, const TwoStepOperation& operation,
                          const TwoStepProgress& progress = {});

} // namespace brenvik::device
