// The serial engine over the bridge decoder: the bytes on the USB for a connection and for
// transactions, the adapter library's status codes, and the same replies as the virtual bridge.

#include "serial_engine/bridge_decoder.h"
#include "serial_engine/serial_engine.h"
#include "serial_engine/usb_trace.h"
#include "tests/support/fake_clock.h"
#include "virtual_supply/virtual_bridge.h"

#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;
using brenvik::device::AdapterLibrary;
using brenvik::device::FtcHandle;
using brenvik::device::FtcStatus;
using brenvik::engine::BridgeChannel;
using brenvik::engine::BridgeDecoder;
using brenvik::engine::BridgeType;
using brenvik::engine::DecoderBus;
using brenvik::engine::SerialEngine;
using brenvik::engine::TracingBus;
using brenvik::engine::UsbTrace;

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        result.push_back(line);
    }
    return result;
}

struct Transfer {
    FtcStatus status = 0;
    std::uint32_t delivered = 0;
    std::vector<std::uint8_t> reply;
};

// One transfer with the program's arguments: clock idle low, chip select on line 0 idling high,
// most significant bit first, data out on the falling edge.
Transfer transfer(AdapterLibrary& library, FtcHandle handle, std::vector<std::uint8_t> frame,
                  std::uint32_t replyBytes) {
    brenvik::device::StartCondition start{0, 0, 1, 0};
    brenvik::device::HighPinRecord record{};
    Transfer result;
    result.reply.assign(replyBytes, 0xEE);
    result.delivered = 0xDEAD;
    result.status =
        library.writeRead(handle, &start, 1, 0, static_cast<std::uint32_t>(frame.size() * 8),
                          frame.data(), static_cast<std::uint32_t>(frame.size()), 1, 0,
                          replyBytes * 8, result.reply.data(), &result.delivered, &record);
    return result;
}

// The connection's calls in the program's order; every one must succeed.
FtcHandle connect(AdapterLibrary& library, std::uint32_t expectedType = 1) {
    char version[10] = {};
    std::uint32_t count = 0;
    char name[101] = {};
    char channel[5] = {};
    std::uint32_t location = 0;
    std::uint32_t type = 0;
    FtcHandle handle = 0;
    std::uint8_t latency = 0;
    std::uint32_t hz = 0;
    brenvik::device::LowPinStates low{};
    brenvik::device::HighPinSettings high{};
    for (auto& pin : high.pins) {
        pin = {1, 0};
    }
    brenvik::device::HighPinStates read{};
    const std::vector<FtcStatus> statuses{
        library.getDllVersion(version, 10),
        library.getNumHiSpeedDevices(&count),
        library.getHiSpeedDeviceNameLocIdChannel(0, name, 100, &location, channel, 5, &type),
        library.openHiSpeedDevice(name, location, channel, &handle),
        library.getHiSpeedDeviceType(handle, &type),
        library.initDevice(handle, 299),
        library.getDeviceLatencyTimer(handle, &latency),
        library.setDeviceLatencyTimer(handle, 50),
        library.getDeviceLatencyTimer(handle, &latency),
        library.setDeviceLatencyTimer(handle, 16),
        library.getDeviceLatencyTimer(handle, &latency),
        library.getHiSpeedDeviceClock(0, &hz),
        library.turnOnDivideByFiveClock(handle),
        library.getHiSpeedDeviceClock(0, &hz),
        library.setClock(handle, 299, &hz),
        library.turnOffDivideByFiveClock(handle),
        library.setClock(handle, 299, &hz),
        library.setLoopback(handle, 0),
        library.setHiSpeedDeviceGpios(handle, &low, &high),
        library.getHiSpeedDeviceGpios(handle, &read),
    };
    EXPECT_EQ(statuses, std::vector<FtcStatus>(20, 0));
    EXPECT_EQ(count, 1u);
    EXPECT_STREQ(name, "USB SPI Bridge A");
    EXPECT_STREQ(channel, "A");
    EXPECT_EQ(location, 0x121u);
    EXPECT_EQ(type, expectedType);
    EXPECT_EQ(latency, 16);
    EXPECT_EQ(hz, 100000u);
    return handle;
}

// Engine, decoder and virtual supply, with the USB traced at time 0.
struct Rig {
    explicit Rig(BridgeType type = BridgeType::twoChannel) : decoder(addBridge(type)) {}

    BridgeDecoder& addBridge(BridgeType type) {
        BridgeChannel channel = brenvik::engine::decoderChannel();
        channel.type = type;
        return bus.add(channel, &supply);
    }
    // The trace lines since the last call.
    std::vector<std::string> usb() {
        auto result = lines(traced.str());
        traced.str("");
        return result;
    }

    brenvik::vsupply::VirtualSupply supply;
    DecoderBus bus;
    BridgeDecoder& decoder;
    std::ostringstream traced;
    UsbTrace trace{traced, [] { return 0ms; }};
    TracingBus tracingBus{bus, trace};
    brenvik::testing::FakeClock clock;
    SerialEngine engine{tracingBus, clock};
};

TEST(SerialEngine, ConnectionSendsTheLibrarysBytes) {
    Rig rig;
    connect(rig.engine);
    EXPECT_EQ(rig.usb(), (std::vector<std::string>{
                             "0 write AA",
                             "0 read FA AA",
                             "0 write AB",
                             "0 read FA AB",
                             "0 write 8A 97 8D",
                             "0 write 80 00 FB 82 FF FF 86 2B 01 85",
                             "0 write 8B",
                             "0 write 86 2B 01",
                             "0 write 8A",
                             "0 write 86 2B 01",
                             "0 write 85",
                             "0 write 80 00 FB 82 00 FF",
                             "0 write 83 87",
                             "0 read 00",
                         }));
    EXPECT_EQ(rig.clock.waits, (std::vector<std::chrono::milliseconds>{5ms}));
    EXPECT_EQ(rig.decoder.clockHz(), 100000u);
    EXPECT_EQ(rig.decoder.latency(), 16);
    EXPECT_EQ(rig.decoder.highDirections(), 0xFF);
}

TEST(SerialEngine, TransactionsAreOneWriteWithChipSelectAndSendImmediate) {
    Rig rig;
    const FtcHandle handle = connect(rig.engine);
    rig.usb();
    rig.clock.waits.clear();

    const Transfer opening = transfer(rig.engine, handle, {0x03, 0x55}, 1);
    EXPECT_EQ(rig.usb(), (std::vector<std::string>{
                             "0 write 83 87",
                             "0 read 00",
                             "0 write 80 00 FB 11 00 00 03 13 07 55 26 07 80 08 FB 87",
                             "0 read 55",
                         }));
    EXPECT_EQ(opening.status, 0u);
    EXPECT_EQ(opening.delivered, 1u);
    EXPECT_EQ(opening.reply, (std::vector<std::uint8_t>{0x55}));

    const Transfer chunk = transfer(rig.engine, handle, {0x04, 0x55}, 12);
    const auto usb = rig.usb();
    ASSERT_EQ(usb.size(), 4u);
    EXPECT_EQ(usb[2], "0 write 80 00 FB 11 00 00 04 13 07 55 24 0A 00 26 07 80 08 FB 87");
    EXPECT_EQ(usb[3].size(), std::string("0 read").size() + 12 * 3);
    EXPECT_EQ(chunk.delivered, 12u);
    EXPECT_EQ(rig.clock.waits, (std::vector<std::chrono::milliseconds>{5ms, 5ms}));

    // A four-channel bridge has no high byte to read first.
    Rig four(BridgeType::fourChannel);
    const FtcHandle quad = connect(four.engine, 2);
    EXPECT_EQ(four.usb()[5], "0 write 80 00 FB 86 2B 01 85");
    transfer(four.engine, quad, {0x03, 0x55}, 1);
    EXPECT_EQ(four.usb(), (std::vector<std::string>{
                              "0 write 80 00 FB 11 00 00 03 13 07 55 26 07 80 08 FB 87",
                              "0 read 55",
                          }));
}

TEST(SerialEngine, TransferWritesTheActiveStatesOfTheHighOutputsThatReadHigh) {
    Rig rig;
    const FtcHandle handle = connect(rig.engine);
    // Line 0 an output driven high, line 1 an input pulled high, the rest outputs driven low.
    brenvik::device::LowPinStates low{};
    brenvik::device::HighPinSettings high{};
    for (auto& pin : high.pins) {
        pin = {1, 0};
    }
    high.pins[0] = {1, 1};
    high.pins[1] = {0, 1};
    ASSERT_EQ(rig.engine.setHiSpeedDeviceGpios(handle, &low, &high), 0u);
    brenvik::device::StartCondition start{0, 0, 1, 0};
    brenvik::device::HighPinRecord record{};
    for (auto& pin : record.pins) {
        pin.activeState = 1;
    }
    std::uint8_t frame[2] = {0x03, 0x55};
    std::uint8_t reply[1] = {};
    std::uint32_t delivered = 0;
    ASSERT_EQ(rig.engine.writeRead(handle, &start, 1, 0, 16, frame, 2, 1, 0, 8, reply, &delivered,
                                   &record),
              0u);
    std::vector<std::uint32_t> active;
    for (const auto& pin : record.pins) {
        active.push_back(pin.activeState);
    }
    EXPECT_EQ(active, (std::vector<std::uint32_t>{1, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(SerialEngine, SameFramesAndRepliesAsTheVirtualBridge) {
    Rig rig;
    std::vector<std::uint8_t> framesSeen;
    rig.decoder.onExchange([&](std::span<const std::uint8_t> frame, std::span<const std::uint8_t>) {
        framesSeen.push_back(frame[0]);
    });
    brenvik::vsupply::VirtualBridge bridge;
    rig.supply.state().acFaultCount = 7;
    rig.supply.state().batteryReading = 0x1234;
    bridge.supply().state() = rig.supply.state();

    const FtcHandle viaEngine = connect(rig.engine);
    const FtcHandle viaBridge = connect(bridge);
    bridge.forgetCalls();
    // The read-back's block fetch, a monitor tick's, and a settings write with its confirm.
    const std::vector<std::pair<std::vector<std::uint8_t>, std::uint32_t>> exchanges{
        {{3, 0x55}, 1},
        {{4, 0x55}, 12},
        {{4, 0x55}, 12},
        {{4, 0x55}, 12},
        {{4, 0x55}, 12},
        {{10, 0x55}, 1},
        {{4, 0x55}, 12},
        {{4, 0x55}, 12},
        {{4, 0x55}, 12},
        {{4, 0x55}, 12},
        {{1, 0x55, 10, 0, 0, 20, 0, 0, 2, 0, 0x76}, 10},
        {{2, 0x55, 10, 0, 0, 20, 0, 0, 2, 0, 0}, 10},
    };
    for (const auto& [frame, replyBytes] : exchanges) {
        const Transfer engine = transfer(rig.engine, viaEngine, frame, replyBytes);
        const Transfer reference = transfer(bridge, viaBridge, frame, replyBytes);
        EXPECT_EQ(engine.status, 0u);
        EXPECT_EQ(engine.reply, reference.reply) << "command " << int(frame[0]);
        EXPECT_EQ(engine.delivered, reference.delivered);
    }
    EXPECT_EQ(framesSeen, bridge.commandsSent());
    EXPECT_EQ(rig.supply.state(), bridge.supply().state());
    EXPECT_EQ(rig.supply.state().settings[0], 10);
}

TEST(SerialEngine, ParameterChecksComeFirstInTheLibrarysOrderAndSendNothing) {
    Rig rig;
    const FtcHandle handle = connect(rig.engine);
    brenvik::device::LowPinStates low{};
    brenvik::device::HighPinSettings high{}; // pin 0 stays an input
    ASSERT_EQ(rig.engine.setHiSpeedDeviceGpios(handle, &low, &high), 0u);
    rig.usb();

    struct Row {
        const char* what;
        FtcHandle handle;
        brenvik::device::StartCondition start;
        std::uint32_t frameEdge, frameBits, frameBytes, replyBits;
        bool reply, record;
        std::uint32_t pin0Active;
        FtcStatus expected;
    };
    const Row rows[] = {
        {"unknown handle", 0, {0, 0, 1, 0}, 0, 16, 2, 8, true, true, 0, 1},
        {"chip-select pin 5 before clock state",
         handle,
         {1, 0, 1, 5},
         0,
         16,
         2,
         8,
         true,
         true,
         0,
         52},
        {"clock idles high, data out on the falling edge",
         handle,
         {1, 0, 1, 0},
         0,
         16,
         2,
         8,
         true,
         true,
         0,
         51},
        {"2048 frame bits", handle, {0, 0, 1, 0}, 0, 2048, 255, 8, true, true, 0, 44},
        {"no frame bytes", handle, {0, 0, 1, 0}, 0, 0, 0, 8, true, true, 0, 45},
        {"bytes too few for the bits", handle, {0, 0, 1, 0}, 0, 16, 1, 8, true, true, 0, 46},
        {"no reply buffer", handle, {0, 0, 1, 0}, 0, 16, 2, 8, false, true, 0, 42},
        {"one reply bit", handle, {0, 0, 1, 0}, 0, 16, 2, 1, true, true, 0, 50},
        {"no high output record", handle, {0, 0, 1, 0}, 0, 16, 2, 8, true, false, 0, 37},
        {"an input asked active", handle, {0, 0, 1, 0}, 0, 16, 2, 8, true, true, 1, 55},
    };
    const std::uint8_t frame[2] = {0x03, 0x55};
    for (const Row& row : rows) {
        std::uint8_t reply[2] = {0xEE, 0xEE};
        brenvik::device::HighPinRecord record{};
        record.pins[0].state = row.pin0Active;
        std::uint32_t delivered = 0xDEAD;
        EXPECT_EQ(rig.engine.writeRead(row.handle, &row.start, 1, row.frameEdge, row.frameBits,
                                       frame, row.frameBytes, 1, 0, row.replyBits,
                                       row.reply ? reply : nullptr, &delivered,
                                       row.record ? &record : nullptr),
                  row.expected)
            << row.what;
        EXPECT_EQ(delivered, 0xDEADu) << row.what;
    }
    EXPECT_TRUE(rig.usb().empty());

    char name[20] = {};
    char channel[5] = {};
    std::uint32_t location = 0;
    std::uint32_t type = 7;
    FtcHandle other = 0;
    EXPECT_EQ(rig.engine.setDeviceLatencyTimer(0, 1), 32u);
    EXPECT_EQ(rig.engine.setDeviceLatencyTimer(0, 2), 1u);
    EXPECT_EQ(
        rig.engine.getHiSpeedDeviceNameLocIdChannel(1, name, 20, &location, channel, 5, &type),
        22u);
    EXPECT_EQ(
        rig.engine.getHiSpeedDeviceNameLocIdChannel(0, name, 20, &location, channel, 4, &type),
        30u);
    EXPECT_EQ(type, 0u);
    EXPECT_EQ(
        rig.engine.getHiSpeedDeviceNameLocIdChannel(0, name, 15, &location, channel, 5, &type),
        24u);
    char c[] = "c";
    char a[] = "A";
    char lowerA[] = "a";
    EXPECT_EQ(rig.engine.openHiSpeedDevice("USB SPI Bridge A", 0x121, c, &other), 31u);
    EXPECT_EQ(rig.engine.openHiSpeedDevice("USB SPI Bridge", 0x121, a, &other), 25u);
    EXPECT_EQ(rig.engine.openHiSpeedDevice("USB SPI Bridge A", 0x122, a, &other), 26u);
    EXPECT_EQ(rig.engine.openHiSpeedDevice("USB SPI Bridge A", 0x121, lowerA, &other), 0u);
    EXPECT_EQ(other, handle);
}

TEST(SerialEngine, SilentBridgeFailsWith20AndDeliversNothing) {
    for (const BridgeType type : {BridgeType::twoChannel, BridgeType::fourChannel}) {
        const bool two = type == BridgeType::twoChannel;
        Rig rig(type);
        const FtcHandle handle = connect(rig.engine, two ? 1 : 2);
        rig.decoder.stopAnswering();
        const Transfer silent = transfer(rig.engine, handle, {0x03, 0x55}, 1);
        EXPECT_EQ(silent.status, 20u);
        // The two-channel bridge fails at its high-pin read, before the count is touched.
        EXPECT_EQ(silent.delivered, two ? 0xDEADu : 0u);
        EXPECT_EQ(silent.reply, (std::vector<std::uint8_t>{0xEE}));
        // Synchronisation fails the same way.
        EXPECT_EQ(rig.engine.initDevice(handle, 299), 21u);

        rig.decoder.vanish();
        EXPECT_EQ(transfer(rig.engine, handle, {0x03, 0x55}, 1).status, 4u);
    }
}

TEST(BridgeDecoder, PlaysOnlyWhatABridgeDoes) {
    brenvik::vsupply::VirtualSupply supply;
    BridgeDecoder decoder(BridgeType::fourChannel, &supply);
    std::array<std::uint8_t, 8> buffer{};
    std::size_t received = 0;
    const auto said = [&] {
        decoder.read(buffer, received);
        return std::vector<std::uint8_t>(buffer.begin(), buffer.begin() + received);
    };
    // Before the serial engine is on, bytes leave as serial data.
    decoder.write(std::vector<std::uint8_t>{0xAA});
    EXPECT_TRUE(said().empty());
    ASSERT_EQ(decoder.setBitMode(0x02), brenvik::engine::PipeStatus::ok);
    // No high byte on a four-channel bridge; a command split over two writes runs once whole.
    decoder.write(std::vector<std::uint8_t>{0x83, 0x86, 0x2B});
    decoder.write(std::vector<std::uint8_t>{0x01, 0x87});
    EXPECT_EQ(said(), (std::vector<std::uint8_t>{0xFA, 0x83}));
    EXPECT_EQ(decoder.divisor(), 299);
    // An answer asked for inside a frame comes after the frame's reply; an absent supply reads FF.
    decoder.setSupply(nullptr);
    decoder.write(std::vector<std::uint8_t>{0x80, 0x00, 0xFB, 0x13, 0x07, 0x03, 0x26, 0x07, 0xAB,
                                            0x80, 0x08, 0xFB});
    EXPECT_EQ(said(), (std::vector<std::uint8_t>{0xFF, 0xFA, 0xAB}));
}

TEST(UsbTrace, OneLinePerWriteAndReadWithMillisecondsSinceTheStart) {
    std::ostringstream out;
    std::chrono::milliseconds now{1000};
    UsbTrace trace(out, [&] { return now; });
    now = 1105ms;
    trace.write(std::vector<std::uint8_t>{0x80, 0x00, 0xFB, 0x0A});
    now = 6105ms;
    trace.read({});
    trace.read(std::vector<std::uint8_t>{0xFA});
    EXPECT_EQ(out.str(), "105 write 80 00 FB 0A\n5105 read\n5105 read FA\n");
}

} // namespace
