#include "monitor/poll_outcome.h"

#include <gtest/gtest.h>

#include <exception>
#include <functional>
#include <new>
#include <stdexcept>
#include <string>

#include "http/net_http.h"
#include "rtl/exception.h"
#include "tcp/net_exception.h"

namespace quorvane {
namespace {

struct FailureCase {
    const char* name;
    std::function<void()> raise;  // throws what the poll caught; does nothing for no failure
    int32_t code;                 // the last status code the poll saw
    const char* line;
};

void PrintTo(const FailureCase& row, std::ostream* out) { *out << row.name; }

class DescribePollFailureTest : public ::testing::TestWithParam<FailureCase> {};

TEST_P(DescribePollFailureTest, GivesOneLineAUserCanActOn) {
    std::exception_ptr failure;
    try {
        GetParam().raise();
    } catch (...) {
        failure = std::current_exception();
    }
    EXPECT_EQ(DescribePollFailure(failure, GetParam().code), GetParam().line);
}

// The messages are those the transport and the client raise.
INSTANTIATE_TEST_SUITE_P(
    Failures, DescribePollFailureTest,
    ::testing::Values(
        FailureCase{"RefusedConnect", [] { throw ENetSocketError(10061, "Socket Error # 10061\r\nConnection refused."); },
                    -1, "Connection refused (10061)"},
        FailureCase{"SocketErrorWithoutText", [] { throw ENetSocketError(99999, "Socket Error # 99999\r\n"); }, -1,
                    "Socket Error # 99999"},
        FailureCase{"RefusedTimedConnect",
                    [] { throw ENetConnectException("Socket Error # 10061\r\nConnection refused."); }, -1,
                    "Connection refused (10061)"},
        FailureCase{"ConnectTimeout", [] { throw ENetConnectTimeout("Connect timed out."); }, -1, "Connect timed out."},
        FailureCase{"ReadTimeout", [] { throw ENetReadTimeout("Read Timeout"); }, 200, "Read Timeout"},
        FailureCase{"Unauthorized",
                    [] { throw ENetHTTPProtocolException(401, "HTTP/1.1 401 Unauthorized", "deny"); }, 401,
                    "401 Unauthorized: check user name and password"},
        FailureCase{"Forbidden", [] { throw ENetHTTPProtocolException(403, "HTTP/1.1 403 Forbidden", ""); }, 403,
                    "403 Forbidden: the unit refuses this user"},
        FailureCase{"NotFound", [] { throw ENetHTTPProtocolException(404, "HTTP/1.0 404 Not Found", ""); }, 404,
                    "404 Not Found: this address does not answer like a sensor unit"},
        FailureCase{"OtherStatusWithoutReason", [] { throw ENetHTTPProtocolException(503, "HTTP/1.1 503", ""); },
                    503, "The unit answered 503"},
        FailureCase{"AnswerTooLarge",
                    [] { throw ENetHTTPResponseTooLarge("Response body exceeds 16777216 bytes"); }, 200,
                    "The unit's answer is too large: Response body exceeds 16777216 bytes"},
        FailureCase{"ExchangeDeadline",
                    [] { throw ENetHTTPDeadlineExceeded("Exchange time limit of 2400 ms exceeded"); }, 200,
                    "The unit answers too slowly: Exchange time limit of 2400 ms exceeded"},
        FailureCase{"ClosedBeforeTheAnswer", [] { throw ENetConnClosedGracefully("Connection Closed Gracefully."); },
                    -1, "The unit closed the connection before it answered"},
        FailureCase{"NetworkErrorWithoutMessage", [] { throw ENetNotConnected(""); }, -1, "Network error"},
        FailureCase{"MissingItem", [] { throw EStringListError("List index out of bounds (2)"); }, 200,
                    "Unreadable answer from the unit: List index out of bounds (2)"},
        FailureCase{"OutOfMemory", [] { throw std::bad_alloc(); }, 200, "Out of memory"},
        FailureCase{"MessageOnTwoLines", [] { throw std::runtime_error("first\r\nsecond\n"); }, -1, "first second"},
        FailureCase{"UnknownThrowWithACode", [] { throw 42; }, 200, "The poll failed (response code 200)"},
        FailureCase{"NoFailureAtAll", [] {}, -1, "The poll failed"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quorvane
