#include "monitor/sensor_poll.h"

#include <array>

#include "http/net_http.h"
#include "text/string_list.h"

namespace quorvane {

namespace {

// The unit's commands in the order a poll sends them, with the group each one fills.
struct Command {
    const char* name;
    void (*parse)(TStringList&, TReadingRecord&);
};

constexpr std::array<Command, 4> kCommands{{
    {"GetVolt", &ParseVolt},
    {"GetTemp", &ParseTemp},
    {"GetFan", &ParseFan},
    {"GetInput16", &ParseInput},
}};

// Largest answer body a poll accepts for one command.
constexpr int32_t kMaxAnswerBytes = 64 * 1024;

}  // namespace

int32_t PollStatus(const std::string& host, const std::string& userName, const std::string& password,
                   int32_t port, int32_t connectTimeout, int32_t readTimeout) {
    std::exception_ptr failure;
    return PollStatusCapturing(host, userName, password, port, connectTimeout, readTimeout, failure);
}

int32_t PollStatusCapturing(const std::string& host, const std::string& userName, const std::string& password,
                            int32_t port, int32_t connectTimeout, int32_t readTimeout, std::exception_ptr& failure) {
    int32_t result = -1;
    failure = nullptr;
    TStringList answer;
    TNetHTTP client(nullptr);
    client.SetReadTimeout(readTimeout);
    client.SetHost(host);
    client.SetPort(port);
    client.Request().BasicAuthentication = true;
    // The credentials go to the request record as they are, not through the URL: a "/", "?",
    // "#", "@" or ":" in them would make the URL name another host, path or port, and send
    // the password there.
    client.Request().Username = userName;
    client.Request().Password = password;
    // Reconnects inside the poll get the same limit as its first connect (and never more
    // than is left of the exchange time).
    client.ConnectTimeout = connectTimeout;
    // The unit answers in a few hundred bytes; the client's general body limit would let one
    // answer of separators grow the answer list some seventy times its size.
    client.MaxBodyBytes = kMaxAnswerBytes;
    try {
        ++PollCount;
        if (!client.IsOpen()) client.OpenConnection(connectTimeout);
        // The connect has its own limit; from here on the whole exchange is bounded too.
        client.SetExchangeDeadline(PollExchangeLimit(readTimeout));
        for (const Command& command : kCommands) {
            // Relative to the client's Host and Port, so the address is never parsed again.
            answer.SplitCommaText(client.Get(std::string("/Set.cmd?cmd=") + command.name));
            command.parse(answer, Reading);
        }
        result = client.StatusCode();
        client.DropSocket();
    } catch (...) {
        // One place turns every failure of a poll into one counted error; nothing is shown.
        ++ErrorCount;
        failure = std::current_exception();
        result = client.StatusCode();
    }
    return result;
}

}  // namespace quorvane
