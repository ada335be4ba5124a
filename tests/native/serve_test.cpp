#include "serve/board.h"
#include "serve/command.h"
#include "serve/json.h"
#include "serve/metrics.h"
#include "serve/operations_source.h"
#include "serve/schedule.h"
#include "serve/web_face.h"
#include "tests/support/fake_clock.h"
#include "tests/support/temp_folder.h"
#include "virtual_supply/virtual_bridge.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <httplib.h>
#include <sstream>
#include <thread>

namespace brenvik::serve {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr std::int64_t k08h00 = 1796630400000; // 2026-12-07T08:00:00Z in Unix ms

Reading reading(double outputVolts) {
    Reading r;
    r.partNumber = "TRQ 60-40-20";
    r.firmware = "2.3";
    r.outputVolts = outputVolts;
    r.batteryVolts = 27.18;
    r.chargeAmps = 1.01;
    r.powerUpHours = 12345;
    r.batteryInstalledHours = 8760;
    r.acFaultCount = 3;
    r.systemFaultCount = 1;
    r.acFault = true;
    return r;
}

const PollOutcome kUnplugged{std::nullopt, "Fail, Communicate error,please try again. "};

TEST(ServeMetrics, GaugesKeepTheLastGoodValuesWhilePollsFailAndWaitForAFirstOne) {
    Board board({{"Bridge \"A\"\\1", "0x121"}, {"Bridge B", "0x122"}}, 1h);
    board.record(0, k08h00, 400ms, {reading(27.51), {}});
    board.record(0, k08h00 + 1000, 1400ms, kUnplugged);
    board.record(1, k08h00, 2500ms, {std::nullopt, "no device: the bridge could not be opened"});
    const std::string a = R"(bridge="Bridge \"A\"\\1",location="0x121")";
    const std::string b = R"(bridge="Bridge B",location="0x122")";
    const std::string r = a + R"(,part_number="TRQ 60-40-20",firmware="2.3")";
    EXPECT_EQ(metricsText(board.views()),
              "# HELP brenvik_output_voltage_volts Main output voltage.\n"
              "# TYPE brenvik_output_voltage_volts gauge\n"
              "brenvik_output_voltage_volts{" +
                  r +
                  "} 27.51\n"
                  "# HELP brenvik_battery_voltage_volts Battery voltage.\n"
                  "# TYPE brenvik_battery_voltage_volts gauge\n"
                  "brenvik_battery_voltage_volts{" +
                  r +
                  "} 27.18\n"
                  "# HELP brenvik_charge_current_amperes Battery charge current.\n"
                  "# TYPE brenvik_charge_current_amperes gauge\n"
                  "brenvik_charge_current_amperes{" +
                  r +
                  "} 1.01\n"
                  "# HELP brenvik_power_up_time_seconds Total power-up time (the supply counts "
                  "whole hours).\n"
                  "# TYPE brenvik_power_up_time_seconds gauge\n"
                  "brenvik_power_up_time_seconds{" +
                  r +
                  "} 44442000\n"
                  "# HELP brenvik_battery_installed_time_seconds Battery installed time (the "
                  "supply counts "
                  "whole hours).\n"
                  "# TYPE brenvik_battery_installed_time_seconds gauge\n"
                  "brenvik_battery_installed_time_seconds{" +
                  r +
                  "} 31536000\n"
                  "# HELP brenvik_ac_faults_detected Number of AC faults detected.\n"
                  "# TYPE brenvik_ac_faults_detected gauge\n"
                  "brenvik_ac_faults_detected{" +
                  r +
                  "} 3\n"
                  "# HELP brenvik_system_faults_detected Number of system faults detected.\n"
                  "# TYPE brenvik_system_faults_detected gauge\n"
                  "brenvik_system_faults_detected{" +
                  r +
                  "} 1\n"
                  "# HELP brenvik_ac_fault AC fault status: 1 fault, 0 no fault.\n"
                  "# TYPE brenvik_ac_fault gauge\n"
                  "brenvik_ac_fault{" +
                  r +
                  "} 1\n"
                  "# HELP brenvik_system_fault System fault status: 1 fault, 0 no fault.\n"
                  "# TYPE brenvik_system_fault gauge\n"
                  "brenvik_system_fault{" +
                  r +
                  "} 0\n"
                  "# HELP brenvik_fai_activated Fire alarm interface activated: 1 yes, 0 no.\n"
                  "# TYPE brenvik_fai_activated gauge\n"
                  "brenvik_fai_activated{" +
                  r +
                  "} 0\n"
                  "# HELP brenvik_output_latching_on_fai Output latching on FAI: 1 yes, 0 no.\n"
                  "# TYPE brenvik_output_latching_on_fai gauge\n"
                  "brenvik_output_latching_on_fai{" +
                  r +
                  "} 0\n"
                  "# HELP brenvik_poll_success Whether the latest poll succeeded: 1 yes, 0 no.\n"
                  "# TYPE brenvik_poll_success gauge\n"
                  "brenvik_poll_success{" +
                  a +
                  "} 0\n"
                  "brenvik_poll_success{" +
                  b +
                  "} 0\n"
                  "# HELP brenvik_last_good_poll_timestamp_seconds When the last good poll "
                  "started, seconds "
                  "since the Unix epoch; the readings are its values.\n"
                  "# TYPE brenvik_last_good_poll_timestamp_seconds gauge\n"
                  "brenvik_last_good_poll_timestamp_seconds{" +
                  a +
                  "} 1796630400\n"
                  "# HELP brenvik_poll_duration_seconds How long the latest poll took.\n"
                  "# TYPE brenvik_poll_duration_seconds gauge\n"
                  "brenvik_poll_duration_seconds{" +
                  a +
                  "} 1.4\n"
                  "brenvik_poll_duration_seconds{" +
                  b +
                  "} 2.5\n"
                  "# HELP brenvik_polls_total Polls made.\n"
                  "# TYPE brenvik_polls_total counter\n"
                  "brenvik_polls_total{" +
                  a +
                  "} 2\n"
                  "brenvik_polls_total{" +
                  b +
                  "} 1\n"
                  "# HELP brenvik_poll_failures_total Polls that failed.\n"
                  "# TYPE brenvik_poll_failures_total counter\n"
                  "brenvik_poll_failures_total{" +
                  a +
                  "} 1\n"
                  "brenvik_poll_failures_total{" +
                  b + "} 1\n");
}

TEST(ServeHistory, KeepsTheRetentionBeforeTheNewestAndAnswersWhatCameAfterATime) {
    History history(1h);
    for (int half = 0; half <= 6; ++half) {
        const std::int64_t time = k08h00 + half * 1'800'000;
        if (half >= 5) {
            history.addFailure(time, 1400ms, "Fail, Communicate error,please try again. ");
        } else {
            history.add(sampleOf(time, 400ms, reading(27.5 + half)));
        }
    }
    ASSERT_EQ(history.size(), 3u); // 10:00, 10:30 and 11:00
    EXPECT_EQ(history.failureTexts(),
              std::vector<std::string>{"Fail, Communicate error,please try again. "});
    const auto later = history.after(k08h00 + 7'200'000);
    ASSERT_EQ(later.size(), 2u);
    EXPECT_EQ(later[0].failure, 1);
    EXPECT_EQ(later[1].failure, 1);
    EXPECT_EQ(history.after(k08h00 + 10'800'000).size(), 0u);

    HistorySlice slice{
        {"Bridge \"A\"", "0x121"}, history.after(k08h00 + 5'400'000), history.failureTexts()};
    slice.samples.pop_back();
    EXPECT_EQ(historyJson({slice}),
              R"({"supplies":[{"bridge":"Bridge \"A\"","location":"0x121",)"
              R"("time":[1796637600000,1796639400000],"ok":[1,0],"pollSeconds":[0.4,1.4],)"
              R"("outputVoltage":[31.5,null],"batteryVoltage":[27.18,null],)"
              R"("chargeCurrent":[1.01,null],"powerUpHours":[12345,null],)"
              R"("batteryInstalledHours":[8760,null],"acFaultCount":[3,null],)"
              R"("systemFaultCount":[1,null],"faiActivated":[0,null],"outputLatching":[0,null],)"
              R"("acFault":[1,null],"systemFault":[0,null],)"
              R"("failure":[null,"Fail, Communicate error,please try again. "]}]})"
              "\n");
}

TEST(ServeHistory, SinceTakesUnixSecondsOrAUtcTimeAndNothingElse) {
    const std::vector<std::pair<std::string, std::optional<std::int64_t>>> cases{
        {"1796674972", 1796674972000},
        {"1796674972.5", 1796674972500},
        {"1796674972.123456", 1796674972123},
        {"0", 0},
        {"2026-12-07T20:22:52Z", 1796674972000},
        {"2026-12-07T20:22:52.25Z", 1796674972250},
        {"", std::nullopt},
        {"abc", std::nullopt},
        {"-5", std::nullopt},
        {"+5", std::nullopt},
        {"12x", std::nullopt},
        {"1.", std::nullopt},
        {"99999999999999", std::nullopt},
        {"2026-13-07T20:22:52Z", std::nullopt},
        {"2026-02-30T00:00:00Z", std::nullopt},
        {"2026-12-07T24:00:00Z", std::nullopt},
        {"2026-12-07 20:22:52Z", std::nullopt},
        {"2026-12-07T20:22:52", std::nullopt},
        {"2026-12-07T20:22:52+01:00", std::nullopt},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(parseSince(text), expected) << text;
    }
}

// Made-up time: waits move it on at once, each poll by the time the source says it takes.
class FakeTimeline final : public Timeline {
public:
    WallTime now() override { return now_; }
    void waitUntil(WallTime deadline, const std::atomic<bool>&) override {
        now_ = std::max(now_, deadline);
    }
    void advance(std::chrono::milliseconds by) { now_ += by; }

private:
    WallTime now_ = WallTime(std::chrono::milliseconds(k08h00 + 300));
};

class ScriptedSource final : public SupplySource {
public:
    ScriptedSource(FakeTimeline& timeline, std::vector<std::chrono::milliseconds> durations,
                   std::atomic<bool>& stop)
        : timeline_(timeline), durations_(std::move(durations)), stop_(stop) {}
    std::vector<SupplyIdentity> supplies() override { return {{"Bridge A", "0x121"}}; }
    PollOutcome poll(std::size_t) override {
        timeline_.advance(durations_.at(polls_));
        stop_ = ++polls_ == durations_.size();
        return polls_ == 2 ? kUnplugged : PollOutcome{reading(27.51), {}};
    }

private:
    FakeTimeline& timeline_;
    std::vector<std::chrono::milliseconds> durations_;
    std::atomic<bool>& stop_;
    std::size_t polls_ = 0;
};

TEST(ServeSchedule, PollsOnWholeSecondsSkipsSlotsALongPollOverranAndGoesOnAfterAFailure) {
    FakeTimeline timeline;
    std::atomic<bool> stop{false};
    ScriptedSource source(timeline, {400ms, 2500ms, 400ms, 1000ms, 400ms}, stop);
    std::vector<std::pair<std::int64_t, std::int64_t>> polls; // start after 08:00, duration
    std::vector<bool> good;
    pollUntilStopped(source, 0, timeline, 1000ms, stop, [&](const PollRecord& record) {
        polls.emplace_back(record.timeMs - k08h00, record.duration.count());
        good.push_back(record.outcome.reading.has_value());
    });
    EXPECT_EQ(polls, (std::vector<std::pair<std::int64_t, std::int64_t>>{{1000, 400'000},
                                                                         {2000, 2'500'000},
                                                                         {5000, 400'000},
                                                                         {6000, 1'000'000},
                                                                         {8000, 400'000}}));
    EXPECT_EQ(good, (std::vector<bool>{true, false, true, true, true}));

    SlotSchedule odd(WallTime(std::chrono::milliseconds(k08h00 + 300)), 1500ms);
    EXPECT_EQ(odd.next().time_since_epoch(), std::chrono::milliseconds(k08h00 + 1500));
    odd.advance(WallTime(std::chrono::milliseconds(k08h00 + 3000)));
    EXPECT_EQ(odd.next().time_since_epoch(), std::chrono::milliseconds(k08h00 + 4500));
}

TEST(ServeOperationsSource, AnUnpluggedSupplyFailsItsPollsAndAnswersAgainOncePluggedBackIn) {
    auto owned = std::make_unique<vsupply::VirtualBridge>();
    vsupply::VirtualBridge& bridge = *owned;
    std::vector<std::unique_ptr<device::AdapterLibrary>> libraries;
    libraries.push_back(std::move(owned));
    testing::FakeClock clock;
    std::ostringstream messages;
    OperationsSupplySource source(std::move(libraries), clock);
    ASSERT_EQ(source.supplies().size(), 1u);
    EXPECT_EQ(source.supplies()[0].bridge, "USB SPI Bridge A");
    EXPECT_EQ(source.supplies()[0].location, "0x121");

    std::vector<std::string> outcomes;
    const auto poll = [&](std::uint32_t hours) {
        bridge.supply().state().powerUpHours = hours;
        const PollOutcome outcome = source.poll(0);
        outcomes.push_back(outcome.reading ? "ok " + std::to_string(outcome.reading->powerUpHours)
                                           : outcome.failure);
    };
    poll(100);
    bridge.unplug();
    poll(101);
    poll(102);
    bridge.plugIn();
    poll(103);
    poll(104);
    EXPECT_EQ(outcomes, (std::vector<std::string>{
                            "ok 100",
                            "Fail, Communicate error,please try again. ",
                            "communication failed: the supply did not answer the read-back",
                            "ok 103",
                            "ok 104",
                        }));
}

// A board with one supply, good at 08:00:00 and unplugged at 08:00:01, behind a real server on
// a free port of the loopback interface.
class ServeWeb : public ::testing::Test {
protected:
    void SetUp() override {
        board.record(0, k08h00, 400ms, {reading(27.51), {}});
        board.record(0, k08h00 + 1000, 1400ms, kUnplugged);
        ASSERT_EQ(face.bind({"127.0.0.1", 0}), std::nullopt);
        server = std::thread([this] { face.run(); });
        client.emplace("127.0.0.1", face.port());
    }
    void TearDown() override {
        face.stop();
        server.join();
    }

    Board board{{{"Bridge A", "0x121"}}, 24h};
    WebFace face{board};
    std::thread server;
    std::optional<httplib::Client> client;
};

TEST_F(ServeWeb, AnswersWithLastGoodValuesTheFailureAndClearErrors) {
    const auto status = client->Get("/api/status");
    ASSERT_TRUE(status);
    const auto supply = nlohmann::json::parse(status->body)["supplies"][0];
    EXPECT_EQ(supply["ok"], false);
    EXPECT_EQ(supply["failure"], "Fail, Communicate error,please try again. ");
    EXPECT_EQ(supply["lastPoll"], "2026-12-07T08:00:01.000Z");
    EXPECT_EQ(supply["lastGoodPoll"], "2026-12-07T08:00:00.000Z");
    EXPECT_EQ(supply["status"]["outputVoltage"], 27.51);
    EXPECT_EQ(supply["status"]["acFaultStatus"], "Fault");

    const auto later = client->Get("/api/history?since=2026-12-07T08:00:00Z");
    ASSERT_TRUE(later);
    EXPECT_EQ(nlohmann::json::parse(later->body)["supplies"][0]["time"],
              nlohmann::json::parse("[1796630401000]"));

    const auto bad = client->Get("/api/history?since=yesterday");
    ASSERT_TRUE(bad);
    EXPECT_EQ(bad->status, 400);
    EXPECT_EQ(bad->body, R"({"error":"since: expected Unix seconds or a UTC time like )"
                         R"(2026-12-07T20:22:52Z, got 'yesterday'"})"
                         "\n");

    const auto unknown = client->Get("/status");
    ASSERT_TRUE(unknown);
    EXPECT_EQ(unknown->status, 404);
    EXPECT_EQ(unknown->body.substr(0, unknown->body.find('\n')), "Not found: /status");

    const auto metrics = client->Get("/metrics");
    ASSERT_TRUE(metrics);
    EXPECT_EQ(metrics->get_header_value("Content-Type"),
              "text/plain; version=0.0.4; charset=utf-8");

    const auto page = client->Get("/");
    const auto chart = client->Get("/dygraph.min.js");
    ASSERT_TRUE(page && chart);
    EXPECT_NE(page->body.find("<title>Brenvik-USB supplies</title>"), std::string::npos);
    EXPECT_GT(chart->body.size(), 100'000u); // the chart library itself, built in
}

// The command with its console, a scenario that stands still, and a folder of files.
class ServeCommand : public ::testing::Test {
protected:
    void SetUp() override {
        std::ofstream(dir / "scenario.txt") << "hour_length_ms = 0\njitter = 0\n";
    }

    struct Result {
        int code;
        std::string out;
        std::string err;
    };
    Result run(std::vector<std::string> args) {
        args.insert(args.begin(), {"--virtual", (dir / "scenario.txt").string()});
        std::ostringstream out, err;
        std::istringstream in;
        std::atomic<bool> interrupted{false};
        cli::Console console{out,         err,
                             in,          clock,
                             timer,       interrupted,
                             [](bool) {}, [] { return std::unique_ptr<device::AdapterLibrary>(); },
                             {}};
        const int code = cli::runCommandLine(args, console, {serveCommand()});
        return {code, out.str(), err.str()};
    }

    class NoTimer final : public cli::PollTimer {
    public:
        cli::WallTime now() override { return cli::WallTime(std::chrono::milliseconds(k08h00)); }
        void waitUntil(cli::WallTime, const std::atomic<bool>&) override {}
    };
    testing::TempFolder folder{"brenvik-serve"};
    const fs::path& dir = folder.path;
    testing::FakeClock clock;
    NoTimer timer;
};

TEST_F(ServeCommand, BadInputEndsBeforeAnyPollWithOneLine) {
    Board busyBoard({}, 1h);
    WebFace busy(busyBoard);
    ASSERT_EQ(busy.bind({"127.0.0.1", 0}), std::nullopt);
    const std::string port = std::to_string(busy.port());
    fs::create_directories(dir / "blocked" / "brenvik-0x121.csv");
    const std::string blocked = (dir / "blocked").string();
    const std::string missing = (dir / "missing").string();

    const std::vector<std::tuple<std::vector<std::string>, int, std::string>> cases{
        {{"serve", "--listen", "9731"},
         4,
         "brenvik: --listen: expected ADDRESS:PORT, got '9731'\n"},
        {{"serve", "--listen", "127.0.0.1:" + port},
         4,
         "brenvik: cannot listen on 127.0.0.1:" + port + ": Address already in use\n"},
        {{"serve", "--csv", missing}, 4, "brenvik: " + missing + ": not a folder\n"},
        {{"serve", "--csv", blocked},
         4,
         "brenvik: " + blocked + "/brenvik-0x121.csv: cannot be written\n"},
        {{"serve", "--device", "0x999"},
         1,
         "brenvik: no device: no bridge named '0x999'; found USB SPI Bridge A (0x121)\n"},
    };
    for (const auto& [args, code, err] : cases) {
        const Result result = run(args);
        EXPECT_EQ(result.code, code) << args.back();
        EXPECT_EQ(result.err, err) << args.back();
        EXPECT_EQ(clock.waits.size(), 0u) << args.back();
    }
}

TEST_F(ServeCommand, TheStatusObjectIsWhatStatusJsonPrints) {
    const Result status = run({"status", "--json"});
    ASSERT_EQ(status.code, 0) << status.err;

    std::ostringstream out, err;
    std::istringstream in;
    std::atomic<bool> interrupted{false};
    cli::Console console{
        out,   err,         in,          clock,
        timer, interrupted, [](bool) {}, [] { return std::unique_ptr<device::AdapterLibrary>(); },
        {}};
    auto opened = openSupplies({true, (dir / "scenario.txt").string(), ""}, console);
    auto& source = *std::get<std::unique_ptr<OperationsSupplySource>>(opened);
    ASSERT_EQ(source.supplies().size(), 1u);
    const PollOutcome outcome = source.poll(0);
    ASSERT_TRUE(outcome.reading) << outcome.failure;
    EXPECT_EQ(statusObject(*outcome.reading), nlohmann::json::parse(status.out));
}

} // namespace
} // namespace brenvik::serve
