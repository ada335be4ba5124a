// The serial engine over the bridge decoder: every pipe operation of a connection and of
// transactions, the pipe's failures, the engine's own refusals, and the decoder and USB trace.
// The vendor library's status codes are checked by the conformance table (adapter library test).

#include "device/bridge.h"
#include "device/transaction.h"
#include "serial_engine/bridge_decoder.h"
#include "serial_engine/serial_engine.h"
#include "serial_engine/usb_trace.h"
#include "tests/support/fake_clock.h"

#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace brenvik::engine {
namespace {

using namespace std::chrono_literals;
using device::AdapterLibrary;
using Bytes = std::vector<std::uint8_t>;

std::string hex(std::span<const std::uint8_t> bytes) {
    std::string text;
    for (const std::uint8_t b : bytes) {
        text += ' ';
        text += "0123456789ABCDEF"[b >> 4];
        text += "0123456789ABCDEF"[b & 0x0F];
    }
    return text;
}

// Lists and opens through the decoders and writes every pipe operation on the clock's time line
// ("read 2/200 FA AA": at most 2 bytes within 200 ms, and what came). It can make listing or
// opening fail, fail one operation (counted from 0) with an I/O error, and hand answers out a
// byte a read.
class Recorder final : public BridgeBus {
public:
    Recorder(BridgeBus& inner, std::vector<std::string>& log) : inner_(inner), log_(log) {}

    PipeStatus enumerate(std::vector<BridgeChannel>& channels) override {
        return listFails ? *listFails : inner_.enumerate(channels);
    }
    std::unique_ptr<BytePipe> open(OpenBy by, std::string_view key, PipeStatus& status) override {
        auto pipe = openFails ? nullptr : inner_.open(by, key, status);
        status = openFails.value_or(status);
        return pipe ? std::make_unique<Pipe>(std::move(pipe), *this) : nullptr;
    }
    std::string lastError() const override { return inner_.lastError(); }

    std::optional<PipeStatus> listFails, openFails;
    std::size_t failAt = SIZE_MAX;
    std::size_t trickle = SIZE_MAX;

private:
    class Pipe final : public BytePipe {
    public:
        Pipe(std::unique_ptr<BytePipe> inner, Recorder& bus)
            : inner_(std::move(inner)), bus_(bus) {}

        PipeStatus write(std::span<const std::uint8_t> b) override {
            return fails("write" + hex(b)) ? PipeStatus::ioError : inner_->write(b);
        }
        PipeStatus read(std::span<std::uint8_t> buffer, std::size_t& received,
                        std::chrono::milliseconds timeout) override {
            received = 0;
            if (fails("read " + std::to_string(buffer.size()) + "/" +
                      std::to_string(timeout.count()))) {
                return PipeStatus::ioError;
            }
            const auto status = inner_->read(buffer.first(std::min(buffer.size(), bus_.trickle)),
                                             received, timeout);
            bus_.log_.back() += hex(buffer.first(received));
            return status;
        }
        PipeStatus setLatencyTimer(std::uint8_t ms) override {
            return fails("latency " + std::to_string(ms)) ? PipeStatus::ioError
                                                          : inner_->setLatencyTimer(ms);
        }
        PipeStatus getLatencyTimer(std::uint8_t& ms) override {
            if (fails("latency?")) {
                return PipeStatus::ioError;
            }
            const auto status = inner_->getLatencyTimer(ms);
            bus_.log_.back() += " " + std::to_string(ms);
            return status;
        }
        PipeStatus setBitMode(std::uint8_t mask, std::uint8_t mode) override {
            return fails("mode" + hex(Bytes{mask, mode})) ? PipeStatus::ioError
                                                          : inner_->setBitMode(mask, mode);
        }
        PipeStatus purge() override {
            return fails("purge") ? PipeStatus::ioError : inner_->purge();
        }
        PipeStatus reset() override {
            return fails("reset") ? PipeStatus::ioError : inner_->reset();
        }

    private:
        // Writes the operation down; true when it is the one to fail.
        bool fails(const std::string& what) {
            const bool failing = bus_.operations_++ == bus_.failAt;
            bus_.log_.push_back(what + (failing ? " fails" : ""));
            return failing;
        }

        std::unique_ptr<BytePipe> inner_;
        Recorder& bus_;
    };

    BridgeBus& inner_;
    std::vector<std::string>& log_;
    std::size_t operations_ = 0;
};

// Engine and decoder with a supply behind chip select, everything on one time line.
struct Rig {
    explicit Rig(BridgeType type = BridgeType::twoChannel, bool inUse = false) {
        BridgeChannel channel = decoderChannel();
        channel.type = type;
        channel.inUse = inUse;
        decoder = &decoders.add(channel, &supply);
    }
    // The time line since the last call, "; " between its events.
    std::string log() {
        std::string text;
        for (const auto& event : std::exchange(clock.timeline, {})) {
            text += (text.empty() ? "" : "; ") + event;
        }
        return text;
    }

    vsupply::VirtualSupply supply;
    DecoderBus decoders;
    BridgeDecoder* decoder = nullptr;
    testing::FakeClock clock;
    Recorder bus{decoders, clock.timeline};
    SerialEngine engine{bus, clock};
    device::DeviceLink link{engine};
    device::FtcHandle handle = 0;
};

// A transfer with the program's arguments (clock idle low, chip select on line 0 idling high,
// most significant bit first, out on the falling edge) unless a row changes them; its outcome
// as "status count: reply". The reply buffer starts as EE bytes, the count as DEAD (57005).
struct Transfer {
    device::StartCondition start{0, 0, 1, 0};
    std::uint32_t frameOrder = 1, frameEdge = 0, frameBits = 16;
    Bytes frame{0x03, 0x55};
    std::uint32_t replyOrder = 1, replyEdge = 0, replyBits = 8;
    device::HighPinRecord record{};
    device::FtcStatus status = 0;

    std::string run(AdapterLibrary& library, device::FtcHandle handle) {
        Bytes reply((replyBits + 7) / 8, 0xEE);
        std::uint32_t delivered = 0xDEAD;
        status = library.writeRead(handle, &start, frameOrder, frameEdge, frameBits, frame.data(),
                                   static_cast<std::uint32_t>(frame.size()), replyOrder, replyEdge,
                                   replyBits, reply.data(), &delivered, &record);
        return std::to_string(status) + " " + std::to_string(delivered) + ":" + hex(reply);
    }
};

// The program's connection and one transaction (command 3); the library's last status.
device::FtcStatus session(Rig& rig) {
    if (device::openBridge(rig.link, rig.clock) == device::OpenResult::Opened) {
        rig.handle = *rig.link.handle;
        device::transact(rig.link, 3, {}, 2, 1);
    }
    return rig.link.adapterStatus;
}

TEST(SerialEngine, SessionOnTheUsbAsTheVendorLibrarySendsIt) {
    const std::string opening =
        "reset; purge; mode 00 00; mode 00 02; write AA; read 2/200 FA AA; write AB; "
        "read 2/200 FA AB; write 8A 97 8D; ";
    const std::string clocking =
        "latency? 16; latency 50; latency? 50; latency 16; latency? 16; write 8B; "
        "write 86 2B 01; write 8A; write 86 2B 01; write 85; ";
    const std::string highPins = "wait 5; read 64/0; write 83 87; read 1/5000 00; ";
    const std::string settle = "wait 200; ";
    const std::string transfer =
        "write 80 00 FB 11 00 00 03 13 07 55 26 07 80 08 FB 87; read 1/5000 55";
    Rig two;
    EXPECT_EQ(session(two), 0u);
    EXPECT_EQ(two.log(), opening + "write 80 00 FB 82 FF FF 86 2B 01 85; " + clocking +
                             "write 80 00 FB 82 00 FF; " + settle + highPins + settle + highPins +
                             transfer);
    EXPECT_EQ(two.decoder->clockHz(), 100000u);
    // A four-channel bridge has no high byte: no pins to set or read.
    Rig four(BridgeType::fourChannel);
    EXPECT_EQ(session(four), 0u);
    EXPECT_EQ(four.log(),
              opening + "write 80 00 FB 86 2B 01 85; " + clocking + settle + settle + transfer);
}

// Whichever of the session's 29 pipe operations fails, the call that made it returns the
// driver's status and goes no further. The connection passes over the second latency query and
// setting, and waits after reading the pins whatever came. Answers that arrive a byte a read
// still do.
TEST(SerialEngine, AFailingPipeOperationEndsItsCallWithTheDriversStatus) {
    std::vector<std::size_t> passedOver, waitedAfter;
    for (std::size_t operation = 0; operation <= 29; ++operation) {
        Rig rig;
        rig.bus.failAt = operation;
        if (session(rig) == 0) {
            passedOver.push_back(operation);
            continue;
        }
        EXPECT_EQ(rig.link.adapterStatus, 4u) << operation;
        const std::string log = rig.log();
        if (log.ends_with(" fails; wait 200")) {
            waitedAfter.push_back(operation);
        } else {
            EXPECT_TRUE(log.ends_with(" fails")) << operation;
        }
    }
    EXPECT_EQ(passedOver, (std::vector<std::size_t>{12, 13, 29}));
    EXPECT_EQ(waitedAfter, (std::vector<std::size_t>{21, 22, 23}));
    Rig slow;
    slow.bus.trickle = 1;
    EXPECT_EQ(session(slow), 0u);
    EXPECT_EQ(Transfer{}.run(slow.engine, slow.handle), "0 1: 55");
}

// One transfer on a four-channel bridge (no high pins read first) for arguments other than the
// program's. A frame whose chip select never rises reaches no supply and gets no reply.
TEST(SerialEngine, TransferBytesFollowEdgesBitOrderBitCountsAndChipSelect) {
    const std::pair<Transfer, std::string> rows[] = {
        // The program's.
        {{}, "0 1: 55 | write 80 00 FB 11 00 00 03 13 07 55 26 07 80 08 FB 87; read 1/5000 55"},
        // A settings write.
        {{.frameBits = 88, .frame = {1, 0x55, 10, 0, 0, 20, 0, 0, 2, 0, 0x76}, .replyBits = 80},
         "0 10: 55 0A 00 00 14 00 00 02 00 76 | write 80 00 FB 11 09 00 01 55 0A 00 00 14 00 00 "
         "02 00 13 07 76 24 08 00 26 07 80 08 FB 87; read 10/5000 55 0A 00 00 14 00 00 02 00 76"},
        // Least significant bit first.
        {{.frameOrder = 0, .replyOrder = 0, .replyBits = 16},
         "0 2: 55 00 | write 80 00 FB 19 00 00 03 1B 07 55 2C 00 00 2E 07 80 08 FB 87; "
         "read 2/5000 55 00"},
        // Clock idling high, rising edges.
        {{.start = {1, 0, 1, 0}, .frameEdge = 1, .replyEdge = 1},
         "0 1: 55 | write 80 01 FB 10 00 00 03 12 07 55 22 07 80 09 FB 87; read 1/5000 55"},
        // Data out idling high.
        {{.start = {0, 1, 1, 0}},
         "0 1: 55 | write 80 02 FB 11 00 00 03 13 07 55 26 07 80 0A FB 87; read 1/5000 55"},
        {{.frameBits = 12, .replyBits = 2},
         "0 1: 55 | write 80 00 FB 11 00 00 03 13 03 55 26 01 80 08 FB 87; read 1/5000 55"},
        {{.frameBits = 8, .replyBits = 12},
         "0 2: FF FF | write 80 00 FB 13 07 03 24 00 00 26 03 80 08 FB 87; read 2/5000 FF FF"},
        // Chip select on line 4, idling low.
        {{.start = {0, 0, 0, 4}},
         "20 0: EE | write 80 80 FB 11 00 00 03 13 07 55 26 07 80 00 FB 87; read 1/5000"},
    };
    for (auto [transfer, expected] : rows) {
        Rig rig(BridgeType::fourChannel);
        session(rig);
        rig.log();
        const std::string outcome = transfer.run(rig.engine, rig.handle);
        EXPECT_EQ(outcome + " | " + rig.log(), expected);
    }
}

// Low lines set high stay high through a transfer until initialising sets them low again; the
// high lines that are outputs and read high are the active ones.
TEST(SerialEngine, TransfersKeepTheLowLinesAndReportTheHighOutputsThatReadHigh) {
    Rig rig;
    session(rig);
    device::LowPinStates low{0, 1, 0, 0, 1};
    device::HighPinSettings high{};
    high.pins.fill({1, 0});
    high.pins[0] = {1, 1}; // an output driven high
    high.pins[1] = {0, 1}; // an input, pulled high
    ASSERT_EQ(rig.engine.setHiSpeedDeviceGpios(rig.handle, &low, &high), 0u);
    rig.log();
    Transfer transfer;
    transfer.record.pins.fill({0, 1});
    EXPECT_EQ(transfer.run(rig.engine, rig.handle), "0 1: 55");
    EXPECT_TRUE(rig.log().ends_with("write 80 90 FB 11 00 00 03 13 07 55 26 07 80 98 FB 87; "
                                    "read 1/5000 55"));
    device::HighPinRecord expected{};
    expected.pins[0].activeState = 1;
    EXPECT_EQ(transfer.record, expected);

    ASSERT_EQ(rig.engine.initDevice(rig.handle, 299), 0u);
    EXPECT_EQ(Transfer{}.run(rig.engine, rig.handle), "0 1: 55");
    EXPECT_TRUE(rig.log().ends_with("write 80 00 FB 11 00 00 03 13 07 55 26 07 80 08 FB 87; "
                                    "read 1/5000 55"));
}

TEST(SerialEngine, ABridgeThatStopsAnsweringFailsWithoutDeliveringAnything) {
    for (const BridgeType type : {BridgeType::twoChannel, BridgeType::fourChannel}) {
        const bool two = type == BridgeType::twoChannel;
        Rig rig(type);
        session(rig);
        rig.decoder->stopAnswering();
        rig.log();
        // The two-channel bridge fails at its high-pin read, before the count is touched.
        EXPECT_EQ(Transfer{}.run(rig.engine, rig.handle), two ? "20 57005: EE" : "20 0: EE");
        EXPECT_EQ(rig.log(), two ? "wait 5; read 64/0; write 83 87; read 1/5000"
                                 : "write 80 00 FB 11 00 00 03 13 07 55 26 07 80 08 FB 87; "
                                   "read 1/5000");
        EXPECT_EQ(rig.engine.initDevice(rig.handle, 299), 21u);
        EXPECT_EQ(rig.log(), "reset; purge; mode 00 00; mode 00 02; write AA; read 2/200; "
                             "write AA; read 2/200; write AA; read 2/200; write AA; read 2/200; "
                             "write AA; read 2/200");
        rig.decoder->vanish();
        EXPECT_EQ(Transfer{}.run(rig.engine, rig.handle), two ? "4 57005: EE" : "4 0: EE");
    }
}

TEST(SerialEngine, OpeningFailsAsTheVendorLibraryWhenTheBusDoes) {
    const struct {
        std::optional<PipeStatus> listFails, openFails;
        bool inUse;
        device::FtcStatus status;
    } rows[] = {
        {PipeStatus::insufficientResources, std::nullopt, false, 5},
        {std::nullopt, PipeStatus::deviceNotOpened, false, 27},
        {std::nullopt, PipeStatus::ok, false, 27},
        {std::nullopt, PipeStatus::ioError, false, 4},
        {std::nullopt, std::nullopt, true, 27},
    };
    for (const auto& row : rows) {
        Rig rig(BridgeType::twoChannel, row.inUse);
        rig.bus.listFails = row.listFails;
        rig.bus.openFails = row.openFails;
        EXPECT_EQ(session(rig), row.status);
    }
    Rig rig;
    rig.bus.listFails = PipeStatus::ioError;
    char name[] = "USB SPI Bridge A";
    char channel[5] = "A";
    std::uint32_t location = 7, type = 7;
    EXPECT_EQ(
        rig.engine.getHiSpeedDeviceNameLocIdChannel(0, name, 20, &location, channel, 5, &type), 4u);
    EXPECT_EQ(type, 0u);
    EXPECT_EQ(rig.engine.openHiSpeedDevice(name, 0x121, channel, &rig.handle), 4u);
}

// Where the vendor library would write through a missing pointer the engine refuses with 6; a
// divisor above 16 bits is 33; a handle it never opened is 1. None of it reaches the USB.
TEST(SerialEngine, RefusesMissingPointersBadDivisorsAndUnknownHandles) {
    Rig rig;
    session(rig);
    rig.log();
    SerialEngine& e = rig.engine;
    const device::FtcHandle h = rig.handle;
    char text[8] = {};
    char a[] = "A";
    std::uint32_t n = 0;
    std::uint8_t ms = 0;
    device::LowPinStates low{};
    device::HighPinSettings high{};
    device::HighPinStates pins{};
    device::StartCondition start{0, 0, 1, 0};
    device::HighPinRecord record{};
    const std::uint8_t frame[2] = {3, 0x55};
    std::uint8_t reply[2] = {};
    const std::vector<device::FtcStatus> refused{
        e.getDllVersion(nullptr, 8), e.getDllVersion(text, 3), e.getNumHiSpeedDevices(nullptr),
        e.getHiSpeedDeviceNameLocIdChannel(0, text, 8, nullptr, text, 5, &n),
        e.getHiSpeedDeviceNameLocIdChannel(0, text, 8, &n, text, 5, nullptr),
        e.openHiSpeedDevice(nullptr, 0x121, a, &n),
        e.openHiSpeedDevice("USB SPI Bridge A", 0x121, nullptr, &n),
        e.openHiSpeedDevice("USB SPI Bridge A", 0x121, a, nullptr),
        e.getHiSpeedDeviceType(h, nullptr), e.setClock(h, 299, nullptr),
        e.getDeviceLatencyTimer(h, nullptr), e.getHiSpeedDeviceClock(299, nullptr),
        e.setHiSpeedDeviceGpios(h, nullptr, &high), e.setHiSpeedDeviceGpios(h, &low, nullptr),
        e.getHiSpeedDeviceGpios(h, nullptr),
        e.writeRead(h, &start, 1, 0, 16, frame, 2, 1, 0, 8, reply, nullptr, &record),
        // A divisor above 16 bits.
        e.initDevice(h, 0x10000), e.setClock(h, 0x10000, &n), e.getHiSpeedDeviceClock(0x10000, &n),
        // A handle never opened.
        e.closeDevice(99), e.initDevice(99, 299), e.setClock(99, 299, &n), e.setLoopback(99, 0),
        e.getHiSpeedDeviceType(99, &n), e.turnOnDivideByFiveClock(99),
        e.turnOffDivideByFiveClock(99), e.setDeviceLatencyTimer(99, 2),
        e.getDeviceLatencyTimer(99, &ms), e.setHiSpeedDeviceGpios(99, &low, &high),
        e.getHiSpeedDeviceGpios(99, &pins),
        e.writeRead(99, &start, 1, 0, 16, frame, 2, 1, 0, 8, reply, &n, &record)};
    EXPECT_EQ(refused,
              (std::vector<device::FtcStatus>{6,  6,  6,  6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6,
                                              33, 33, 33, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}));
    EXPECT_EQ(rig.log(), "");

    const auto clock = [&](std::uint32_t divisor) {
        std::uint32_t hz = 0;
        return e.getHiSpeedDeviceClock(divisor, &hz) == 0 ? hz : 0;
    };
    EXPECT_EQ((std::vector{clock(0), clock(299), clock(0xFFFF)}),
              (std::vector<std::uint32_t>{30000000, 100000, 457}));
    EXPECT_EQ(e.getDllVersion(text, 4), 0u);
    EXPECT_STREQ(text, "2.0");
    EXPECT_EQ(e.setLoopback(h, 1), 0u);
    EXPECT_EQ(e.closeDevice(h), 0u);
    EXPECT_EQ(e.closeDevice(h), 1u);
    EXPECT_EQ(rig.log(), "write 84");
}

TEST(ChannelText, AsTheAdapterLibraryFindsAndListsIt) {
    const struct {
        const char* description;
        char channel;
        bool listed;
    } rows[] = {{"USB SPI Bridge A", 'A', true}, {"Dual b", 'B', false}, {"Bus B a", 'A', false},
                {"Quad B", 'B', true},           {"Quad C", 0, false},   {"A", 0, false}};
    for (const auto& row : rows) {
        EXPECT_EQ(channelOfDescription(row.description), row.channel) << row.description;
        EXPECT_EQ(listedByAdapterLibrary(row.description), row.listed) << row.description;
    }
}

TEST(BridgeDecoder, PlaysOnlyWhatABridgeDoes) {
    vsupply::VirtualSupply supply;
    BridgeDecoder decoder(BridgeType::fourChannel, &supply);
    std::array<std::uint8_t, 8> buffer{};
    std::size_t received = 0;
    const auto said = [&] {
        decoder.read(buffer, received);
        return Bytes(buffer.begin(), buffer.begin() + received);
    };
    // Before the serial engine is on, bytes leave as serial data.
    decoder.write(Bytes{0xAA});
    EXPECT_TRUE(said().empty());
    ASSERT_EQ(decoder.setBitMode(0x02), PipeStatus::ok);
    // No high byte on a four-channel bridge; a command split over two writes runs once whole.
    decoder.write(Bytes{0x83, 0x86, 0x2B});
    decoder.write(Bytes{0x01, 0x87});
    EXPECT_EQ(said(), (Bytes{0xFA, 0x83}));
    EXPECT_EQ(decoder.divisor(), 299);
    // An answer asked for inside a frame comes after the frame's reply; an absent supply reads FF.
    decoder.setSupply(nullptr);
    decoder.write(Bytes{0x80, 0x00, 0xFB, 0x13, 0x07, 0x03, 0x26, 0x07, 0xAB, 0x80, 0x08, 0xFB});
    EXPECT_EQ(said(), (Bytes{0xFF, 0xFA, 0xAB}));
}

// A read that waited and got nothing is a line without bytes; a look that found nothing, or a
// write that failed, is no line.
TEST(UsbTrace, OneLinePerWriteAndReadWithMillisecondsSinceTheStart) {
    DecoderBus decoders;
    BridgeDecoder& decoder = decoders.add(decoderChannel(), nullptr);
    std::ostringstream out;
    std::chrono::milliseconds now{1000};
    UsbTrace trace(out, [&] { return now; });
    TracingBus bus(decoders, trace);
    PipeStatus status = PipeStatus::ok;
    EXPECT_EQ(bus.open(OpenBy::serial, "VB000002A", status), nullptr);
    EXPECT_EQ(bus.lastError(), "no bridge VB000002A");
    const auto pipe = bus.open(OpenBy::serial, "VB000001A", status);
    ASSERT_NE(pipe, nullptr);
    pipe->setBitMode(0, 2);
    now = 1105ms;
    pipe->write(Bytes{0x80, 0x00, 0xFB, 0x0A});
    std::array<std::uint8_t, 4> buffer{};
    std::size_t received = 0;
    now = 6105ms;
    for (const auto timeout : {5000ms, 0ms, 5000ms}) {
        pipe->read(buffer, received, timeout);
    }
    decoder.vanish();
    pipe->write(Bytes{0x87});
    pipe->read(buffer, received, 5000ms);
    EXPECT_EQ(out.str(), "105 write 80 00 FB 0A\n5105 read FA 0A\n5105 read\n");
}

} // namespace
} // namespace brenvik::engine
