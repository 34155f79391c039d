#include "window/alarm_command.h"

#include <QFile>

#include <algorithm>

#include "platform/detached_command.h"

namespace quorvane {

namespace {

constexpr int kLookIntervalMs = 100;

// What the program wrote, on one line for the reason panel.
QString OneLine(const std::string& bytes) {
    QString text = QString::fromLocal8Bit(bytes.data(), static_cast<qsizetype>(bytes.size())).trimmed();
    for (QChar& c : text) {
        if (c.category() == QChar::Other_Control) c = u' ';
    }
    return text.simplified();
}

// "Temp2High start", as the failure lines name an event.
QString EventName(const TAlarmEvent& event) {
    return QString::fromStdString(event.Key) + (event.Started ? QStringLiteral(" start") : QStringLiteral(" end"));
}

}  // namespace

struct TAlarmCommandRunner::TRun {
    std::unique_ptr<platform::TDetachedCommand> command;
    std::string key;
    QString name;
};

TAlarmCommandRunner::TAlarmCommandRunner(ReportHandler onFailure, std::chrono::milliseconds timeLimit)
    : onFailure_(std::move(onFailure)), timeLimit_(timeLimit) {
    timer_.setInterval(kLookIntervalMs);
    connect(&timer_, &QTimer::timeout, this, [this] { Look(); });
}

TAlarmCommandRunner::~TAlarmCommandRunner() = default;

void TAlarmCommandRunner::Run(const std::string& path, const TAlarmEvent& event,
                              const std::vector<std::pair<std::string, std::string>>& environment) {
    if (Running() >= kMaxRunning) {
        if (onFailure_) {
            onFailure_(QStringLiteral("Alarm command not run for %1: %2 still running").arg(EventName(event)).arg(Running()));
        }
        return;
    }
    if (Busy(event.Key)) {
        waiting_.push_back(TWaiting{path, event, environment});
        return;
    }
    Start(path, event, environment);
}

bool TAlarmCommandRunner::Busy(const std::string& key) const {
    return std::any_of(running_.begin(), running_.end(), [&](const auto& run) { return run->key == key; }) ||
           std::any_of(waiting_.begin(), waiting_.end(), [&](const TWaiting& waiting) { return waiting.event.Key == key; });
}

void TAlarmCommandRunner::Start(const std::string& path, const TAlarmEvent& event,
                                const std::vector<std::pair<std::string, std::string>>& environment) {
    const QString name = QFile::decodeName(QByteArray::fromStdString(path));
    auto run = std::make_unique<TRun>();
    run->command = std::make_unique<platform::TDetachedCommand>(path, environment, timeLimit_);
    run->key = event.Key;
    run->name = name + QStringLiteral(" (") + EventName(event) + QLatin1Char(')');
    if (!run->command->StartError().empty()) {
        if (onFailure_) {
            onFailure_(QStringLiteral("Alarm command %1 did not start: %2")
                           .arg(name, QString::fromLocal8Bit(run->command->StartError().c_str())));
        }
        return;
    }
    running_.push_back(std::move(run));
    if (!timer_.isActive()) timer_.start();
}

void TAlarmCommandRunner::Look() {
    for (auto it = running_.begin(); it != running_.end();) {
        platform::TDetachedCommand& command = *(*it)->command;
        if (!command.Poll()) {
            ++it;
            continue;
        }
        if (command.ExitCode() != 0 && onFailure_) {
            const QString errors = OneLine(command.Errors());
            QString line = command.TimedOut()
                               ? QStringLiteral("Alarm command %1 killed after %2 s").arg((*it)->name).arg(timeLimit_.count() / 1000.0)
                               : QStringLiteral("Alarm command %1 ended with %2").arg((*it)->name).arg(command.ExitCode());
            if (!errors.isEmpty()) line += QStringLiteral(": ") + errors;
            onFailure_(line);
        }
        it = running_.erase(it);
    }
    // For each alarm whose command has ended, the oldest of its waiting commands goes next.
    for (auto it = waiting_.begin(); it != waiting_.end();) {
        const bool running = std::any_of(running_.begin(), running_.end(), [&](const auto& run) { return run->key == it->event.Key; });
        const bool earlier = std::any_of(waiting_.begin(), it, [&](const TWaiting& w) { return w.event.Key == it->event.Key; });
        if (running || earlier) {
            ++it;
            continue;
        }
        TWaiting next = std::move(*it);
        it = waiting_.erase(it);
        Start(next.path, next.event, next.environment);
    }
    if (running_.empty()) timer_.stop();
}

}  // namespace quorvane
