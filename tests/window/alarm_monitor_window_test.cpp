#include "window/alarm_monitor.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QTextDocument>
#include <QToolButton>
#include <QWheelEvent>
#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "window/alarm_tray.h"
#include "window/alarms_page.h"
#include "window/form1.h"
#include "monitor/sensor_poll.h"
#include "window_unit_test.h"
#include "support/private_session_bus.h"
#include "support/scripted_server.h"
#include "support/temp_dir.h"

namespace quorvane {
namespace {

const char* const kNotifications = "org.freedesktop.Notifications";
const char* const kNotificationsPath = "/org/freedesktop/Notifications";

// A stand-in for the desktop's notification service on the private bus: records each Notify
// call and answers it as the real one does, with an id.
class NotificationRecorder : public QDBusVirtualObject {
public:
    struct Notice {
        QString title;
        QString body;
        int urgency = -1;
        uint replacesId = 0;
    };

    explicit NotificationRecorder(const std::string& address) {
        QDBusConnection connection = QDBusConnection::connectToBus(QString::fromStdString(address), kConnection);
        connection.registerVirtualObject(QString::fromLatin1(kNotificationsPath), this);
        registered_ = connection.registerService(QString::fromLatin1(kNotifications));
    }
    ~NotificationRecorder() override { QDBusConnection::disconnectFromBus(kConnection); }

    bool Registered() const { return registered_; }
    const std::vector<Notice>& Notices() const { return notices_; }

    QString introspect(const QString&) const override { return QString(); }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        if (message.member() == QStringLiteral("GetCapabilities")) {
            // As the usual desktops answer: bodies may hold markup.
            connection.send(message.createReply(QStringList{QStringLiteral("body"), QStringLiteral("body-markup")}));
            return true;
        }
        if (message.member() != QStringLiteral("Notify") || message.signature() != QStringLiteral("susssasa{sv}i")) {
            return false;
        }
        const QList<QVariant> arguments = message.arguments();
        const QVariantMap hints = qdbus_cast<QVariantMap>(arguments.at(6));
        notices_.push_back({arguments.at(3).toString(), arguments.at(4).toString(),
                            hints.contains(QStringLiteral("urgency")) ? hints.value(QStringLiteral("urgency")).toInt() : -1,
                            arguments.at(1).toUInt()});
        connection.send(message.createReply(QVariant::fromValue(static_cast<uint>(notices_.size()))));
        return true;
    }

private:
    static inline const QString kConnection = QStringLiteral("notification-recorder");
    bool registered_ = false;
    std::vector<Notice> notices_;
};

// One scripted poll: Temp 2 (and Temp 1 and Fan 1) as the unit sends them, or a poll that fails.
struct Poll {
    std::string temp2;
    bool answered = true;
    std::string temp1 = "20";
    std::string fan1 = "2000";
};

class AlarmWindowTest : public testing::WindowUnitTest {
protected:
    static std::string SettingsFile() {
        return std::filesystem::read_symlink("/proc/self/exe").stem().string() + ".ini";
    }

    std::unique_ptr<TForm1> MakeForm() {
        auto form = std::make_unique<TForm1>();
        form->Edit1->setText(QStringLiteral("127.0.0.1"));
        form->SetPollFunction([](const TUnitTarget&) {
            const int64_t startedAtMs = 1'700'000'000'000;
            if (!next.answered) return testing::FailedPoll("Connect timed out.", startedAtMs);
            TReadingRecord readings;
            readings.Temp2 = next.temp2;
            readings.Temp1 = next.temp1;
            readings.Fan1 = next.fan1;
            return testing::AnsweredPoll(readings, startedAtMs);
        });
        return form;
    }

    // Runs one poll of the window and hands back the alarm events it caused.
    static std::vector<std::string> RunPoll(TForm1& form, Poll poll) {
        next = std::move(poll);
        form.Timer1Timer();
        std::vector<std::string> keys;
        for (const TAlarmEvent& event : form.Alarms->LatestEvents()) {
            keys.push_back(event.Key + (event.Started ? " started" : " ended"));
        }
        return keys;
    }

    static bool BoxIsRed(const QLineEdit* box) {
        const QColor color = box->palette().color(QPalette::Base);
        return color.red() > 200 && color.green() < 128 && color.blue() < 128;
    }

    static inline Poll next;
};

using Keys = std::vector<std::string>;

// The window on a private session bus with the notification stand-in already listening there.
class AlarmNotificationTest : public AlarmWindowTest {
protected:
    void SetUp() override {
        ASSERT_FALSE(bus_.Address().empty()) << bus_.Error();
        recorder_ = std::make_unique<NotificationRecorder>(bus_.Address());
        ASSERT_TRUE(recorder_->Registered());
    }

    testing::PrivateSessionBus bus_;
    std::unique_ptr<NotificationRecorder> recorder_;
};

TEST_F(AlarmNotificationTest, NotifiesOncePerCrossingAndWhenTheUnitFallsSilent) {
    testing::WriteFile(SettingsFile(), "[Alarms]\r\nTemp2High=45\r\nUnitSilentEnabled=1\r\nUnitSilentPolls=3\r\n\r\n");
    auto form = MakeForm();

    EXPECT_EQ(RunPoll(*form, {"44"}), Keys{});
    EXPECT_EQ(RunPoll(*form, {"45.5"}), Keys{"Temp2High started"});
    EXPECT_TRUE(BoxIsRed(form->Memo11));
    // Not by colour alone: the tooltip and what a screen reader reads say so too.
    EXPECT_EQ(form->Memo11->toolTip(), QStringLiteral("Alarm: Temp 2 above 45 °C"));
    EXPECT_EQ(form->Memo11->accessibleDescription(), QStringLiteral("Alarm: Temp 2 above 45 °C (Memo11)"));
    // Hovering just below the limit stays inside 2 % of it: no end yet.
    EXPECT_EQ(RunPoll(*form, {"45.2"}), Keys{});
    EXPECT_EQ(RunPoll(*form, {"44.5"}), Keys{});
    EXPECT_EQ(RunPoll(*form, {"n/a"}), Keys{});
    EXPECT_EQ(RunPoll(*form, {"44"}), Keys{"Temp2High ended"});
    EXPECT_FALSE(BoxIsRed(form->Memo11));
    EXPECT_EQ(form->Memo11->toolTip(), QString());
    EXPECT_EQ(RunPoll(*form, {"", false}), Keys{});
    EXPECT_EQ(RunPoll(*form, {"", false}), Keys{});
    EXPECT_EQ(RunPoll(*form, {"", false}), Keys{"UnitSilent started"});
    EXPECT_EQ(RunPoll(*form, {"", false}), Keys{});
    EXPECT_EQ(RunPoll(*form, {"44"}), Keys{"UnitSilent ended"});

    QTRY_COMPARE_WITH_TIMEOUT(recorder_->Notices().size(), size_t{4}, 5000);
    const std::vector<NotificationRecorder::Notice>& notices = recorder_->Notices();
    EXPECT_EQ(notices[0].title, QStringLiteral("Quorvane: Temp 2 above 45 °C"));
    EXPECT_EQ(notices[0].urgency, 2);
    EXPECT_TRUE(notices[0].body.contains(QStringLiteral("45.5 °C"))) << notices[0].body.toStdString();
    EXPECT_TRUE(notices[0].body.contains(QStringLiteral("127.0.0.1"))) << notices[0].body.toStdString();
    EXPECT_EQ(notices[1].title, QStringLiteral("Quorvane: Temp 2 back to normal"));
    EXPECT_EQ(notices[1].urgency, 1);
    EXPECT_EQ(notices[2].title, QStringLiteral("Quorvane: the unit does not answer"));
    EXPECT_EQ(notices[2].urgency, 2);
    EXPECT_EQ(notices[3].title, QStringLiteral("Quorvane: the unit answers again"));
    EXPECT_FALSE(form->ReasonPanel->text().contains(QStringLiteral("notification"))) << form->ReasonPanel->text().toStdString();
}

TEST_F(AlarmWindowTest, WithoutANotificationServiceTheWindowSaysSoOnceAndStillShowsTheAlarm) {
    testing::PrivateSessionBus bus;
    ASSERT_FALSE(bus.Address().empty()) << bus.Error();
    testing::WriteFile(SettingsFile(), "[Alarms]\r\nTemp2Low=10\r\n\r\n");
    auto form = MakeForm();

    RunPoll(*form, {"9"});
    EXPECT_TRUE(BoxIsRed(form->Memo11));
    EXPECT_TRUE(form->Alarms->Page()->ActiveLabel->text().contains(QStringLiteral("Temp 2 below 10")));
    QTRY_VERIFY_WITH_TIMEOUT(form->ReasonPanel->text().startsWith(QStringLiteral("No desktop notifications")), 5000);
    form->ShowNotice(QString());
    RunPoll(*form, {"11"});
    EXPECT_FALSE(BoxIsRed(form->Memo11));
    QTest::qWait(200);
    EXPECT_TRUE(form->ReasonPanel->text().isEmpty()) << "said once, not at every alarm";
    // The page and the tray keep saying it until one arrives again.
    TAlarmsPage& page = *form->Alarms->Page();
    EXPECT_TRUE(page.NotificationLabel->text().startsWith(QStringLiteral("Notifications not delivered: ")))
        << page.NotificationLabel->text().toStdString();
    page.TestButton->click();
    QTRY_VERIFY_WITH_TIMEOUT(page.NotificationLabel->text().startsWith(QStringLiteral("Test notification not delivered.")), 5000);

    NotificationRecorder recorder(bus.Address());
    ASSERT_TRUE(recorder.Registered());
    page.TestButton->click();
    QTRY_COMPARE_WITH_TIMEOUT(page.NotificationLabel->text(), QStringLiteral("Test notification delivered."), 5000);
    EXPECT_TRUE(form->Alarms->NotificationProblem().isEmpty());
}

// Alarms that start in one poll are told in one notification that names each with its value;
// their ends likewise, in the place of the start's.
TEST_F(AlarmNotificationTest, AlarmsOfOnePollMakeOneNotificationAndTheirEndReplacesIt) {
    testing::WriteFile(SettingsFile(), "[Alarms]\r\nTemp1High=40\r\nTemp2High=45\r\nFan1Low=1000\r\n\r\n");
    auto form = MakeForm();
    EXPECT_EQ(RunPoll(*form, {"44"}), Keys{});
    EXPECT_EQ(RunPoll(*form, {"46", true, "41", "900"}).size(), 3u);
    QTRY_COMPARE_WITH_TIMEOUT(recorder_->Notices().size(), size_t{1}, 5000);
    QTest::qWait(100);  // the id of the start arrives with its answer
    EXPECT_EQ(RunPoll(*form, {"40", true, "30", "2000"}).size(), 3u);
    QTRY_COMPARE_WITH_TIMEOUT(recorder_->Notices().size(), size_t{2}, 5000);
    const NotificationRecorder::Notice& start = recorder_->Notices()[0];
    EXPECT_EQ(start.title, QStringLiteral("Quorvane: 3 alarms"));
    for (const char* line : {"Temp 1 above 40 °C: Temp 1 is 41 °C\n", "Temp 2 above 45 °C: Temp 2 is 46 °C\n",
                             "Fan 1 below 1000 rpm: Fan 1 is 900 rpm\n", ", unit 127.0.0.1"}) {
        EXPECT_TRUE(start.body.contains(QString::fromUtf8(line))) << line << " in " << start.body.toStdString();
    }
    EXPECT_EQ(start.urgency, 2);
    const NotificationRecorder::Notice& end = recorder_->Notices()[1];
    EXPECT_EQ(end.title, QStringLiteral("Quorvane: 3 alarms ended"));
    EXPECT_EQ(end.replacesId, 1u) << "the service gave the start the id 1";
    QTest::qWait(100);
    EXPECT_EQ(recorder_->Notices().size(), 2u);
}

// Text from the unit is data: a reason phrase that looks like markup reaches the notification
// body (whose service reads markup) and the tray's tooltip escaped, so it shows as written.
TEST_F(AlarmNotificationTest, MarkupFromTheUnitIsShownAsWrittenInNotificationAndTooltip) {
    TAlarmTray::SetPresenceForTests(true);
    testing::WriteFile(SettingsFile(), "[Alarms]\r\nUnitSilentEnabled=1\r\nUnitSilentPolls=1\r\n\r\n");
    auto form = std::make_unique<TForm1>();
    testing::ScriptedServer unit({[](testing::ScriptedPeer& peer) {
        peer.ReceiveUntil();
        peer.Send("HTTP/1.1 500 <b>x</b> &amp;\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
    }});
    form->Edit1->setText(QStringLiteral("127.0.0.1"));
    form->Edit2->setText(QString::number(unit.Port()));
    form->UDRt->SetPosition(2);
    form->SpeedButton1->click();
    ASSERT_EQ(ErrorCount, 1);

    QTRY_COMPARE_WITH_TIMEOUT(recorder_->Notices().size(), size_t{1}, 5000);
    const QString body = recorder_->Notices()[0].body;
    EXPECT_TRUE(body.contains(QStringLiteral("(The unit answered 500 &lt;b&gt;x&lt;/b&gt; &amp;amp;)"))) << body.toStdString();
    TAlarmTray& tray = *form->Alarms->Tray();
    EXPECT_EQ(tray.State(), TAlarmTray::TState::NoAnswer);
    QTextDocument shown;
    shown.setHtml(tray.ToolTip());
    EXPECT_TRUE(Qt::mightBeRichText(tray.ToolTip()));
    EXPECT_TRUE(shown.toPlainText().contains(QStringLiteral("failed: The unit answered 500 <b>x</b> &amp;")))
        << tray.ToolTip().toStdString();
    EXPECT_TRUE(shown.toPlainText().contains(QStringLiteral("\nthe unit does not answer"))) << "the alarm, on a line of its own";
    TAlarmTray::SetPresenceForTests(std::nullopt);
}

TEST_F(AlarmWindowTest, TypedLimitsAreCheckedAndOnlyAChangeWritesTheSettings) {
    auto form = MakeForm();
    TAlarmsPage& page = *form->Alarms->Page();
    const std::string firstStart = testing::ReadFile(SettingsFile());
    auto type = [&](int row, const char* low, const char* high) {
        page.LowEdit(row)->setText(QString::fromUtf8(low));
        page.HighEdit(row)->setText(QString::fromUtf8(high));
        emit page.HighEdit(row)->editingFinished();
        return page.RowReason(row)->text().toStdString();
    };
    EXPECT_EQ(type(1, "", ""), "");
    EXPECT_EQ(type(1, "", "4O"), "\"4O\" is not a number");
    EXPECT_EQ(type(1, "50", "45"), "low must be below high");
    EXPECT_EQ(testing::ReadFile(SettingsFile()), firstStart) << "nothing valid was defined yet";

    EXPECT_EQ(type(1, "5", " 45 "), "");
    const std::string written = testing::ReadFile(SettingsFile());
    EXPECT_EQ(written.substr(0, firstStart.size()), firstStart);
    EXPECT_EQ(written.substr(firstStart.size()), "[Alarms]\r\nTemp2Low=5\r\nTemp2High=45\r\n\r\n");

    // The rules take effect at once.
    RunPoll(*form, {"46"});
    EXPECT_TRUE(BoxIsRed(form->Memo11));
}

// What a hand-edited file got wrong is said beside the row it concerns, and limits that cross
// raise no alarm whatever the value.
TEST_F(AlarmWindowTest, FileProblemsShowBesideTheirRowsAndCrossedLimitsStayQuiet) {
    testing::WriteFile(SettingsFile(), "[Alarms]\r\nTemp1High=40\r\n\r\n[alarms]\r\nTemp2Low=50\r\nTemp2High=45\r\n\r\n");
    auto form = MakeForm();
    TAlarmsPage& page = *form->Alarms->Page();
    EXPECT_TRUE(page.RowReason(0)->text().contains(QStringLiteral("is ignored"))) << page.RowReason(0)->text().toStdString();
    EXPECT_EQ(page.RowReason(1)->text(), QStringLiteral("low must be below high; not watched"));
    EXPECT_EQ(page.LowEdit(1)->text(), QStringLiteral("50"));
    EXPECT_EQ(RunPoll(*form, {"47"}), Keys{});
    EXPECT_FALSE(BoxIsRed(form->Memo11));
}

// Turning the wheel over the Alarms page scrolls it, also when the pointer passes over an
// input's drop-down list on the way: only a list that has the keyboard focus takes the wheel.
TEST_F(AlarmWindowTest, TheWheelScrollsThePageAndChangesOnlyTheFocusedList) {
    auto form = MakeForm();
    form->show();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    TAlarmsPage& page = *form->Alarms->Page();
    form->PageControl1->setCurrentWidget(&page);
    const std::string firstStart = testing::ReadFile(SettingsFile());
    QScrollBar* scrollBar = page.findChild<QScrollArea*>()->verticalScrollBar();
    ASSERT_GT(scrollBar->maximum(), 0) << "the table fits: nothing to scroll";
    QComboBox* list = page.InputWatch[15];
    auto turnWheelDown = [&] {
        const QPointF at(list->width() / 2.0, list->height() / 2.0);
        QWheelEvent wheel(at, list->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(list, &wheel);
    };
    turnWheelDown();
    EXPECT_GT(scrollBar->value(), 0);
    EXPECT_EQ(list->currentIndex(), 0);
    EXPECT_EQ(page.Rules().Inputs[15], TInputWatch::None);
    EXPECT_EQ(testing::ReadFile(SettingsFile()), firstStart);

    list->setFocus();
    turnWheelDown();
    EXPECT_EQ(list->currentIndex(), 1) << "a focused list takes the wheel";

    // A row's number of polls passed on the way keeps its value too.
    QSpinBox* delay = page.RowDelay(0);
    QWheelEvent up(QPointF(4, 4), delay->mapToGlobal(QPointF(4, 4)), QPoint(), QPoint(0, 120), Qt::NoButton,
                   Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(delay, &up);
    EXPECT_EQ(delay->value(), 1);
}

}  // namespace
}  // namespace quorvane
