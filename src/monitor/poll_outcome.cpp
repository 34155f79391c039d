#include "monitor/poll_outcome.h"

#include "http/net_http.h"
#include "rtl/format.h"
#include "tcp/net_exception.h"

namespace quorvane {

namespace {

// Messages of the transport may hold line breaks ("Socket Error # %d\r\n%s"); a reason is
// shown on one line.
std::string OneLine(const std::string& text) {
    std::string line;
    line.reserve(text.size());
    for (const char c : text) {
        if (c == '\r' || c == '\n') {
            if (!line.empty() && line.back() != ' ') line += ' ';
        } else {
            line += c;
        }
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    return line;
}

// "Socket Error # 10061\r\nConnection refused." reads "Connection refused (10061)".
std::string SocketReason(const std::string& message, int32_t code) {
    const size_t lineBreak = message.find('\n');
    std::string text = lineBreak == std::string::npos ? std::string() : OneLine(message.substr(lineBreak + 1));
    if (!text.empty() && text.back() == '.') text.pop_back();
    if (text.empty()) return OneLine(message);
    return Format("%s (%d)", text.c_str(), code);
}

// A timed connect carries the connect thread's socket error as its bare message.
std::string ConnectReason(const std::string& message) {
    static const std::string prefix = "Socket Error # ";
    if (message.rfind(prefix, 0) != 0) return OneLine(message);
    int32_t code = 0;
    for (size_t i = prefix.size(); i < message.size() && message[i] >= '0' && message[i] <= '9' && code < 100000; ++i) {
        code = code * 10 + (message[i] - '0');
    }
    return SocketReason(message, code);
}

// "HTTP/1.1 401 Unauthorized" reads "401 Unauthorized", with a hint for the codes a user can act on.
std::string ProtocolReason(const ENetHTTPProtocolException& error) {
    std::string line = OneLine(error.Message());
    if (line.rfind("HTTP/", 0) == 0) {
        const size_t blank = line.find(' ');
        line = blank == std::string::npos ? std::string() : line.substr(blank + 1);
    }
    if (line.empty()) line = std::to_string(error.ReplyCode());
    switch (error.ReplyCode()) {
        case 401: return line + ": check user name and password";
        case 403: return line + ": the unit refuses this user";
        case 404: return line + ": this address does not answer like a sensor unit";
        default: return "The unit answered " + line;
    }
}

}  // namespace

std::string DescribePollFailure(const std::exception_ptr& error, int32_t code) {
    try {
        if (error) std::rethrow_exception(error);
    } catch (const ENetSocketError& e) {
        return SocketReason(e.Message(), e.LastError());
    } catch (const ENetConnectException& e) {
        return ConnectReason(e.Message());
    } catch (const ENetHTTPProtocolException& e) {
        return ProtocolReason(e);
    } catch (const ENetHTTPResponseTooLarge& e) {
        return "The unit's answer is too large: " + OneLine(e.Message());
    } catch (const ENetHTTPDeadlineExceeded& e) {
        return "The unit answers too slowly: " + OneLine(e.Message());
    } catch (const ENetConnClosedGracefully&) {
        return "The unit closed the connection before it answered";
    } catch (const ENetException& e) {
        const std::string line = OneLine(e.Message());
        return line.empty() ? "Network error" : line;
    } catch (const EStringListError& e) {
        // A group's answer lacked an item: the peer is no sensor unit, or a broken one.
        return "Unreadable answer from the unit: " + OneLine(e.Message());
    } catch (const Exception& e) {
        return "Unreadable answer from the unit: " + OneLine(e.Message());
    } catch (const std::bad_alloc&) {
        return "Out of memory";
    } catch (const std::exception& e) {
        return OneLine(e.what());
    } catch (...) {
    }
    return code > 0 ? Format("The poll failed (response code %d)", code) : "The poll failed";
}

}  // namespace quorvane
