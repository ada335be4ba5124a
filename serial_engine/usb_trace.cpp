#include "serial_engine/usb_trace.h"

#include <string>

namespace brenvik::engine {

namespace {

std::chrono::milliseconds steadyNow() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
}

// A pipe that hands everything to another and writes down the bytes that crossed the USB.
class TracedPipe final : public BytePipe {
public:
    TracedPipe(std::unique_ptr<BytePipe> inner, UsbTrace& trace)
        : inner_(std::move(inner)), trace_(trace) {}

    PipeStatus write(std::span<const std::uint8_t> bytes) override {
        const PipeStatus status = inner_->write(bytes);
        if (status == PipeStatus::ok) {
            trace_.write(bytes);
        }
        return status;
    }
    PipeStatus read(std::span<std::uint8_t> buffer, std::size_t& received,
                    std::chrono::milliseconds timeout) override {
        const PipeStatus status = inner_->read(buffer, received, timeout);
        if (status == PipeStatus::ok && (received > 0 || timeout.count() > 0)) {
            trace_.read(buffer.first(received));
        }
        return status;
    }
    PipeStatus setLatencyTimer(std::uint8_t milliseconds) override {
        return inner_->setLatencyTimer(milliseconds);
    }
    PipeStatus getLatencyTimer(std::uint8_t& milliseconds) override {
        return inner_->getLatencyTimer(milliseconds);
    }
    PipeStatus setBitMode(std::uint8_t mask, std::uint8_t mode) override {
        return inner_->setBitMode(mask, mode);
    }
    PipeStatus purge() override { return inner_->purge(); }
    PipeStatus reset() override { return inner_->reset(); }

private:
    std::unique_ptr<BytePipe> inner_;
    UsbTrace& trace_;
};

} // namespace

UsbTrace::UsbTrace(std::ostream& out) : UsbTrace(out, steadyNow) {}

UsbTrace::UsbTrace(std::ostream& out, TimeSource now)
    : out_(out), now_(std::move(now)), start_(now_()) {}

void UsbTrace::line(const char* direction, std::span<const std::uint8_t> bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text = std::to_string((now_() - start_).count());
    text.append(1, ' ').append(direction);
    text.reserve(text.size() + bytes.size() * 3 + 1);
    for (const std::uint8_t b : bytes) {
        text.push_back(' ');
        text.push_back(kDigits[b >> 4]);
        text.push_back(kDigits[b & 0x0F]);
    }
    text.push_back('\n');
    out_ << text;
}

std::unique_ptr<BytePipe> TracingBus::open(OpenBy by, std::string_view key, PipeStatus& status) {
    std::unique_ptr<BytePipe> pipe = inner_.open(by, key, status);
    if (pipe == nullptr) {
        return nullptr;
    }
    return std::make_unique<TracedPipe>(std::move(pipe), trace_);
}

} // namespace brenvik::engine
