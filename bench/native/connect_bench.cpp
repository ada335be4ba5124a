// Wall time of the settings read-back and of a whole Connect Device against the virtual bridge
// and supply, with real waits, beside the waits the exchanges are made of. The difference is the
// program's own cost plus the transfers.

#include "config/configuration.h"
#include "device/connection.h"
#include "monitor/monitor_state.h"
#include "monitor/read_back.h"
#include "programming/device_settings.h"
#include "programming/panel.h"
#include "ui/clock.h"
#include "virtual_supply/virtual_bridge.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

using namespace brenvik;
using Wall = std::chrono::steady_clock;

constexpr double kReadBackWaitsMs = 2300.0; // 1000 + 1000 + 3 x 100
constexpr double kConnectWaitsMs = 2700.0;  // the read-back's and two 200 ms pin waits

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
    bool setTimer(int, unsigned) override { return true; }
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
void report(benchmark::State& state, Wall::duration total, double mandatedMs) {
    const double wallMs = std::chrono::duration<double, std::milli>(total).count() /
                          static_cast<double>(state.iterations());
    state.counters["wall_ms"] = wallMs;
    state.counters["mandated_ms"] = mandatedMs;
    state.counters["overhead_ms"] = wallMs - mandatedMs;
}

void BM_ReadBack(benchmark::State& state) {
    vsupply::VirtualLink virtualLink;
    HeadlessWindow window;
    SystemClock clock;
    MainWindowModel model;
    panelRedisplay(window, model);
    monitor::MonitorState monitorState;
    Wall::duration total{};
    for (auto _ : state) {
        const auto start = Wall::now();
        monitor::readBackSettings(window, clock, virtualLink.link, model, monitorState);
        total += Wall::now() - start;
        if (!virtualLink.link.linkOk) {
            state.SkipWithError("read-back failed");
            break;
        }
    }
    report(state, total, kReadBackWaitsMs);
}

void BM_ConnectDevice(benchmark::State& state) {
    vsupply::VirtualBridge bridge;
    device::DeviceLink link(bridge);
    HeadlessWindow window;
    SystemClock clock;
    MainWindowModel model;
    panelRedisplay(window, model);
    monitor::MonitorState monitorState;
    const auto working = std::filesystem::temp_directory_path() / "connect_bench_Brenvik.ini";
    config::ConfigurationFiles files{working, working};
    device::ConnectionContext ctx{window, clock, link, model, monitorState, files};
    Wall::duration total{};
    for (auto _ : state) {
        const auto start = Wall::now();
        device::connectDevice(ctx);
        total += Wall::now() - start;
        if (!link.linkOk) {
            state.SkipWithError("Connect Device failed");
            break;
        }
    }
    report(state, total, kConnectWaitsMs);
}

} // namespace

BENCHMARK(BM_ReadBack)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_ConnectDevice)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

BENCHMARK_MAIN();
