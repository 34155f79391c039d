#pragma once

#include <QObject>
#include <QTimer>

#include <chrono>
#include <deque>
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
// or ran out of time) is told in one line with what it wrote on standard error. The commands
// of one alarm run one after the other, in the order of its events, so that an end never
// overtakes its start; those of different alarms run side by side.
class TAlarmCommandRunner : public QObject {
public:
    static constexpr std::chrono::milliseconds kTimeLimit{30000};
    // More at once than this, running or waiting for the one before, are not taken: a command
    // that hangs must not pile up.
    static constexpr size_t kMaxRunning = 16;
    using ReportHandler = std::function<void(const QString& line)>;

    explicit TAlarmCommandRunner(ReportHandler onFailure, std::chrono::milliseconds timeLimit = kTimeLimit);
    ~TAlarmCommandRunner() override;

    // `environment` as AlarmCommandEnvironment makes it.
    void Run(const std::string& path, const TAlarmEvent& event,
             const std::vector<std::pair<std::string, std::string>>& environment);
    // Commands started or waiting for the one before them, that have not ended yet.
    size_t Running() const { return running_.size() + waiting_.size(); }

private:
    struct TRun;
    struct TWaiting {
        std::string path;
        TAlarmEvent event;
        std::vector<std::pair<std::string, std::string>> environment;
    };
    bool Busy(const std::string& key) const;
    void Start(const std::string& path, const TAlarmEvent& event,
               const std::vector<std::pair<std::string, std::string>>& environment);
    void Look();

    ReportHandler onFailure_;
    std::chrono::milliseconds timeLimit_;
    std::vector<std::unique_ptr<TRun>> running_;
    std::deque<TWaiting> waiting_;
    QTimer timer_;
};

}  // namespace quorvane
