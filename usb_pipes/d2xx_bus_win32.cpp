#include "usb_pipes/d2xx_bus.h"
#include "win32/handles.h"

#include <array>
#include <cstdlib>
#include <string>
#include <windows.h>

namespace brenvik::usbpipes {

using engine::BridgeChannel;
using engine::BridgeType;
using engine::BytePipe;
using engine::OpenBy;
using engine::PipeStatus;

namespace {

using FtHandle = void*;
using FtStatus = ULONG;

constexpr FtStatus kFtOk = 0;
constexpr DWORD kFlagOpened = 0x1;
constexpr DWORD kTypeTwoChannel = 6;
constexpr DWORD kTypeFourChannel = 7;
constexpr DWORD kOpenBySerial = 1;
constexpr DWORD kOpenByLocation = 4;
constexpr ULONG kPurgeBoth = 1 | 2;
constexpr ULONG kTransferSize = 65536;
constexpr ULONG kWriteTimeoutMs = 5000;

PipeStatus pipeStatus(FtStatus status) {
    return status <= static_cast<FtStatus>(PipeStatus::invalidParameter)
               ? static_cast<PipeStatus>(status)
               : PipeStatus::ioError;
}

// Casts a found function to its real type through the generic function pointer type.
template <typename Function>
bool resolve(HMODULE module, const char* name, Function& function) {
    const FARPROC found = GetProcAddress(module, name);
    function = reinterpret_cast<Function>(reinterpret_cast<void (*)()>(found));
    return found != nullptr;
}

} // namespace

struct D2xxBus::Library {
    win32::UniqueModule module;
    FtStatus(WINAPI* createDeviceInfoList)(DWORD*) = nullptr;
    FtStatus(WINAPI* getDeviceInfoDetail)(DWORD, DWORD*, DWORD*, DWORD*, DWORD*, char*, char*,
                                          FtHandle*) = nullptr;
    FtStatus(WINAPI* openEx)(void*, DWORD, FtHandle*) = nullptr;
    FtStatus(WINAPI* close)(FtHandle) = nullptr;
    FtStatus(WINAPI* resetDevice)(FtHandle) = nullptr;
    FtStatus(WINAPI* purge)(FtHandle, ULONG) = nullptr;
    FtStatus(WINAPI* setUsbParameters)(FtHandle, ULONG, ULONG) = nullptr;
    FtStatus(WINAPI* setChars)(FtHandle, UCHAR, UCHAR, UCHAR, UCHAR) = nullptr;
    FtStatus(WINAPI* setTimeouts)(FtHandle, ULONG, ULONG) = nullptr;
    FtStatus(WINAPI* setLatencyTimer)(FtHandle, UCHAR) = nullptr;
    FtStatus(WINAPI* getLatencyTimer)(FtHandle, UCHAR*) = nullptr;
    FtStatus(WINAPI* setBitMode)(FtHandle, UCHAR, UCHAR) = nullptr;
    FtStatus(WINAPI* write)(FtHandle, void*, DWORD, DWORD*) = nullptr;
    FtStatus(WINAPI* read)(FtHandle, void*, DWORD, DWORD*) = nullptr;
    FtStatus(WINAPI* getQueueStatus)(FtHandle, DWORD*) = nullptr;

    // Empty when every function was found, else the first one missing.
    std::string load() {
        module.reset(LoadLibraryExW(L"ftd2xx.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
        if (!module) {
            return "ftd2xx.dll";
        }
        const std::array<std::pair<const char*, bool>, 15> found{{
            {"FT_CreateDeviceInfoList",
             resolve(module.get(), "FT_CreateDeviceInfoList", createDeviceInfoList)},
            {"FT_GetDeviceInfoDetail",
             resolve(module.get(), "FT_GetDeviceInfoDetail", getDeviceInfoDetail)},
            {"FT_OpenEx", resolve(module.get(), "FT_OpenEx", openEx)},
            {"FT_Close", resolve(module.get(), "FT_Close", close)},
            {"FT_ResetDevice", resolve(module.get(), "FT_ResetDevice", resetDevice)},
            {"FT_Purge", resolve(module.get(), "FT_Purge", purge)},
            {"FT_SetUSBParameters", resolve(module.get(), "FT_SetUSBParameters", setUsbParameters)},
            {"FT_SetChars", resolve(module.get(), "FT_SetChars", setChars)},
            {"FT_SetTimeouts", resolve(module.get(), "FT_SetTimeouts", setTimeouts)},
            {"FT_SetLatencyTimer", resolve(module.get(), "FT_SetLatencyTimer", setLatencyTimer)},
            {"FT_GetLatencyTimer", resolve(module.get(), "FT_GetLatencyTimer", getLatencyTimer)},
            {"FT_SetBitMode", resolve(module.get(), "FT_SetBitMode", setBitMode)},
            {"FT_Write", resolve(module.get(), "FT_Write", write)},
            {"FT_Read", resolve(module.get(), "FT_Read", read)},
            {"FT_GetQueueStatus", resolve(module.get(), "FT_GetQueueStatus", getQueueStatus)},
        }};
        for (const auto& [name, ok] : found) {
            if (!ok) {
                module.reset();
                return name;
            }
        }
        return {};
    }
};

namespace {

// An open channel through the driver's library.
class D2xxPipe final : public BytePipe {
public:
    D2xxPipe(std::shared_ptr<D2xxBus::Library> library, FtHandle handle)
        : library_(std::move(library)), handle_(handle) {}
    ~D2xxPipe() override { library_->close(handle_); }
    D2xxPipe(const D2xxPipe&) = delete;
    D2xxPipe& operator=(const D2xxPipe&) = delete;

    PipeStatus write(std::span<const std::uint8_t> bytes) override {
        DWORD written = 0;
        const FtStatus status = library_->write(handle_, const_cast<std::uint8_t*>(bytes.data()),
                                                static_cast<DWORD>(bytes.size()), &written);
        if (status != kFtOk) {
            return pipeStatus(status);
        }
        return written == bytes.size() ? PipeStatus::ok : PipeStatus::ioError;
    }

    PipeStatus read(std::span<std::uint8_t> buffer, std::size_t& received,
                    std::chrono::milliseconds timeout) override {
        received = 0;
        DWORD wanted = static_cast<DWORD>(buffer.size());
        if (timeout.count() == 0) {
            // The driver's read time-out of 0 means no time-out at all: take what is waiting.
            DWORD waiting = 0;
            if (const FtStatus status = library_->getQueueStatus(handle_, &waiting);
                status != kFtOk) {
                return pipeStatus(status);
            }
            wanted = std::min(wanted, waiting);
            if (wanted == 0) {
                return PipeStatus::ok;
            }
        } else if (timeout != readTimeout_) {
            if (const FtStatus status = library_->setTimeouts(
                    handle_, static_cast<ULONG>(timeout.count()), kWriteTimeoutMs);
                status != kFtOk) {
                return pipeStatus(status);
            }
            readTimeout_ = timeout;
        }
        DWORD got = 0;
        const FtStatus status = library_->read(handle_, buffer.data(), wanted, &got);
        received = got;
        return pipeStatus(status);
    }

    PipeStatus setLatencyTimer(std::uint8_t milliseconds) override {
        return pipeStatus(library_->setLatencyTimer(handle_, milliseconds));
    }
    PipeStatus getLatencyTimer(std::uint8_t& milliseconds) override {
        UCHAR value = 0;
        const FtStatus status = library_->getLatencyTimer(handle_, &value);
        milliseconds = value;
        return pipeStatus(status);
    }
    PipeStatus setBitMode(std::uint8_t mask, std::uint8_t mode) override {
        return pipeStatus(library_->setBitMode(handle_, mask, mode));
    }
    PipeStatus purge() override { return pipeStatus(library_->purge(handle_, kPurgeBoth)); }
    PipeStatus reset() override { return pipeStatus(library_->resetDevice(handle_)); }

private:
    std::shared_ptr<D2xxBus::Library> library_;
    FtHandle handle_;
    std::chrono::milliseconds readTimeout_{-1};
};

std::string locationText(DWORD location) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    do {
        text.insert(text.begin(), kDigits[location & 0x0F]);
        location >>= 4;
    } while (location != 0);
    return "0x" + text;
}

} // namespace

D2xxBus::D2xxBus() : library_(std::make_shared<Library>()) {
    if (const std::string missing = library_->load(); !missing.empty()) {
        lastError_ = missing == "ftd2xx.dll"
                         ? "the bridge driver's library ftd2xx.dll is not in the system folder"
                         : "the bridge driver's library ftd2xx.dll lacks " + missing;
        library_.reset();
    }
}

D2xxBus::~D2xxBus() = default;

bool D2xxBus::available() const {
    return library_ != nullptr;
}

PipeStatus D2xxBus::enumerate(std::vector<BridgeChannel>& channels) {
    channels.clear();
    if (library_ == nullptr) {
        return PipeStatus::deviceNotFound;
    }
    lastError_.clear();
    DWORD count = 0;
    if (const FtStatus status = library_->createDeviceInfoList(&count); status != kFtOk) {
        lastError_ = "the bridge driver could not list its devices";
        return pipeStatus(status);
    }
    for (DWORD index = 0; index < count; ++index) {
        DWORD flags = 0;
        DWORD type = 0;
        DWORD id = 0;
        DWORD location = 0;
        std::array<char, 16> serial{};
        std::array<char, 64> description{};
        FtHandle handle = nullptr;
        if (library_->getDeviceInfoDetail(index, &flags, &type, &id, &location, serial.data(),
                                          description.data(), &handle) != kFtOk ||
            (type != kTypeTwoChannel && type != kTypeFourChannel)) {
            continue;
        }
        BridgeChannel channel;
        channel.serial.assign(serial.data(), strnlen(serial.data(), serial.size()));
        channel.description.assign(description.data(),
                                   strnlen(description.data(), description.size()));
        channel.location = locationText(location);
        channel.locationId = location;
        channel.type = type == kTypeTwoChannel ? BridgeType::twoChannel : BridgeType::fourChannel;
        channel.channel = channel.description.empty() ? 0 : channel.description.back();
        channel.inUse = (flags & kFlagOpened) != 0;
        channels.push_back(std::move(channel));
    }
    return PipeStatus::ok;
}

std::unique_ptr<BytePipe> D2xxBus::open(OpenBy by, std::string_view key, PipeStatus& status) {
    if (library_ == nullptr) {
        status = PipeStatus::deviceNotFound;
        return nullptr;
    }
    const std::string text(key);
    FtHandle handle = nullptr;
    FtStatus opened = kFtOk;
    if (by == OpenBy::serial) {
        opened = library_->openEx(const_cast<char*>(text.c_str()), kOpenBySerial, &handle);
    } else {
        char* end = nullptr;
        const unsigned long location = std::strtoul(text.c_str(), &end, 0);
        if (text.empty() || *end != '\0') {
            lastError_ = "no bridge at location " + text;
            status = PipeStatus::deviceNotFound;
            return nullptr;
        }
        opened = library_->openEx(reinterpret_cast<void*>(static_cast<std::uintptr_t>(location)),
                                  kOpenByLocation, &handle);
    }
    if (opened != kFtOk) {
        lastError_ = "the bridge " + text + " could not be opened (driver status " +
                     std::to_string(opened) + ")";
        status = pipeStatus(opened);
        return nullptr;
    }
    auto pipe = std::make_unique<D2xxPipe>(library_, handle);
    // Large transfers, no event or error characters: the serial engine's answers are plain bytes.
    for (const FtStatus setup : {library_->setUsbParameters(handle, kTransferSize, kTransferSize),
                                 library_->setChars(handle, 0, 0, 0, 0)}) {
        if (setup != kFtOk) {
            lastError_ = "the bridge " + text + " refused its setup (driver status " +
                         std::to_string(setup) + ")";
            status = pipeStatus(setup);
            return nullptr;
        }
    }
    status = PipeStatus::ok;
    lastError_.clear();
    return pipe;
}

} // namespace brenvik::usbpipes
