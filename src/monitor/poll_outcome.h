#pragma once

#include <cstdint>
#include <exception>
#include <string>

namespace quorvane {

// What one poll came to, for everything that reports on polls (the window, the history, the
// alarms, the headless command). The readings themselves stay in Reading.
struct TPollOutcome {
    int32_t Code = -1;          // the HTTP code of the last status line received, -1 for none
    bool Succeeded = false;     // all four answers arrived and were read
    std::string FailureReason;  // one line in plain words; empty when the poll succeeded
    int64_t StartedAtMs = 0;    // wall-clock start, milliseconds since 1970-01-01 UTC
    int64_t DurationMs = 0;     // from start to end on the monotonic clock
};

// PollStatus, telling besides the code whether the poll succeeded and, if not, why. Counts,
// stores and never throws exactly as PollStatus does.
TPollOutcome PollStatusOutcome(const std::string& host, const std::string& userName, const std::string& password,
                               int32_t port, int32_t connectTimeout, int32_t readTimeout);

// One line for a user, for the failure a poll ended with: the exception's own message where it
// says enough ("Connect timed out.", "Read Timeout"), the socket error's text with its code
// ("Connection refused (10061)"), and a short hint where the message alone would puzzle
// ("401 Unauthorized: check user name and password"). `code` is the last status code seen.
std::string DescribePollFailure(const std::exception_ptr& error, int32_t code);

}  // namespace quorvane
