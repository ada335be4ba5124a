// brenvik serve's parts: its pages, history, files and schedule.

#include "serve/board.h"
#include "serve/command.h"
#include "serve/csv_log.h"
#include "serve/json.h"
#include "serve/operations_source.h"
#include "serve/schedule.h"
#include "serve/web_face.h"
#include "tests/support/fake_clock.h"
#include "tests/support/temp_folder.h"
#include "virtual_supply/virtual_bridge.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <httplib.h>
#include <iterator>
#include <regex>
#include <sstream>
#include <thread>

namespace brenvik::serve {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Strings = std::vector<std::string>;

constexpr std::int64_t k08h00 = 1796630400000; // 2026-12-07T08:00:00Z in Unix ms

// Part number, firmware, output, battery volts, charge amps, power-up and battery hours, AC and
// system fault counts, FAI, latching, AC and system fault, their delays, charge selection and
// text, installed month, day and year.
Reading reading(double outputVolts) {
    return Reading("TRQ 60-40-20", "2.3", outputVolts, 27.18, 1.01, 12345, 8760, 3, 1, false, false,
                   true, false, {0, 5, 0}, {1, 2, 3}, 1, "5 to 8 Ah Battery", 2, 7, 2010);
}

const PollOutcome kUnplugged{std::nullopt, "Fail, Communicate error,please try again. "};

// Replaces every {NAME} of `text` by its value.
std::string filled(std::string text, const std::vector<std::pair<std::string, std::string>>& by) {
    for (const auto& [name, value] : by) {
        for (auto at = text.find(name); at != std::string::npos; at = text.find(name, at)) {
            text.replace(at, name.size(), value);
        }
    }
    return text;
}

// Two supplies behind a real server on a free port of the loopback interface: the first good at
// 08:00:00 and unplugged at 08:00:01, the second never reached; names that need escaping.
class ServeWeb : public ::testing::Test {
protected:
    void SetUp() override {
        board.record(0, k08h00, 400ms, {reading(27.51), {}});
        board.record(0, k08h00 + 1000, 1400ms, kUnplugged);
        board.record(1, k08h00, 2500ms,
                     {std::nullopt, "no device: the bridge could not be opened"});
        ASSERT_EQ(face.bind({"127.0.0.1", 0}), std::nullopt);
        server = std::thread([this] { face.run(); });
        client.emplace("127.0.0.1", face.port());
    }
    void TearDown() override {
        face.stop();
        server.join();
    }

    Board board{{{"Bridge \"A\"\\1", "0x121"}, {"Bridge B", "0x122"}}, 24h};
    WebFace face{board};
    std::thread server;
    std::optional<httplib::Client> client;
};

TEST_F(ServeWeb, MetricsKeepTheLastGoodValuesWhilePollsFailAndWaitForAFirstOne) {
    const auto metrics = client->Get("/metrics");
    ASSERT_TRUE(metrics);
    EXPECT_EQ(metrics->get_header_value("Content-Type"),
              "text/plain; version=0.0.4; charset=utf-8");
    const std::string a = R"({bridge="Bridge \"A\"\\1",location="0x121")";
    EXPECT_EQ(metrics->body, filled(R"(# HELP brenvik_output_voltage_volts Main output voltage.
# TYPE brenvik_output_voltage_volts gauge
brenvik_output_voltage_volts{R} 27.51
# HELP brenvik_battery_voltage_volts Battery voltage.
# TYPE brenvik_battery_voltage_volts gauge
brenvik_battery_voltage_volts{R} 27.18
# HELP brenvik_charge_current_amperes Battery charge current.
# TYPE brenvik_charge_current_amperes gauge
brenvik_charge_current_amperes{R} 1.01
# HELP brenvik_power_up_time_seconds Total power-up time (the supply counts whole hours).
# TYPE brenvik_power_up_time_seconds gauge
brenvik_power_up_time_seconds{R} 44442000
# HELP brenvik_battery_installed_time_seconds Battery installed time (the supply counts whole hours).
# TYPE brenvik_battery_installed_time_seconds gauge
brenvik_battery_installed_time_seconds{R} 31536000
# HELP brenvik_ac_faults_detected Number of AC faults detected.
# TYPE brenvik_ac_faults_detected gauge
brenvik_ac_faults_detected{R} 3
# HELP brenvik_system_faults_detected Number of system faults detected.
# TYPE brenvik_system_faults_detected gauge
brenvik_system_faults_detected{R} 1
# HELP brenvik_ac_fault AC fault status: 1 fault, 0 no fault.
# TYPE brenvik_ac_fault gauge
brenvik_ac_fault{R} 1
# HELP brenvik_system_fault System fault status: 1 fault, 0 no fault.
# TYPE brenvik_system_fault gauge
brenvik_system_fault{R} 0
# HELP brenvik_fai_activated Fire alarm interface activated: 1 yes, 0 no.
# TYPE brenvik_fai_activated gauge
brenvik_fai_activated{R} 0
# HELP brenvik_output_latching_on_fai Output latching on FAI: 1 yes, 0 no.
# TYPE brenvik_output_latching_on_fai gauge
brenvik_output_latching_on_fai{R} 0
# HELP brenvik_poll_success Whether the latest poll succeeded: 1 yes, 0 no.
# TYPE brenvik_poll_success gauge
brenvik_poll_success{A} 0
brenvik_poll_success{B} 0
# HELP brenvik_last_good_poll_timestamp_seconds When the last good poll started, seconds since the Unix epoch; the readings are its values.
# TYPE brenvik_last_good_poll_timestamp_seconds gauge
brenvik_last_good_poll_timestamp_seconds{A} 1796630400
# HELP brenvik_poll_duration_seconds How long the latest poll took.
# TYPE brenvik_poll_duration_seconds gauge
brenvik_poll_duration_seconds{A} 1.4
brenvik_poll_duration_seconds{B} 2.5
# HELP brenvik_polls_total Polls made.
# TYPE brenvik_polls_total counter
brenvik_polls_total{A} 2
brenvik_polls_total{B} 1
# HELP brenvik_poll_failures_total Polls that failed.
# TYPE brenvik_poll_failures_total counter
brenvik_poll_failures_total{A} 1
brenvik_poll_failures_total{B} 1
)",
                                    {{"{R}", a + R"(,part_number="TRQ 60-40-20",firmware="2.3"})"},
                                     {"{A}", a + "}"},
                                     {"{B}", R"({bridge="Bridge B",location="0x122"})"}}));
}

TEST_F(ServeWeb, AnswersStatusHistoryAndClearErrors) {
    const auto status = client->Get("/api/status");
    ASSERT_TRUE(status);
    EXPECT_EQ(status->get_header_value("Cache-Control"), "no-store");
    EXPECT_EQ(
        status->body,
        R"({"supplies":[{"bridge":"Bridge \"A\"\\1","failure":"Fail, Communicate error,please try )"
        R"(again. ","lastGoodPoll":"2026-12-07T08:00:00.000Z","lastPoll":"2026-12-07T08:00:01.000Z",)"
        R"("location":"0x121","ok":false,"pollSeconds":1.4,"status":{"acFaultCount":3,"acFaultDelay":)"
        R"({"hours":0,"minutes":5,"seconds":0},"acFaultStatus":"Fault","batteryInstalledHours":8760,)"
        R"("batteryVoltage":27.18,"chargeCurrent":1.01,"chargeSelection":{"index":1,"text":"5 to 8 )"
        R"(Ah Battery"},"faiActivated":"No","firmware":"2.3","installDate":{"day":7,"month":2,)"
        R"("year":2010},"outputLatching":"No","outputVoltage":27.51,"partNumber":"TRQ 60-40-20",)"
        R"("powerUpHours":12345,"systemFaultCount":1,"systemFaultDelay":{"hours":1,"minutes":2,)"
        R"("seconds":3},"systemFaultStatus":"No fault"}},{"bridge":"Bridge B","failure":"no )"
        R"(device: the bridge could not be opened","lastGoodPoll":null,"lastPoll":)"
        R"("2026-12-07T08:00:00.000Z","location":"0x122","ok":false,"pollSeconds":2.5,)"
        R"("status":null}]})"
        "\n");

    const auto later = client->Get("/api/history?since=2026-12-07T08:00:00Z");
    ASSERT_TRUE(later);
    EXPECT_EQ(later->get_header_value("Cache-Control"), "no-store");
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
    EXPECT_EQ(unknown->body,
              "Not found: /status\nThis server answers:\n"
              "  /                           the live page\n"
              "  /metrics                    the readings for Prometheus\n"
              "  /api/status                 each supply's latest values and poll\n"
              "  /api/history?since=TIME     the retained readings later than TIME (Unix "
              "seconds or\n"
              "                              a UTC time like 2026-12-07T20:22:52Z); all without "
              "since\n");

    const auto page = client->Get("/");
    const auto chart = client->Get("/dygraph.min.js");
    ASSERT_TRUE(page && chart);
    EXPECT_NE(page->body.find("<title>Brenvik-USB supplies</title>"), std::string::npos);
    EXPECT_GT(chart->body.size(), 100'000u); // the chart library itself, built in
}

TEST(ServeHistory, KeepsTheRetentionBeforeTheNewestAndEachSupplysFileGetsOneRowPerPoll) {
    History history(1h);
    for (int half = 0; half <= 6; ++half) {
        const std::int64_t time = k08h00 + half * 1'800'000;
        if (half >= 5) {
            history.addFailure(time, 1400ms, "Fail, Communicate error,please try again. ");
        } else {
            history.add(sampleOf(time, 400ms, reading(27.5 + half)));
        }
    }
    ASSERT_EQ(history.after(0).size(), 3u); // 10:00, 10:30 and 11:00

    HistorySlice slice{
        {"Bridge \"A\"", "0x121"}, history.after(k08h00 + 5'400'000), history.failureTexts()};
    EXPECT_EQ(historyJson({slice}),
              R"({"supplies":[{"bridge":"Bridge \"A\"","location":"0x121",)"
              R"("time":[1796637600000,1796639400000,1796641200000],"ok":[1,0,0],)"
              R"("pollSeconds":[0.4,1.4,1.4],"outputVoltage":[31.5,null,null],)"
              R"("batteryVoltage":[27.18,null,null],"chargeCurrent":[1.01,null,null],)"
              R"("powerUpHours":[12345,null,null],"batteryInstalledHours":[8760,null,null],)"
              R"("acFaultCount":[3,null,null],"systemFaultCount":[1,null,null],)"
              R"("faiActivated":[0,null,null],"outputLatching":[0,null,null],)"
              R"("acFault":[1,null,null],"systemFault":[0,null,null],"failure":[null,)"
              R"("Fail, Communicate error,please try again. ","Fail, Communicate error,please )"
              R"(try again. "]}]})"
              "\n");

    // Each supply's file starts with the header and gets one row per poll.
    testing::TempFolder folder{"brenvik-serve-csv"};
    const CsvLog log(folder.path, {{"Bridge A", "0x121"}});
    ASSERT_EQ(log.unwritable(), std::nullopt);
    EXPECT_TRUE(log.append({0, k08h00, 400ms, {reading(27.5), {}}}));
    EXPECT_TRUE(log.append({0, k08h00 + 1000, 1400ms, kUnplugged}));
    Reading faults = reading(27.5);
    faults.faiActivated = faults.outputLatching = faults.systemFault = true;
    faults.acFault = false;
    EXPECT_TRUE(log.append({0, k08h00 + 2000, 400ms, {faults, {}}}));
    EXPECT_EQ(folder.read("brenvik-0x121.csv"),
              "time,result,output_voltage,battery_voltage,charge_current,power_up_hours,"
              "battery_installed_hours,ac_fault_count,system_fault_count,fai_activated,"
              "output_latching,ac_fault_status,system_fault_status\n"
              "2026-12-07T08:00:00.000Z,ok,27.50,27.18,1.01,12345,8760,3,1,No,No,Fault,No fault\n"
              "2026-12-07T08:00:01.000Z,\"Fail, Communicate error,please try again. \",,,,,,,,,,,"
              "\n2026-12-07T08:00:02.000Z,ok,27.50,27.18,1.01,12345,8760,3,1,Yes,Yes,No fault,"
              "Fault\n");
}

// What --listen and the history's since= take; everything else is refused.
TEST(ServeInput, ListenTakesAnAddressAndAPortAndSinceUnixSecondsOrAUtcTime) {
    const std::vector<std::tuple<std::string, std::string, int>> listen{
        {"127.0.0.1:9731", "127.0.0.1", 9731},
        {"[::1]:0", "::1", 0},
        {"0.0.0.0:65535", "0.0.0.0", 65535}};
    for (const auto& [text, host, port] : listen) {
        const auto address = parseListenAddress(text).value_or(ListenAddress{"none", -1});
        EXPECT_EQ(std::pair(address.host, address.port), std::pair(host, port)) << text;
    }
    for (const std::string bad : {"9731", ":9731", "::1:80", "[]:80", "[::1:80",
                                  "host:", "host:65536", "host:-1", "host:8x"}) {
        EXPECT_EQ(parseListenAddress(bad), std::nullopt) << bad;
    }
    const std::vector<std::pair<std::string, std::int64_t>> good{
        {"1796674972", 1796674972000},           {"1796674972.5", 1796674972500},
        {"1796674972.123456", 1796674972123},    {"0", 0},
        {"2026-12-07T20:22:52Z", 1796674972000}, {"2026-12-07T20:22:52.25Z", 1796674972250},
        {"253402300799", 253402300799000}}; // the last second of the year 9999
    for (const auto& [text, expected] : good) {
        EXPECT_EQ(parseSince(text), expected) << text;
    }
    for (const std::string bad :
         {"", "abc", "-5", "+5", "12x", "1.", "253402300800", "2026-13-07T20:22:52Z",
          "2026-02-30T00:00:00Z", "2026-12-07T24:00:00Z", "2026-12-07 20:22:52Z",
          "2026-12-07T20:22:52", "2026-12-07T20:22:52+01:00"}) {
        EXPECT_EQ(parseSince(bad), std::nullopt) << bad;
    }
}

// Made-up time for one supply: waits move it on at once, each poll by the time it is given to
// take; the second poll fails and the last one stops the loop.
class ScriptedPolls final : public Timeline, public SupplySource {
public:
    explicit ScriptedPolls(std::vector<std::chrono::milliseconds> durations)
        : durations_(std::move(durations)) {}
    WallTime now() override { return now_; }
    void waitUntil(WallTime deadline, const std::atomic<bool>&) override {
        now_ = std::max(now_, deadline);
    }
    std::vector<SupplyIdentity> supplies() override { return {{"Bridge A", "0x121"}}; }
    PollOutcome poll(std::size_t) override {
        now_ += durations_.at(polls_);
        stop = ++polls_ == durations_.size();
        return polls_ == 2 ? kUnplugged : PollOutcome{reading(27.51), {}};
    }
    std::atomic<bool> stop{false};

private:
    WallTime now_ = WallTime(std::chrono::milliseconds(k08h00 + 300));
    std::vector<std::chrono::milliseconds> durations_;
    std::size_t polls_ = 0;
};

TEST(ServeSchedule, PollsOnWholeSecondsSkipsSlotsALongPollOverranAndGoesOnAfterAFailure) {
    ScriptedPolls script({400ms, 2500ms, 400ms, 1000ms, 400ms});
    using Poll = std::tuple<std::int64_t, std::int64_t, bool>; // after 08:00, µs, good
    std::vector<Poll> polls;
    pollUntilStopped(script, 0, script, 1000ms, script.stop, [&](const PollRecord& record) {
        polls.emplace_back(record.timeMs - k08h00, record.duration.count(),
                           record.outcome.reading.has_value());
    });
    EXPECT_EQ(polls, (std::vector<Poll>{{1000, 400'000, true},
                                        {2000, 2'500'000, false},
                                        {5000, 400'000, true},
                                        {6000, 1'000'000, true},
                                        {8000, 400'000, true}}));

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
    OperationsSupplySource source(std::move(libraries), clock);
    ASSERT_EQ(source.supplies().size(), 1u);

    Strings outcomes;
    for (const std::uint32_t hours : {100, 101, 102, 103, 104}) {
        if (hours == 101) {
            bridge.unplug();
        } else if (hours == 103) {
            bridge.plugIn();
        }
        bridge.supply().state().powerUpHours = hours;
        const PollOutcome outcome = source.poll(0);
        outcomes.push_back(outcome.reading ? "ok " + std::to_string(outcome.reading->powerUpHours)
                                           : outcome.failure);
    }
    // A model-3 supply names its charge selection from its own items.
    bridge.supply().state().modelCode = 3;
    source.supplies();
    EXPECT_EQ(source.poll(0).reading->chargeText, "18 to >80 Ah Battery");
    EXPECT_EQ(outcomes, (Strings{"ok 100", "Fail, Communicate error,please try again. ",
                                 "communication failed: the supply did not answer the read-back",
                                 "ok 103", "ok 104"}));
}

} // namespace
} // namespace brenvik::serve
