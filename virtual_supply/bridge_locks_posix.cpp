#include "virtual_supply/bridge_locks.h"

#include <fcntl.h>
#include <map>
#include <sys/file.h>
#include <unistd.h>

namespace brenvik::vsupply {
namespace {

class FlockFiles final : public BridgeLocks {
public:
    explicit FlockFiles(std::filesystem::path folder) : folder_(std::move(folder)) {}
    FlockFiles(const FlockFiles&) = delete;
    FlockFiles& operator=(const FlockFiles&) = delete;
    ~FlockFiles() override {
        for (const auto& [key, descriptor] : held_) {
            ::close(descriptor);
        }
    }

    bool take(const std::string& key) override {
        if (held_.contains(key)) {
            return true;
        }
        const int descriptor = lock(key);
        if (descriptor < 0) {
            return false;
        }
        held_[key] = descriptor;
        return true;
    }

    void give(const std::string& key) override {
        if (const auto found = held_.find(key); found != held_.end()) {
            ::close(found->second);
            held_.erase(found);
        }
    }

    bool heldElsewhere(const std::string& key) override {
        if (held_.contains(key)) {
            return false;
        }
        const int descriptor = lock(key);
        if (descriptor < 0) {
            return true;
        }
        ::close(descriptor);
        return false;
    }

private:
    // An open, locked descriptor of the key's file; -1 when another process holds the lock. A
    // file that cannot be made at all locks nothing, so the bridge stays usable.
    int lock(const std::string& key) const {
        const std::filesystem::path file = folder_ / (key + ".lock");
        const int descriptor = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
        if (descriptor < 0) {
            return ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        }
        if (::flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
            ::close(descriptor);
            return -1;
        }
        return descriptor;
    }

    std::filesystem::path folder_;
    std::map<std::string, int> held_;
};

} // namespace

std::unique_ptr<BridgeLocks> lockFiles(std::filesystem::path folder) {
    return std::make_unique<FlockFiles>(std::move(folder));
}

} // namespace brenvik::vsupply
