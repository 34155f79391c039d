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
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

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
#include "support/scripted_server.h"
#include "tcp/net_anti_freeze_base.h"

namespace {

using quorvane::testing::ScriptedPeer;
using quorvane::testing::ScriptedServer;
using std::chrono::milliseconds;

int64_t MonotonicMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

std::vector<ScriptedServer::Script> TricklingUnit() {
    const std::vector<std::string> bodies = {"<html>V1:12.0,V2:5.0,V3:3.3</html>", "<html>T1:25,T2:26,T3:27</html>",
                                             "<html>F1:1200,F2:950,F3:0</html>",
                                             "<html>Input:I1:1,I2:0,I3:0,I4:0,I5:0,I6:0,I7:0,I8:0,I9:0,I10:0,"
                                             "I11:0,I12:0,I13:0,I14:0,I15:0,I16:0</html>"};
    std::vector<ScriptedServer::Script> scripts;
    for (const std::string& body : bodies) {
        scripts.push_back([body](ScriptedPeer& peer) {
            peer.ReceiveUntil();
            const std::string answer = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nConnection: close\r\n"
                                       "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
            const size_t pieces = 25;
            peer.SendInPieces(answer, (answer.size() + pieces - 1) / pieces, milliseconds(100));
            peer.Close();
        });
    }
    return scripts;
}

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

void MeasureClose(const char* self, const char* how, bool without) {
    ScriptedServer server(TricklingUnit(), std::chrono::seconds(30));
    int out[2];
    if (pipe(out) != 0) return;
    const std::string port = std::to_string(server.Port());
    const pid_t child = fork();
    if (child == 0) {
        dup2(out[1], STDOUT_FILENO);
        close(out[0]);
        execl(self, self, "--child", how, port.c_str(), without ? "--without" : "--with", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(out[1]);
    int64_t requested = 0;
    if (std::strcmp(how, "sigterm") == 0) {
        std::this_thread::sleep_for(milliseconds(2000));
        requested = MonotonicMs();
        kill(child, SIGTERM);
    }
    std::string text;
    char buffer[256];
    for (ssize_t got; (got = read(out[0], buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<size_t>(got));
    int status = 0;
    waitpid(child, &status, 0);
    const int64_t exited = MonotonicMs();
    close(out[0]);
    if (requested == 0) {
        const size_t at = text.find("close ");
        requested = at == std::string::npos ? exited : std::stoll(text.substr(at + 6));
    }
    std::printf("close by %-7s during the poll: process ended %lld ms later, %s %d\n", how,
                static_cast<long long>(exited - requested), WIFEXITED(status) ? "exit code" : "signal",
                WIFEXITED(status) ? WEXITSTATUS(status) : WTERMSIG(status));
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
    MeasureClose(self.c_str(), "window", without);
    MeasureClose(self.c_str(), "sigterm", without);
    return 0;
}
