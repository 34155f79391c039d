#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace quorvane::testing {

// One accepted connection as the scripted server sees it. Every call is bounded by the
// server's time limit; a call that runs out of time or finds the peer gone returns what it
// has (an empty or short result, false) rather than blocking the test.
class ScriptedPeer {
public:
    explicit ScriptedPeer(int fd, std::chrono::steady_clock::time_point deadline);
    ~ScriptedPeer();
    ScriptedPeer(const ScriptedPeer&) = delete;
    ScriptedPeer& operator=(const ScriptedPeer&) = delete;

    // Reads until the received bytes end with terminator (the terminator is included) or the
    // peer closes or time runs out. The default reads one HTTP request head.
    std::string ReceiveUntil(const std::string& terminator = "\r\n\r\n");
    // Reads exactly count bytes unless the peer closes or time runs out first.
    std::string ReceiveExactly(size_t count);
    // Waits up to limit for the client to close; true when it did (recv gave 0 or an error).
    bool WaitForClose(std::chrono::milliseconds limit);

    // Sends all bytes in one send call where the kernel takes them.
    bool Send(const std::string& bytes);
    // Sends the bytes in pieces of the given size with a pause after each piece.
    bool SendInPieces(const std::string& bytes, size_t pieceSize, std::chrono::milliseconds pause);

    // Orderly close (FIN), or an abortive one (RST: SO_LINGER with zero time).
    void Close();
    void Reset();

    // Number of recv calls that returned data, and every byte received so far, in order.
    int ReceiveCalls() const { return receiveCalls_; }
    const std::string& Received() const { return received_; }

private:
    bool WaitReadable(std::chrono::steady_clock::time_point until);
    // One recv into the received bytes; false when the peer closed or the call failed.
    bool ReceiveSome();

    int fd_;
    std::chrono::steady_clock::time_point deadline_;
    int receiveCalls_ = 0;
    std::string received_;
    std::string pending_;
};

// A TCP server on 127.0.0.1 with a port the system picks. It accepts connections one after
// another on its own thread and runs the next script of its list on each; when the list is
// used up, or the time limit passes, it stops accepting and closes its socket. Stop() (and
// the destructor) joins the thread, so a test never leaves it behind.
class ScriptedServer {
public:
    using Script = std::function<void(ScriptedPeer&)>;

    explicit ScriptedServer(std::vector<Script> scripts,
                            std::chrono::milliseconds timeLimit = std::chrono::seconds(10));
    ~ScriptedServer();
    ScriptedServer(const ScriptedServer&) = delete;
    ScriptedServer& operator=(const ScriptedServer&) = delete;

    uint16_t Port() const { return port_; }
    // Connections accepted so far.
    int Accepted() const { return accepted_.load(); }
    // Joins the server thread; waits at most until the time limit has passed.
    void Stop();
    // Everything the scripts received, one entry per accepted connection (valid after Stop).
    std::vector<std::string> Transcripts() const;
    // recv calls per connection that returned data (valid after Stop).
    std::vector<int> ReceiveCallCounts() const;

private:
    void Run();

    std::vector<Script> scripts_;
    std::chrono::steady_clock::time_point deadline_;
    int listenFd_ = -1;
    uint16_t port_ = 0;
    std::atomic<int> accepted_{0};
    std::atomic<bool> stopping_{false};
    mutable std::mutex mutex_;
    std::vector<std::string> transcripts_;
    std::vector<int> receiveCallCounts_;
    std::thread thread_;
};

// A peer that takes whatever the client sends and never answers, until the client hangs up or
// `limit` (or the server's time limit) has passed.
ScriptedServer::Script SilentPeer(std::chrono::milliseconds limit);

}  // namespace quorvane::testing
