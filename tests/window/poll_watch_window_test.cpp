#include "window/poll_watch.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QTest>
#include <QTextDocument>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "gui_test_support.h"
#include "window_unit_test.h"
#include "window/form1.h"
#include "window/history_chart.h"
#include "window/history_page.h"
#include "monitor/sensor_poll.h"
#include "support/scripted_sensor_unit.h"
#include "support/scripted_server.h"
#include "support/temp_dir.h"
#include "support/unit_sim_process.h"
#include "support/unused_port.h"

namespace quorvane {
namespace {

using std::chrono::milliseconds;
using testing::ScriptedPeer;
using testing::ScriptedServer;

// A unit that answers its four groups, the first one trickling in over about 1.5 s.
std::vector<ScriptedServer::Script> TricklingUnit() {
    std::vector<ScriptedServer::Script> scripts = testing::ClosingSensorUnit();
    scripts[0] = testing::ClosingSensorAnswer({}, {10, milliseconds(150)});
    return scripts;
}

class PollWatchTest : public testing::WindowUnitTest {
protected:
    std::unique_ptr<TForm1> MakeForm(int port, int16_t readSeconds = 2) {
        auto form = std::make_unique<TForm1>();
        form->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        form->Edit1->setText(QStringLiteral("127.0.0.1"));
        form->Edit2->setText(QString::number(port));
        form->UDRt->SetPosition(readSeconds);
        return form;
    }

};

// While a slow poll waits on the unit the window keeps painting and, after a moment, shows that
// it waits; afterwards the sign is gone and, with no failure so far, the panel is as before.
TEST_F(PollWatchTest, SlowPollKeepsPaintingAndShowsTheBusySign) {
    ScriptedServer server(TricklingUnit());
    auto form = MakeForm(server.Port());
    const QString waiting = QStringLiteral("Waiting for 127.0.0.1:%1\u2026").arg(server.Port());
    int paintsAsked = 0;
    bool busySeen = false;
    QTimer exposer;  // fires only when the poll lets the toolkit have its turns
    QObject::connect(&exposer, &QTimer::timeout, [&] {
        form->StResult->repaint();
        ++paintsAsked;
        const QCursor* cursor = QApplication::overrideCursor();
        busySeen = busySeen || (form->ReasonPanel->text() == waiting && cursor && cursor->shape() == Qt::BusyCursor);
    });
    exposer.start(50);
    QElapsedTimer clock;
    clock.start();
    QTest::mouseClick(form->SpeedButton1, Qt::LeftButton);
    const qint64 pollMs = clock.elapsed();
    exposer.stop();
    EXPECT_EQ(ErrorCount, 0) << form->ReasonPanel->text().toStdString();
    ASSERT_GE(pollMs, 1000) << "the unit answered faster than it was told to";
    EXPECT_GE(paintsAsked, 4) << "repaints during a poll of " << pollMs << " ms";
    EXPECT_TRUE(busySeen);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(form->ReasonPanel->text().isEmpty());
    EXPECT_TRUE(form->StatusBar1Panel->isVisible());
}

// Clicks and keys sent to the window during a poll reach nothing: no second poll, no count
// reset, no change to the settings the poll runs with. What the user typed meanwhile arrives
// once the poll has ended, and the menu offers only Exit while it runs.
TEST_F(PollWatchTest, InputDuringAPollReachesNothing) {
    ScriptedServer server(TricklingUnit());
    auto form = MakeForm(server.Port());
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    form->Edit2->setFocus();
    form->Edit2->end(false);
    bool sent = false;
    bool pagesOffered = true, exitOffered = false;
    QTimer::singleShot(300, form.get(), [&] {
        sent = true;
        QTest::mouseClick(form->SpeedButton1, Qt::LeftButton);
        QTest::mouseDClick(form->GBCount, Qt::LeftButton, {}, QPoint(150, 15));
        QTest::keyClicks(form->Edit1, "9");
        form->Timer1Timer();
        QTest::keyClick(form->windowHandle(), Qt::Key_0);  // as the window system delivers a key
        pagesOffered = form->Brenwick1->isEnabled() || form->Tessivo1->isEnabled();
        exitOffered = form->CloseX1->isEnabled();
    });
    const QString port = form->Edit2->text();
    QTest::mouseClick(form->SpeedButton1, Qt::LeftButton);
    server.Stop();
    EXPECT_TRUE(sent);
    EXPECT_EQ(server.Accepted(), 4);
    EXPECT_EQ(form->MemoInterval->text(), QStringLiteral("1"));
    EXPECT_EQ(form->MemoError->text(), QStringLiteral("0"));
    EXPECT_EQ(form->Edit1->text(), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(form->Edit2->text(), port);
    EXPECT_TRUE(form->SpeedButton1->isChecked());
    EXPECT_FALSE(pagesOffered);
    EXPECT_TRUE(exitOffered);
    QApplication::processEvents();
    EXPECT_EQ(form->Edit2->text(), port + QStringLiteral("0")) << "the key typed during the poll was lost";
    EXPECT_TRUE(form->Brenwick1->isEnabled());
}

// Closing the window, or File > Exit (as a screen reader presses it, the one way to it while
// a poll holds clicks and keys back), while a poll waits for a silent unit ends the poll at
// once, counts it as one error and then closes the window.
TEST_F(PollWatchTest, CloseOrExitDuringAPollEndsItAtOnce) {
    for (const bool exit : {false, true}) {
        SCOPED_TRACE(exit ? "File > Exit" : "close");
        ScriptedServer server({testing::SilentPeer(milliseconds(8000))}, milliseconds(9000));
        auto form = MakeForm(server.Port(), 10);
        QElapsedTimer clock;
        qint64 closedAt = -1;
        QTimer::singleShot(400, form.get(), [&] {
            closedAt = clock.elapsed();
            if (exit) {
                form->CloseX1->trigger();
            } else {
                form->close();
            }
        });
        clock.start();
        const int errorsBefore = ErrorCount;
        form->Timer1Timer();
        ASSERT_GE(closedAt, 0) << "the request never arrived during the poll";
        EXPECT_LT(clock.elapsed() - closedAt, 3000) << "the poll waited out its read limit";
        EXPECT_EQ(ErrorCount, errorsBefore + 1);
        QTest::qWait(50);
        EXPECT_FALSE(form->isVisible());
    }
}

// What the user sees of a text: a label or tooltip that takes it for markup shows the
// document it makes of it.
QString Shown(const QString& text, Qt::TextFormat format) {
    if (format == Qt::PlainText || (format == Qt::AutoText && !Qt::mightBeRichText(text))) return text;
    QTextDocument document;
    document.setHtml(text);
    return document.toPlainText();
}

// A unit that puts markup into its status line has it shown as the text it is, in the reason
// panel and its tooltip, and on the History page where the failed poll is marked.
TEST_F(PollWatchTest, MarkupFromTheUnitIsShownAsText) {
    const std::string phrase = "<b><font color=red size=7>HTML</font></b><img src=\"x.png\">";
    ScriptedServer server({[&](ScriptedPeer& peer) {
        peer.ReceiveUntil();
        peer.Send("HTTP/1.1 500 " + phrase + "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
    }});
    auto form = MakeForm(server.Port());
    form->Timer1Timer();
    const QString reason = QString::fromStdString("The unit answered 500 " + phrase);
    const QString panel = form->ReasonPanel->text();
    // The reason, and after it the note of since when no poll succeeded.
    ASSERT_EQ(panel.section(QStringLiteral(" · no good poll since "), 0, 0), reason);
    EXPECT_EQ(Shown(panel, form->ReasonPanel->textFormat()), panel);
    EXPECT_EQ(Shown(form->ReasonPanel->toolTip(), Qt::AutoText).simplified(), panel);

    form->PageControl1->setCurrentWidget(form->HistoryPage);
    QApplication::processEvents();
    THistoryPage& page = *form->HistoryPage;
    ASSERT_EQ(page.Chart->Marks().size(), 1u);
    // The pointer over the chart at the failed poll reads it.
    QTest::mouseMove(page.Chart, QPoint(static_cast<int>(page.Chart->XOf(page.Chart->Marks()[0].AtMs)),
                                        static_cast<int>(page.Chart->Lanes()[0].Plot.center().y())));
    EXPECT_TRUE(page.PointerLabel->text().endsWith(reason)) << page.PointerLabel->text().toStdString();
    EXPECT_EQ(Shown(page.PointerLabel->text(), page.PointerLabel->textFormat()), page.PointerLabel->text());
}

// After a failed poll the reason stands in the panel and is the result's accessible
// description; after the next good poll the panel tells when that one succeeded.
TEST_F(PollWatchTest, ReasonTellsWhyAPollFailed) {
    auto form = MakeForm(testing::UnusedLoopbackPort(), 1);
    auto reasonAfterPoll = [&](int port) {
        form->Edit2->setText(port ? QString::number(port) : QStringLiteral("abc"));
        form->Timer1Timer();
        EXPECT_EQ(form->StResult->accessibleDescription(), form->ReasonPanel->text());
        // The reason, without the note of since when no poll succeeded.
        return form->ReasonPanel->text().section(QStringLiteral(" · no good poll since "), 0, 0).toStdString();
    };
    EXPECT_EQ(reasonAfterPoll(testing::UnusedLoopbackPort()), "Connection refused (10061)");
    EXPECT_EQ(reasonAfterPoll(0).rfind("Port 'abc' is not a number", 0), 0u);
    {
        ScriptedServer silent({testing::SilentPeer(milliseconds(3000))});
        EXPECT_EQ(reasonAfterPoll(silent.Port()), "Read Timeout");
    }
    {
        ScriptedServer garbled({[](ScriptedPeer& peer) {
            peer.ReceiveUntil();
            peer.Send(testing::SensorAnswer("no readings here"));
        }});
        EXPECT_EQ(reasonAfterPoll(garbled.Port()).rfind("Unreadable answer from the unit", 0), 0u);
    }
    testing::UnitSimProcess simulator({"--user", "admin", "--password", "other"});
    ASSERT_NE(simulator.Port(), 0) << simulator.Error();
    EXPECT_EQ(reasonAfterPoll(simulator.Port()), "401 Unauthorized: check user name and password");
    form->Edit4->setText(QStringLiteral("other"));
    EXPECT_EQ(reasonAfterPoll(simulator.Port()).rfind("Good poll at ", 0), 0u);
    EXPECT_EQ(ErrorCount, 5);
}

}  // namespace
}  // namespace quorvane
