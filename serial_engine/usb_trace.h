#pragma once
// A record of every USB write and read between the host and the bridges, one line each:
//   <milliseconds since the trace began> <write|read> <the bytes as space-separated hex pairs>
// e.g. "105 write 80 00 FB 11 00 00 03 13 07 55 26 07 80 08 FB 87". A read that waited and got
// nothing is recorded without bytes (a time-out); a look at what is waiting that finds nothing is
// not recorded.

#include "serial_engine/byte_pipe.h"

#include <chrono>
#include <functional>
#include <memory>
#include <ostream>
#include <span>

namespace brenvik::engine {

class UsbTrace {
public:
    // Milliseconds on a monotonic clock.
    using TimeSource = std::function<std::chrono::milliseconds()>;

    explicit UsbTrace(std::ostream& out);
    UsbTrace(std::ostream& out, TimeSource now);

    void write(std::span<const std::uint8_t> bytes) { line("write", bytes); }
    void read(std::span<const std::uint8_t> bytes) { line("read", bytes); }

private:
    void line(const char* direction, std::span<const std::uint8_t> bytes);

    std::ostream& out_;
    TimeSource now_;
    std::chrono::milliseconds start_;
};

// Lists and opens through another bus; every pipe it opens records its traffic in the trace.
class TracingBus final : public BridgeBus {
public:
    TracingBus(BridgeBus& inner, UsbTrace& trace) : inner_(inner), trace_(trace) {}

    PipeStatus enumerate(std::vector<BridgeChannel>& channels) override {
        return inner_.enumerate(channels);
    }
    std::unique_ptr<BytePipe> open(OpenBy by, std::string_view key, PipeStatus& status) override;
    std::string lastError() const override { return inner_.lastError(); }

private:
    BridgeBus& inner_;
    UsbTrace& trace_;
};

} // namespace brenvik::engine
