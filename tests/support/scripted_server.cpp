#include "support/scripted_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace quorvane::testing {

namespace {

using Clock = std::chrono::steady_clock;

int MillisecondsUntil(Clock::time_point until) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
    if (left <= 0) {
        return 0;
    }
    return left > 1000 ? 1000 : static_cast<int>(left);
}

}  // namespace

ScriptedPeer::ScriptedPeer(int fd, Clock::time_point deadline) : fd_(fd), deadline_(deadline) {}

ScriptedPeer::~ScriptedPeer() { Close(); }

bool ScriptedPeer::WaitReadable(Clock::time_point until) {
    while (fd_ >= 0) {
        const int wait = MillisecondsUntil(until);
        pollfd entry{fd_, POLLIN, 0};
        const int ready = ::poll(&entry, 1, wait);
        if (ready > 0) {
            return true;
        }
        if (ready < 0 && errno != EINTR) {
            return false;
        }
        if (ready == 0 && wait == 0) {
            return false;
        }
    }
    return false;
}

bool ScriptedPeer::ReceiveSome() {
    char buffer[65536];
    const ssize_t got = ::recv(fd_, buffer, sizeof buffer, 0);
    if (got <= 0) {
        return false;
    }
    ++receiveCalls_;
    received_.append(buffer, static_cast<size_t>(got));
    pending_.append(buffer, static_cast<size_t>(got));
    return true;
}

std::string ScriptedPeer::ReceiveUntil(const std::string& terminator) {
    for (;;) {
        const size_t found = pending_.find(terminator);
        if (found != std::string::npos) {
            const size_t end = found + terminator.size();
            std::string result = pending_.substr(0, end);
            pending_.erase(0, end);
            return result;
        }
        if (!WaitReadable(deadline_) || !ReceiveSome()) {
            break;
        }
    }
    std::string rest;
    rest.swap(pending_);
    return rest;
}

std::string ScriptedPeer::ReceiveExactly(size_t count) {
    while (pending_.size() < count && WaitReadable(deadline_) && ReceiveSome()) {
    }
    const size_t take = pending_.size() < count ? pending_.size() : count;
    std::string result = pending_.substr(0, take);
    pending_.erase(0, take);
    return result;
}

bool ScriptedPeer::WaitForClose(std::chrono::milliseconds limit) {
    auto until = Clock::now() + limit;
    if (until > deadline_) {
        until = deadline_;
    }
    while (WaitReadable(until)) {
        if (!ReceiveSome()) {
            return true;
        }
    }
    return false;
}

bool ScriptedPeer::Send(const std::string& bytes) {
    size_t sent = 0;
    while (fd_ >= 0 && sent < bytes.size()) {
        const ssize_t put = ::send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (put < 0) {
            if (errno == EINTR) {
                continue;
            }
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                if (MillisecondsUntil(deadline_) == 0) {
                    return false;
                }
                pollfd entry{fd_, POLLOUT, 0};
                ::poll(&entry, 1, MillisecondsUntil(deadline_));
                continue;
            }
            return false;
        }
        sent += static_cast<size_t>(put);
    }
    return sent == bytes.size();
}

bool ScriptedPeer::SendInPieces(const std::string& bytes, size_t pieceSize, std::chrono::milliseconds pause) {
    if (pieceSize == 0) {
        pieceSize = 1;
    }
    for (size_t offset = 0; offset < bytes.size(); offset += pieceSize) {
        if (!Send(bytes.substr(offset, pieceSize))) {
            return false;
        }
        if (Clock::now() + pause > deadline_) {
            return false;
        }
        std::this_thread::sleep_for(pause);
    }
    return true;
}

void ScriptedPeer::Close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

void ScriptedPeer::Reset() {
    if (fd_ >= 0) {
        linger option{1, 0};
        ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &option, sizeof option);
        Close();
    }
}

ScriptedServer::ScriptedServer(std::vector<Script> scripts, std::chrono::milliseconds timeLimit)
    : scripts_(std::move(scripts)), deadline_(Clock::now() + timeLimit) {
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listenFd_ < 0) {
        throw std::runtime_error("scripted server: socket failed");
    }
    const int yes = 1;
    ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listenFd_, 16) != 0 ||
        ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(listenFd_);
        throw std::runtime_error("scripted server: cannot listen on 127.0.0.1");
    }
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Run(); });
}

ScriptedServer::~ScriptedServer() { Stop(); }

void ScriptedServer::Stop() {
    stopping_ = true;
    if (thread_.joinable()) {
        thread_.join();
    }
    if (listenFd_ >= 0) {
        ::close(listenFd_);
        listenFd_ = -1;
    }
}

void ScriptedServer::Run() {
    for (Script& script : scripts_) {
        int fd = -1;
        // Poll in short steps so that Stop() is noticed even while nobody connects.
        while (fd < 0 && Clock::now() < deadline_) {
            pollfd entry{listenFd_, POLLIN, 0};
            const int wait = MillisecondsUntil(deadline_);
            const int ready = ::poll(&entry, 1, wait < 50 ? wait : 50);
            if (ready > 0) {
                fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
            } else if (stopping_ && ready == 0) {
                break;
            }
        }
        if (fd < 0) {
            break;
        }
        ++accepted_;
        ScriptedPeer peer(fd, deadline_);
        script(peer);
        std::lock_guard<std::mutex> lock(mutex_);
        transcripts_.push_back(peer.Received());
        receiveCallCounts_.push_back(peer.ReceiveCalls());
    }
    // Refuse further connections as soon as the script list is used up.
    ::shutdown(listenFd_, SHUT_RDWR);
}

ScriptedServer::Script SilentPeer(std::chrono::milliseconds limit) {
    return [limit](ScriptedPeer& peer) { peer.WaitForClose(limit); };
}

std::vector<std::string> ScriptedServer::Transcripts() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return transcripts_;
}

std::vector<int> ScriptedServer::ReceiveCallCounts() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return receiveCallCounts_;
}

}  // namespace quorvane::testing
