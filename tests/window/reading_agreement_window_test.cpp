#include "window/form1.h"

#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "history/history_store.h"
#include "support/program_process.h"
#include "support/scripted_server.h"
#include "window/alarm_monitor.h"
#include "window_unit_test.h"

namespace quorvane {
namespace {

using testing::ScriptedPeer;
using testing::ScriptedServer;

// One answer a unit may well send: signs, exponents, hexadecimal, fractions where an input
// wants an integer, empty items.
const char* const kBodies[] = {
    "<html>V1:12.5,V2:0x10,V3:.5</html>",
    "<html>T1:+-5,T2:1e3,T3:5.</html>",
    "<html>F1:1200,F2:12abc,F3:+7</html>",
    "<html>I1:0x1,I2:1.0,I3:2,I4:,I5:1,I6:0,I7:on,I8:01,I9:$1,I10:-1,I11:1e0,I12:x1,I13:0,I14:1,I15:0x0,"
    "I16:4294967297</html>",
};

struct Analogue {
    const char* key;       // the alarm key and the CSV name
    const char* json;      // the JSON array
    const char* metric;    // the Prometheus family and its label
    const char* label;
    int index;             // 1..3
    int historyField;
    std::optional<double> number;  // what the text stands for
};

const Analogue kAnalogues[] = {
    {"Temp1", "temperature_celsius", "quorvane_temperature_celsius", "sensor", 1, kHistoryTempField, std::nullopt},
    {"Temp2", "temperature_celsius", "quorvane_temperature_celsius", "sensor", 2, kHistoryTempField + 1, 1000},
    {"Temp3", "temperature_celsius", "quorvane_temperature_celsius", "sensor", 3, kHistoryTempField + 2, 5},
    {"Fan1", "fan_speed_rpm", "quorvane_fan_speed_rpm", "fan", 1, kHistoryFanField, 1200},
    {"Fan2", "fan_speed_rpm", "quorvane_fan_speed_rpm", "fan", 2, kHistoryFanField + 1, std::nullopt},
    {"Fan3", "fan_speed_rpm", "quorvane_fan_speed_rpm", "fan", 3, kHistoryFanField + 2, 7},
    {"Volt1", "voltage_volts", "quorvane_voltage_volts", "rail", 1, kHistoryVoltField, 12.5},
    {"Volt2", "voltage_volts", "quorvane_voltage_volts", "rail", 2, kHistoryVoltField + 1, std::nullopt},
    {"Volt3", "voltage_volts", "quorvane_voltage_volts", "rail", 3, kHistoryVoltField + 2, 0.5},
};

// Input 1..16 as the lamp reads it: on, off, or no state at all.
enum class State { On, Off, Unknown };
const State kInputs[] = {State::On,  State::Unknown, State::Off, State::Unknown, State::On,      State::Off,
                         State::Unknown, State::On,  State::On,  State::Off,     State::Unknown, State::On,
                         State::Off, State::On,      State::Off, State::Unknown};

// Inputs 1..8 are watched for "on", 9..16 for "off"; every analogue reading has a high limit
// that any number here lies above.
std::string AlarmSection() {
    std::string section = "[Alarms]\r\n";
    for (const Analogue& reading : kAnalogues) section += std::string(reading.key) + "High=-1000000\r\n";
    for (int i = 1; i <= 16; ++i) section += "Input" + std::to_string(i) + (i <= 8 ? "=On\r\n" : "=Off\r\n");
    return section + "\r\n";
}

std::vector<ScriptedServer::Script> OnePoll() {
    std::vector<ScriptedServer::Script> scripts;
    for (const char* body : kBodies) {
        scripts.push_back([body = std::string(body)](ScriptedPeer& peer) {
            peer.ReceiveUntil();
            peer.Send("HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: " + std::to_string(body.size()) +
                      "\r\n\r\n" + body);
            peer.Close();
        });
    }
    return scripts;
}

// The items of a JSON array of numbers, booleans and nulls, as written.
std::vector<std::string> JsonArray(const std::string& json, const std::string& name) {
    const size_t open = json.find("\"" + name + "\":[");
    if (open == std::string::npos) return {};
    const size_t from = json.find('[', open) + 1;
    const std::string items = json.substr(from, json.find(']', from) - from);
    std::vector<std::string> result;
    for (size_t at = 0; at <= items.size();) {
        const size_t comma = std::min(items.find(',', at), items.size());
        result.push_back(items.substr(at, comma - at));
        at = comma + 1;
    }
    return result;
}

// The sample of one series, or nothing when the exposition leaves it out.
std::optional<double> Sample(const std::string& exposition, const std::string& metric, const std::string& label,
                             int index) {
    const std::string series = "\n" + metric + "{" + label + "=\"" + std::to_string(index) + "\"} ";
    const size_t at = exposition.find(series);
    if (at == std::string::npos) return std::nullopt;
    return std::strtod(exposition.c_str() + at + series.size(), nullptr);
}

std::optional<double> JsonNumber(const std::string& item) {
    if (item == "null") return std::nullopt;
    return std::strtod(item.c_str(), nullptr);
}

class ReadingAgreementTest : public testing::WindowUnitTest {};

// The window, its alarms, its history and the headless command's JSON and Prometheus reports
// read one hostile answer alike, reading by reading.
TEST_F(ReadingAgreementTest, EveryConsumerReadsAHostileAnswerAlike) {
    const std::string stem = std::filesystem::read_symlink("/proc/self/exe").stem().string();
    testing::WriteFile(stem + ".ini", AlarmSection());
    std::vector<ScriptedServer::Script> scripts = OnePoll();
    for (auto& script : OnePoll()) scripts.push_back(std::move(script));
    ScriptedServer server(scripts);

    std::vector<std::string> events;
    {
        auto form = std::make_unique<TForm1>();
        form->Edit1->setText(QStringLiteral("127.0.0.1"));
        form->Edit2->setText(QString::number(server.Port()));
        form->Timer1Timer();
        form->Timer1.SetEnabled(false);
        for (const TAlarmEvent& event : form->Alarms->LatestEvents()) events.push_back(event.Key);
        for (int i = 1; i <= 16; ++i) {
            const QColor lamp = form->D[i - 1]->palette().color(QPalette::Window);
            EXPECT_EQ(lamp == QColor(0, 255, 0), kInputs[i - 1] == State::On) << "lamp of input " << i;
        }
    }
    std::optional<THistoryPoll> row;
    THistoryStore(stem + ".history.sqlite3").ForEachPoll(0, INT64_MAX, [&](const THistoryPoll& poll) { row = poll; });
    ASSERT_TRUE(row && !row->FailureReason) << "the window's poll is in the history";

    const std::string textfile = directory_.File("quorvane.prom");
    const testing::ProgramRun headless = testing::RunProgram(
        testing::ProgramProcess::BesideTest("quorvane-poll"),
        {"--address", "127.0.0.1", "--port", std::to_string(server.Port()), "--format", "json", "--textfile", textfile},
        {}, {"QUORVANE_PASSWORD"});
    server.Stop();
    ASSERT_EQ(headless.exitCode, 0) << headless.errors;
    const std::string& json = headless.output;
    const std::string exposition = "\n" + testing::ReadFile(textfile);
    const auto alarmed = [&](const std::string& key) { return std::count(events.begin(), events.end(), key) == 1; };

    for (const Analogue& reading : kAnalogues) {
        SCOPED_TRACE(reading.key);
        EXPECT_EQ(row->Numbers[static_cast<size_t>(reading.historyField)], reading.number) << "history";
        const std::vector<std::string> items = JsonArray(json, reading.json);
        ASSERT_EQ(items.size(), 3u) << json;
        EXPECT_EQ(JsonNumber(items[static_cast<size_t>(reading.index - 1)]), reading.number) << "JSON";
        EXPECT_EQ(Sample(exposition, reading.metric, reading.label, reading.index), reading.number) << "Prometheus";
        EXPECT_EQ(alarmed(std::string(reading.key) + "High"), reading.number.has_value()) << "alarm";
    }
    const std::vector<std::string> inputs = JsonArray(json, "inputs_on");
    ASSERT_EQ(inputs.size(), 16u) << json;
    for (int i = 1; i <= 16; ++i) {
        SCOPED_TRACE("Input" + std::to_string(i));
        const State state = kInputs[i - 1];
        const std::optional<double> value =
            state == State::Unknown ? std::nullopt : std::optional<double>(state == State::On ? 1 : 0);
        EXPECT_EQ(row->Numbers[static_cast<size_t>(kHistoryInputField + i - 1)], value) << "history";
        EXPECT_EQ(inputs[static_cast<size_t>(i - 1)], state == State::Unknown ? "null" : state == State::On ? "true" : "false")
            << "JSON";
        EXPECT_EQ(Sample(exposition, "quorvane_input_on", "input", i), value) << "Prometheus";
        const bool watchedFor = i <= 8 ? state == State::On : state == State::Off;
        EXPECT_EQ(alarmed("Input" + std::to_string(i) + (i <= 8 ? "On" : "Off")), watchedFor) << "alarm";
    }
}

}  // namespace
}  // namespace quorvane
