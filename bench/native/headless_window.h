#pragma once
// What the native benchmarks share: a window without a screen, the report of wall time against
// the waits a sequence is made of, and the process's memory figures.

#include "ui/window_port.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdint>
#include <fstream>
#include <malloc.h>
#include <map>
#include <set>
#include <string>
#include <unistd.h>
#include <vector>

namespace brenvik::bench {

using Wall = std::chrono::steady_clock;

// A window without a screen: keeps what is written into its controls, so that panel reads and
// redisplays behave as on the real window, and answers every message box with its first button.
class HeadlessWindow final : public WindowPort {
public:
    std::string applicationName() const override { return "Brenvik-USB"; }
    std::string controlText(int id) const override {
        const auto it = texts_.find(id);
        return it == texts_.end() ? std::string{} : it->second;
    }
    void setControlText(int id, std::string_view text) override { texts_[id] = text; }
    bool isChecked(int id) const override { return checked_.contains(id); }
    void setChecked(int id, bool checked) override {
        if (checked) {
            checked_.insert(id);
        } else {
            checked_.erase(id);
        }
    }
    bool isEnabled(int) const override { return true; }
    void enableControl(int, bool) override {}
    void focusControl(int) override {}
    int comboSelection(int id) const override {
        const auto it = selections_.find(id);
        return it == selections_.end() ? -1 : it->second;
    }
    void setComboSelection(int id, int index) override {
        const int count = static_cast<int>(comboItems(id).size());
        selections_[id] = index >= 0 && index < count ? index : -1;
    }
    std::vector<std::string> comboItems(int id) const override {
        const auto it = combos_.find(id);
        return it == combos_.end() ? std::vector<std::string>{} : it->second;
    }
    void setComboItems(int id, const std::vector<std::string>& items) override {
        combos_[id] = items;
        selections_[id] = -1;
    }
    void setStatusText(std::string_view) override {}
    MessageResult messageBox(std::string_view, std::string_view, MessageIcon,
                             MessageButtons buttons) override {
        return buttons == MessageButtons::Ok ? MessageResult::Ok : MessageResult::Retry;
    }
    void invalidate(bool) override {}
    int setTimer(int id, unsigned) override { return id; }
    void setButtonColours(int, std::uint32_t, std::uint32_t) override {}
    void killTimer(int) override {}
    void enableMenuCommand(int, bool) override {}
    std::optional<std::filesystem::path> chooseConfigurationFile(FileDialogKind) override {
        return std::nullopt;
    }
    bool showConfirmation(const ConfirmationTexts&) override { return true; }

private:
    std::map<int, std::string> texts_;
    std::set<int> checked_;
    std::map<int, std::vector<std::string>> combos_;
    std::map<int, int> selections_;
};

// Average wall time per iteration, the mandated waits and what lies beyond them.
inline void report(benchmark::State& state, Wall::duration total, double mandatedMs) {
    const double wallMs = std::chrono::duration<double, std::milli>(total).count() /
                          static_cast<double>(state.iterations());
    state.counters["wall_ms"] = wallMs;
    state.counters["mandated_ms"] = mandatedMs;
    state.counters["overhead_ms"] = wallMs - mandatedMs;
}

// Resident set size of this process.
inline double residentKiB() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0;
    long resident = 0;
    statm >> pages >> resident;
    return static_cast<double>(resident) * static_cast<double>(::sysconf(_SC_PAGESIZE)) / 1024.0;
}

// Bytes of the heap in use.
inline double heapInUseBytes() {
    return static_cast<double>(::mallinfo2().uordblks);
}

} // namespace brenvik::bench
