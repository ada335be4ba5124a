#include "virtual_supply/virtual_supply.h"

#include "device/commands.h"
#include "device/transaction.h"

#include <algorithm>
#include <numeric>
#include <utility>

namespace brenvik::vsupply {

namespace {

namespace command = device::command;

constexpr std::uint32_t kMaxHours = 0xFFFFFF;

void putLittleEndian(std::array<std::uint8_t, kBlockSize>& block, std::size_t at,
                     std::uint32_t value, std::size_t width) {
    for (std::size_t i = 0; i < width; ++i) {
        block[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

std::uint8_t frameSum(std::span<const std::uint8_t> bytes) {
    return static_cast<std::uint8_t>(std::accumulate(bytes.begin(), bytes.end(), 0u));
}

void corruptEcho(const SupplyFaults& faults, std::uint8_t code, std::vector<std::uint8_t>& reply) {
    const auto found = faults.wrongEcho.find(code);
    if (found != faults.wrongEcho.end() && found->second < reply.size()) {
        reply[found->second] ^= 0x01;
    }
}

} // namespace

std::uint8_t blockChecksum(std::span<const std::uint8_t> block) {
    return frameSum(block.first(46));
}

std::array<std::uint8_t, kBlockSize> statusBlock(const SupplyState& state) {
    std::array<std::uint8_t, kBlockSize> block{};
    putLittleEndian(block, 0, std::min(state.powerUpHours, kMaxHours), 3);
    putLittleEndian(block, 3, state.acFaultCount, 2);
    putLittleEndian(block, 5, state.sysFaultCount, 2);
    putLittleEndian(block, 7, std::min(state.batteryHours, kMaxHours), 3);
    std::copy(state.settings.begin(), state.settings.end(), block.begin() + 10);
    block[17] = state.statusBits1;
    block[18] = state.statusBits2;
    putLittleEndian(block, 21, state.batteryReading, 2);
    putLittleEndian(block, 23, state.chargeReading, 2);
    putLittleEndian(block, 25, state.chargeOffset, 2);
    putLittleEndian(block, 33, state.outputReading, 2);
    block[41] = state.modelCode;
    block[42] = state.firmwareTenths;
    std::copy(state.installDate.begin(), state.installDate.end(), block.begin() + 43);
    block[47] = blockChecksum(block);
    return block;
}

void VirtualSupply::setTimeSource(TimeSource source, std::chrono::milliseconds hourLength) {
    timeSource_ = std::move(source);
    hourLength_ = std::max(hourLength, std::chrono::milliseconds(1));
    elapsed_ = std::chrono::milliseconds(0);
    if (timeSource_) {
        lastTime_ = timeSource_();
    }
}

void VirtualSupply::setReadingJitter(std::uint16_t counts, std::uint32_t seed) {
    jitter_ = counts;
    random_ = seed;
}

void VirtualSupply::advanceTime() {
    if (!timeSource_) {
        return;
    }
    const auto now = timeSource_();
    if (now > lastTime_) {
        elapsed_ += now - lastTime_;
    }
    lastTime_ = now;
    const auto hours = static_cast<std::uint32_t>(elapsed_ / hourLength_);
    if (hours == 0) {
        return;
    }
    elapsed_ -= hours * hourLength_;
    state_.powerUpHours = std::min(state_.powerUpHours + hours, kMaxHours);
    state_.batteryHours = std::min(state_.batteryHours + hours, kMaxHours);
    ++revision_;
}

std::uint16_t VirtualSupply::jittered(std::uint16_t reading) {
    if (jitter_ == 0) {
        return reading;
    }
    random_ = random_ * 1664525u + 1013904223u;
    const int span = 2 * jitter_ + 1;
    const int offset = static_cast<int>((random_ >> 16) % static_cast<std::uint32_t>(span)) -
                       static_cast<int>(jitter_);
    return static_cast<std::uint16_t>(std::clamp(reading + offset, 0, 0xFFFF));
}

std::vector<std::uint8_t> VirtualSupply::exchange(std::span<const std::uint8_t> frame,
                                                  std::size_t replyLength) {
    std::vector<std::uint8_t> reply(std::min(replyLength, kMaxReply), 0);
    advanceTime();
    const std::uint8_t code = frame.size() >= 2 && frame[1] == device::kFrameMarker ? frame[0] : 0;
    const std::uint8_t pending = std::exchange(pendingRequest_, 0);
    if (code != 4) {
        chunksLeft_ = 0;
    }
    if (code == 0 || faults_.unacknowledged.contains(code)) {
        std::fill(reply.begin(), reply.end(), kIdleLine);
        return reply;
    }
    switch (code) {
    case command::kReadBackOpen:
    case command::kMonitorOpen: {
        SupplyState reading = state_;
        reading.batteryReading = jittered(state_.batteryReading);
        reading.outputReading = jittered(state_.outputReading);
        reading.chargeReading = jittered(state_.chargeReading);
        block_ = statusBlock(reading);
        if (faults_.badBlockChecksum) {
            block_[47] = static_cast<std::uint8_t>(block_[47] + 1);
        }
        chunksLeft_ = kBlockSize / kChunkSize;
        reply[0] = device::kFrameMarker;
        break;
    }
    case command::kChunkRead:
        if (chunksLeft_ == 0) {
            std::fill(reply.begin(), reply.end(), kIdleLine);
            break;
        }
        {
            const std::size_t start = (kBlockSize / kChunkSize - chunksLeft_) * kChunkSize;
            std::copy_n(block_.begin() + static_cast<std::ptrdiff_t>(start),
                        std::min(reply.size(), kChunkSize), reply.begin());
            --chunksLeft_;
        }
        break;
    case command::kEepromWriteRequest:
    case command::kBatteryResetRequest:
    case command::kFaultResetRequest:
    case command::kDateRequest:
        answerRequest(code, frame, reply);
        break;
    case command::kEepromWriteConfirm:
    case command::kBatteryResetConfirm:
    case command::kFaultResetConfirm:
    case command::kDateConfirm:
        if (pending == code - 1) {
            answerConfirm(code, frame, reply);
        } else {
            std::fill(reply.begin(), reply.end(), kIdleLine);
        }
        break;
    default:
        std::fill(reply.begin(), reply.end(), kIdleLine);
        break;
    }
    return reply;
}

void VirtualSupply::answerRequest(std::uint8_t code, std::span<const std::uint8_t> frame,
                                  std::vector<std::uint8_t>& reply) {
    // Requests with a payload end in a checksum over everything before it.
    const std::size_t checksumAt = code == command::kEepromWriteRequest ? 10
                                   : code == command::kDateRequest      ? 7
                                                                        : 0;
    if (checksumAt != 0 &&
        (frame.size() <= checksumAt || frame[checksumAt] != frameSum(frame.first(checksumAt)))) {
        std::fill(reply.begin(), reply.end(), kIdleLine);
        return;
    }
    if (code == command::kEepromWriteRequest) {
        // The write request is echoed from the marker on.
        for (std::size_t i = 0; i < reply.size(); ++i) {
            reply[i] = i + 1 < frame.size() ? frame[i + 1] : 0;
        }
        corruptEcho(faults_, code, reply);
    } else {
        reply[0] = device::kFrameMarker;
    }
    pendingRequest_ = code;
}

void VirtualSupply::answerConfirm(std::uint8_t code, std::span<const std::uint8_t> frame,
                                  std::vector<std::uint8_t>& reply) {
    switch (code) {
    case command::kEepromWriteConfirm:
        if (frame.size() < 9) {
            std::fill(reply.begin(), reply.end(), kIdleLine);
            return;
        }
        std::copy_n(frame.begin() + 2, state_.settings.size(), state_.settings.begin());
        std::copy_n(state_.settings.begin(), std::min(reply.size(), state_.settings.size()),
                    reply.begin());
        corruptEcho(faults_, code, reply);
        break;
    case command::kBatteryResetConfirm:
        state_.batteryHours = 0;
        break;
    case command::kFaultResetConfirm:
        state_.acFaultCount = 0;
        state_.sysFaultCount = 0;
        break;
    case command::kDateConfirm:
        if (frame.size() < 6) {
            std::fill(reply.begin(), reply.end(), kIdleLine);
            return;
        }
        std::copy_n(frame.begin() + 2, state_.installDate.size(), state_.installDate.begin());
        std::copy_n(state_.installDate.begin(), std::min(reply.size(), state_.installDate.size()),
                    reply.begin());
        corruptEcho(faults_, code, reply);
        break;
    default:
        break;
    }
    if ((code == 6 || code == 12) && faults_.nonZeroConfirm.contains(code) && !reply.empty()) {
        reply.back() = 1;
    }
    if (code == command::kEepromWriteConfirm && faults_.storesOther.contains(code)) {
        ++state_.settings.front();
    } else if (code == command::kDateConfirm && faults_.storesOther.contains(code)) {
        ++state_.installDate.back();
    }
    ++revision_;
}

} // namespace brenvik::vsupply
