#include "virtual_supply/bridge_locks.h"

#include <map>
#include <windows.h>

namespace brenvik::vsupply {
namespace {

class ExclusiveFiles final : public BridgeLocks {
public:
    explicit ExclusiveFiles(std::filesystem::path folder) : folder_(std::move(folder)) {}
    ExclusiveFiles(const ExclusiveFiles&) = delete;
    ExclusiveFiles& operator=(const ExclusiveFiles&) = delete;
    ~ExclusiveFiles() override {
        for (const auto& [key, file] : held_) {
            CloseHandle(file);
        }
    }

    bool take(const std::string& key) override {
        if (held_.contains(key)) {
            return true;
        }
        const HANDLE file = lock(key);
        if (file == INVALID_HANDLE_VALUE) {
            return false;
        }
        held_[key] = file;
        return true;
    }

    void give(const std::string& key) override {
        if (const auto found = held_.find(key); found != held_.end()) {
            CloseHandle(found->second);
            held_.erase(found);
        }
    }

    bool heldElsewhere(const std::string& key) override {
        if (held_.contains(key)) {
            return false;
        }
        const HANDLE file = lock(key);
        if (file == INVALID_HANDLE_VALUE) {
            return true;
        }
        CloseHandle(file);
        return false;
    }

private:
    // The key's file opened without sharing, which is the lock; INVALID_HANDLE_VALUE when another
    // process has it open. The file goes when its last handle closes. A file that cannot be made
    // for any other reason locks nothing, so the bridge stays usable.
    HANDLE lock(const std::string& key) const {
        const std::filesystem::path file = folder_ / (key + ".lock");
        const HANDLE handle = CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                          OPEN_ALWAYS, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (handle != INVALID_HANDLE_VALUE) {
            return handle;
        }
        if (GetLastError() == ERROR_SHARING_VIOLATION) {
            return INVALID_HANDLE_VALUE;
        }
        return CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    }

    std::filesystem::path folder_;
    std::map<std::string, HANDLE> held_;
};

} // namespace

std::unique_ptr<BridgeLocks> lockFiles(std::filesystem::path folder) {
    return std::make_unique<ExclusiveFiles>(std::move(folder));
}

} // namespace brenvik::vsupply
