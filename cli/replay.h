#pragma once
// Replaying a recorded run: the frames and replies of a transaction trace (--trace) or a USB
// trace (--usb-trace), recorded on any road, answered again byte for byte by a bridge played by
// the command decoder, so a run recorded at a customer's site becomes a test case. The first
// frame the program sends that differs from the recording is reported.

#include "cli/roads.h"

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace brenvik::cli {

struct RecordedExchange {
    std::vector<std::uint8_t> frame;
    std::vector<std::uint8_t> reply; // the bytes delivered
    bool failed = false;             // the transfer failed on the USB

    bool operator==(const RecordedExchange&) const = default;
};

// The exchanges of a transaction trace or a USB trace; nothing, with the reason, when the file
// cannot be read or holds neither.
std::optional<std::vector<RecordedExchange>> readRecording(const std::filesystem::path& file,
                                                           std::string& error);

class Replay {
public:
    explicit Replay(std::vector<RecordedExchange> recording) : recording_(std::move(recording)) {}

    // Answers the next frame with its recorded reply while the frames match the recording;
    // from the first that differs on, nothing answers.
    bool answer(std::span<const std::uint8_t> frame, std::span<std::uint8_t> reply,
                std::size_t& delivered);
    // The first difference from the recording, frames counted from 1; nothing when the run
    // sent every recorded frame and no other.
    std::optional<std::string> difference() const;

private:
    std::vector<RecordedExchange> recording_;
    std::size_t next_ = 0;
    std::optional<std::string> difference_;
    mutable std::mutex mutex_;
};

// One bridge, played by the command decoder, whose supply answers from the replay.
std::unique_ptr<Road> replayRoad(Replay& replay);

} // namespace brenvik::cli
