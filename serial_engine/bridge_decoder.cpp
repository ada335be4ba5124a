#include "serial_engine/bridge_decoder.h"

#include <algorithm>
#include <array>

namespace brenvik::engine {

namespace {

constexpr std::uint8_t kChipSelectBit = 0x08;
constexpr std::uint8_t kIdleLine = vsupply::kIdleLine;
constexpr std::uint8_t kBadCommand = 0xFA;
constexpr std::uint32_t kBaseClockHz = 60'000'000;

// Shift commands (below 0x80): bit 1 bits mode, bit 4 data out, bit 5 data in. Bit 6 (the
// test-mode-select commands) is not played.
constexpr std::uint8_t kBitsMode = 0x02;
constexpr std::uint8_t kShiftOut = 0x10;
constexpr std::uint8_t kShiftIn = 0x20;
constexpr std::uint8_t kTestModeSelect = 0x40;

} // namespace

BridgeDecoder::BridgeDecoder(BridgeType type, vsupply::VirtualSupply* supply)
    : type_(type), supply_(supply) {}

BridgeDecoder::BridgeDecoder(BridgeType type, Responder responder)
    : type_(type), supply_(nullptr), responder_(std::move(responder)) {}

std::uint32_t BridgeDecoder::clockHz() const {
    return (divideByFive_ ? kBaseClockHz / 5 : kBaseClockHz) / ((1u + divisor_) * 2);
}

bool BridgeDecoder::selected() const {
    return (lowDirections_ & kChipSelectBit) != 0 && (lowLevels_ & kChipSelectBit) == 0;
}

PipeStatus BridgeDecoder::write(std::span<const std::uint8_t> bytes) {
    if (vanished_) {
        return PipeStatus::ioError;
    }
    if (bitMode_ != kBitModeSerialEngine) {
        // Outside the serial engine the bytes leave as serial data; nothing answers them.
        return PipeStatus::ok;
    }
    pending_.insert(pending_.end(), bytes.begin(), bytes.end());
    while (!pending_.empty() && executeOne()) {
    }
    return PipeStatus::ok;
}

PipeStatus BridgeDecoder::read(std::span<std::uint8_t> buffer, std::size_t& received) {
    received = 0;
    if (vanished_) {
        return PipeStatus::ioError;
    }
    if (transferFailed_) {
        transferFailed_ = false;
        toHost_.clear();
        return PipeStatus::ioError;
    }
    if (silent_) {
        toHost_.clear();
    }
    received = std::min(buffer.size(), toHost_.size());
    std::copy_n(toHost_.begin(), received, buffer.begin());
    toHost_.erase(toHost_.begin(), toHost_.begin() + static_cast<std::ptrdiff_t>(received));
    return PipeStatus::ok;
}

PipeStatus BridgeDecoder::setLatencyTimer(std::uint8_t milliseconds) {
    if (vanished_) {
        return PipeStatus::ioError;
    }
    if (milliseconds == 0) {
        return PipeStatus::invalidParameter;
    }
    latency_ = milliseconds;
    return PipeStatus::ok;
}

PipeStatus BridgeDecoder::setBitMode(std::uint8_t mode) {
    if (vanished_) {
        return PipeStatus::ioError;
    }
    if (mode != kBitModeReset && mode != kBitModeSerialEngine) {
        return PipeStatus::invalidParameter;
    }
    if (mode == kBitModeSerialEngine && bitMode_ != kBitModeSerialEngine) {
        // The serial engine starts with every line an input and the compatible clock.
        lowDirections_ = 0;
        highDirections_ = 0;
        divideByFive_ = true;
        loopback_ = false;
        frame_.clear();
        replyCount_ = 0;
    }
    bitMode_ = mode;
    return PipeStatus::ok;
}

PipeStatus BridgeDecoder::purge() {
    if (vanished_) {
        return PipeStatus::ioError;
    }
    pending_.clear();
    toHost_.clear();
    return PipeStatus::ok;
}

PipeStatus BridgeDecoder::reset() {
    if (vanished_) {
        return PipeStatus::ioError;
    }
    bitMode_ = kBitModeReset;
    pending_.clear();
    toHost_.clear();
    held_.clear();
    frame_.clear();
    replyCount_ = 0;
    return PipeStatus::ok;
}

void BridgeDecoder::answer(std::span<const std::uint8_t> bytes) {
    // While a frame is waiting for its reply, later answers queue behind it.
    if (replyCount_ > 0) {
        held_.insert(held_.end(), bytes.begin(), bytes.end());
    } else {
        toHost_.insert(toHost_.end(), bytes.begin(), bytes.end());
    }
}

void BridgeDecoder::shiftOut(std::span<const std::uint8_t> bytes) {
    if (selected()) {
        frame_.insert(frame_.end(), bytes.begin(), bytes.end());
    }
}

void BridgeDecoder::shiftIn(std::size_t count) {
    if (selected()) {
        replyCount_ += count;
        return;
    }
    // Nobody drives the data line.
    const std::vector<std::uint8_t> idle(count, kIdleLine);
    answer(idle);
}

void BridgeDecoder::endFrame() {
    std::vector<std::uint8_t> reply(replyCount_, kIdleLine);
    if (loopback_) {
        // Data out is wired to data in inside the chip; the supply is not asked.
        std::copy_n(frame_.begin(), std::min(frame_.size(), reply.size()), reply.begin());
    } else if (responder_ && !frame_.empty() && replyCount_ > 0) {
        std::size_t delivered = 0;
        transferFailed_ = !responder_(frame_, reply, delivered);
        // What the far end did not drive never arrives: the host runs out of time.
        reply.resize(transferFailed_ ? 0 : std::min(delivered, reply.size()));
    } else if (supply_ != nullptr && !frame_.empty() && replyCount_ > 0) {
        const auto answered =
            supply_->exchange(frame_, std::min<std::size_t>(replyCount_, vsupply::kMaxReply));
        std::copy_n(answered.begin(), std::min(answered.size(), reply.size()), reply.begin());
    }
    toHost_.insert(toHost_.end(), reply.begin(), reply.end());
    toHost_.insert(toHost_.end(), held_.begin(), held_.end());
    frame_.clear();
    held_.clear();
    replyCount_ = 0;
}

void BridgeDecoder::setLow(std::uint8_t levels, std::uint8_t directions) {
    const bool wasSelected = selected();
    lowLevels_ = levels;
    lowDirections_ = directions;
    if (wasSelected && !selected()) {
        endFrame();
    }
}

bool BridgeDecoder::executeOne() {
    const std::uint8_t command = pending_[0];
    const std::size_t available = pending_.size();
    std::size_t length = 1;
    const auto arg = [&](std::size_t i) { return pending_[i]; };

    if (command < 0x80 && (command & kTestModeSelect) == 0 &&
        (command & (kShiftOut | kShiftIn)) != 0) {
        const bool bits = (command & kBitsMode) != 0;
        const bool out = (command & kShiftOut) != 0;
        if (available < (bits ? 2u : 3u)) {
            return false;
        }
        const std::size_t count = bits ? 1 : (arg(1) | (arg(2) << 8)) + 1u;
        length = (bits ? 2 : 3) + (out ? count : 0);
        if (available < length) {
            return false;
        }
        if (out) {
            shiftOut(std::span<const std::uint8_t>(pending_).subspan(length - count, count));
        }
        if ((command & kShiftIn) != 0) {
            shiftIn(count);
        }
    } else {
        const bool highByte = type_ == BridgeType::twoChannel;
        switch (command) {
        case 0x80:
        case 0x82:
        case 0x86:
            if (command == 0x82 && !highByte) {
                const std::array<std::uint8_t, 2> bad{kBadCommand, command};
                answer(bad);
                break;
            }
            if (available < 3) {
                return false;
            }
            length = 3;
            if (command == 0x80) {
                setLow(arg(1), arg(2));
            } else if (command == 0x82) {
                highLevels_ = arg(1);
                highDirections_ = arg(2);
            } else {
                divisor_ = static_cast<std::uint16_t>(arg(1) | (arg(2) << 8));
            }
            break;
        case 0x81: {
            // Inputs read high: the lines are pulled up.
            const std::array<std::uint8_t, 1> levels{
                static_cast<std::uint8_t>(lowLevels_ | ~lowDirections_)};
            answer(levels);
            break;
        }
        case 0x83: {
            if (!highByte) {
                const std::array<std::uint8_t, 2> bad{kBadCommand, command};
                answer(bad);
                break;
            }
            const std::array<std::uint8_t, 1> levels{
                static_cast<std::uint8_t>(highLevels_ | ~highDirections_)};
            answer(levels);
            break;
        }
        case 0x84:
        case 0x85:
            loopback_ = command == 0x84;
            break;
        case 0x87: // send immediate: every answer is readable at once anyway
        case 0x8C: // three-phase clocking on and off
        case 0x8D:
        case 0x96: // adaptive clocking on and off
        case 0x97:
            break;
        case 0x8A:
        case 0x8B:
            divideByFive_ = command == 0x8B;
            break;
        default: {
            const std::array<std::uint8_t, 2> bad{kBadCommand, command};
            answer(bad);
            break;
        }
        }
    }
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(length));
    return true;
}

// The pipe a bus hands out for an open decoder; releasing it closes the channel.
class DecoderBus::Pipe final : public BytePipe {
public:
    explicit Pipe(Entry& entry) : entry_(entry) { entry_.open = true; }
    ~Pipe() override { entry_.open = false; }
    Pipe(const Pipe&) = delete;
    Pipe& operator=(const Pipe&) = delete;

    PipeStatus write(std::span<const std::uint8_t> bytes) override {
        return entry_.decoder->write(bytes);
    }
    PipeStatus read(std::span<std::uint8_t> buffer, std::size_t& received,
                    std::chrono::milliseconds) override {
        // Whatever the decoder has not said by now it never will: no need to wait.
        return entry_.decoder->read(buffer, received);
    }
    PipeStatus setLatencyTimer(std::uint8_t milliseconds) override {
        return entry_.decoder->setLatencyTimer(milliseconds);
    }
    PipeStatus getLatencyTimer(std::uint8_t& milliseconds) override {
        if (entry_.decoder->vanished()) {
            return PipeStatus::ioError;
        }
        milliseconds = entry_.decoder->latency();
        return PipeStatus::ok;
    }
    PipeStatus setBitMode(std::uint8_t, std::uint8_t mode) override {
        return entry_.decoder->setBitMode(mode);
    }
    PipeStatus purge() override { return entry_.decoder->purge(); }
    PipeStatus reset() override { return entry_.decoder->reset(); }

private:
    Entry& entry_;
};

BridgeDecoder& DecoderBus::add(const BridgeChannel& channel, vsupply::VirtualSupply* supply) {
    return keep(channel, std::make_unique<BridgeDecoder>(channel.type, supply));
}

BridgeDecoder& DecoderBus::add(const BridgeChannel& channel, BridgeDecoder::Responder responder) {
    return keep(channel, std::make_unique<BridgeDecoder>(channel.type, std::move(responder)));
}

BridgeDecoder& DecoderBus::keep(const BridgeChannel& channel,
                                std::unique_ptr<BridgeDecoder> decoder) {
    auto entry = std::make_unique<Entry>();
    entry->channel = channel;
    entry->decoder = std::move(decoder);
    entries_.push_back(std::move(entry));
    return *entries_.back()->decoder;
}

PipeStatus DecoderBus::enumerate(std::vector<BridgeChannel>& channels) {
    channels.clear();
    for (const auto& entry : entries_) {
        if (!entry->decoder->vanished()) {
            channels.push_back(entry->channel);
        }
    }
    return PipeStatus::ok;
}

std::unique_ptr<BytePipe> DecoderBus::open(OpenBy by, std::string_view key, PipeStatus& status) {
    const auto found = std::find_if(entries_.begin(), entries_.end(), [&](const auto& entry) {
        return !entry->decoder->vanished() &&
               (by == OpenBy::serial ? entry->channel.serial : entry->channel.location) == key;
    });
    if (found == entries_.end()) {
        status = PipeStatus::deviceNotFound;
        lastError_ = "no bridge " + std::string(key);
        return nullptr;
    }
    if ((*found)->open || (*found)->channel.inUse) {
        status = PipeStatus::deviceNotOpened;
        lastError_ = "bridge " + std::string(key) + " is in use by another program";
        return nullptr;
    }
    status = PipeStatus::ok;
    lastError_.clear();
    return std::make_unique<Pipe>(**found);
}

BridgeChannel decoderChannel() {
    return {"VB000001A", "1-1", 0x0121, BridgeType::twoChannel, 'A', "USB SPI Bridge A", false};
}

} // namespace brenvik::engine
