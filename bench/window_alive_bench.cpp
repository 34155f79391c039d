// How alive the window stays during a slow poll, on demand (no pass/fail): a loopback unit
// trickles each of its four answers over about 2.5 s, so one poll takes about 10 s. Reported:
//   - the longest gap between two paints of the window during the poll, while something asks
//     for a repaint every 10 ms (as a desktop does when the window is uncovered or moved);
//   - the time from a close request during the poll to the end of the process, for the
//     window's own close (title bar, logout) and for SIGTERM, each in a child process.
// "--without" runs the same with the anti-freeze switched off, as the window was before it.
// Runs on Qt's offscreen platform unless QT_QPA_PLATFORM says otherwise.

#include <signal.h>
#include <stdlib.h>
#include <time.h>

#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "window/form1.h"
#include "platform/gui/application.h"
#include "platform/gui/termination_signal.h"
#include "support/program_process.h"
#include "support/scripted_sensor_unit.h"
#include "support/scripted_server.h"
#include "tcp/net_anti_freeze_base.h"

namespace {

using quorvane::testing::ClosingSensorUnit;
using quorvane::testing::ProgramProcess;
using quorvane::testing::ScriptedServer;
using std::chrono::milliseconds;

int64_t MonotonicMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// Each of the four answers over about 2.5 s.
std::vector<ScriptedServer::Script> TricklingUnit() { return ClosingSensorUnit({}, {25, milliseconds(100)}); }

class PaintLog : public QObject {
public:
    std::vector<int64_t> times;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) times.push_back(MonotonicMs());
        return QObject::eventFilter(watched, event);
    }
};

void Target(quorvane::TForm1& form, uint16_t port) {
    form.Edit1->setText(QStringLiteral("127.0.0.1"));
    form.Edit2->setText(QString::number(port));
    form.UDCt->SetPosition(2);
    form.UDRt->SetPosition(10);
}

void SwitchOff(bool without) {
    if (without && quorvane::TNetAntiFreezeBase::Current() != nullptr) {
        quorvane::TNetAntiFreezeBase::Current()->SetActive(false);
    }
}

int MeasurePaintGap(int argc, char** argv, bool without) {
    ScriptedServer server(TricklingUnit(), std::chrono::seconds(30));
    quorvane::platform::TApplication application(argc, argv);
    quorvane::TForm1 form;
    SwitchOff(without);
    Target(form, server.Port());
    form.show();
    PaintLog paints;
    form.installEventFilter(&paints);
    for (QWidget* child : form.findChildren<QWidget*>()) child->installEventFilter(&paints);
    QTimer exposer;
    QObject::connect(&exposer, &QTimer::timeout, [&] { form.update(); });
    exposer.start(10);
    int64_t start = 0, end = 0;
    QTimer::singleShot(200, [&] {
        start = MonotonicMs();
        form.SpeedButton1->click();
        end = MonotonicMs();
        form.SpeedButton1->click();
        application.quit();
    });
    application.exec();
    int64_t longest = 0, previous = start;
    int count = 0;
    for (int64_t at : paints.times) {
        if (at <= start || at >= end) continue;
        longest = std::max(longest, at - previous);
        previous = at;
        ++count;
    }
    longest = std::max(longest, end - previous);
    std::printf("poll %lld ms (%s), %d paints during it, longest gap between paints %lld ms\n",
                static_cast<long long>(end - start), form.MemoError->text() == QStringLiteral("0") ? "good" : "failed",
                count, static_cast<long long>(longest));
    return 0;
}

// The child: the program's own start-up and shutdown, with a poll started at once.
int RunChild(int argc, char** argv, const char* how, uint16_t port, bool without) {
    int exitCode = 0;
    {
        quorvane::platform::TApplication application(argc, argv);
        auto form = std::make_unique<quorvane::TForm1>();
        SwitchOff(without);
        Target(*form, port);
        form->show();
        quorvane::platform::TTerminationSignal termination([window = form.get()] { window->close(); });
        QTimer::singleShot(0, [&] { form->SpeedButton1->click(); });
        if (std::strcmp(how, "window") == 0) {
            QTimer::singleShot(2000, [&] {
                std::printf("close %lld\n", static_cast<long long>(MonotonicMs()));
                std::fflush(stdout);
                form->close();
            });
        }
        exitCode = application.exec();
    }
    return exitCode;
}

void MeasureClose(const std::string& self, const char* how, bool without) {
    ScriptedServer server(TricklingUnit(), std::chrono::seconds(30));
    ProgramProcess child(self, {"--child", how, std::to_string(server.Port()), without ? "--without" : "--with"});
    int64_t requested = 0;
    if (std::strcmp(how, "sigterm") == 0) {
        std::this_thread::sleep_for(milliseconds(2000));
        requested = MonotonicMs();
        child.Signal(SIGTERM);
    }
    child.WaitForExit(60000);
    const int64_t exited = MonotonicMs();
    const std::string text = child.Output();
    std::fputs(child.Errors().c_str(), stderr);
    if (requested == 0) {
        const size_t at = text.find("close ");
        requested = at == std::string::npos ? exited : std::stoll(text.substr(at + 6));
    }
    std::printf("close by %-7s during the poll: process ended %lld ms later, exit code %d\n", how,
                static_cast<long long>(exited - requested), child.ExitCode());
    server.Stop();
}

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    const std::filesystem::path home = std::filesystem::temp_directory_path() / "quorvane-alive-bench";
    std::filesystem::create_directories(home);
    std::filesystem::current_path(home);  // the settings file lands here

    if (argc >= 5 && std::strcmp(argv[1], "--child") == 0) {
        int childArgc = 1;
        return RunChild(childArgc, argv, argv[2], static_cast<uint16_t>(std::atoi(argv[3])),
                        std::strcmp(argv[4], "--without") == 0);
    }
    const bool without = argc >= 2 && std::strcmp(argv[1], "--without") == 0;
    int appArgc = 1;
    MeasurePaintGap(appArgc, argv, without);
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    MeasureClose(self, "window", without);
    MeasureClose(self, "sigterm", without);
    return 0;
}
