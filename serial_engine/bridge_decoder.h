#pragma once
// A bridge channel in software that reads the serial-engine command set: it tracks the pins, the
// clock divisor, divide-by-five and loopback, collects the bytes clocked out while chip select
// (low byte, bit 3) is low, and at chip select's rising edge hands that frame to the virtual
// supply and queues its reply for the host to read. Behind the serial engine it stands where a
// real bridge stands, so tests and the virtual-bridge road see every byte on the USB.
//
// It plays what a real bridge does and nothing more: commands arrive only in the serial-engine
// bit mode (before it they would leave as serial data, unanswered); a command it does not play is
// answered FA and the command, as the bridge answers a bad command; the high byte exists only on
// a two-channel bridge; a read returns only what the bridge has said.

#include "serial_engine/byte_pipe.h"
#include "virtual_supply/virtual_supply.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <span>
#include <vector>

namespace brenvik::engine {

class BridgeDecoder {
public:
    // What lies behind chip select when it is more than a supply (a virtual bridge's transfer,
    // with its faults): answers the frame into reply and sets how many bytes it drove; false
    // when the transfer failed on the USB, which the host sees as an I/O error on its next read.
    using Responder = std::function<bool(std::span<const std::uint8_t> frame,
                                         std::span<std::uint8_t> reply, std::size_t& delivered)>;

    // supply: the controller behind the chip-select line, or none (its line reads FF).
    BridgeDecoder(BridgeType type, vsupply::VirtualSupply* supply);
    BridgeDecoder(BridgeType type, Responder responder);

    void setSupply(vsupply::VirtualSupply* supply) { supply_ = supply; }
    // The bridge leaves the bus: every later operation on the pipe fails with an I/O error.
    void vanish() { vanished_ = true; }
    // The bridge takes every command but sends nothing back any more, as a hung bridge does.
    void stopAnswering() { silent_ = true; }

    std::uint8_t latency() const { return latency_; }
    // The clock the serial engine runs at now.
    std::uint32_t clockHz() const;

    // The pipe side, as the bus hands it out.
    PipeStatus write(std::span<const std::uint8_t> bytes);
    PipeStatus read(std::span<std::uint8_t> buffer, std::size_t& received);
    PipeStatus setLatencyTimer(std::uint8_t milliseconds);
    PipeStatus setBitMode(std::uint8_t mode);
    PipeStatus purge();
    PipeStatus reset();
    bool vanished() const { return vanished_; }

private:
    // Executes the command at the front of pending_; false when it is not complete yet.
    bool executeOne();
    void setLow(std::uint8_t levels, std::uint8_t directions);
    void shiftOut(std::span<const std::uint8_t> bytes);
    void shiftIn(std::size_t count);
    void answer(std::span<const std::uint8_t> bytes);
    void endFrame();
    bool selected() const;

    BridgeType type_;
    vsupply::VirtualSupply* supply_;
    Responder responder_;
    bool transferFailed_ = false;
    bool vanished_ = false;
    bool silent_ = false;
    std::uint8_t bitMode_ = kBitModeReset;
    std::uint8_t latency_ = 16;
    std::uint8_t lowLevels_ = 0;
    std::uint8_t lowDirections_ = 0;
    std::uint8_t highLevels_ = 0;
    std::uint8_t highDirections_ = 0;
    std::uint16_t divisor_ = 0;
    bool divideByFive_ = true;
    bool loopback_ = false;
    std::vector<std::uint8_t> pending_; // bytes of a command not complete yet
    std::vector<std::uint8_t> frame_;   // clocked out while chip select is low
    std::size_t replyCount_ = 0;        // bytes clocked in while chip select is low
    std::vector<std::uint8_t> held_;    // answers that come after the frame's reply
    std::deque<std::uint8_t> toHost_;
};

// Bridges played by decoders, listed and opened like real ones.
class DecoderBus final : public BridgeBus {
public:
    // A bridge channel with its decoder; the decoder lives as long as the bus.
    BridgeDecoder& add(const BridgeChannel& channel, vsupply::VirtualSupply* supply);
    BridgeDecoder& add(const BridgeChannel& channel, BridgeDecoder::Responder responder);

    PipeStatus enumerate(std::vector<BridgeChannel>& channels) override;
    std::unique_ptr<BytePipe> open(OpenBy by, std::string_view key, PipeStatus& status) override;
    std::string lastError() const override { return lastError_; }

private:
    struct Entry {
        BridgeChannel channel;
        std::unique_ptr<BridgeDecoder> decoder;
        bool open = false;
    };
    class Pipe;

    BridgeDecoder& keep(const BridgeChannel& channel, std::unique_ptr<BridgeDecoder> decoder);

    std::vector<std::unique_ptr<Entry>> entries_;
    std::string lastError_;
};

// The channel A of a two-channel bridge as the decoder tests and the virtual-bridge road list it.
BridgeChannel decoderChannel();

} // namespace brenvik::engine
