// Transport benchmarks on loopback, each beside the floor it is measured against:
//   ReadLine over 20-byte and 16 KiB lines  vs  a plain recv loop moving the same bytes;
//   OpenConnection with a 2000 ms limit     vs  a plain blocking connect.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "tcp/net_tcp_client.h"

namespace {

using quorvane::TNetTCPClient;

constexpr int64_t kBlockBytes = 1 << 20;  // bytes read per benchmark iteration

int ListenLoopback(uint16_t& port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int yes = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 128) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        throw std::runtime_error("cannot listen on 127.0.0.1");
    }
    port = ntohs(address.sin_port);
    return fd;
}

// Accepts connections until stopped (bounded: it polls in 50 ms steps and stops after 120 s).
// Each accepted connection either gets an endless stream of one block or is closed at once.
class LoopbackServer {
public:
    explicit LoopbackServer(std::string block) : block_(std::move(block)) {
        listenFd_ = ListenLoopback(port_);
        thread_ = std::thread([this] { Run(); });
    }
    ~LoopbackServer() {
        stop_ = true;
        thread_.join();
        ::close(listenFd_);
    }
    uint16_t Port() const { return port_; }

private:
    void Run() {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
        while (!stop_ && std::chrono::steady_clock::now() < deadline) {
            pollfd entry{listenFd_, POLLIN, 0};
            if (::poll(&entry, 1, 50) <= 0) {
                continue;
            }
            const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) {
                continue;
            }
            // Streams until the client goes away (send then fails).
            while (!block_.empty() && !stop_) {
                if (::send(fd, block_.data(), block_.size(), MSG_NOSIGNAL) < 0) {
                    break;
                }
            }
            ::close(fd);
        }
    }

    std::string block_;
    int listenFd_ = -1;
    uint16_t port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

std::string LineBlock(int64_t lineBytes) {
    std::string line(static_cast<size_t>(lineBytes - 1), 'v');
    line += '\n';
    std::string block;
    while (static_cast<int64_t>(block.size()) < kBlockBytes) {
        block += line;
    }
    return block;
}

void BM_ReadLine(benchmark::State& state) {
    const int64_t lineBytes = state.range(0);
    const std::string block = LineBlock(lineBytes);
    LoopbackServer server(block);
    TNetTCPClient client;
    client.SetHost("127.0.0.1");
    client.SetPort(server.Port());
    client.OpenConnection(2000);
    const int64_t lines = static_cast<int64_t>(block.size()) / lineBytes;
    for (auto _ : state) {
        for (int64_t i = 0; i < lines; ++i) {
            benchmark::DoNotOptimize(client.ReadLine());
        }
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(block.size()));
    client.Disconnect();
}
BENCHMARK(BM_ReadLine)->Arg(20)->Arg(16384)->Unit(benchmark::kMicrosecond);

// The floor: the same bytes through plain recv calls of the same size (32 KiB).
void BM_PlainRecv(benchmark::State& state) {
    const std::string block = LineBlock(state.range(0));
    LoopbackServer server(block);
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(server.Port());
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        state.SkipWithError("connect failed");
        return;
    }
    std::vector<char> buffer(32768);
    for (auto _ : state) {
        int64_t left = static_cast<int64_t>(block.size());
        while (left > 0) {
            const ssize_t got = ::recv(fd, buffer.data(), static_cast<size_t>(std::min<int64_t>(left, 32768)), 0);
            if (got <= 0) {
                state.SkipWithError("recv failed");
                break;
            }
            left -= got;
        }
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(block.size()));
    ::close(fd);
}
BENCHMARK(BM_PlainRecv)->Arg(20)->Arg(16384)->Unit(benchmark::kMicrosecond);

// Per-connect median over the run, reported as a counter (microseconds).
void ReportMedian(benchmark::State& state, std::vector<double>& micros) {
    if (micros.empty()) {
        return;
    }
    std::sort(micros.begin(), micros.end());
    state.counters["median_us"] = micros[micros.size() / 2];
    state.counters["p90_us"] = micros[micros.size() * 9 / 10];
}

void BM_OpenConnection2000(benchmark::State& state) {
    LoopbackServer server("");
    TNetTCPClient client;
    client.SetHost("127.0.0.1");
    client.SetPort(server.Port());
    std::vector<double> micros;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        client.OpenConnection(2000);
        micros.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
        client.DropSocket();
    }
    ReportMedian(state, micros);
}
BENCHMARK(BM_OpenConnection2000)->Iterations(2000)->Unit(benchmark::kMicrosecond);

// The floor: socket, connect, close with plain calls.
void BM_PlainConnect(benchmark::State& state) {
    LoopbackServer server("");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(server.Port());
    std::vector<double> micros;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            state.SkipWithError("connect failed");
        }
        micros.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
        ::close(fd);
    }
    ReportMedian(state, micros);
}
BENCHMARK(BM_PlainConnect)->Iterations(2000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
