// The libftdi road to real bridges. libftdi and libusb are played by the functions below: the
// test program's own definitions stand in for the shared libraries' (the linker takes the
// program's first), so every call the bus makes is recorded and answered as the test says.

#include "usb_pipes/ftdi_bus.h"

#include <cstdio>
#include <cstring>
#include <deque>
#include <ftdi.h>
#include <gtest/gtest.h>
#include <numeric>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;
using brenvik::engine::BridgeChannel;
using brenvik::engine::BridgeType;
using brenvik::engine::OpenBy;
using brenvik::engine::PipeStatus;
using brenvik::usbpipes::FtdiBus;
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

std::string bytes(unsigned char a, unsigned char b) {
    return std::to_string(a) + " " + std::to_string(b);
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
    return called("event char " + bytes(c, enable), played.charResult);
}
int ftdi_set_error_char(ftdi_context*, unsigned char c, unsigned char enable) {
    return called("error char " + bytes(c, enable), played.charResult);
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
    return called("bitmode " + bytes(mask, mode), played.result);
}
int ftdi_tcioflush(ftdi_context*) {
    return called("flush", played.result);
}
int ftdi_usb_reset(ftdi_context*) {
    return called("reset", played.result);
}
}

namespace {

const std::vector<Device> kBridges{
    {0x6011, 3, {1}, "Quad", "Q1", -4},
    {0x6010, 1, {4, 2}, "USB SPI Bridge", "FT01"},
    {0x6010, 2, {}, "", "", -7},
};

void playTheBridges() {
    played = Played();
    played.devices = kBridges;
}

struct LibftdiRoad : ::testing::Test {
    LibftdiRoad() { playTheBridges(); }
    ~LibftdiRoad() override { played = Played(); }
    FtdiBus bus;
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
}

// What opening did: its status, the calls after the listing began, and the operator's line.
TEST_F(LibftdiRoad, OpensByLocationOrSerialAndSaysWhyNot) {
    const std::string permission = "no permission to open the USB bridge at 1-4.2: install the "
                                   "udev rule 60-brenvik-usb-bridge.rules (group plugdev) and "
                                   "plug the bridge in again";
    const struct {
        OpenBy by;
        const char* key;
        int opened, chars, interface;
        std::string outcome;
    } rows[] = {
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
    for (const auto& row : rows) {
        playTheBridges();
        played.devices[1].opened = row.opened;
        played.charResult = row.chars;
        played.interfaceResult = row.interface;
        PipeStatus status = PipeStatus::invalidParameter;
        const bool open = bus.open(row.by, row.key, status) != nullptr;
        const auto listed = played.calls.find("find 0403:6010; ");
        EXPECT_EQ(open, status == PipeStatus::ok);
        EXPECT_EQ(std::to_string(static_cast<int>(status)) + ": " +
                      (listed == std::string::npos ? "" : played.calls.substr(listed + 16)) +
                      bus.lastError(),
                  row.outcome);
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
    const std::vector<PipeStatus> statuses{pipe->write(Bytes{0xAA, 0xAB}),
                                           pipe->setLatencyTimer(50),
                                           pipe->getLatencyTimer(latency),
                                           pipe->setBitMode(0xFB, 2),
                                           pipe->purge(),
                                           pipe->reset()};
    EXPECT_EQ(statuses, std::vector<PipeStatus>(6, PipeStatus::ok));
    EXPECT_EQ(latency, 16);
    EXPECT_EQ(played.calls, "write 2; latency 50; bitmode 251 2; flush; reset; ");
    played.result = -1;
    played.written = 1;
    EXPECT_EQ((std::vector{pipe->write(Bytes{0xAA, 0xAB}), pipe->setLatencyTimer(50),
                           pipe->getLatencyTimer(latency), pipe->setBitMode(0xFB, 2), pipe->purge(),
                           pipe->reset()}),
              std::vector<PipeStatus>(6, PipeStatus::ioError));

    const struct {
        std::deque<int> arrivals;
        std::chrono::milliseconds timeout;
        PipeStatus status;
        Bytes read;
    } reads[] = {
        {{0, 2, 0, 1}, 5000ms, PipeStatus::ok, {0xA0, 0xA1, 0xA0}},
        {{1, 0, 2}, 0ms, PipeStatus::ok, {0xA0}},
        {{}, 2ms, PipeStatus::ok, {}},
        {{1, -1}, 5000ms, PipeStatus::ioError, {0xA0}},
    };
    for (const auto& read : reads) {
        played.arrivals = read.arrivals;
        Bytes buffer(3, 0);
        std::size_t received = 99;
        EXPECT_EQ(pipe->read(buffer, received, read.timeout), read.status);
        EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + received), read.read);
    }
    played.calls.clear();
    pipe.reset();
    EXPECT_EQ(played.calls, "close; free; ");
}

// The number a USB location gets, as the adapter library's location id: readable where it fits,
// distinct where it does not (the top bit set).
TEST(FtdiBus, LocationIdPacksBusAndPortsAsHexDigits) {
    using brenvik::usbpipes::locationIdOf;
    EXPECT_EQ(locationIdOf(1, Bytes{2, 1}), 0x121u);
    EXPECT_EQ(locationIdOf(0xFF, Bytes{1, 2, 3, 4, 5, 6}), 0xFF123456u);
    EXPECT_EQ(locationIdOf(1, Bytes{16}), 0x940C74BCu);
    EXPECT_EQ(locationIdOf(1, Bytes{1, 1, 1, 1, 1, 1, 1}), 0xDA33C755u);
    EXPECT_EQ(locationIdOf(0xFF, Bytes{15, 1, 2, 3, 4, 5, 6}), 0xF494C458u);
}

} // namespace
