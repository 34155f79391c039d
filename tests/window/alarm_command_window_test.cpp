#include "window/alarm_command.h"

#include <sys/stat.h>

#include <QElapsedTimer>
#include <QLabel>
#include <QRegularExpression>
#include <QTest>
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "monitor/sensor_poll.h"
#include "support/temp_dir.h"
#include "window/alarm_monitor.h"
#include "window/form1.h"
#include "window_unit_test.h"

namespace quorvane {
namespace {

std::string SettingsFile() { return std::filesystem::read_symlink("/proc/self/exe").stem().string() + ".ini"; }

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    for (size_t from = 0, end = 0; (end = text.find('\n', from)) != std::string::npos; from = end + 1) {
        lines.push_back(text.substr(from, end - from));
    }
    return lines;
}

std::string Script(const std::string& path, const std::string& body) {
    testing::WriteFile(path, "#!/bin/sh\n" + body);
    ::chmod(path.c_str(), 0755);
    return path;
}

class AlarmCommandTest : public testing::WindowUnitTest {
protected:
    // A window whose polls read Temp 2 as `temp2` says.
    std::unique_ptr<TForm1> MakeForm(const std::string& command) {
        testing::WriteFile(SettingsFile(), "[Alarms]\r\nTemp2High=45\r\nCommand=" + command + "\r\n\r\n");
        auto form = std::make_unique<TForm1>();
        form->Edit1->setText(QStringLiteral("127.0.0.1"));
        form->Edit2->setText(QStringLiteral("8080"));
        form->SetPollFunction([this](const TUnitTarget&) {
            TReadingRecord readings;
            readings.Temp2 = temp2;
            return testing::AnsweredPoll(readings, 1'700'000'000'000);
        });
        return form;
    }
    std::string temp2;
};

// The command runs once at the start and once at the end of an alarm, with the event in its
// environment and nothing on its command line; a slow start is not overtaken by its end.
TEST_F(AlarmCommandTest, RunsOncePerStartAndEndWithTheEventInItsEnvironment) {
    const std::string record = directory_.File("record");
    const std::string command = Script(directory_.File("on alarm"),
                                       "[ \"$QUORVANE_STATE\" = start ] && sleep 0.3\n"
                                       "echo \"$#|$QUORVANE_ALARM|$QUORVANE_STATE|$QUORVANE_VALUE|$QUORVANE_LIMIT|"
                                       "$QUORVANE_UNIT|$QUORVANE_TIME\" >> '" + record + "'\n");
    auto form = MakeForm(command);
    for (const char* value : {"44", "46", "47", "40", "41"}) {
        temp2 = value;
        form->Timer1Timer();
    }
    QTRY_COMPARE_WITH_TIMEOUT(Lines(testing::ReadFile(record)).size(), size_t{2}, 5000);
    QTest::qWait(300);
    const std::vector<std::string> lines = Lines(testing::ReadFile(record));
    ASSERT_EQ(lines.size(), 2u);
    const QRegularExpression iso(QStringLiteral("\\|2023-11-1[45]T\\d\\d:\\d\\d:20[+-]\\d\\d:\\d\\d$"));
    EXPECT_EQ(lines[0].substr(0, lines[0].rfind('|')), "0|Temp2High|start|46|45|127.0.0.1:8080");
    EXPECT_EQ(lines[1].substr(0, lines[1].rfind('|')), "0|Temp2High|end|40|45|127.0.0.1:8080");
    for (const std::string& line : lines) {
        EXPECT_TRUE(iso.match(QString::fromStdString(line)).hasMatch()) << line;
    }
    EXPECT_FALSE(form->ReasonPanel->text().contains(QStringLiteral("Alarm command")))
        << "a command that ends with 0 says nothing: " << form->ReasonPanel->text().toStdString();
}

// A command that takes a minute never holds a poll; one that fails says so with its code and
// what it wrote on standard error; one that outlives its limit is killed and said to be.
TEST_F(AlarmCommandTest, NeverHoldsAPollAndTellsWhatWentWrong) {
    const std::string command = Script(directory_.File("slow"), "echo 'no mail server' >&2\nsleep 60\n");
    auto form = MakeForm(command);
    QElapsedTimer clock;
    clock.start();
    temp2 = "46";
    form->Timer1Timer();
    temp2 = "40";
    form->Timer1Timer();
    EXPECT_LT(clock.elapsed(), 5000) << "the polls waited for the command";
    EXPECT_EQ(form->Alarms->Commands()->Running(), 2u);

    TAlarmCommandRunner runner([&](const QString& line) { form->ShowNotice(line); }, std::chrono::milliseconds(300));
    TAlarmEvent event;
    event.Key = "Temp2High";
    runner.Run(command, event, {});
    QTRY_VERIFY_WITH_TIMEOUT(form->ReasonPanel->text().contains(QStringLiteral("killed after 0.3 s: no mail server")), 5000);
    EXPECT_EQ(runner.Running(), 0u);

    runner.Run(Script(directory_.File("failing"), "echo 'bad <b>'\"\\033[31m\" >&2\nexit 3\n"), event, {});
    QTRY_VERIFY_WITH_TIMEOUT(form->ReasonPanel->text().contains(QStringLiteral("(Temp2High start) ended with 3: bad <b>")),
                             5000);
    runner.Run(directory_.File("none"), event, {});
    EXPECT_TRUE(form->ReasonPanel->text().contains(QStringLiteral("did not start: No such file or directory")));
}

}  // namespace
}  // namespace quorvane
