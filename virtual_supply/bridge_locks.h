#pragma once
// Which process holds which virtual bridge. A real bridge channel can be open in one process at a
// time; the real library lists a channel another process holds with location 0 and refuses to
// open it. The stand-in library and `brenvik --virtual` share one lock per virtual bridge
// channel, a file in a common folder that the holding process keeps locked.

#include <filesystem>
#include <memory>
#include <string>

namespace brenvik::vsupply {

class BridgeLocks {
public:
    virtual ~BridgeLocks() = default;
    // Takes the lock named `key` for this process; false when another process holds it.
    virtual bool take(const std::string& key) = 0;
    // Lets go of a lock this process took.
    virtual void give(const std::string& key) = 0;
    // Whether another process holds the lock named `key`.
    virtual bool heldElsewhere(const std::string& key) = 0;
};

// Locks as files in `folder`, held while this process keeps them open (the platform's own file
// locks, so a process that ends, however it ends, lets go of them).
std::unique_ptr<BridgeLocks> lockFiles(std::filesystem::path folder);

} // namespace brenvik::vsupply
