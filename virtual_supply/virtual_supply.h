#pragma once
// The supply's controller as the bridge sees it: answers each command frame with the reply the
// real controller would clock out, keeps the stored settings, date and counters, and can be told
// to misbehave in the ways a flaky supply or cable does.

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <span>
#include <vector>

namespace brenvik::vsupply {

inline constexpr std::size_t kBlockSize = 48;
inline constexpr std::size_t kChunkSize = 12;
inline constexpr std::size_t kMaxReply = 12;
// What the data line reads when the controller drives nothing.
inline constexpr std::uint8_t kIdleLine = 0xFF;

// Everything the controller knows about itself.
struct SupplyState {
    // Wire order: AC fault delay seconds, minutes, hours; system fault delay seconds, minutes,
    // hours; charge selection.
    std::array<std::uint8_t, 7> settings{0, 0, 0, 0, 0, 0, 0};
    // Month, day, century, year within the century.
    std::array<std::uint8_t, 4> installDate{2, 7, 20, 10};
    std::uint32_t powerUpHours = 0; // 24 bits on the wire
    std::uint32_t batteryHours = 0; // 24 bits on the wire
    std::uint16_t acFaultCount = 0;
    std::uint16_t sysFaultCount = 0;
    std::uint8_t statusBits1 = 0x80; // bit 7: no AC fault
    std::uint8_t statusBits2 = 0x01; // bit 0: no system fault, 1: latching on FAI, 2: FAI active
    std::uint16_t batteryReading = 0;
    std::uint16_t outputReading = 0;
    std::uint16_t chargeReading = 0;
    std::uint16_t chargeOffset = 0;
    std::uint8_t modelCode = 1;
    std::uint8_t firmwareTenths = 10;

    bool operator==(const SupplyState&) const = default;
};

// Ways the controller can be made to misbehave.
struct SupplyFaults {
    // Commands answered with an idle line instead of their acknowledgement, echo or values.
    std::set<std::uint8_t> unacknowledged;
    // Every block served carries a checksum that does not match.
    bool badBlockChecksum = false;
    // Command code -> reply byte that is corrupted in its echo (commands 1, 2 and 14).
    std::map<std::uint8_t, std::size_t> wrongEcho;
    // Reset confirms (6, 12) whose last reply byte is not 0, although the reset happens.
    std::set<std::uint8_t> nonZeroConfirm;
    // Write confirms (2, 14) that answer the values sent, as a good write does, while the supply
    // keeps one of them one higher (the AC fault delay's seconds; the year): a write that only a
    // fresh read shows to have gone wrong.
    std::set<std::uint8_t> storesOther;

    bool operator==(const SupplyFaults&) const = default;
};

// The wire layout of a status block built from a state: the counters, settings, status bits,
// readings, identity and date, with the checksum in byte 47.
std::array<std::uint8_t, kBlockSize> statusBlock(const SupplyState& state);

// Sum of block bytes 0 to 45 modulo 256.
std::uint8_t blockChecksum(std::span<const std::uint8_t> block);

class VirtualSupply {
public:
    // Milliseconds since an arbitrary start; decides how far the hour counters have advanced.
    using TimeSource = std::function<std::chrono::milliseconds()>;

    VirtualSupply() = default;
    explicit VirtualSupply(const SupplyState& initial) : state_(initial) {}

    // Answers one frame with replyLength bytes (at most kMaxReply).
    std::vector<std::uint8_t> exchange(std::span<const std::uint8_t> frame,
                                       std::size_t replyLength);

    SupplyState& state() { return state_; }
    const SupplyState& state() const { return state_; }
    SupplyFaults& faults() { return faults_; }
    const SupplyFaults& faults() const { return faults_; }

    // The counters advance one hour per hourLength of the time source. Without a time source
    // they stand still.
    void setTimeSource(TimeSource source, std::chrono::milliseconds hourLength);
    // Readings served in a block vary by up to +/- counts around the stored values.
    void setReadingJitter(std::uint16_t counts, std::uint32_t seed);

    // Grows whenever something the supply keeps across power cycles changed (settings, date,
    // counters), so a host knows when to save them.
    std::uint64_t revision() const { return revision_; }

private:
    void advanceTime();
    std::uint16_t jittered(std::uint16_t reading);
    void answerRequest(std::uint8_t code, std::span<const std::uint8_t> frame,
                       std::vector<std::uint8_t>& reply);
    void answerConfirm(std::uint8_t code, std::span<const std::uint8_t> frame,
                       std::vector<std::uint8_t>& reply);

    SupplyState state_;
    SupplyFaults faults_;
    TimeSource timeSource_;
    std::chrono::milliseconds hourLength_{std::chrono::hours(1)};
    std::chrono::milliseconds lastTime_{0};
    std::chrono::milliseconds elapsed_{0};
    std::uint16_t jitter_ = 0;
    std::uint32_t random_ = 1;
    std::uint64_t revision_ = 0;
    // The request waiting for its confirm (1, 5, 11 or 13), 0 for none.
    std::uint8_t pendingRequest_ = 0;
    std::array<std::uint8_t, kBlockSize> block_{};
    std::size_t chunksLeft_ = 0;
};

} // namespace brenvik::vsupply
