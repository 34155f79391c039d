#include "poll_command/poll_command.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <exception>
#include <system_error>
#include <thread>

#include "platform/file_system.h"
#include "poll_command/json_report.h"
#include "poll_command/prometheus_exposition.h"
#include "poll_command/stop_signals.h"
#include "poll_command/text_report.h"
#include "poll_command/textfile_writer.h"

namespace quorvane {

namespace {

std::string Formatted(TReportFormat format, const TPollReport& report) {
    switch (format) {
        case TReportFormat::Json: return FormatJsonReport(report);
        case TReportFormat::Prometheus: return FormatPrometheusExposition(report);
        case TReportFormat::Text: break;
    }
    return FormatTextReport(report);
}

// One poll on a thread of its own, so that the main thread can keep listening for a stop
// signal while the poll waits on the unit. The descriptor becomes readable when it is done.
class TPollInBackground {
public:
    explicit TPollInBackground(std::function<TPollResult()> poll) : done_(::eventfd(0, EFD_CLOEXEC)) {
        if (done_ < 0) throw std::system_error(errno, std::generic_category(), "eventfd");
        thread_ = std::thread([this, poll = std::move(poll)] {
            // Escaping the thread, it would end the process without a word.
            try {
                result_ = poll();
            } catch (...) {
                failure_ = std::current_exception();
            }
            const uint64_t one = 1;
            (void)!::write(done_, &one, sizeof one);
        });
    }
    ~TPollInBackground() {
        if (thread_.joinable()) thread_.join();
        ::close(done_);
    }
    TPollInBackground(const TPollInBackground&) = delete;
    TPollInBackground& operator=(const TPollInBackground&) = delete;

    int DoneDescriptor() const { return done_; }
    // Waits for the poll (which has signalled that it is done) and hands its result over, or
    // raises what the poll raised.
    TPollResult Result() {
        thread_.join();
        if (failure_) std::rethrow_exception(failure_);
        return result_;
    }

private:
    int done_;
    TPollResult result_;
    std::exception_ptr failure_;
    std::thread thread_;
};

}  // namespace

void PrintProblem(std::FILE* err, const std::string& text) {
    const std::string line = "quorvane-poll: " + TerminalText(text) + "\n";
    std::fwrite(line.data(), 1, line.size(), err);
    std::fflush(err);
}

TPollCommand::TPollCommand(TPollCommandOptions options, TUnitTarget target, std::FILE* out, std::FILE* err,
                           TPoll poll)
    : options_(std::move(options)), target_(std::move(target)), out_(out), err_(err), poll_(std::move(poll)) {}

int TPollCommand::Run() { return options_.EverySeconds > 0 ? RunEvery() : RunOnce(); }

int TPollCommand::Report(const TPollResult& result) {
    if (result.Started) ++polls_;
    if (result.Failed) ++errors_;
    const TPollOutcome& outcome = result.Outcome;
    TPollReport report;
    report.Outcome = outcome;
    report.Readings = result.Readings;
    report.Unit = options_.Unit;
    report.WithCounters = options_.EverySeconds > 0;
    report.Polls = polls_;
    report.Errors = errors_;
    if (!outcome.Succeeded) PrintProblem(err_, outcome.FailureReason);
    // A full disk, a closed or broken standard output: whoever reads it would take a missing
    // report for a quiet one, so it fails the run.
    int outputError = 0;
    if (!options_.Quiet) {
        const std::string text = Formatted(options_.Format, report);
        if (std::fwrite(text.data(), 1, text.size(), out_) != text.size()) outputError = errno;
    }
    if (std::fflush(out_) != 0 && outputError == 0) outputError = errno;
    if (outputError == 0 && std::ferror(out_)) outputError = EIO;
    if (outputError != 0) PrintProblem(err_, "cannot write the output: " + platform::FileErrorText(outputError));
    bool textfileWritten = true;
    if (!options_.TextfilePath.empty()) {
        try {
            WriteTextfile(options_.TextfilePath, FormatPrometheusExposition(report));
        } catch (const EFCreateError& e) {
            PrintProblem(err_, e.Message());
            textfileWritten = false;
        }
    }
    if (outputError != 0) return kExitPollFailed;
    return textfileWritten ? 0 : kExitUsage;
}

int TPollCommand::RunOnce() {
    const TPollResult result = poll_(target_);
    if (const int failed = Report(result); failed != 0) return failed;
    return result.Outcome.Succeeded ? kExitPollSucceeded : kExitPollFailed;
}

int TPollCommand::RunEvery() {
    // Before the first thread starts, so that every thread of the process has both blocked.
    TStopSignals stopSignals;
    const auto interval = std::chrono::seconds(options_.EverySeconds);
    auto nextStart = std::chrono::steady_clock::now();
    for (bool first = true;; first = false) {
        {
            TPollInBackground poll([this] { return poll_(target_); });
            if (stopSignals.Wait(-1, poll.DoneDescriptor()) == TStopSignals::TWake::Stop &&
                stopSignals.Wait(kStopGraceMs, poll.DoneDescriptor()) != TStopSignals::TWake::Ready) {
                // The poll may sit in a read for up to its whole time limit. Nothing of it is
                // worth keeping, and the thread cannot be joined in time, so the process ends
                // here without unwinding (its descriptors close with it).
                std::fflush(out_);
                PrintProblem(err_, "stopped; the poll under way was abandoned");
                ::_exit(kExitPollSucceeded);
            }
            // A textfile that cannot be written may be a passing fault once the run is under
            // way; an output that cannot be written stays lost.
            const int failed = Report(poll.Result());
            if ((failed == kExitUsage && first) || failed == kExitPollFailed) return failed;
        }
        if (stopSignals.Stopped()) return kExitPollSucceeded;
        // Polls keep to a fixed beat; a poll that overran skips the starts it missed.
        const auto now = std::chrono::steady_clock::now();
        while (nextStart <= now) nextStart += interval;
        const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(nextStart - now).count();
        if (stopSignals.Wait(static_cast<int>(wait) + 1) == TStopSignals::TWake::Stop) return kExitPollSucceeded;
    }
}

}  // namespace quorvane
