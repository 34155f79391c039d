#include "monitor/gui/poll_watch.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "monitor/gui/form1.h"
#include "monitor/sensor_poll.h"
#include "platform/gui/static_text.h"
#include "support/scripted_server.h"
#include "support/temp_dir.h"
#include "support/unit_sim_process.h"
#include "gui_test_support.h"

namespace quorvane {
namespace {

using std::chrono::milliseconds;
using testing::ScriptedPeer;
using testing::ScriptedServer;

std::string Answer(const std::string& body, const std::string& status = "200 OK") {
    return "HTTP/1.1 " + status + "\r\nContent-Type: text/html\r\nConnection: close\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\n\r\n" + body;
}

// A unit that answers its four groups correctly, the first one trickling in over about 1.5 s.
std::vector<ScriptedServer::Script> TricklingUnit() {
    const std::vector<std::string> bodies = {"<html>V1:12.0,V2:5.0,V3:3.3</html>", "<html>T1:25,T2:26,T3:27</html>",
                                             "<html>F1:1200,F2:950,F3:0</html>",
                                             "<html>Input:I1:1,I2:0,I3:0,I4:0,I5:0,I6:0,I7:0,I8:0,I9:0,I10:0,"
                                             "I11:0,I12:0,I13:0,I14:0,I15:0,I16:0</html>"};
    std::vector<ScriptedServer::Script> scripts;
    for (size_t i = 0; i < bodies.size(); ++i) {
        scripts.push_back([body = bodies[i], slow = i == 0](ScriptedPeer& peer) {
            peer.ReceiveUntil();
            if (slow) peer.SendInPieces(Answer(body), 12, milliseconds(150));
            else peer.Send(Answer(body));
            peer.Close();
        });
    }
    return scripts;
}

// Counts the paints of one widget and when they happened.
class PaintLog : public QObject {
public:
    explicit PaintLog(QWidget* widget) { widget->installEventFilter(this); clock.start(); }
    std::vector<qint64> times;
    QElapsedTimer clock;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) times.push_back(clock.elapsed());
        return QObject::eventFilter(watched, event);
    }
};

class PollWatchTest : public ::testing::Test {
protected:
    PollWatchTest() : workingDirectory_(directory_.Path()) {
        InitializeMonitorWindowUnit();
        Reading = TReadingRecord{};
        testing::ClearRecordedDialogs();
    }
    ~PollWatchTest() override { FinalizeMonitorWindowUnit(); }

    std::unique_ptr<TForm1> MakeForm(int port, int16_t readSeconds = 2) {
        auto form = std::make_unique<TForm1>();
        form->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        form->Edit1->setText(QStringLiteral("127.0.0.1"));
        form->Edit2->setText(QString::number(port));
        form->UDCt->SetPosition(2);
        form->UDRt->SetPosition(readSeconds);
        return form;
    }

    // Runs fn every period while the window's poll runs (the timer fires only when the poll
    // lets the toolkit have its turns).
    static std::unique_ptr<QTimer> Every(int periodMs, std::function<void()> fn) {
        auto timer = std::make_unique<QTimer>();
        QObject::connect(timer.get(), &QTimer::timeout, std::move(fn));
        timer->start(periodMs);
        return timer;
    }

    testing::TempDir directory_;
    testing::ScopedWorkingDirectory workingDirectory_;
};

// While a slow poll waits on the unit the window keeps painting, and after a moment shows
// that it is waiting; when the poll ends the sign goes and, with no failure so far, the
// panel is as it was.
TEST_F(PollWatchTest, SlowPollKeepsPaintingAndShowsTheBusySign) {
    ScriptedServer server(TricklingUnit());
    auto form = MakeForm(server.Port());
    PaintLog paints(form->StResult);
    const QString waiting = QStringLiteral("Waiting for 127.0.0.1:%1\u2026").arg(server.Port());
    bool busySeen = false;
    auto exposer = Every(50, [&] {
        form->StResult->update();  // as the desktop asks when it uncovers the window
        busySeen = busySeen || (form->ReasonPanel->text() == waiting && QApplication::overrideCursor() != nullptr &&
                                QApplication::overrideCursor()->shape() == Qt::BusyCursor);
    });
    const qint64 start = paints.clock.elapsed();
    QTest::mouseClick(form->SpeedButton1, Qt::LeftButton);
    const qint64 end = paints.clock.elapsed();
    exposer->stop();
    server.Stop();

    EXPECT_EQ(ErrorCount, 0) << form->ReasonPanel->text().toStdString();
    ASSERT_GE(end - start, 1000) << "the unit answered faster than it was told to";
    int during = 0;
    for (qint64 at : paints.times) during += at > start && at < end;
    EXPECT_GE(during, 3) << "paints during a poll of " << end - start << " ms";
    EXPECT_TRUE(busySeen);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(form->ReasonPanel->text().isEmpty()) << form->ReasonPanel->text().toStdString();
}

// Clicks and keys sent to the window during a poll reach nothing: no second poll, no count
// reset, no change to the settings the poll runs with.
TEST_F(PollWatchTest, InputDuringAPollReachesNothing) {
    ScriptedServer server(TricklingUnit());
    auto form = MakeForm(server.Port());
    bool sent = false;
    auto meddler = Every(300, [&] {
        if (sent) return;
        sent = true;
        QTest::mouseClick(form->SpeedButton1, Qt::LeftButton);
        QTest::mouseDClick(form->GBCount, Qt::LeftButton, {}, QPoint(150, 15));
        QTest::keyClicks(form->Edit1, "9");
        form->Timer1Timer();
    });
    QTest::mouseClick(form->SpeedButton1, Qt::LeftButton);
    meddler->stop();
    server.Stop();
    EXPECT_TRUE(sent);
    EXPECT_EQ(server.Accepted(), 4);
    EXPECT_EQ(PollCount, 1);
    EXPECT_EQ(form->MemoInterval->text(), QStringLiteral("1"));
    EXPECT_EQ(form->MemoError->text(), QStringLiteral("0"));
    EXPECT_EQ(form->Edit1->text(), QStringLiteral("127.0.0.1"));
    EXPECT_TRUE(form->SpeedButton1->isChecked());
}

// Closing the window while a poll waits for a silent unit ends the poll at once, counts it as
// one error and then closes the window.
TEST_F(PollWatchTest, CloseDuringAPollEndsItAtOnce) {
    ScriptedServer server({[](ScriptedPeer& peer) {
                              peer.ReceiveUntil();
                              peer.WaitForClose(milliseconds(8000));
                          }},
                          milliseconds(9000));
    auto form = MakeForm(server.Port(), 10);
    QElapsedTimer clock;
    qint64 closedAt = -1;
    QTimer::singleShot(400, form.get(), [&] {
        closedAt = clock.elapsed();
        form->close();
    });
    clock.start();
    QTest::mouseClick(form->SpeedButton1, Qt::LeftButton);
    const qint64 endedAt = clock.elapsed();
    ASSERT_GE(closedAt, 0) << "the close request never arrived during the poll";
    EXPECT_LT(endedAt - closedAt, 3000) << "the poll waited out its read limit";
    EXPECT_EQ(ErrorCount, 1);
    EXPECT_EQ(PollCount, 1);
    QTest::qWait(50);
    EXPECT_FALSE(form->isVisible());
    server.Stop();
}

// After a failed poll the reason stands in the panel (and is the result's accessible
// description); after the next good poll the panel tells when that one succeeded.
TEST_F(PollWatchTest, ReasonTellsWhyAPollFailed) {
    auto form = MakeForm(testing::UnusedLoopbackPort(), 1);
    auto reasonAfterPoll = [&] {
        form->Timer1Timer();
        EXPECT_EQ(form->StResult->accessibleDescription(), form->ReasonPanel->text());
        return form->ReasonPanel->text().toStdString();
    };
    EXPECT_EQ(reasonAfterPoll(), "Connection refused (10061)");
    form->Edit2->setText(QStringLiteral("abc"));
    EXPECT_EQ(reasonAfterPoll().rfind("Port 'abc' is not a number", 0), 0u) << form->ReasonPanel->text().toStdString();
    {
        ScriptedServer silent({[](ScriptedPeer& peer) {
            peer.ReceiveUntil();
            peer.WaitForClose(milliseconds(3000));
        }});
        form->Edit2->setText(QString::number(silent.Port()));
        EXPECT_EQ(reasonAfterPoll(), "Read Timeout");
    }
    {
        ScriptedServer garbled({[](ScriptedPeer& peer) {
            peer.ReceiveUntil();
            peer.Send(Answer("no readings here"));
            peer.Close();
        }});
        form->Edit2->setText(QString::number(garbled.Port()));
        EXPECT_EQ(reasonAfterPoll().rfind("Unreadable answer from the unit", 0), 0u) << form->ReasonPanel->text().toStdString();
    }
    testing::UnitSimProcess simulator({"--user", "admin", "--password", "other"});
    ASSERT_NE(simulator.Port(), 0) << simulator.Error();
    form->Edit2->setText(QString::number(simulator.Port()));
    EXPECT_EQ(reasonAfterPoll(), "401 Unauthorized: check user name and password");
    form->Edit4->setText(QStringLiteral("other"));
    EXPECT_EQ(reasonAfterPoll().rfind("Good poll at ", 0), 0u) << form->ReasonPanel->text().toStdString();
    EXPECT_EQ(ErrorCount, 5);
}

}  // namespace
}  // namespace quorvane
