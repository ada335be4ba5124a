#include "cli/replay.h"

#include "serial_engine/bridge_decoder.h"

#include <fstream>
#include <sstream>

namespace brenvik::cli {
namespace {

std::string hexText(std::span<const std::uint8_t> bytes) {
    std::string text;
    char hex[4];
    for (const std::uint8_t byte : bytes) {
        std::snprintf(hex, sizeof hex, "%s%02X", text.empty() ? "" : " ", byte);
        text += hex;
    }
    return text;
}

// Hex pairs up to the first word that is not one.
std::vector<std::uint8_t> hexPairs(std::istringstream& words, std::string* stop = nullptr) {
    std::vector<std::uint8_t> bytes;
    for (std::string word; words >> word;) {
        if (word.size() != 2 || !std::isxdigit(static_cast<unsigned char>(word[0])) ||
            !std::isxdigit(static_cast<unsigned char>(word[1]))) {
            if (stop != nullptr) {
                *stop = word;
            }
            break;
        }
        bytes.push_back(static_cast<std::uint8_t>(std::stoul(word, nullptr, 16)));
    }
    return bytes;
}

// "<time> frame 03 55 reply 55 status 0 delivered 1/1"
std::optional<RecordedExchange> transactionLine(const std::string& line) {
    std::istringstream words(line);
    std::string time;
    std::string word;
    if (!(words >> time >> word) || word != "frame") {
        return std::nullopt;
    }
    RecordedExchange exchange;
    exchange.frame = hexPairs(words, &word);
    if (word != "reply") {
        return std::nullopt;
    }
    std::vector<std::uint8_t> reply = hexPairs(words, &word);
    unsigned long status = 0;
    std::string delivered;
    if (word != "status" || !(words >> status >> word >> delivered) || word != "delivered" ||
        exchange.frame.empty()) {
        return std::nullopt;
    }
    const std::size_t count = std::stoul(delivered);
    reply.resize(std::min(reply.size(), count));
    exchange.reply = std::move(reply);
    exchange.failed = status != 0 && count == 0;
    return exchange;
}

// A USB trace read back through the command decoder: each frame it hands on at chip select's
// rising edge, with the bytes the host then read, up to the reply's length.
class UsbTraceReader {
public:
    UsbTraceReader()
        : decoder_(engine::BridgeType::twoChannel,
                   [this](std::span<const std::uint8_t> frame, std::span<std::uint8_t> reply,
                          std::size_t& delivered) {
                       exchanges_.push_back({{frame.begin(), frame.end()}, {}, false});
                       wanted_ = reply.size();
                       delivered = reply.size();
                       return true;
                   }) {
        decoder_.setBitMode(engine::kBitModeSerialEngine);
    }

    // False when the line is not a USB trace line.
    bool take(const std::string& line) {
        std::istringstream words(line);
        std::string time;
        std::string direction;
        if (!(words >> time >> direction) ||
            time.find_first_not_of("0123456789") != std::string::npos) {
            return false;
        }
        const std::vector<std::uint8_t> bytes = hexPairs(words);
        if (direction == "write") {
            wanted_ = 0;
            decoder_.write(bytes);
            drain();
            return true;
        }
        if (direction == "read") {
            const std::size_t take = std::min(wanted_, bytes.size());
            if (take > 0) {
                auto& reply = exchanges_.back().reply;
                reply.insert(reply.end(), bytes.begin(), bytes.begin() + take);
                wanted_ -= take;
            }
            return true;
        }
        return false;
    }
    std::vector<RecordedExchange>& exchanges() { return exchanges_; }

private:
    // The decoder's own answers are not the recording's.
    void drain() {
        std::array<std::uint8_t, 256> buffer{};
        for (std::size_t received = 1; received > 0;) {
            decoder_.read(buffer, received);
        }
    }

    engine::BridgeDecoder decoder_;
    std::vector<RecordedExchange> exchanges_;
    std::size_t wanted_ = 0;
};

} // namespace

std::optional<std::vector<RecordedExchange>> readRecording(const std::filesystem::path& file,
                                                           std::string& error) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        error = file.string() + ": cannot be read";
        return std::nullopt;
    }
    std::vector<RecordedExchange> transactions;
    UsbTraceReader usb;
    bool usbLines = false;
    for (std::string line; std::getline(in, line);) {
        if (auto exchange = transactionLine(line)) {
            transactions.push_back(std::move(*exchange));
        } else {
            usbLines = usb.take(line) || usbLines;
        }
    }
    if (!transactions.empty() && usbLines) {
        error = file.string() + ": holds both a transaction trace and a USB trace";
        return std::nullopt;
    }
    auto& exchanges = transactions.empty() ? usb.exchanges() : transactions;
    if (exchanges.empty()) {
        error = file.string() + ": no frame recorded";
        return std::nullopt;
    }
    return std::move(exchanges);
}

bool Replay::answer(std::span<const std::uint8_t> frame, std::span<std::uint8_t> reply,
                    std::size_t& delivered) {
    const std::lock_guard lock(mutex_);
    delivered = 0;
    if (difference_) {
        return true;
    }
    const std::size_t number = next_ + 1;
    if (next_ >= recording_.size()) {
        difference_ = "frame " + std::to_string(number) + " (" + hexText(frame) +
                      ") is past the end of the recording";
        return true;
    }
    const RecordedExchange& recorded = recording_[next_];
    if (!std::ranges::equal(frame, recorded.frame)) {
        difference_ = "frame " + std::to_string(number) + " differs from the recording: sent " +
                      hexText(frame) + ", recorded " + hexText(recorded.frame);
        return true;
    }
    ++next_;
    delivered = std::min(reply.size(), recorded.reply.size());
    std::copy_n(recorded.reply.begin(), delivered, reply.begin());
    return !recorded.failed;
}

std::optional<std::string> Replay::difference() const {
    const std::lock_guard lock(mutex_);
    if (difference_ || next_ == recording_.size()) {
        return difference_;
    }
    return "frame " + std::to_string(next_ + 1) + " (" + hexText(recording_[next_].frame) +
           ") of the recording was never sent";
}

namespace {

class ReplayUnit final : public UnitLibrary {
public:
    ReplayUnit(Replay& replay, Clock& clock, std::ostream* usbTrace) {
        bus_.add(
            engine::decoderChannel(),
            [&replay](std::span<const std::uint8_t> frame, std::span<std::uint8_t> reply,
                      std::size_t& delivered) { return replay.answer(frame, reply, delivered); });
        engine_ = engineOver(bus_, clock, usbTrace);
    }
    device::AdapterLibrary& library() override { return engine_->library(); }

private:
    engine::DecoderBus bus_;
    std::unique_ptr<UnitLibrary> engine_;
};

class ReplayRoad final : public Road {
public:
    explicit ReplayRoad(Replay& replay) : replay_(replay) {}
    std::string_view name() const override { return "replay"; }
    void list(std::vector<Unit>& units, std::string&) override {
        const engine::BridgeChannel channel = engine::decoderChannel();
        units = {{0, channel.serial, channel.location, channel.locationId, "2-channel", "A",
                  channel.description, "replay"}};
    }
    std::unique_ptr<UnitLibrary> open(const Unit*, Clock& clock, std::ostream* usbTrace) override {
        return std::make_unique<ReplayUnit>(replay_, clock, usbTrace);
    }
    bool tracesUsb() const override { return true; }

private:
    Replay& replay_;
};

} // namespace

std::unique_ptr<Road> replayRoad(Replay& replay) {
    return std::make_unique<ReplayRoad>(replay);
}

} // namespace brenvik::cli
