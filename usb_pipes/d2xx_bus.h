#pragma once
// Bridges reached through the bridge driver's own library on Windows. ftd2xx.dll is loaded at run
// time, only from the system folder where the bridge's standard driver installs it (never from
// the current or the program's folder), and its functions are found by name. Without the
// library the bus lists no bridge and says why.

#include "serial_engine/byte_pipe.h"

#include <memory>

namespace brenvik::usbpipes {

class D2xxBus final : public engine::BridgeBus {
public:
    D2xxBus();
    ~D2xxBus() override;
    D2xxBus(const D2xxBus&) = delete;
    D2xxBus& operator=(const D2xxBus&) = delete;

    // The library was found and has every function the pipes call.
    bool available() const;

    engine::PipeStatus enumerate(std::vector<engine::BridgeChannel>& channels) override;
    std::unique_ptr<engine::BytePipe> open(engine::OpenBy by, std::string_view key,
                                           engine::PipeStatus& status) override;
    std::string lastError() const override { return lastError_; }

    struct Library;

private:
    // Shared with the open pipes, so the library stays loaded while any of them lives.
    std::shared_ptr<Library> library_;
    std::string lastError_;
};

} // namespace brenvik::usbpipes
