#include "window/form1.h"

#include <QAccessible>
#include <QApplication>
#include <QElapsedTimer>
#include <QFontInfo>
#include <QFontMetrics>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QStatusBar>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "gui_test_support.h"
#include "window_unit_test.h"
#include "monitor/sensor_poll.h"
#include "platform/code_page.h"
#include "platform/gui/contrast.h"
#include "platform/gui/gui_text.h"
#include "platform/locale_text.h"
#include "support/scripted_sensor_unit.h"
#include "support/scripted_server.h"
#include "support/temp_dir.h"
#include "support/unit_sim_process.h"
#include "support/unused_port.h"

namespace quorvane {
namespace {

using platform::DialogRequest;
using testing::ClearRecordedDialogs;
using testing::RecordedDialogs;

const QColor kLime(0, 255, 0);
const QColor kSilver(192, 192, 192);

// The settings file of this test executable (the file is named after the executable).
std::string ExecutableStem() {
    return std::filesystem::path(std::filesystem::read_symlink("/proc/self/exe")).stem().string();
}
std::string SettingsFile() { return ExecutableStem() + ".ini"; }

QColor LampOf(const TForm1& form, int index) {
    return form.D[index - 1]->palette().color(QPalette::Window);
}

QString AccessibleText(QObject* object, QAccessible::Text which) {
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(object);
    return face ? face->text(which) : QString();
}

// Every window test runs in a fresh working directory (the settings file lives there) with
// zeroed counters, an empty reading record and no recorded dialogs.
class WindowTest : public testing::WindowUnitTest {
protected:
    WindowTest() { ClearRecordedDialogs(); }

    std::unique_ptr<TForm1> MakeForm() {
        auto form = std::make_unique<TForm1>();
        form->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        return form;
    }

    // Points the window at a loopback port with short time limits.
    static void Target(TForm1& form, int port) {
        form.Edit1->setText(QStringLiteral("127.0.0.1"));
        form.Edit2->setText(QString::number(port));
        form.UDCt->SetPosition(2);
        form.UDRt->SetPosition(2);
    }

};

std::string SettingsText(const std::string& section, const std::vector<std::string>& lines);

// The result text: the code, one CR and the time as "hh : mm : ss" with the regional
// separator.
void ExpectResult(const TForm1& form, int code) {
    const QString separator = platform::ToQString(platform::TimeSeparator());
    const QString pattern = QStringLiteral("^Response Code : %1\r\\d\\d %2 \\d\\d %2 \\d\\d$")
                                .arg(code)
                                .arg(QRegularExpression::escape(separator));
    EXPECT_TRUE(QRegularExpression(pattern).match(form.StResult->Caption()).hasMatch())
        << form.StResult->Caption().toStdString();
    EXPECT_EQ(form.StResult->Caption().count(QChar(u'\r')), 1);
    EXPECT_EQ(form.StResult->Caption().count(QChar(u'\n')), 0);
}

TEST_F(WindowTest, InitialContentCaptionAndFixedSize) {
    auto form = MakeForm();
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Quorvane Ver.0.1"));
    EXPECT_FALSE(form->StatusBar1Panel->text().isEmpty());
    EXPECT_EQ(form->Edit2->text(), QStringLiteral("80"));
    EXPECT_EQ(form->Edit3->text(), QStringLiteral("admin"));
    EXPECT_EQ(form->Edit4->text(), QStringLiteral("57203941"));
    EXPECT_EQ(form->MemoInt->text(), QStringLiteral("60"));
    EXPECT_EQ(form->Memo2->text(), QStringLiteral("2"));
    EXPECT_EQ(form->Memo1->text(), QStringLiteral("10"));
    EXPECT_EQ(form->StResult->Caption(), QStringLiteral("Response Code"));
    for (QLineEdit* box : {form->Memo4, form->Memo5, form->Memo6, form->Memo7, form->Memo8, form->Memo9,
                           form->MemoInterval, form->MemoError}) {
        EXPECT_EQ(box->text(), QStringLiteral("0")) << box->objectName().toStdString();
        EXPECT_EQ(box->size(), QSize(57, 21));
        EXPECT_EQ(box->focusPolicy() & Qt::TabFocus, 0) << "reading boxes take no tab stop";
    }
    for (QLineEdit* box : {form->Memo10, form->Memo11, form->Memo12}) EXPECT_TRUE(box->text().isEmpty());
    for (QLineEdit* box : {form->Memo2, form->Memo1, form->MemoInt}) EXPECT_NE(box->focusPolicy() & Qt::TabFocus, 0);
    for (int i = 1; i <= 16; ++i) EXPECT_EQ(LampOf(*form, i), kSilver);
    EXPECT_FALSE(form->Timer1.Enabled());
    EXPECT_EQ(form->StResult->size(), QSize(165, 29));
    EXPECT_EQ(form->GroupBox6->size(), QSize(465, 161));
    EXPECT_EQ(form->centralWidget()->width(), 473);
    EXPECT_EQ(form->minimumSize(), form->maximumSize()) << "the window has a fixed size";
    EXPECT_EQ(form->size(), QSize(473, form->menuBar()->height() + 423)) << "client area below the menu";
    EXPECT_FALSE(form->windowFlags() & Qt::WindowMaximizeButtonHint);
}

// Screen readers announce the names; accessibility-driven tools find a control by its
// component name in the description.
TEST_F(WindowTest, ControlsCarryComponentAndAccessibleNames) {
    auto form = MakeForm();
    struct Expected { QWidget* widget; const char* component; const char* name; };
    const Expected controls[] = {
        {form->Edit1, "Edit1", "IP Address"},         {form->Edit4, "Edit4", "Password"},
        {form->SpeedButton1, "SpeedButton1", "Get Status"}, {form->MemoError, "MemoError", "Error count"},
        {form->Memo4, "Memo4", "Fan 1"},              {form->Memo12, "Memo12", "Temperature 3"},
        {form->D[6], "D_07", "Input 7 off"},           {form->UDInt, "UDInt", "Interval spinner"},
    };
    for (const Expected& control : controls) {
        EXPECT_EQ(control.widget->objectName(), QString::fromLatin1(control.component));
        EXPECT_EQ(AccessibleText(control.widget, QAccessible::Description), QString::fromLatin1(control.component));
        EXPECT_EQ(AccessibleText(control.widget, QAccessible::Name), QString::fromLatin1(control.name))
            << control.component;
    }
    EXPECT_EQ(form->findChild<QLineEdit*>(QStringLiteral("MemoInt")), form->MemoInt);
    EXPECT_EQ(form->findChild<QFrame*>(QStringLiteral("D_16")), form->D[15]);
}

TEST_F(WindowTest, PasswordBoxMasksWithStarsAndTakesEightCharacters) {
    auto form = MakeForm();
    EXPECT_EQ(form->Edit4->echoMode(), QLineEdit::Password);
    EXPECT_EQ(form->Edit4->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, form->Edit4),
              static_cast<int>('*'));
    EXPECT_EQ(form->Edit4->displayText(), QStringLiteral("********"));
    form->Edit4->clear();
    form->Edit4->setFocus();
    QTest::keyClicks(form->Edit4, "abcdefghij");
    EXPECT_EQ(form->Edit4->text(), QStringLiteral("abcdefgh")) << "typing stops at eight characters";
}

// A longer password from the settings file is kept whole (and saved back whole): only typing
// is limited.
TEST_F(WindowTest, LongerLoadedPasswordIsNotCut) {
    testing::WriteFile(SettingsFile(), SettingsText(ExecutableStem(), {"Pass=0123456789ab"}));
    {
        auto form = MakeForm();
        EXPECT_EQ(form->Edit4->text(), QStringLiteral("0123456789ab"));
    }
    EXPECT_NE(testing::ReadFile(SettingsFile()).find("Pass=0123456789ab\r\n"), std::string::npos);
}

TEST_F(WindowTest, FontIsTheJapaneseGothicAt13PixelsAndShowsTheCelsiusSign) {
    auto form = MakeForm();
    EXPECT_EQ(form->font().pixelSize(), 13);
    EXPECT_TRUE(form->font().families().contains(QStringLiteral("IPAPGothic")));
    EXPECT_TRUE(form->GroupBox3->title().contains(QChar(0x2103)));
    const QFontInfo info(form->GroupBox3->font());
    if (info.family() != QStringLiteral("IPAPGothic")) GTEST_SKIP() << "IPAPGothic is not installed";
    EXPECT_TRUE(QFontMetrics(form->GroupBox3->font()).inFont(QChar(0x2103)));
}

// A click that puts "Get Status" down polls at once and starts the timer; the next click
// brings it up and stops the timer without polling.
TEST_F(WindowTest, GetStatusPollsTheSimulatorThenTogglesTheTimer) {
    testing::UnitSimProcess simulator;
    ASSERT_NE(simulator.Port(), 0) << simulator.Error();
    auto form = MakeForm();
    Target(*form, simulator.Port());

    QTest::mouseClick(form->SpeedButton1, Qt::LeftButton);
    for (const auto& dialog : RecordedDialogs()) ADD_FAILURE() << "unexpected dialog: " << dialog.text;
    EXPECT_TRUE(form->SpeedButton1->isChecked());
    EXPECT_TRUE(form->Timer1.Enabled());
    EXPECT_EQ(PollCount, 1);
    EXPECT_EQ(ErrorCount, 0);
    ExpectResult(*form, 200);
    EXPECT_EQ(form->MemoInterval->text(), QStringLiteral("1"));
    EXPECT_EQ(form->MemoError->text(), QStringLiteral("0"));
    EXPECT_FALSE(Reading.Volt1.empty());
    EXPECT_EQ(form->Memo7->text().toStdString(), Reading.Volt1);
    EXPECT_EQ(form->Memo11->text().toStdString(), Reading.Temp2);
    EXPECT_EQ(form->Memo6->text().toStdString(), Reading.Fan3);
    for (int i = 1; i <= 16; ++i) EXPECT_EQ(LampOf(*form, i), TForm1::LampColor(Reading.Input(i))) << i;

    QTest::mouseClick(form->SpeedButton1, Qt::LeftButton);
    EXPECT_FALSE(form->SpeedButton1->isChecked());
    EXPECT_FALSE(form->Timer1.Enabled());
    EXPECT_EQ(PollCount, 1) << "bringing the button up polls nothing";
}

TEST_F(WindowTest, ConnectFailureShowsMinusOneAndCountsAnError) {
    auto form = MakeForm();
    Target(*form, testing::UnusedLoopbackPort());
    QTest::mouseClick(form->SpeedButton1, Qt::LeftButton);
    ExpectResult(*form, -1);
    EXPECT_EQ(form->MemoInterval->text(), QStringLiteral("1"));
    EXPECT_EQ(form->MemoError->text(), QStringLiteral("1"));
    EXPECT_TRUE(form->Timer1.Enabled());
    EXPECT_TRUE(RecordedDialogs().empty()) << "a failed poll shows nothing but its code";

    // Double-click on the count box: both counts back to zero, on screen and in the counters.
    QTest::mouseDClick(form->GBCount, Qt::LeftButton, {}, QPoint(150, 15));
    EXPECT_EQ(form->MemoInterval->text(), QStringLiteral("0"));
    EXPECT_EQ(form->MemoError->text(), QStringLiteral("0"));
    EXPECT_EQ(PollCount, 0);
    EXPECT_EQ(ErrorCount, 0);
    form->Timer1Timer();
    EXPECT_EQ(form->MemoInterval->text(), QStringLiteral("1"));
    EXPECT_EQ(form->MemoError->text(), QStringLiteral("1"));
}

// Every value box takes its reading as the unit sent it; a lamp is lime exactly for an input
// that reads as the integer 1.
TEST_F(WindowTest, ReadingsFillTheBoxesAndLamps) {
    testing::ScriptedServer server(testing::ClosingSensorUnit(
        {"<html>V1:12.0,V2:5.0,V3:3.3</html>", "<html>T1:25.5,T2:-3,T3:40</html>", "<html>F1:1200,f2:950,F3:0</html>",
         "<html>Input:I1:1,I2:01,I3:0,I4:,I5:on,I6:2,I7:1,I8:0,I9:0,I10:0,I11:0,I12:0,I13:0,I14:0,I15:0,I16:1</html>"}));
    auto form = MakeForm();
    Target(*form, server.Port());
    QTest::mouseClick(form->SpeedButton1, Qt::LeftButton);
    server.Stop();
    ExpectResult(*form, 200);
    EXPECT_EQ(ErrorCount, 0);
    const std::vector<std::pair<QLineEdit*, const char*>> boxes = {
        {form->Memo7, "12.0"}, {form->Memo8, "5.0"},  {form->Memo9, "3.3"},
        {form->Memo10, "25.5"}, {form->Memo11, "-3"}, {form->Memo12, "40"},
        {form->Memo4, "1200"}, {form->Memo5, "950"},  {form->Memo6, "0"}};
    for (const auto& [box, text] : boxes) EXPECT_EQ(box->text(), QString::fromLatin1(text)) << box->objectName().toStdString();
    const std::vector<QColor> lamps = {kLime, kLime, kSilver, kSilver, kSilver, kSilver, kLime, kSilver,
                                       kSilver, kSilver, kSilver, kSilver, kSilver, kSilver, kSilver, kLime};
    for (int i = 1; i <= 16; ++i) EXPECT_EQ(LampOf(*form, i), lamps[static_cast<size_t>(i - 1)]) << "D_" << i;
    EXPECT_EQ(AccessibleText(form->D[0], QAccessible::Name), QStringLiteral("Input 1 on"));
    EXPECT_EQ(AccessibleText(form->D[2], QAccessible::Name), QStringLiteral("Input 3 off"));
}

// "Web Control" opens the unit's page without credentials, whatever the boxes hold.
TEST_F(WindowTest, WebControlOpensTheUnitPageWithoutCredentials) {
    auto form = MakeForm();
    form->Edit1->setText(QStringLiteral("127.0.0.1"));
    form->Edit2->setText(QStringLiteral("8080"));
    form->Edit3->setText(QStringLiteral("operator"));
    form->Edit4->setText(QStringLiteral("s3cr@t"));
    {
        testing::FakeOpener opener(0);
        QTest::mouseClick(form->SpeedButton2, Qt::LeftButton);
        form->Brenwick1->trigger();
        form->Tessivo1->trigger();
        const auto calls = opener.Calls();
        ASSERT_EQ(calls.size(), 3u);
        EXPECT_EQ(calls[0], "http://127.0.0.1:8080");
        EXPECT_EQ(calls[1], MakerHomePage);
        EXPECT_EQ(calls[2], UnitMakerHomePage);
        EXPECT_NE(calls[1].find("example.com"), std::string::npos);
        EXPECT_TRUE(RecordedDialogs().empty());
    }
    {
        testing::FakeOpener failing(3);
        QTest::mouseClick(form->SpeedButton2, Qt::LeftButton);
    }
    {
        testing::NoOpener none;
        form->Tessivo1->trigger();
    }
    const auto& dialogs = RecordedDialogs();
    ASSERT_EQ(dialogs.size(), 2u);
    EXPECT_EQ(dialogs[0].kind, DialogRequest::MessageDialog);
    EXPECT_EQ(dialogs[0].type, platform::TMsgDlgType::mtError);
    EXPECT_EQ(dialogs[0].text, "Error...http://127.0.0.1:8080");
    EXPECT_EQ(dialogs[1].text, std::string("Error...") + UnitMakerHomePage);
    EXPECT_EQ(PollCount, 0) << "opening a page changes nothing else";
}

// The interval spinner is the only way to the timer's interval: its arrows, and (mended) a
// number typed into its box once editing ends.
TEST_F(WindowTest, IntervalSpinnerSetsTheTimerInterval) {
    auto form = MakeForm();
    EXPECT_EQ(form->Timer1.Interval(), 60000u) << "the loaded interval applies even when it is 60";
    QTest::mouseClick(form->UDInt->UpButton(), Qt::LeftButton);
    EXPECT_EQ(form->Timer1.Interval(), 61000u);
    QTest::mouseClick(form->UDInt->DownButton(), Qt::LeftButton);
    QTest::mouseClick(form->UDInt->DownButton(), Qt::LeftButton);
    EXPECT_EQ(form->Timer1.Interval(), 59000u);
    EXPECT_EQ(form->MemoInt->text(), QStringLiteral("59"));

    form->MemoInt->setFocus();
    form->MemoInt->selectAll();
    QTest::keyClicks(form->MemoInt, "5");
    QTest::keyClick(form->MemoInt, Qt::Key_Enter);
    EXPECT_EQ(form->Timer1.Interval(), 5000u);
    form->MemoInt->setFocus();
    form->MemoInt->selectAll();
    QTest::keyClicks(form->MemoInt, "7");
    form->Edit1->setFocus();
    QApplication::processEvents();
    EXPECT_EQ(form->Timer1.Interval(), 7000u);

    // One step below 0 reaches the handler as -1: no interval at all, not one of 49 days.
    form->UDInt->SetPosition(0);
    QTest::mouseClick(form->UDInt->DownButton(), Qt::LeftButton);
    EXPECT_EQ(form->Timer1.Interval(), 0u);
    EXPECT_EQ(form->UDInt->Position(), 0);
    form->UDInt->SetPosition(7);

    // The other spinners do not touch the timer.
    QTest::mouseClick(form->UDCt->UpButton(), Qt::LeftButton);
    QTest::mouseClick(form->UDRt->UpButton(), Qt::LeftButton);
    EXPECT_EQ(form->Timer1.Interval(), 7000u);

    form->CloseX1->trigger();
    EXPECT_EQ(form->Timer1.Interval(), 0u);
}

// The timer is off while a poll runs and on again afterwards, also when the poll throws; with
// the button down it polls again one interval later.
TEST_F(WindowTest, TimerIsOffDuringAPollAndDrivesPeriodicPolls) {
    auto form = MakeForm();
    std::vector<bool> enabledDuringPoll;
    int polls = 0;
    form->SetPollFunction([&](const TUnitTarget& target) {
        enabledDuringPoll.push_back(form->Timer1.Enabled() || form->Timer1.Running());
        ++polls;
        EXPECT_EQ(target.Host, "127.0.0.1");
        EXPECT_EQ(target.UserName, "admin");
        EXPECT_EQ(target.Password, "57203941");
        EXPECT_EQ(target.Port, 80) << "a port box that holds no number polls port 80";
        EXPECT_EQ(target.ConnectTimeoutMs, 2000);
        EXPECT_EQ(target.ReadTimeoutMs, 10000);
        if (polls == 2) throw std::runtime_error("poll broke");
        return testing::AnsweredPoll();
    });
    form->Edit1->setText(QStringLiteral("127.0.0.1"));
    form->Edit2->setText(QStringLiteral("http"));
    form->MemoInt->setFocus();
    form->MemoInt->selectAll();
    QTest::keyClicks(form->MemoInt, "1");
    QTest::keyClick(form->MemoInt, Qt::Key_Return);
    ASSERT_EQ(form->Timer1.Interval(), 1000u);

    QTest::mouseClick(form->SpeedButton1, Qt::LeftButton);
    ASSERT_EQ(polls, 1);
    EXPECT_TRUE(form->Timer1.Enabled());
    // Two more ticks, one second apart after each poll; the second of them fails in the poll.
    QElapsedTimer clock;
    clock.start();
    while (polls < 3 && clock.elapsed() < 8000) QTest::qWait(20);
    ASSERT_EQ(polls, 3);
    EXPECT_GE(clock.elapsed(), 1800) << "ticks came faster than the interval";
    for (bool enabled : enabledDuringPoll) EXPECT_FALSE(enabled);
    EXPECT_TRUE(form->Timer1.Enabled()) << "re-enabled even after a failing poll";
    ASSERT_FALSE(RecordedDialogs().empty());
    EXPECT_EQ(RecordedDialogs()[0].text, "poll broke");
    QTest::mouseClick(form->SpeedButton1, Qt::LeftButton);
    const int stoppedAt = polls;
    QTest::qWait(1300);
    EXPECT_EQ(polls, stoppedAt);
}

// A poll that only records what the window handed it.
TForm1::PollFunction RecordingPoll(std::vector<TUnitTarget>& calls) {
    return [&calls](const TUnitTarget& target) {
        calls.push_back(target);
        return testing::AnsweredPoll();
    };
}

// "Get Status" takes no focus, so nothing ends the editing of the box typed into last.
TEST_F(WindowTest, TypedNumbersCountForTheNextPollWithoutEnter) {
    auto form = MakeForm();
    std::vector<TUnitTarget> calls;
    form->SetPollFunction(RecordingPoll(calls));
    for (auto [box, typed] : {std::pair{form->Memo2, "7"}, std::pair{form->Memo1, "3"}, std::pair{form->MemoInt, "5"}}) {
        box->setFocus();
        box->selectAll();
        QTest::keyClicks(box, typed);
    }
    QTest::mouseClick(form->SpeedButton1, Qt::LeftButton);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].ConnectTimeoutMs, 7000);
    EXPECT_EQ(calls[0].ReadTimeoutMs, 3000);
    EXPECT_EQ(form->Timer1.Interval(), 5000u);
    EXPECT_TRUE(form->Timer1.Enabled());
}

// Mouse, keyboard and a screen reader's toggle action all change the button's state; each
// change runs the handler once.
TEST_F(WindowTest, GetStatusRunsOnceForEveryChangeOfStateWhateverMadeIt) {
    auto form = MakeForm();
    std::vector<TUnitTarget> calls;
    form->SetPollFunction(RecordingPoll(calls));
    QAccessibleActionInterface* actions = QAccessible::queryAccessibleInterface(form->SpeedButton1)->actionInterface();
    ASSERT_NE(actions, nullptr);
    actions->doAction(QAccessibleActionInterface::toggleAction());
    EXPECT_TRUE(form->SpeedButton1->isChecked());
    EXPECT_EQ(calls.size(), 1u);
    EXPECT_TRUE(form->Timer1.Enabled());
    actions->doAction(QAccessibleActionInterface::toggleAction());
    EXPECT_FALSE(form->Timer1.Enabled());
    QTest::mouseClick(form->SpeedButton1, Qt::LeftButton);
    EXPECT_EQ(calls.size(), 2u);
    EXPECT_TRUE(form->Timer1.Enabled());

    // Brought up while a timed poll runs (only a screen reader gets through then): polling
    // stops once that poll has ended.
    form->SetPollFunction([&](const TUnitTarget& target) {
        calls.push_back(target);
        actions->doAction(QAccessibleActionInterface::toggleAction());
        return testing::AnsweredPoll();
    });
    form->Timer1Timer();
    EXPECT_EQ(calls.size(), 3u) << "the toggle during the poll polled once more";
    EXPECT_FALSE(form->SpeedButton1->isChecked());
    EXPECT_FALSE(form->Timer1.Enabled()) << "the timer goes on while the button is up";
}

// A Shift-JIS user name and a Latin-1 password: whatever the toolkit makes of them, a start,
// a poll and an exit send and write back the very bytes of the file.
TEST_F(WindowTest, SettingsBytesAreSentAndWrittenBackUnchanged) {
    const std::string userName = "\x83\x65\x83\x58\x83\x67";  // "テスト" in Shift-JIS
    const std::string password = "caf\xE9";
    const std::string original =
        SettingsText(ExecutableStem(), {"IPV4=127.0.0.1", "Port=80", "UserName=" + userName, "Pass=" + password,
                                        "Timeout=2", "RTimeout=10", "Interval=60"});
    testing::WriteFile(SettingsFile(), original);
    std::vector<TUnitTarget> calls;
    {
        platform::ScopedCodePage shiftJis(932);
        auto form = MakeForm();
        EXPECT_EQ(form->Edit3->text(), QString::fromUtf8("テスト"));
        form->SetPollFunction(RecordingPoll(calls));
        QTest::mouseClick(form->SpeedButton1, Qt::LeftButton);
    }
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].UserName, userName);
    EXPECT_EQ(calls[0].Password, password);
    EXPECT_EQ(testing::ReadFile(SettingsFile()), original);
}

std::string SettingsText(const std::string& section, const std::vector<std::string>& lines) {
    std::string text = "[" + section + "]\r\n";
    for (const std::string& line : lines) text += line + "\r\n";
    return text + "\r\n";
}

TEST_F(WindowTest, FirstStartWritesEveryDefaultInOrder) {
    { auto form = MakeForm(); }
    const std::string section = ExecutableStem();
    EXPECT_EQ(testing::ReadFile(SettingsFile()),
              SettingsText(section, {"IPV4=192.168.1.200", "Port=80", "UserName=admin", "Pass=57203941",
                                     "Timeout=2", "RTimeout=10", "Interval=60"}));
}

TEST_F(WindowTest, SettingsLoadAtCreationAndSaveAtDestruction) {
    // Keys and section in another case, one key missing, one number not a number.
    std::string section = platform::AnsiUpperCase(ExecutableStem());
    testing::WriteFile(SettingsFile(), SettingsText(section, {"ipv4=127.0.0.9", "port=81", "UserName=op",
                                                              "Pass=pw", "Timeout=abc", "RTimeout=3",
                                                              "Interval=5"}));
    {
        auto form = MakeForm();
        EXPECT_EQ(form->Edit1->text(), QStringLiteral("127.0.0.9"));
        EXPECT_EQ(form->Edit2->text(), QStringLiteral("81"));
        EXPECT_EQ(form->Edit3->text(), QStringLiteral("op"));
        EXPECT_EQ(form->Edit4->text(), QStringLiteral("pw"));
        EXPECT_EQ(form->UDCt->Position(), 2) << "a bad number reads as the spinner's value";
        EXPECT_EQ(form->UDRt->Position(), 3);
        EXPECT_EQ(form->UDInt->Position(), 5);
        EXPECT_EQ(form->Timer1.Interval(), 5000u);
        form->Edit2->setText(QStringLiteral("8081"));
        form->Edit4->setText(QStringLiteral("a:b@c"));
        QTest::mouseClick(form->UDRt->UpButton(), Qt::LeftButton);
        EXPECT_EQ(SettingsFileName, SettingsFile());
        EXPECT_EQ(SettingsSectionName, ExecutableStem());
    }
    const std::string text = testing::ReadFile(SettingsFile());
    for (const char* line : {"Port=8081\r\n", "Pass=a:b@c\r\n", "RTimeout=4\r\n", "Timeout=2\r\n", "Interval=5\r\n",
                             "UserName=op\r\n"}) {
        EXPECT_NE(text.find(line), std::string::npos) << line << " in\n" << text;
    }
    FinalizeMonitorWindowUnit();
    EXPECT_TRUE(SettingsFileName.empty());
    EXPECT_TRUE(SettingsSectionName.empty());
}

TEST_F(WindowTest, IntervalOutsideSixteenBitsTakesTheLowBits) {
    testing::WriteFile(SettingsFile(), SettingsText(ExecutableStem(), {"Interval=65546"}));
    auto form = MakeForm();
    EXPECT_EQ(form->UDInt->Position(), 10);
    EXPECT_EQ(form->Timer1.Interval(), 10000u);
}

// A settings file that cannot be written: the creation's failure goes to the error box under
// the application title, the window opens with its initial values, and its destruction
// reports once more and still ends. (A directory in the file's place fails for root too.)
TEST_F(WindowTest, UnwritableSettingsShowTheErrorBoxAndTheWindowStillOpens) {
    std::filesystem::create_directory(SettingsFile());
    {
        auto form = MakeForm();
        EXPECT_TRUE(form->isVisible());
        EXPECT_EQ(form->Edit2->text(), QStringLiteral("80"));
        EXPECT_EQ(form->Timer1.Interval(), 60000u);
        ASSERT_EQ(RecordedDialogs().size(), 1u);
        EXPECT_EQ(RecordedDialogs()[0].kind, DialogRequest::ErrorBox);
        EXPECT_EQ(RecordedDialogs()[0].title, "Quorvane");
        EXPECT_NE(RecordedDialogs()[0].text.find(SettingsFile()), std::string::npos) << RecordedDialogs()[0].text;
    }
    EXPECT_EQ(RecordedDialogs().size(), 2u);
    EXPECT_TRUE(std::filesystem::is_directory(SettingsFile()));
}

// A desktop's dark colour scheme (qt6ct's "darker"): light text on dark grey.
QPalette DarkDesktopPalette() {
    QPalette palette;
    const std::pair<QPalette::ColorRole, QRgb> roles[] = {
        {QPalette::WindowText, 0xffffff}, {QPalette::Button, 0x424245},     {QPalette::Light, 0x979797},
        {QPalette::Midlight, 0x5e5c5b},   {QPalette::Dark, 0x302f2e},       {QPalette::Mid, 0x4a4947},
        {QPalette::Text, 0xffffff},       {QPalette::BrightText, 0xffffff}, {QPalette::ButtonText, 0xffffff},
        {QPalette::Base, 0x3d3d3d},       {QPalette::Window, 0x222020},     {QPalette::Shadow, 0xe7e4e0},
        {QPalette::Highlight, 0x12608a},  {QPalette::HighlightedText, 0xf9f9f9}};
    for (const auto& [role, rgb] : roles) palette.setColor(role, QColor(rgb));
    return palette;
}

// How well a control's text stands out where the window draws it: the background is the
// region's most frequent colour, the text the colour that differs most from it.
double DrawnContrast(const QImage& window, const QRect& region) {
    std::map<QRgb, int> counts;
    for (int y = region.top(); y <= region.bottom(); ++y)
        for (int x = region.left(); x <= region.right(); ++x) ++counts[window.pixel(x, y)];
    const QRgb background = std::max_element(counts.begin(), counts.end(), [](const auto& a, const auto& b) {
                                return a.second < b.second;
                            })->first;
    double best = 1;
    for (const auto& [rgb, count] : counts) best = std::max(best, platform::ContrastRatio(QColor(rgb), QColor(background)));
    return best;
}

QLabel* LabelWithText(const QWidget& parent, const char* text) {
    for (QLabel* label : parent.findChildren<QLabel*>())
        if (label->text() == QString::fromUtf8(text)) return label;
    return nullptr;
}

// The window stays white on a dark desktop, and every text on it readable (it used to keep
// the desktop's white text on its white background); on a light desktop nothing changes.
TEST_F(WindowTest, TextStaysReadableOnLightAndDarkDesktops) {
    const QPalette desktop = QApplication::palette();
    for (const bool dark : {false, true}) {
        SCOPED_TRACE(dark ? "dark desktop" : "light desktop");
        QApplication::setPalette(dark ? DarkDesktopPalette() : desktop);
        auto form = MakeForm();
        auto expectReadable = [&](const char* what, const QWidget* widget, QRect region = QRect()) {
            ASSERT_NE(widget, nullptr) << what;
            if (region.isNull()) region = widget->rect();
            const QImage drawn = form->grab().toImage();
            region.translate(widget->mapTo(form.get(), QPoint(0, 0)));
            EXPECT_GE(DrawnContrast(drawn, region & drawn.rect()), platform::kReadableContrast) << what;
        };
        expectReadable("menu", form->menuBar(), form->menuBar()->actionGeometry(form->FileF1->menuAction()));
        expectReadable("caption", LabelWithText(*form->GroupBox7, "Connect Timeout"));
        expectReadable("unit", LabelWithText(*form->GroupBox7, "Sec"));
        expectReadable("response code", form->StResult);
        expectReadable("count label", LabelWithText(*form->GBCount, "Get"));
        expectReadable("status bar", form->StatusBar1Panel);
        QTabBar* tabs = form->PageControl1->tabBar();
        expectReadable("tab", tabs, tabs->tabRect(1));
        form->PageControl1->setCurrentIndex(2);
        QApplication::processEvents();
        QWidget* alarms = form->PageControl1->currentWidget();
        expectReadable("alarms table", LabelWithText(*alarms, "Temp 1 (°C)"));
        expectReadable("alarms header", LabelWithText(*alarms, "Reading"));
    }
    QApplication::setPalette(desktop);
}

// Every label shows its whole text and no other control beside it lies over it ("Connect
// Timeout" and its "Sec" used to run under the response code), at the window's own font and
// at a larger and a wider one.
TEST_F(WindowTest, EveryLabelShowsItsWholeTextAndNothingCoversIt) {
    auto form = MakeForm();
    QFont larger = form->font();
    larger.setPixelSize(14);
    QFont wider = form->font();
    wider.setFamilies({QStringLiteral("DejaVu Sans")});
    for (const QFont& font : {form->font(), larger, wider}) {
        SCOPED_TRACE(QFontInfo(font).family().toStdString() + " " + std::to_string(font.pixelSize()) + " px");
        form->setFont(font);
        for (int page = 0; page < form->PageControl1->count(); ++page) {
            form->PageControl1->setCurrentIndex(page);
            QApplication::processEvents();
            for (const QLabel* label : form->findChildren<QLabel*>()) {
                if (!label->isVisible() || label->text().isEmpty() || label->wordWrap()) continue;
                const std::string text = label->text().toStdString();
                for (const QString& line : label->text().split(QChar(u'\n'))) {
                    EXPECT_LE(label->fontMetrics().horizontalAdvance(line), label->contentsRect().width()) << text;
                }
                for (const QObject* sibling : label->parent()->children()) {
                    const auto* widget = qobject_cast<const QWidget*>(sibling);
                    if (widget == nullptr || widget == label || !widget->isVisible()) continue;
                    EXPECT_FALSE(label->geometry().intersects(widget->geometry()))
                        << text << " lies under " << widget->metaObject()->className() << " "
                        << widget->objectName().toStdString();
                }
            }
        }
    }
}

}  // namespace
}  // namespace quorvane
