#include "window/watch_page.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <QToolButton>
#include <QWindow>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "monitor/sensor_poll.h"
#include "platform/file_system.h"
#include "support/temp_dir.h"
#include "support/unit_sim_process.h"
#include "window/alarm_monitor.h"
#include "window/alarm_tray.h"
#include "window/form1.h"
#include "window_unit_test.h"

namespace quorvane {
namespace {

std::string ProgramName() { return std::filesystem::read_symlink("/proc/self/exe").stem().string(); }
std::string SettingsFile() { return ProgramName() + ".ini"; }

class WatchingTest : public testing::WindowUnitTest {
protected:
    ~WatchingTest() override { TAlarmTray::SetPresenceForTests(std::nullopt); }

    std::unique_ptr<TForm1> MakeForm() {
        auto form = std::make_unique<TForm1>();
        form->Edit1->setText(QStringLiteral("127.0.0.1"));
        form->SetPollFunction([](const TUnitTarget&) {
            TReadingRecord readings;
            readings.Temp2 = "30";
            return testing::AnsweredPoll(readings, 1'700'000'000'000);
        });
        form->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        return form;
    }
};

// The setting starts watching as the command line's --watch does, without a click; the
// section is written only when the user changes a switch, so a first start keeps its file.
TEST_F(WatchingTest, TheSettingStartsWatchingWithoutAClickAndIsWrittenOnlyWhenChanged) {
    {
        auto form = MakeForm();
        const std::string firstStart = testing::ReadFile(SettingsFile());
        form->Watching->StartIfAsked(false);
        QTest::qWait(50);
        EXPECT_EQ(PollCount, 0) << "neither asked nor set";
        EXPECT_EQ(testing::ReadFile(SettingsFile()), firstStart);
        form->Watching->StartWatchingBox->click();
        EXPECT_EQ(testing::ReadFile(SettingsFile()), firstStart + "[Watch]\r\nStartWatching=1\r\nKeepInTray=0\r\n\r\n");
    }
    EXPECT_TRUE(TWatchPage::WatchRequested({QStringLiteral("Quorvane"), QStringLiteral("--watch")}));
    EXPECT_FALSE(TWatchPage::WatchRequested({QStringLiteral("--watch")})) << "the program's own name is no option";
    auto form = MakeForm();
    form->Watching->StartIfAsked(false);
    QTRY_COMPARE_WITH_TIMEOUT(PollCount, 1, 2000);
    EXPECT_TRUE(form->SpeedButton1->isChecked());
    EXPECT_TRUE(form->Timer1.Enabled());
}

// With the switch on and a tray, the window's close button hides the window and polling goes
// on; the tray's Quit ends the program (its settings saved as at any end).
TEST_F(WatchingTest, ClosingKeepsWatchingInTheTrayUntilQuit) {
    TAlarmTray::SetPresenceForTests(true);
    testing::WriteFile(SettingsFile(), "[" + ProgramName() + "]\r\nInterval=1\r\n\r\n[Watch]\r\nKeepInTray=1\r\n\r\n");
    auto form = MakeForm();
    TAlarmTray* tray = form->Alarms->Tray();
    ASSERT_TRUE(tray->Available());
    EXPECT_TRUE(tray->Visible()) << "kept in the tray: the icon is there";
    EXPECT_EQ(tray->State(), TAlarmTray::TState::Idle);
    form->SpeedButton1->click();
    EXPECT_EQ(tray->State(), TAlarmTray::TState::Quiet);

    // As the close button asks.
    form->close();
    QTest::qWait(50);
    EXPECT_FALSE(form->isVisible());
    EXPECT_FALSE(QApplication::quitOnLastWindowClosed()) << "a message box closed meanwhile must not end it";
    QTRY_VERIFY_WITH_TIMEOUT(PollCount >= 2, 3000);

    QMenu* menu = tray->Menu();
    QAction* pause = tray->PauseAction();
    EXPECT_EQ(pause->text(), QStringLiteral("P&ause watching"));
    pause->trigger();
    EXPECT_FALSE(form->SpeedButton1->isChecked());
    EXPECT_EQ(tray->State(), TAlarmTray::TState::Idle);
    EXPECT_EQ(pause->text(), QStringLiteral("&Resume watching"));
    menu->actions().at(0)->trigger();  // Show
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(QApplication::quitOnLastWindowClosed());

    // The program's own close requests end it, tray or not: the session's end as the window's
    // close, and Quit.
    form->Watching->CloseProgram();
    EXPECT_FALSE(form->isVisible());
    form->show();
    form->UDInt->SetPosition(7);
    menu->actions().back()->trigger();  // Quit
    EXPECT_EQ(form->Timer1.Interval(), 0u);
    form.reset();
    EXPECT_NE(testing::ReadFile(SettingsFile()).find("\r\nInterval=7\r\n"), std::string::npos);
}

TEST_F(WatchingTest, WithoutATrayClosingEndsAsBefore) {
    TAlarmTray::SetPresenceForTests(false);
    testing::WriteFile(SettingsFile(), "[Watch]\r\nKeepInTray=1\r\n\r\n");
    auto form = MakeForm();
    EXPECT_FALSE(form->Watching->NoteLabel->text().isEmpty()) << "it says that closing ends the program";
    QCloseEvent close;
    EXPECT_FALSE(form->Watching->CloseToTray(close));
    EXPECT_TRUE(close.isAccepted());
}

// The login's autostart entry runs this very program with --watch in the folder of its
// settings; switching it off removes it.
TEST_F(WatchingTest, StartAtLoginWritesAndRemovesTheAutostartEntry) {
    testing::TempDir config;
    const char* previous = std::getenv("XDG_CONFIG_HOME");
    const std::string saved = previous != nullptr ? previous : "";
    ::setenv("XDG_CONFIG_HOME", config.Path().c_str(), 1);
    {
        auto form = MakeForm();
        const std::string entry = (config.Path() / "autostart" / "quorvane.desktop").string();
        form->Watching->StartAtLoginBox->click();
        const std::string text = testing::ReadFile(entry);
        const std::string folder = std::filesystem::current_path().string();
        EXPECT_NE(text.find("\nExec=\"" + platform::ExecutablePath() + "\" --watch\n"), std::string::npos) << text;
        EXPECT_NE(text.find("\nPath=" + folder + "\n"), std::string::npos) << text;
        form->Watching->StartAtLoginBox->click();
        EXPECT_FALSE(std::filesystem::exists(entry));
        EXPECT_TRUE(form->Watching->NoteLabel->text().isEmpty() || !TAlarmTray::Present());
    }
    if (previous != nullptr) ::setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
    else ::unsetenv("XDG_CONFIG_HOME");
}

// After the unit stops answering, every box and lamp still shows its last reading but says it
// is old: greyed, and its tooltip and accessible description tell when it was read; the status
// bar tells since when no poll succeeded. The next good poll brings the normal look back.
TEST_F(WatchingTest, OldReadingsLookOldAfterTheSimulatorStops) {
    auto form = std::make_unique<TForm1>();
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    form->Edit1->setText(QStringLiteral("127.0.0.1"));
    form->UDCt->SetPosition(1);
    form->UDRt->SetPosition(1);
    const QColor normalText = form->Memo11->palette().color(QPalette::Text);
    auto poll = [&](std::optional<testing::UnitSimProcess>& simulator) {
        form->Edit2->setText(QString::number(simulator ? simulator->Port() : 1));
        form->Timer1Timer();
    };
    std::optional<testing::UnitSimProcess> simulator(std::in_place);
    ASSERT_NE(simulator->Port(), 0) << simulator->Error();
    poll(simulator);
    ASSERT_EQ(ErrorCount, 0);
    const QString temp2 = form->Memo11->text();
    const QColor lamp3 = form->D[2]->palette().color(QPalette::Window);
    EXPECT_TRUE(form->Memo11->toolTip().isEmpty());
    EXPECT_EQ(form->Memo11->accessibleDescription(), QStringLiteral("Memo11"));

    simulator.reset();
    poll(simulator);
    ASSERT_EQ(ErrorCount, 1);
    EXPECT_EQ(form->Memo11->text(), temp2) << "the last reading stays";
    EXPECT_NE(form->Memo11->palette().color(QPalette::Text), normalText);
    EXPECT_NE(form->D[2]->palette().color(QPalette::Window), lamp3) << "the lamp is muted";
    EXPECT_TRUE(form->Memo11->toolTip().startsWith(QStringLiteral("Old reading, read at "))) << form->Memo11->toolTip().toStdString();
    EXPECT_TRUE(form->Memo11->toolTip().endsWith(QStringLiteral(" s ago")));
    EXPECT_TRUE(form->D[2]->accessibleDescription().startsWith(QStringLiteral("Old reading, read at ")));
    EXPECT_TRUE(form->ReasonPanel->text().contains(QStringLiteral(" · no good poll since "))) << form->ReasonPanel->text().toStdString();

    simulator.emplace();
    ASSERT_NE(simulator->Port(), 0) << simulator->Error();
    poll(simulator);
    EXPECT_EQ(ErrorCount, 1);
    EXPECT_EQ(form->Memo11->palette().color(QPalette::Text), normalText);
    EXPECT_EQ(form->D[2]->palette().color(QPalette::Window), TForm1::LampColor(Reading.Input3));
    EXPECT_TRUE(form->Memo11->toolTip().isEmpty());
    EXPECT_EQ(form->Memo11->accessibleDescription(), QStringLiteral("Memo11"));
}

}  // namespace
}  // namespace quorvane
