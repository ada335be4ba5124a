#include "virtual_supply/hosted_bridge.h"

#include <fstream>
#include <sstream>
#include <utility>

namespace brenvik::vsupply {

std::optional<std::string> readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::filesystem::path deviceFile(const std::filesystem::path& file, std::size_t device) {
    if (device == 0) {
        return file;
    }
    std::filesystem::path named = file;
    named.replace_filename(file.stem().string() + "." + std::to_string(device) +
                           file.extension().string());
    return named;
}

namespace {

HostOptions ofDevice(HostOptions options) {
    if (options.device) {
        for (auto* file : {&options.stateFile, &options.traceFile}) {
            if (*file) {
                *file = deviceFile(**file, *options.device);
            }
        }
    }
    return options;
}

} // namespace

HostedBridge::HostedBridge(const HostOptions& options, VirtualSupply::TimeSource time)
    : ForwardingLibrary(bridge_), options_(ofDevice(options)), time_(std::move(time)) {
    bridge_.setTrace([this](std::string_view line) { note(line); });
    bridge_.keepCallLog(false);
    const auto reportErrors = [this](std::string_view what, const ParseResult& result) {
        for (const auto& error : result.errors) {
            note(std::string(what) + " " + error);
        }
    };
    if (options_.scenarioFile) {
        if (const auto text = readFile(*options_.scenarioFile)) {
            note("note scenario " + options_.scenarioFile->string());
            reportErrors("note scenario", applyText(*text, base_, KeySet::Scenario));
        } else {
            note("note scenario " + options_.scenarioFile->string() +
                 " cannot be read, default scenario used");
        }
    }
    Scenario start = base_;
    if (options_.stateFile) {
        if (const auto text = readFile(*options_.stateFile)) {
            note("note state " + options_.stateFile->string());
            reportErrors("note state", applyText(*text, start, KeySet::State));
        }
    }
    if (options_.device) {
        const std::size_t device = *options_.device;
        start.devices = device < base_.devices.size()
                            ? std::vector<DeviceEntry>{base_.devices[device]}
                            : std::vector<DeviceEntry>{};
        if (!base_.controlFile.empty()) {
            base_.controlFile = deviceFile(base_.controlFile, device).string();
        }
    }
    applyScenario(start, bridge_);
    if (base_.hourLength.count() > 0) {
        bridge_.supply().setTimeSource(time_, base_.hourLength);
    }
    savedRevision_ = bridge_.supply().revision();
    if (options_.lockFolder) {
        bridge_.shareWith(lockFiles(*options_.lockFolder));
    }
    if (!base_.controlFile.empty()) {
        controlFile_ = base_.controlFile;
        if (controlFile_.is_relative() && options_.scenarioFile) {
            controlFile_ = options_.scenarioFile->parent_path() / controlFile_;
        }
    }
}

void HostedBridge::note(std::string_view text) {
    if (!options_.traceFile) {
        return;
    }
    std::ofstream out(*options_.traceFile, std::ios::app | std::ios::binary);
    out << time_().count() << ' ' << text << '\n';
}

void HostedBridge::pollControl() {
    if (controlFile_.empty()) {
        return;
    }
    auto text = readFile(controlFile_);
    if (text == controlText_) {
        return;
    }
    controlText_ = std::move(text);
    if (!controlText_) {
        note("note control file removed");
        return;
    }
    Scenario control = base_;
    const auto result = applyText(*controlText_, control, KeySet::Control);
    for (const auto& error : result.errors) {
        note("note control " + error);
    }
    bridge_.faults() = control.bridgeFaults;
    bridge_.supply().faults() = control.supplyFaults;
    if (result.keys.contains("plugged")) {
        if (control.plugged) {
            bridge_.plugIn();
        } else {
            bridge_.unplug();
        }
    }
    note(std::string("note control applied, supply ") +
         (bridge_.plugged() ? "plugged" : "unplugged"));
}

void HostedBridge::persist() {
    if (!options_.stateFile || bridge_.supply().revision() == savedRevision_) {
        return;
    }
    // Replaced whole, so a write cut short leaves the previous state to start from.
    if (config::replaceFile(*options_.stateFile, stateText(bridge_.supply().state()),
                            stateFileSteps_)) {
        savedRevision_ = bridge_.supply().revision();
        if (options_.lockFolder) {
            bridge_.shareWith(lockFiles(*options_.lockFolder));
        }
    }
}

FtcStatus HostedBridge::answer(std::span<const std::uint8_t> frame, std::span<std::uint8_t> reply,
                               std::uint32_t& delivered) {
    return through(ordinal::kTransfer, [&] { return bridge_.answer(frame, reply, delivered); });
}

FtcStatus HostedBridge::through(std::uint32_t, const std::function<FtcStatus()>& call) {
    pollControl();
    const FtcStatus status = call();
    persist();
    return status;
}

} // namespace brenvik::vsupply
