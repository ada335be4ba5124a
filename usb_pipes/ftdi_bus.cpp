#include "usb_pipes/ftdi_bus.h"

#include <array>
#include <chrono>
#include <ftdi.h>
#include <libusb.h>
#include <memory>

namespace brenvik::usbpipes {

using engine::BridgeChannel;
using engine::BridgeType;
using engine::BytePipe;
using engine::OpenBy;
using engine::PipeStatus;

namespace {

constexpr int kVendor = 0x0403;
constexpr int kTwoChannel = 0x6010;
constexpr int kFourChannel = 0x6011;
constexpr std::array<int, 2> kProducts{kTwoChannel, kFourChannel};
// Errors of ftdi_usb_open_dev and ftdi_usb_get_strings.
constexpr int kCannotOpen = -4;  // libusb_open refused, as without permission
constexpr int kCannotClaim = -5; // another program holds the interface

struct ContextDeleter {
    void operator()(ftdi_context* context) const { ftdi_free(context); }
};
using Context = std::unique_ptr<ftdi_context, ContextDeleter>;

struct ListDeleter {
    void operator()(ftdi_device_list* list) const { ftdi_list_free(&list); }
};
using DeviceList = std::unique_ptr<ftdi_device_list, ListDeleter>;

Context newContext() {
    Context context(ftdi_new());
    if (context != nullptr && ftdi_set_interface(context.get(), INTERFACE_A) != 0) {
        context.reset();
    }
    return context;
}

std::string locationOf(libusb_device* device, std::uint32_t& id) {
    std::array<std::uint8_t, 7> ports{};
    const int depth = libusb_get_port_numbers(device, ports.data(), ports.size());
    const std::uint8_t bus = libusb_get_bus_number(device);
    const auto path = std::span<const std::uint8_t>(ports).first(depth > 0 ? depth : 0);
    id = locationIdOf(bus, path);
    std::string text = std::to_string(bus);
    for (std::size_t i = 0; i < path.size(); ++i) {
        text += (i == 0 ? "-" : ".") + std::to_string(path[i]);
    }
    return text;
}

std::string permissionAdvice(const std::string& location) {
    return "no permission to open the USB bridge at " + location + ": install the udev rule " +
           kUdevRuleName + " (group plugdev) and plug the bridge in again";
}

// An open channel A.
class FtdiPipe final : public BytePipe {
public:
    explicit FtdiPipe(Context context) : context_(std::move(context)) {}
    ~FtdiPipe() override { ftdi_usb_close(context_.get()); }
    FtdiPipe(const FtdiPipe&) = delete;
    FtdiPipe& operator=(const FtdiPipe&) = delete;

    PipeStatus write(std::span<const std::uint8_t> bytes) override {
        const int written =
            ftdi_write_data(context_.get(), bytes.data(), static_cast<int>(bytes.size()));
        return written == static_cast<int>(bytes.size()) ? PipeStatus::ok : PipeStatus::ioError;
    }

    PipeStatus read(std::span<std::uint8_t> buffer, std::size_t& received,
                    std::chrono::milliseconds timeout) override {
        // ftdi_read_data returns what has arrived, 0 when nothing has; the bridge answers every
        // poll within its latency timer, so the loop does not spin.
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        received = 0;
        while (received < buffer.size()) {
            const int got = ftdi_read_data(context_.get(), buffer.data() + received,
                                           static_cast<int>(buffer.size() - received));
            if (got < 0) {
                return PipeStatus::ioError;
            }
            received += static_cast<std::size_t>(got);
            // A look (no time) has passed its deadline after the first read.
            if (std::chrono::steady_clock::now() >= deadline) {
                break;
            }
        }
        return PipeStatus::ok;
    }

    PipeStatus setLatencyTimer(std::uint8_t milliseconds) override {
        return check(ftdi_set_latency_timer(context_.get(), milliseconds));
    }
    PipeStatus getLatencyTimer(std::uint8_t& milliseconds) override {
        unsigned char value = 0;
        const PipeStatus status = check(ftdi_get_latency_timer(context_.get(), &value));
        milliseconds = value;
        return status;
    }
    PipeStatus setBitMode(std::uint8_t mask, std::uint8_t mode) override {
        return check(ftdi_set_bitmode(context_.get(), mask, mode));
    }
    PipeStatus purge() override { return check(ftdi_tcioflush(context_.get())); }
    PipeStatus reset() override { return check(ftdi_usb_reset(context_.get())); }

private:
    static PipeStatus check(int result) {
        return result < 0 ? PipeStatus::ioError : PipeStatus::ok;
    }

    Context context_;
};

} // namespace

std::uint32_t locationIdOf(std::uint8_t bus, std::span<const std::uint8_t> ports) {
    std::uint64_t id = bus;
    bool fits = ports.size() <= 6;
    for (const std::uint8_t port : ports) {
        fits = fits && port <= 0x0F;
        id = id << 4 | (port & 0x0F);
    }
    if (fits && id <= 0xFFFFFFFF) {
        return static_cast<std::uint32_t>(id);
    }
    // FNV-1a over the path, marked by the top bit so that it meets no packed path.
    std::uint32_t hash = 2166136261u ^ bus;
    for (const std::uint8_t port : ports) {
        hash = (hash ^ port) * 16777619u;
    }
    return hash | 0x80000000u;
}

PipeStatus FtdiBus::enumerate(std::vector<BridgeChannel>& channels) {
    channels.clear();
    lastError_.clear();
    const Context context = newContext();
    if (context == nullptr) {
        lastError_ = "libusb could not be started";
        return PipeStatus::insufficientResources;
    }
    for (const int product : kProducts) {
        ftdi_device_list* found = nullptr;
        const int count = ftdi_usb_find_all(context.get(), &found, kVendor, product);
        const DeviceList list(found);
        if (count < 0) {
            lastError_ = ftdi_get_error_string(context.get());
            return PipeStatus::ioError;
        }
        for (const ftdi_device_list* entry = list.get(); entry != nullptr; entry = entry->next) {
            BridgeChannel channel;
            channel.location = locationOf(entry->dev, channel.locationId);
            channel.type =
                product == kTwoChannel ? BridgeType::twoChannel : BridgeType::fourChannel;
            channel.channel = 'A';
            std::array<char, 128> description{};
            std::array<char, 64> serial{};
            const int strings =
                ftdi_usb_get_strings(context.get(), entry->dev, nullptr, 0, description.data(),
                                     description.size(), serial.data(), serial.size());
            if (strings == kCannotOpen) {
                lastError_ = permissionAdvice(channel.location);
            }
            // Without its strings (no permission) a bridge is listed under its chip's own name.
            const std::string product_name =
                strings == 0 ? description.data()
                             : (product == kTwoChannel ? "Dual RS232-HS" : "Quad RS232-HS");
            channel.description = product_name + " A";
            channel.serial = strings == 0 ? serial.data() : "";
            channels.push_back(std::move(channel));
        }
    }
    return PipeStatus::ok;
}

std::unique_ptr<BytePipe> FtdiBus::open(OpenBy by, std::string_view key, PipeStatus& status) {
    lastError_.clear();
    Context context = newContext();
    if (context == nullptr) {
        lastError_ = "libusb could not be started";
        status = PipeStatus::insufficientResources;
        return nullptr;
    }
    for (const int product : kProducts) {
        ftdi_device_list* found = nullptr;
        const int count = ftdi_usb_find_all(context.get(), &found, kVendor, product);
        const DeviceList list(found);
        for (const ftdi_device_list* entry = count > 0 ? list.get() : nullptr; entry != nullptr;
             entry = entry->next) {
            std::uint32_t id = 0;
            const std::string location = locationOf(entry->dev, id);
            if (by == OpenBy::location && location != key) {
                continue;
            }
            if (by == OpenBy::serial) {
                std::array<char, 64> serial{};
                if (ftdi_usb_get_strings(context.get(), entry->dev, nullptr, 0, nullptr, 0,
                                         serial.data(), serial.size()) != 0 ||
                    key != serial.data()) {
                    continue;
                }
            }
            const int opened = ftdi_usb_open_dev(context.get(), entry->dev);
            if (opened != 0) {
                lastError_ = opened == kCannotOpen ? permissionAdvice(location)
                             : opened == kCannotClaim
                                 ? "the USB bridge at " + location + " is in use by another program"
                                 : ftdi_get_error_string(context.get());
                status = opened == kCannotOpen || opened == kCannotClaim
                             ? PipeStatus::deviceNotOpened
                             : PipeStatus::ioError;
                return nullptr;
            }
            // Event and error characters off: the serial engine's answers are plain bytes.
            if (ftdi_set_event_char(context.get(), 0, 0) != 0 ||
                ftdi_set_error_char(context.get(), 0, 0) != 0) {
                lastError_ = ftdi_get_error_string(context.get());
                ftdi_usb_close(context.get());
                status = PipeStatus::ioError;
                return nullptr;
            }
            status = PipeStatus::ok;
            return std::make_unique<FtdiPipe>(std::move(context));
        }
    }
    lastError_ = "no bridge " + std::string(key);
    status = PipeStatus::deviceNotFound;
    return nullptr;
}

} // namespace brenvik::usbpipes
