#include "monitor/sensor_poll.h"

#include <array>
#include <chrono>

#include "http/net_http.h"
#include "text/string_list.h"

namespace quorvane {

namespace {

// The unit's commands in the order a poll sends them, with the group each one fills.
struct Command {
    const char* name;
    TReadingGroup group;
};

constexpr std::array<Command, 4> kCommands{{
    {"GetVolt", TReadingGroup::Volt},
    {"GetTemp", TReadingGroup::Temp},
    {"GetFan", TReadingGroup::Fan},
    {"GetInput16", TReadingGroup::Input},
}};

// Largest answer body a poll accepts for one command.
constexpr int32_t kMaxAnswerBytes = 64 * 1024;

}  // namespace

int32_t PollStatus(const std::string& host, const std::string& userName, const std::string& password,
                   int32_t port, int32_t connectTimeout, int32_t readTimeout) {
    const TPollResult result = PollUnit(TUnitTarget{host, port, userName, password, connectTimeout, readTimeout});
    ApplyPollResult(result);
    return result.Outcome.Code;
}

TPollResult PollUnit(const TUnitTarget& target) {
    TPollResult result;
    TPollOutcome& outcome = result.Outcome;
    outcome.StartedAtMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                              std::chrono::system_clock::now().time_since_epoch())
                              .count();
    const auto started = std::chrono::steady_clock::now();
    TStringList answer;
    TNetHTTP client(nullptr);
    client.SetReadTimeout(target.ReadTimeoutMs);
    client.SetHost(target.Host);
    client.SetPort(target.Port);
    client.Request().BasicAuthentication = true;
    // The credentials go to the request record as they are, not through the URL: a "/", "?",
    // "#", "@" or ":" in them would make the URL name another host, path or port, and send
    // the password there.
    client.Request().Username = target.UserName;
    client.Request().Password = target.Password;
    // Reconnects inside the poll get the same limit as its first connect (and never more
    // than is left of the exchange time).
    client.ConnectTimeout = target.ConnectTimeoutMs;
    // The unit answers in a few hundred bytes; the client's general body limit would let one
    // answer of separators grow the answer list some seventy times its size.
    client.MaxBodyBytes = kMaxAnswerBytes;
    try {
        result.Started = true;
        if (!client.IsOpen()) client.OpenConnection(target.ConnectTimeoutMs);
        // The connect has its own limit; from here on the whole exchange is bounded too.
        client.SetExchangeDeadline(PollExchangeLimit(target.ReadTimeoutMs));
        for (const Command& command : kCommands) {
            // Relative to the client's Host and Port, so the address is never parsed again.
            answer.SplitCommaText(client.Get(std::string("/Set.cmd?cmd=") + command.name));
            ParseReadingGroup(answer, command.group, result.Readings, &result.Reached);
        }
        outcome.Code = client.StatusCode();
        outcome.Succeeded = true;
        client.DropSocket();
    } catch (...) {
        // One place turns every failure of a poll into one counted error; nothing is shown.
        result.Failed = true;
        result.Failure = std::current_exception();
        outcome.Code = client.StatusCode();
        outcome.FailureReason = DescribePollFailure(result.Failure, outcome.Code);
    }
    outcome.DurationMs =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started).count();
    return result;
}

}  // namespace quorvane
