#pragma once

#include <QObject>
#include <QTimer>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "monitor/alarm_event.h"

namespace quorvane {

namespace platform {
class TDetachedCommand;
}

// Runs the user's alarm command for each event, beside the window and never holding it: the
// program starts at once, is looked after by a timer while it runs, and is killed with what it
// started after the time limit. A failure (it could not start, ended with a code other than 0,
// or ran out of time) is told in one line with what it wrote on standard error.
class TAlarmCommandRunner : public QObject {
public:
    static constexpr std::chrono::milliseconds kTimeLimit{30000};
    // More at once than this are not started: a command that hangs must not pile up.
    static constexpr size_t kMaxRunning = 16;
    using ReportHandler = std::function<void(const QString& line)>;

    explicit TAlarmCommandRunner(ReportHandler onFailure, std::chrono::milliseconds timeLimit = kTimeLimit);
    ~TAlarmCommandRunner() override;

    // `environment` as AlarmCommandEnvironment makes it.
    void Run(const std::string& path, const TAlarmEvent& event,
             const std::vector<std::pair<std::string, std::string>>& environment);
    size_t Running() const { return running_.size(); }

private:
    struct TRun;
    void Look();

    ReportHandler onFailure_;
    std::chrono::milliseconds timeLimit_;
    std::vector<std::unique_ptr<TRun>> running_;
    QTimer timer_;
};

}  // namespace quorvane
