// The serial engine over the bridge decoder: every pipe operation of a connection and of
// transactions, the pipe's failures, the engine's own refusals, and the decoder and USB trace;
// the libftdi road to real bridges, on played libftdi and libusb.
// Then the adapter library as the program meets it: the one conformance table of the vendor
// library's status codes against the virtual bridge (conforming, and playing the faults no real
// library shows) and the serial engine, and the check of a library's names before it is used.

#include "cli/session.h"
#include "device/bridge.h"
#include "device/library_check.h"
#include "device/transaction.h"
#include "serial_engine/bridge_decoder.h"
#include "serial_engine/serial_engine.h"
#include "serial_engine/usb_trace.h"
#include "serial_engine/virtual_bridge_bus.h"
#include "tests/support/fake_clock.h"
#include "usb_pipes/ftdi_bus.h"
#include "virtual_supply/conformance.h"
#include "virtual_supply/virtual_bridge.h"

#include <cstdio>
#include <cstring>
#include <deque>
#include <ftdi.h>
#include <functional>
#include <gtest/gtest.h>
#include <numeric>
#include <optional>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

// libftdi and libusb as the libftdi road meets them: the test program's own definitions stand in
// for the shared libraries' (the linker takes the program's first), so every call the bus makes
// is recorded and answered as the test says.
namespace {

using Bytes = std::vector<std::uint8_t>;

// A bridge on the USB as libusb and libftdi see it.
struct Device {
    int product; // 0x6010 two channels, 0x6011 four
    std::uint8_t bus;
    Bytes ports;
    std::string description, serial;
    int strings = 0; // what reading its strings returns
    int opened = 0;  // what opening it returns
};

// The state of the played libraries, new for every test.
struct Played {
    std::vector<Device> devices;
    std::string calls; // "; " after each
    bool noContext = false;
    int interfaceResult = 0, findResult = 0, charResult = 0, result = 0, written = -1;
    std::deque<int> arrivals; // bytes each read hands out, -1 an error; nothing once empty
} played;

Device& device(libusb_device* dev) {
    return *reinterpret_cast<Device*>(dev);
}

// Records the call and gives the result.
int called(const std::string& call, int result) {
    played.calls += call + "; ";
    return result;
}

} // namespace

extern "C" {
ftdi_context* ftdi_new() {
    return played.noContext ? nullptr : new ftdi_context{};
}
void ftdi_free(ftdi_context* context) {
    delete context;
    called("free", 0);
}
int ftdi_set_interface(ftdi_context*, ftdi_interface interface) {
    return called("interface " + std::to_string(interface), played.interfaceResult);
}
int ftdi_usb_find_all(ftdi_context*, ftdi_device_list** list, int vendor, int product) {
    int count = 0;
    *list = nullptr;
    for (auto it = played.devices.rbegin(); it != played.devices.rend(); ++it) {
        if (it->product == product) {
            *list = new ftdi_device_list{*list, reinterpret_cast<libusb_device*>(&*it)};
            ++count;
        }
    }
    char call[20];
    std::snprintf(call, sizeof call, "find %04x:%04x", vendor, product);
    return called(call, played.findResult < 0 ? played.findResult : count);
}
void ftdi_list_free(ftdi_device_list** list) {
    while (*list != nullptr) {
        delete std::exchange(*list, (*list)->next);
    }
}
uint8_t libusb_get_bus_number(libusb_device* dev) {
    return device(dev).bus;
}
int libusb_get_port_numbers(libusb_device* dev, uint8_t* ports, int) {
    std::copy(device(dev).ports.begin(), device(dev).ports.end(), ports);
    return static_cast<int>(device(dev).ports.size());
}
int ftdi_usb_get_strings(ftdi_context*, libusb_device* dev, char*, int, char* description, int,
                         char* serial, int) {
    const Device& d = device(dev);
    if (description != nullptr) {
        std::strcpy(description, d.description.c_str());
    }
    std::strcpy(serial, d.serial.c_str());
    return d.strings;
}
int ftdi_usb_open_dev(ftdi_context*, libusb_device* dev) {
    return called("open bus " + std::to_string(device(dev).bus), device(dev).opened);
}
const char* ftdi_get_error_string(ftdi_context*) {
    return "libftdi's own words";
}
int ftdi_set_event_char(ftdi_context*, unsigned char c, unsigned char enable) {
    return called("event char " + std::to_string(c) + " " + std::to_string(enable),
                  played.charResult);
}
int ftdi_set_error_char(ftdi_context*, unsigned char c, unsigned char enable) {
    return called("error char " + std::to_string(c) + " " + std::to_string(enable),
                  played.charResult);
}
int ftdi_usb_close(ftdi_context*) {
    return called("close", 0);
}
int ftdi_write_data(ftdi_context*, const unsigned char*, int size) {
    return called("write " + std::to_string(size), played.written < 0 ? size : played.written);
}
int ftdi_read_data(ftdi_context*, unsigned char* buffer, int) {
    int count = 0;
    if (!played.arrivals.empty()) {
        count = played.arrivals.front();
        played.arrivals.pop_front();
    }
    std::iota(buffer, buffer + std::max(count, 0), 0xA0);
    return count;
}
int ftdi_set_latency_timer(ftdi_context*, unsigned char latency) {
    return called("latency " + std::to_string(latency), played.result);
}
int ftdi_get_latency_timer(ftdi_context*, unsigned char* latency) {
    *latency = 16;
    return played.result;
}
int ftdi_set_bitmode(ftdi_context*, unsigned char mask, unsigned char mode) {
    return called("bitmode " + std::to_string(mask) + " " + std::to_string(mode), played.result);
}
int ftdi_tcioflush(ftdi_context*) {
    return called("flush", played.result);
}
int ftdi_usb_reset(ftdi_context*) {
    return called("reset", played.result);
}
}

namespace brenvik::engine {
namespace {

using namespace std::chrono_literals;
using device::AdapterLibrary;
using Bytes = std::vector<std::uint8_t>;

// " 03 55": each byte after a blank.
std::string hex(std::span<const std::uint8_t> bytes) {
    return bytes.empty() ? "" : " " + cli::hexBytes(bytes);
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
    std::size_t failAt = SIZE_MAX, trickle = SIZE_MAX;

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

// Engine and decoder with a supply behind chip select, everything on one time line; `open`
// runs the session and starts the time line afresh.
struct Rig {
    explicit Rig(BridgeType type = BridgeType::twoChannel, bool open = false, bool inUse = false) {
        BridgeChannel channel = decoderChannel();
        channel.type = type;
        channel.inUse = inUse;
        decoder = &decoders.add(channel, &supply);
        if (open) {
            session();
            log();
        }
    }
    // The program's connection and one transaction (command 3); the library's last status.
    device::FtcStatus session() {
        if (device::openBridge(link, clock) == device::OpenResult::Opened) {
            handle = *link.handle;
            device::transact(link, 3, {}, 2, 1);
        }
        return link.adapterStatus;
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

    std::string run(AdapterLibrary& library, device::FtcHandle handle) {
        Bytes reply((replyBits + 7) / 8, 0xEE);
        std::uint32_t delivered = 0xDEAD;
        const auto status =
            library.writeRead(handle, &start, frameOrder, frameEdge, frameBits, frame.data(),
                              static_cast<std::uint32_t>(frame.size()), replyOrder, replyEdge,
                              replyBits, reply.data(), &delivered, &record);
        return std::to_string(status) + " " + std::to_string(delivered) + ":" + hex(reply);
    }
};

TEST(SerialEngine, SessionOnTheUsbAsTheVendorLibrarySendsIt) {
    const std::string opening =
        "reset; purge; mode 00 00; mode 00 02; write AA; read 2/200 FA AA; write AB; "
        "read 2/200 FA AB; write 8A 97 8D; ";
    const std::string clocking =
        "latency? 16; latency 50; latency? 50; latency 16; latency? 16; write 8B; "
        "write 86 2B 01; write 8A; write 86 2B 01; write 85; ";
    // The pins settle, then are read.
    const std::string highPins = "wait 200; wait 5; read 64/0; write 83 87; read 1/5000 00; ";
    const std::string transfer =
        "write 80 00 FB 11 00 00 03 13 07 55 26 07 80 08 FB 87; read 1/5000 55";
    Rig two;
    EXPECT_EQ(two.session(), 0u);
    EXPECT_EQ(two.log(), opening + "write 80 00 FB 82 FF FF 86 2B 01 85; " + clocking +
                             "write 80 00 FB 82 00 FF; " + highPins + highPins + transfer);
    EXPECT_EQ(two.decoder->clockHz(), 100000u);
    // A four-channel bridge has no high byte: no pins to set or read.
    Rig four(BridgeType::fourChannel);
    EXPECT_EQ(four.session(), 0u);
    EXPECT_EQ(four.log(), opening + "write 80 00 FB 86 2B 01 85; " + clocking +
                              "wait 200; wait 200; " + transfer);
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
        if (rig.session() == 0) {
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
    EXPECT_EQ(slow.session(), 0u);
    EXPECT_EQ(Transfer{}.run(slow.engine, slow.handle), "0 1: 55");
}

// One transfer on a four-channel bridge (no high pins read first) for arguments other than the
// program's. A frame whose chip select never rises reaches no supply and gets no reply.
TEST(SerialEngine, TransferBytesFollowEdgesBitOrderBitCountsAndChipSelect) {
    const std::pair<Transfer, std::string> rows[] = {
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
        Rig rig(BridgeType::fourChannel, true);
        const std::string outcome = transfer.run(rig.engine, rig.handle);
        EXPECT_EQ(outcome + " | " + rig.log(), expected);
    }
}

// Low lines set high stay high through a transfer until initialising sets them low again; the
// high lines that are outputs and read high are the active ones.
TEST(SerialEngine, TransfersKeepTheLowLinesAndReportTheHighOutputsThatReadHigh) {
    Rig rig(BridgeType::twoChannel, true);
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
        Rig rig(type, true);
        rig.decoder->stopAnswering();
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
    // Listing fails, opening fails, the channel is in use; the status.
    const std::tuple<std::optional<PipeStatus>, std::optional<PipeStatus>, bool, device::FtcStatus>
        rows[] = {
            {PipeStatus::insufficientResources, std::nullopt, false, 5},
            {std::nullopt, PipeStatus::deviceNotOpened, false, 27},
            {std::nullopt, PipeStatus::ok, false, 27},
            {std::nullopt, PipeStatus::ioError, false, 4},
            {std::nullopt, std::nullopt, true, 27},
        };
    for (const auto& [listFails, openFails, inUse, status] : rows) {
        Rig rig(BridgeType::twoChannel, false, inUse);
        rig.bus.listFails = listFails;
        rig.bus.openFails = openFails;
        EXPECT_EQ(rig.session(), status);
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
    Rig rig(BridgeType::twoChannel, true);
    SerialEngine& e = rig.engine;
    const device::FtcHandle h = rig.handle;
    char text[8] = {}, a[] = "A";
    std::uint32_t n = 0;
    std::uint8_t ms = 0;
    device::LowPinStates low{};
    device::HighPinSettings high{};
    device::HighPinStates pins{};
    Transfer t;
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
        e.writeRead(h, &t.start, 1, 0, 16, t.frame.data(), 2, 1, 0, 8, reply, nullptr, &t.record),
        // A divisor above 16 bits.
        e.initDevice(h, 0x10000), e.setClock(h, 0x10000, &n), e.getHiSpeedDeviceClock(0x10000, &n),
        // A handle never opened.
        e.closeDevice(99), e.initDevice(99, 299), e.setClock(99, 299, &n), e.setLoopback(99, 0),
        e.getHiSpeedDeviceType(99, &n), e.turnOnDivideByFiveClock(99),
        e.turnOffDivideByFiveClock(99), e.setDeviceLatencyTimer(99, 2),
        e.getDeviceLatencyTimer(99, &ms), e.setHiSpeedDeviceGpios(99, &low, &high),
        e.getHiSpeedDeviceGpios(99, &pins),
        e.writeRead(99, &t.start, 1, 0, 16, t.frame.data(), 2, 1, 0, 8, reply, &n, &t.record)};
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
    const std::tuple<const char*, char, bool> rows[] = {
        {"USB SPI Bridge A", 'A', true}, {"Dual b", 'B', false}, {"Bus B a", 'A', false},
        {"Quad B", 'B', true},           {"Quad C", 0, false},   {"A", 0, false}};
    for (const auto& [description, channel, listed] : rows) {
        EXPECT_EQ(channelOfDescription(description), channel) << description;
        EXPECT_EQ(listedByAdapterLibrary(description), listed) << description;
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
    decoder.write(Bytes{0x83, 0x82, 0x86, 0x2B});
    decoder.write(Bytes{0x01, 0x87});
    EXPECT_EQ(said(), (Bytes{0xFA, 0x83, 0xFA, 0x82}));
    EXPECT_EQ(decoder.clockHz(), 20000u); // 12 MHz with divide-by-five on, / (2 x 300)
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

const std::vector<Device> kBridges{
    {0x6011, 3, {1}, "Quad", "Q1", -4},
    {0x6010, 1, {4, 2}, "USB SPI Bridge", "FT01"},
    {0x6010, 2, {}, "", "", -7},
};

struct LibftdiRoad : ::testing::Test {
    LibftdiRoad() {
        played = Played();
        played.devices = kBridges;
    }
    ~LibftdiRoad() override { played = Played(); }
    usbpipes::FtdiBus bus;
};

// Channel A of each two-channel bridge, then of each four-channel one, by its USB path; one
// whose strings cannot be read goes by its chip's name, and a refusal says what to install.
TEST_F(LibftdiRoad, ListsChannelAOfEveryBridgeByItsUsbPath) {
    std::vector<BridgeChannel> channels{BridgeChannel{}};
    EXPECT_EQ(bus.enumerate(channels), PipeStatus::ok);
    EXPECT_EQ(channels,
              (std::vector<BridgeChannel>{
                  {"FT01", "1-4.2", 0x142, BridgeType::twoChannel, 'A', "USB SPI Bridge A", false},
                  {"", "2", 0x2, BridgeType::twoChannel, 'A', "Dual RS232-HS A", false},
                  {"", "3-1", 0x31, BridgeType::fourChannel, 'A', "Quad RS232-HS A", false}}));
    EXPECT_EQ(bus.lastError(), "no permission to open the USB bridge at 3-1: install the udev "
                               "rule 60-brenvik-usb-bridge.rules (group plugdev) and plug the "
                               "bridge in again");
    EXPECT_EQ(played.calls, "interface 1; find 0403:6010; find 0403:6011; free; ");
    played.findResult = -3;
    EXPECT_EQ(bus.enumerate(channels), PipeStatus::ioError);
    EXPECT_EQ(bus.lastError(), "libftdi's own words");
    EXPECT_EQ(channels, std::vector<BridgeChannel>{});
    // The number a USB location gets, as the adapter library's location id: readable where it
    // fits, distinct where it does not (the top bit set).
    EXPECT_EQ(usbpipes::locationIdOf(1, Bytes{2, 1}), 0x121u);
    EXPECT_EQ(usbpipes::locationIdOf(0xFF, Bytes{1, 2, 3, 4, 5, 6}), 0xFF123456u);
    EXPECT_EQ(usbpipes::locationIdOf(1, Bytes{16}), 0x940C74BCu);
    EXPECT_EQ(usbpipes::locationIdOf(1, Bytes{1, 1, 1, 1, 1, 1, 1}), 0xDA33C755u);
    EXPECT_EQ(usbpipes::locationIdOf(0xFF, Bytes{15, 1, 2, 3, 4, 5, 6}), 0xF494C458u);
}

// What opening did: its status, the calls after the listing began, and the operator's line.
TEST_F(LibftdiRoad, OpensByLocationOrSerialAndSaysWhyNot) {
    const std::string permission = "no permission to open the USB bridge at 1-4.2: install the "
                                   "udev rule 60-brenvik-usb-bridge.rules (group plugdev) and "
                                   "plug the bridge in again";
    // How, which, what opening, setting the characters and choosing the interface return.
    const std::tuple<OpenBy, const char*, int, int, int, std::string> rows[] = {
        {OpenBy::location, "1-4.2", 0, 0, 0,
         "0: open bus 1; event char 0 0; error char 0 0; close; free; "},
        {OpenBy::serial, "FT01", 0, 0, 0,
         "0: open bus 1; event char 0 0; error char 0 0; close; free; "},
        {OpenBy::serial, "Q1", 0, 0, 0, "2: find 0403:6011; free; no bridge Q1"},
        {OpenBy::location, "1-4", 0, 0, 0, "2: find 0403:6011; free; no bridge 1-4"},
        {OpenBy::location, "1-4.2", -4, 0, 0, "3: open bus 1; free; " + permission},
        {OpenBy::location, "1-4.2", -5, 0, 0,
         "3: open bus 1; free; the USB bridge at 1-4.2 is in use by another program"},
        {OpenBy::location, "1-4.2", -3, 0, 0, "4: open bus 1; free; libftdi's own words"},
        {OpenBy::location, "1-4.2", 0, -1, 0,
         "4: open bus 1; event char 0 0; close; free; libftdi's own words"},
        {OpenBy::location, "1-4.2", 0, 0, -1, "5: libusb could not be started"},
    };
    for (const auto& [by, key, opened, chars, interface, outcome] : rows) {
        played = Played();
        played.devices = kBridges;
        played.devices[1].opened = opened;
        played.charResult = chars;
        played.interfaceResult = interface;
        PipeStatus status = PipeStatus::invalidParameter;
        const bool open = bus.open(by, key, status) != nullptr;
        const auto listed = played.calls.find("find 0403:6010; ");
        EXPECT_EQ(open, status == PipeStatus::ok);
        EXPECT_EQ(std::to_string(static_cast<int>(status)) + ": " +
                      (listed == std::string::npos ? "" : played.calls.substr(listed + 16)) +
                      bus.lastError(),
                  outcome);
    }
}
// Every call reaches libftdi once and its failure is an I/O error; a read takes what arrives
// until the buffer is full or the time is up, and a look (no time) only what is there.
TEST_F(LibftdiRoad, AnOpenChannelPassesEveryCallOnAndClosesWhenReleased) {
    PipeStatus status = PipeStatus::invalidParameter;
    auto pipe = bus.open(OpenBy::location, "1-4.2", status);
    ASSERT_NE(pipe, nullptr);
    played.calls.clear();
    std::uint8_t latency = 0;
    const auto everyCall = [&] {
        return std::vector{pipe->write(Bytes{0xAA, 0xAB}),
                           pipe->setLatencyTimer(50),
                           pipe->getLatencyTimer(latency),
                           pipe->setBitMode(0xFB, 2),
                           pipe->purge(),
                           pipe->reset()};
    };
    EXPECT_EQ(everyCall(), std::vector<PipeStatus>(6, PipeStatus::ok));
    EXPECT_EQ(latency, 16);
    EXPECT_EQ(played.calls, "write 2; latency 50; bitmode 251 2; flush; reset; ");
    played.result = -1;
    played.written = 1;
    EXPECT_EQ(everyCall(), std::vector<PipeStatus>(6, PipeStatus::ioError));

    // Bytes each read of libftdi hands out, the time; the status and the bytes read.
    const std::tuple<std::deque<int>, std::chrono::milliseconds, PipeStatus, Bytes> reads[] = {
        {{0, 2, 0, 1}, 5000ms, PipeStatus::ok, {0xA0, 0xA1, 0xA0}},
        {{1, 0, 2}, 0ms, PipeStatus::ok, {0xA0}},
        {{}, 2ms, PipeStatus::ok, {}},
        {{1, -1}, 5000ms, PipeStatus::ioError, {0xA0}},
    };
    for (const auto& [arrivals, timeout, status, read] : reads) {
        played.arrivals = arrivals;
        Bytes buffer(3, 0);
        std::size_t received = 99;
        EXPECT_EQ(pipe->read(buffer, received, timeout), status);
        EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + received), read);
    }
    played.calls.clear();
    pipe.reset();
    EXPECT_EQ(played.calls, "close; free; ");
}

using vsupply::DeviceEntry;
using vsupply::conformance::Verdict;

// "<n> ok, <n> skipped", then every row that differs.
std::vector<std::string> summary(device::AdapterLibrary& library) {
    int ok = 0, skipped = 0;
    std::vector<std::string> lines{""};
    for (const auto& result : vsupply::conformance::run(library)) {
        ok += result.verdict == Verdict::Ok;
        skipped += result.verdict == Verdict::Skipped;
        if (result.verdict == Verdict::Differs) {
            lines.push_back(vsupply::conformance::line(result));
        }
    }
    lines[0] = std::to_string(ok) + " ok, " + std::to_string(skipped) + " skipped";
    return lines;
}

// The stand-in library, and the serial engine over the same bridges played by decoders. The
// engine never writes past the name buffer as the vendor's library does, and the decoder's high
// input line reads high, pulled up as on the bridge.
TEST(Conformance, TheVirtualBridgeAndTheSerialEngineAnswerEveryRowAsTheVendorLibrary) {
    const std::string pastTheName =
        "differs: 21 describe (name size equal to the name): expected 0, zero written one byte "
        "past the size, got 0, no zero past the size";
    // The bridges; the stand-in's summary and the serial engine's.
    const std::tuple<const char*, std::vector<DeviceEntry>, std::vector<std::string>,
                     std::vector<std::string>>
        cases[] = {
            {"two-channel",
             {{"USB SPI Bridge A", 0x121, 1}},
             {"50 ok, 3 skipped"},
             {"48 ok, 3 skipped", pastTheName,
              "differs: 31 get pins (after setting them low): expected 0, lines 0,0,0,0,0,0,0,0, "
              "got "
              "0, lines 1,0,0,0,0,0,0,0"}},
            {"four-channel, channels C and D unlisted",
             {{"Quad C", 1, 2}, {"Quad A", 2, 2}, {"Quad D", 3, 2}},
             {"48 ok, 5 skipped"},
             {"47 ok, 5 skipped", pastTheName}},
            {"none", {}, {"6 ok, 47 skipped"}, {"6 ok, 47 skipped"}},
        };
    for (const auto& [bridges, devices, standIn, throughEngine] : cases) {
        SCOPED_TRACE(bridges);
        vsupply::VirtualBridge bridge(devices);
        EXPECT_EQ(summary(bridge), standIn);
        vsupply::VirtualBridge played(devices);
        engine::VirtualBridgeBus bus(played);
        testing::FakeClock clock;
        engine::SerialEngine engine(bus, clock);
        EXPECT_EQ(summary(engine), throughEngine);
    }
}

// What a real library never does stays playable, and the table tells it apart.
TEST(Conformance, FaultsNoRealLibraryShowsAreTold) {
    const auto transfers = [](const std::string& count) {
        return std::vector<std::string>{
            "47 ok, 3 skipped",
            "differs: 33 transfer (8 read bits, active states set): expected 0, count 1, active "
            "states 0,0,0,0,0,0,0,0, got 0, " +
                count + ", active states 0,0,0,0,0,0,0,0",
            "differs: 33 transfer (12 read bits): expected 0, count 2, got 0, " + count,
            "differs: 33 transfer (160 read bits): expected 0, count 20, got 0, " + count};
    };
    const std::tuple<const char*, void (*)(vsupply::BridgeFaults&), std::vector<std::string>>
        cases[] = {
            {"partial count", [](vsupply::BridgeFaults& f) { f.shortTransfers[0x0A] = 0; },
             transfers("count 0")},
            {"count untouched", [](vsupply::BridgeFaults& f) { f.countUntouched = true; },
             transfers("count untouched")},
            {"invented code",
             [](vsupply::BridgeFaults& f) {
                 f.failingCalls = {{28, 0, 6}};
             },
             {"49 ok, 3 skipped", "differs: 28 get latency: expected 0, 16 ms, got 6, 0 ms"}},
        };
    for (const auto& [fault, play, expected] : cases) {
        SCOPED_TRACE(fault);
        vsupply::VirtualBridge bridge;
        play(bridge.faults());
        EXPECT_EQ(summary(bridge), expected);
    }
}

// A library exporting the vendor's names of the ordinals the program calls, each at its ordinal
// plus `shift` and an address of its own.
device::ExportTable vendorExports(std::uint32_t shift = 0) {
    std::istringstream names(
        "5 SPI_Close 6 SPI_InitDevice 8 SPI_SetClock 9 SPI_SetLoopback 18 SPI_GetDllVersion "
        "20 SPI_GetNumHiSpeedDevices 21 SPI_GetHiSpeedDeviceNameLocIDChannel "
        "22 SPI_OpenHiSpeedDevice 23 SPI_GetHiSpeedDeviceType "
        "25 SPI_TurnOnDivideByFiveClockingHiSpeedDevice "
        "26 SPI_TurnOffDivideByFiveClockingHiSpeedDevice 27 SPI_SetDeviceLatencyTimer "
        "28 SPI_GetDeviceLatencyTimer 29 SPI_GetHiSpeedDeviceClock 30 SPI_SetHiSpeedDeviceGPIOs "
        "31 SPI_GetHiSpeedDeviceGPIOs 33 SPI_ReadHiSpeedDevice");
    device::ExportTable table;
    std::uint32_t ordinal = 0;
    for (std::string name; names >> ordinal >> name;) {
        table.addressByOrdinal[ordinal + shift] = 0x1000 + ordinal;
        table.ordinalByName[name] = ordinal + shift;
    }
    return table;
}

TEST(LibraryCheck, EachCalledOrdinalMustCarryItsVendorName) {
    using Mismatch = std::optional<device::ExportMismatch>;
    const std::tuple<const char*, std::function<void(device::ExportTable&)>, Mismatch> cases[] = {
        {"the vendor's", [](device::ExportTable&) {}, std::nullopt},
        {"without names", [](device::ExportTable& t) { t.ordinalByName.clear(); }, std::nullopt},
        {"the transfer's name on a second ordinal of the same function",
         [](device::ExportTable& t) {
             t.addressByOrdinal[40] = t.addressByOrdinal[33];
             t.ordinalByName["SPI_ReadHiSpeedDevice"] = 40;
         },
         std::nullopt},
        {"names one ordinal up", [](device::ExportTable& t) { t = vendorExports(1); },
         device::ExportMismatch{5, "SPI_Close", ""}},
        {"the write where the read should be",
         [](device::ExportTable& t) {
             t.addressByOrdinal[32] = 0x2000;
             t.ordinalByName["SPI_ReadHiSpeedDevice"] = 32;
             t.ordinalByName["SPI_WriteHiSpeedDevice"] = 33;
         },
         device::ExportMismatch{33, "SPI_ReadHiSpeedDevice", "SPI_WriteHiSpeedDevice"}},
        {"a first version, without the high-speed calls",
         [](device::ExportTable& t) {
             std::erase_if(t.addressByOrdinal, [](const auto& e) { return e.first >= 20; });
             std::erase_if(t.ordinalByName, [](const auto& e) { return e.second >= 20; });
         },
         device::ExportMismatch{20, "SPI_GetNumHiSpeedDevices", ""}},
    };
    for (const auto& [library, change, expected] : cases) {
        SCOPED_TRACE(library);
        device::ExportTable table = vendorExports();
        change(table);
        EXPECT_EQ(device::checkExports(table), expected);
    }
    EXPECT_EQ(device::describeMismatch("C:\\Tools\\FTCSPI.dll",
                                       {33, "SPI_ReadHiSpeedDevice", "SPI_WriteHiSpeedDevice"}),
              "C:\\Tools\\FTCSPI.dll: ordinal 33 carries the name SPI_WriteHiSpeedDevice instead "
              "of SPI_ReadHiSpeedDevice; the adapter library is not used");
}

} // namespace
} // namespace brenvik::engine
