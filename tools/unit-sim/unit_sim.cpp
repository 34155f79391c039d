// unit-sim: a stand-in for the Quorvane sensor unit on the loopback interface.
//
// It answers the unit's four commands (GET /Set.cmd?cmd=GetVolt|GetTemp|GetFan|GetInput16)
// with Basic authentication and readings that drift over time, so that the monitor, its
// tests and its benchmark have a unit to talk to without any hardware. Options switch on the
// awkward behaviours real units show (closing after each answer, chunked bodies, bodies
// without a length, slow answers, error codes). It never binds anything but a loopback
// address: a test tool must not become a service on the factory network.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace {

struct Options {
    std::string bindAddress = "127.0.0.1";
    int port = 0;
    std::string user = "admin";
    std::string password = "57203941";
    bool closeAfterAnswer = false;
    bool chunked = false;
    bool noLength = false;
    int delayMs = 0;
    int status = 200;
    long maxRequests = 0;  // 0: no limit
    double seconds = 0;    // 0: no limit
    int idleMs = 30000;
    int maxClients = 64;
    bool verbose = false;
    bool vary = false;
};

// Anything a client sends beyond this in one head is not a request of the monitor.
constexpr size_t kMaxRequestHead = 16 * 1024;
constexpr size_t kMaxRequestBody = 64 * 1024;

std::atomic<bool> gStop{false};
std::atomic<long> gAnswered{0};
std::atomic<uint32_t> gJitterState{12345u};
const auto gStart = std::chrono::steady_clock::now();

void OnSignal(int) { gStop.store(true); }

void Usage(FILE* out) {
    std::fprintf(out,
                 "usage: unit-sim [options]\n"
                 "  --bind ADDR        loopback address to listen on (default 127.0.0.1; 127.0.0.0/8 only)\n"
                 "  --port N           TCP port, 0 picks a free one (default 0)\n"
                 "  --user NAME        user name the unit accepts (default admin)\n"
                 "  --password TEXT    password the unit accepts (default 57203941)\n"
                 "  --close            close the connection after each answer\n"
                 "  --chunked          send bodies with chunked transfer coding\n"
                 "  --no-length        send bodies without a length and close after them\n"
                 "  --delay-ms N       wait N ms before each answer\n"
                 "  --status N         answer authorised requests with status N\n"
                 "  --max-requests N   stop after N answers\n"
                 "  --seconds N        stop after N seconds\n"
                 "  --idle-ms N        close a connection idle for N ms (default 30000)\n"
                 "  --max-clients N    connections served at once (default 64)\n"
                 "  --verbose          log each request, and the readings served, on stderr\n"
                 "  --vary             readings that change within minutes (drifts, spikes, a fan stopping)\n"
                 "The first line on stdout is \"listening on ADDR:PORT\".\n");
}

bool ParseLong(const char* text, long low, long high, long& out) {
    if (text == nullptr || *text == '\0') return false;
    char* end = nullptr;
    errno = 0;
    long value = std::strtol(text, &end, 10);
    if (errno != 0 || *end != '\0' || value < low || value > high) return false;
    out = value;
    return true;
}

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto next = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        long number = 0;
        if (arg == "--bind") {
            const char* value = next();
            if (value == nullptr) return false;
            options.bindAddress = value;
        } else if (arg == "--port") {
            if (!ParseLong(next(), 0, 65535, number)) return false;
            options.port = static_cast<int>(number);
        } else if (arg == "--user") {
            const char* value = next();
            if (value == nullptr) return false;
            options.user = value;
        } else if (arg == "--password") {
            const char* value = next();
            if (value == nullptr) return false;
            options.password = value;
        } else if (arg == "--close") {
            options.closeAfterAnswer = true;
        } else if (arg == "--chunked") {
            options.chunked = true;
        } else if (arg == "--no-length") {
            options.noLength = true;
        } else if (arg == "--delay-ms") {
            if (!ParseLong(next(), 0, 3600000, number)) return false;
            options.delayMs = static_cast<int>(number);
        } else if (arg == "--status") {
            if (!ParseLong(next(), 100, 999, number)) return false;
            options.status = static_cast<int>(number);
        } else if (arg == "--max-requests") {
            if (!ParseLong(next(), 1, 1000000000L, number)) return false;
            options.maxRequests = number;
        } else if (arg == "--seconds") {
            if (!ParseLong(next(), 1, 86400 * 365, number)) return false;
            options.seconds = static_cast<double>(number);
        } else if (arg == "--idle-ms") {
            if (!ParseLong(next(), 1, 3600000, number)) return false;
            options.idleMs = static_cast<int>(number);
        } else if (arg == "--max-clients") {
            if (!ParseLong(next(), 1, 1024, number)) return false;
            options.maxClients = static_cast<int>(number);
        } else if (arg == "--vary") {
            options.vary = true;
        } else if (arg == "--verbose") {
            options.verbose = true;
        } else if (arg == "--help" || arg == "-h") {
            Usage(stdout);
            std::exit(0);
        } else {
            return false;
        }
    }
    if (options.chunked && options.noLength) {
        std::fprintf(stderr, "unit-sim: --chunked and --no-length exclude each other\n");
        return false;
    }
    return true;
}

std::string Printf(const char* pattern, ...) __attribute__((format(printf, 1, 2)));
std::string Printf(const char* pattern, ...) {
    char buffer[512];
    va_list args;
    va_start(args, pattern);
    int n = std::vsnprintf(buffer, sizeof buffer, pattern, args);
    va_end(args);
    if (n < 0) return {};
    return std::string(buffer, static_cast<size_t>(std::min<int>(n, sizeof buffer - 1)));
}

std::string Base64(const std::string& bytes) {
    static const char table[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        uint32_t v = (uint8_t(bytes[i]) << 16) | (uint8_t(bytes[i + 1]) << 8) | uint8_t(bytes[i + 2]);
        out += table[v >> 18];
        out += table[(v >> 12) & 63];
        out += table[(v >> 6) & 63];
        out += table[v & 63];
    }
    size_t rest = bytes.size() - i;
    if (rest > 0) {
        uint32_t v = uint8_t(bytes[i]) << 16;
        if (rest == 2) v |= uint8_t(bytes[i + 1]) << 8;
        out += table[v >> 18];
        out += table[(v >> 12) & 63];
        out += rest == 2 ? table[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

std::string Lower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

std::string Trim(const std::string& text) {
    size_t b = text.find_first_not_of(" \t");
    if (b == std::string::npos) return {};
    size_t e = text.find_last_not_of(" \t\r");
    return text.substr(b, e - b + 1);
}

// A little noise on top of the slow drift, so two polls a second apart still differ.
double Jitter(double amplitude) {
    uint32_t s = gJitterState.load();
    uint32_t next;
    do {
        next = s * 1664525u + 1013904223u;
    } while (!gJitterState.compare_exchange_weak(s, next));
    return amplitude * ((static_cast<double>(next >> 8) / 16777216.0) * 2.0 - 1.0);
}

double Seconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - gStart).count();
}

bool gVary = false;

// With --vary the readings move enough within minutes for a chart to show it: faster and wider
// drifts, a two-second temperature spike every 97 s and fan 2 standing still for ten seconds
// every five minutes. Everything but the jitter is a function of the time since start.
std::string VaryingReadings(const std::string& command, double t) {
    if (command == "GetVolt") {
        return Printf("<html>V1:%.2f,V2:%.2f,V3:%.2f</html>", 12.0 + 0.6 * std::sin(t / 45) + Jitter(0.03),
                      5.0 + 0.2 * std::sin(t / 20) + Jitter(0.01), 3.3 + 0.1 * std::sin(t / 70) + Jitter(0.01));
    }
    if (command == "GetTemp") {
        const bool spike = std::fmod(t, 97.0) < 2.0 && t > 2.0;
        return Printf("<html>T1:%.1f,T2:%.1f,T3:%.1f</html>", 30.0 + t / 60 + 6.0 * std::sin(t / 40) + Jitter(0.2),
                      28.0 + 4.0 * std::sin(t / 25) + (spike ? 25.0 : 0.0) + Jitter(0.2),
                      42.0 + 8.0 * std::sin(t / 55) + Jitter(0.3));
    }
    if (command == "GetFan") {
        const bool fan2Stopped = std::fmod(t, 300.0) >= 120.0 && std::fmod(t, 300.0) < 130.0;
        return Printf("<html>F1:%d,F2:%d,F3:%d</html>", static_cast<int>(2400 + 500 * std::sin(t / 30) + Jitter(20)),
                      fan2Stopped ? 0 : static_cast<int>(1800 + 300 * std::sin(t / 45) + Jitter(15)),
                      static_cast<int>(3000 + 400 * std::sin(t / 35) + Jitter(25)));
    }
    return {};
}

std::string Readings(const std::string& command) {
    const double t = Seconds();
    if (gVary && command != "GetInput16") return VaryingReadings(command, t);
    if (command == "GetVolt") {
        return Printf("<html>V1:%.1f,V2:%.2f,V3:%.2f</html>", 12.0 + 0.2 * std::sin(t / 40) + Jitter(0.05),
                      5.0 + 0.05 * std::sin(t / 25) + Jitter(0.02), 3.3 + 0.03 * std::sin(t / 30) + Jitter(0.01));
    }
    if (command == "GetTemp") {
        return Printf("<html>T1:%.1f,T2:%.1f,T3:%.1f</html>", 35.0 + 3.0 * std::sin(t / 120) + Jitter(0.2),
                      28.0 + 2.0 * std::sin(t / 150) + Jitter(0.2), 42.0 + 4.0 * std::sin(t / 90) + Jitter(0.3));
    }
    if (command == "GetFan") {
        return Printf("<html>F1:%d,F2:%d,F3:%d</html>", static_cast<int>(2400 + 150 * std::sin(t / 20) + Jitter(20)),
                      static_cast<int>(1800 + 100 * std::sin(t / 33) + Jitter(15)),
                      static_cast<int>(3000 + 200 * std::sin(t / 27) + Jitter(25)));
    }
    if (command == "GetInput16") {
        // The pattern moves on every five seconds, like switches flipped now and then.
        uint32_t step = static_cast<uint32_t>(t / 5);
        uint32_t bits = (0xA5C3u ^ (step * 0x9E37u)) & 0xFFFFu;
        std::string body = "<html>Input:";
        for (int i = 0; i < 16; ++i) {
            body += Printf("%sI%d:%u", i == 0 ? "" : ",", i + 1, (bits >> i) & 1u);
        }
        return body + "</html>";
    }
    return {};
}

const char* Reason(int status) {
    switch (status) {
        case 200: return "OK";
        case 204: return "No Content";
        case 301: return "Moved Permanently";
        case 302: return "Found";
        case 304: return "Not Modified";
        case 400: return "Bad Request";
        case 401: return "Unauthorized";
        case 403: return "Forbidden";
        case 404: return "Not Found";
        case 405: return "Method Not Allowed";
        case 431: return "Request Header Fields Too Large";
        case 500: return "Internal Server Error";
        case 503: return "Service Unavailable";
        default: return "Status";
    }
}

bool SendAll(int fd, const std::string& bytes) {
    size_t offset = 0;
    while (offset < bytes.size()) {
        ssize_t n = ::send(fd, bytes.data() + offset, bytes.size() - offset, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        offset += static_cast<size_t>(n);
    }
    return true;
}

class Connection {
public:
    Connection(int fd, const Options& options) : fd_(fd), options_(options) {}
    ~Connection() { ::close(fd_); }

    void Serve() {
        while (!gStop.load()) {
            std::string head;
            if (!ReadHead(head)) return;
            if (!Answer(head)) return;
        }
    }

private:
    // Fills the buffer until it holds a whole head; false on close, idle time-out or stop.
    bool ReadHead(std::string& head) {
        auto idleSince = std::chrono::steady_clock::now();
        for (;;) {
            size_t end = buffer_.find("\r\n\r\n");
            if (end != std::string::npos) {
                head = buffer_.substr(0, end + 4);
                buffer_.erase(0, end + 4);
                return true;
            }
            if (buffer_.size() > kMaxRequestHead) {
                Respond(431, "<html>431 Request Header Fields Too Large</html>", true, "");
                return false;
            }
            if (!Fill(idleSince)) return false;
        }
    }

    bool Fill(std::chrono::steady_clock::time_point& idleSince) {
        for (;;) {
            if (gStop.load()) return false;
            pollfd p{fd_, POLLIN, 0};
            int r = ::poll(&p, 1, 100);
            if (r < 0 && errno != EINTR) return false;
            if (r > 0) break;
            if (std::chrono::steady_clock::now() - idleSince > std::chrono::milliseconds(options_.idleMs)) return false;
        }
        char chunk[4096];
        ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
        if (n <= 0) return false;
        buffer_.append(chunk, static_cast<size_t>(n));
        idleSince = std::chrono::steady_clock::now();
        return true;
    }

    std::string Header(const std::string& head, const std::string& name) const {
        const std::string wanted = Lower(name);
        size_t pos = head.find("\r\n");
        while (pos != std::string::npos && pos + 2 < head.size()) {
            size_t start = pos + 2;
            size_t end = head.find("\r\n", start);
            if (end == std::string::npos || end == start) break;
            std::string line = head.substr(start, end - start);
            size_t colon = line.find(':');
            if (colon != std::string::npos && Lower(Trim(line.substr(0, colon))) == wanted) {
                return Trim(line.substr(colon + 1));
            }
            pos = end;
        }
        return {};
    }

    bool Answer(const std::string& head) {
        size_t lineEnd = head.find("\r\n");
        std::string requestLine = head.substr(0, lineEnd);
        if (options_.verbose) std::fprintf(stderr, "unit-sim: %s\n", requestLine.c_str());

        // A request body (the unit takes none) is read and dropped so the next head lines up.
        long bodyLength = 0;
        std::string lengthText = Header(head, "Content-Length");
        if (!lengthText.empty() && !ParseLong(lengthText.c_str(), 0, static_cast<long>(kMaxRequestBody), bodyLength)) {
            return Respond(400, "<html>400 Bad Request</html>", true, "");
        }
        auto idleSince = std::chrono::steady_clock::now();
        while (buffer_.size() < static_cast<size_t>(bodyLength)) {
            if (!Fill(idleSince)) return false;
        }
        buffer_.erase(0, static_cast<size_t>(bodyLength));

        size_t sp1 = requestLine.find(' ');
        size_t sp2 = sp1 == std::string::npos ? std::string::npos : requestLine.find(' ', sp1 + 1);
        if (sp2 == std::string::npos) return Respond(400, "<html>400 Bad Request</html>", true, "");
        std::string method = requestLine.substr(0, sp1);
        std::string target = requestLine.substr(sp1 + 1, sp2 - sp1 - 1);
        std::string version = requestLine.substr(sp2 + 1);

        std::string connection = Lower(Header(head, "Connection"));
        bool close = options_.closeAfterAnswer || connection == "close" ||
                     (version == "HTTP/1.0" && connection != "keep-alive");

        if (Header(head, "Authorization") != "Basic " + Base64(options_.user + ":" + options_.password)) {
            return Respond(401, "<html>401 Unauthorized</html>", close, "WWW-Authenticate: Basic realm=\"Quorvane\"\r\n");
        }
        if (method != "GET") return Respond(405, "<html>405 Method Not Allowed</html>", close, "Allow: GET\r\n");
        const std::string prefix = "/Set.cmd?cmd=";
        std::string body = target.compare(0, prefix.size(), prefix) == 0 ? Readings(target.substr(prefix.size())) : "";
        if (body.empty()) return Respond(404, "<html>404 Not Found</html>", close, "");
        if (options_.status != 200) {
            return Respond(options_.status, Printf("<html>%d %s</html>", options_.status, Reason(options_.status)), close, "");
        }
        // The readings served, for checks that compare them with what a client made of them.
        if (options_.verbose) std::fprintf(stderr, "unit-sim: answered %s\n", body.c_str());
        return Respond(200, body, close, "");
    }

    // Sends one answer in the configured framing; false when the connection ends here.
    bool Respond(int status, const std::string& body, bool close, const std::string& extraHeaders) {
        for (int waited = 0; waited < options_.delayMs && !gStop.load(); waited += 20) {
            std::this_thread::sleep_for(std::chrono::milliseconds(std::min(20, options_.delayMs - waited)));
        }
        const bool bodiless = status == 204 || status == 304 || (status >= 100 && status < 200);
        const std::string& content = bodiless ? std::string() : body;
        const bool noLength = options_.noLength && !bodiless;
        if (noLength) close = true;
        std::string answer = Printf("HTTP/1.1 %d %s\r\n", status, Reason(status));
        answer += "Server: unit-sim\r\nContent-Type: text/html\r\n";
        answer += extraHeaders;
        std::string payload = content;
        if (options_.chunked && !noLength && !bodiless) {
            answer += "Transfer-Encoding: chunked\r\n";
            size_t half = content.size() / 2;
            payload.clear();
            for (const std::string& piece : {content.substr(0, half), content.substr(half)}) {
                if (!piece.empty()) payload += Printf("%zx\r\n", piece.size()) + piece + "\r\n";
            }
            payload += "0\r\n\r\n";
        } else if (!noLength && !bodiless) {
            answer += Printf("Content-Length: %zu\r\n", content.size());
        }
        if (close && !noLength) answer += "Connection: close\r\n";
        answer += "\r\n";
        answer += payload;
        bool sent = SendAll(fd_, answer);
        long answered = gAnswered.fetch_add(1) + 1;
        if (options_.maxRequests > 0 && answered >= options_.maxRequests) gStop.store(true);
        if (close) ::shutdown(fd_, SHUT_WR);
        return sent && !close;
    }

    int fd_;
    const Options& options_;
    std::string buffer_;
};

struct Worker {
    std::thread thread;
    std::atomic<bool> done{false};
};

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        Usage(stderr);
        return 2;
    }
    gVary = options.vary;
    in_addr address{};
    if (::inet_pton(AF_INET, options.bindAddress.c_str(), &address) != 1 || (ntohl(address.s_addr) >> 24) != 127) {
        std::fprintf(stderr, "unit-sim: refusing to listen on %s: only loopback addresses (127.0.0.0/8) are allowed\n",
                     options.bindAddress.c_str());
        return 2;
    }

    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
    ::signal(SIGPIPE, SIG_IGN);

    int listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listenFd < 0) {
        std::perror("unit-sim: socket");
        return 1;
    }
    int one = 1;
    ::setsockopt(listenFd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr = address;
    local.sin_port = htons(static_cast<uint16_t>(options.port));
    if (::bind(listenFd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 || ::listen(listenFd, 64) != 0) {
        std::fprintf(stderr, "unit-sim: cannot listen on %s:%d: %s\n", options.bindAddress.c_str(), options.port,
                     std::strerror(errno));
        ::close(listenFd);
        return 1;
    }
    socklen_t length = sizeof local;
    ::getsockname(listenFd, reinterpret_cast<sockaddr*>(&local), &length);
    std::printf("listening on %s:%u\n", options.bindAddress.c_str(), ntohs(local.sin_port));
    std::fflush(stdout);

    std::list<Worker> workers;
    auto reap = [&workers] {
        for (auto it = workers.begin(); it != workers.end();) {
            if (it->done.load()) {
                it->thread.join();
                it = workers.erase(it);
            } else {
                ++it;
            }
        }
    };

    while (!gStop.load()) {
        if (options.seconds > 0 && Seconds() >= options.seconds) break;
        reap();
        pollfd p{listenFd, POLLIN, 0};
        int r = ::poll(&p, 1, 100);
        if (r <= 0) continue;
        int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        if (static_cast<int>(workers.size()) >= options.maxClients) {
            ::close(fd);  // bounded: a flood of clients must not become a flood of threads
            continue;
        }
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        Worker& worker = workers.emplace_back();
        worker.thread = std::thread([fd, &options, &worker] {
            {
                Connection connection(fd, options);
                connection.Serve();
            }
            worker.done.store(true);
        });
    }
    gStop.store(true);
    ::close(listenFd);
    for (Worker& worker : workers) worker.thread.join();
    return 0;
}
