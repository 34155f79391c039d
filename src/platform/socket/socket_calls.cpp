// Start-up, the socket calls and their options.

#include "platform/socket/socket_shared.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <gnu/lib-names.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <time.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace quorvane::platform::sockcore {

namespace {

using namespace sockapi;

template <typename F>
void BindLibc(void* handle, F& target, const char* name) {
    target = reinterpret_cast<F>(dlsym(handle, name));
}

// One open socket. The file descriptor stays open until the last call using it has returned,
// so the kernel cannot hand its number to another file while a call still holds it.
struct Entry {
    explicit Entry(int descriptor, int socketType) : fd(descriptor), type(socketType) {}
    ~Entry() { ::close(fd); }
    Entry(const Entry&) = delete;
    Entry& operator=(const Entry&) = delete;

    const int fd;
    const int type;
    std::atomic<bool> closed{false};
    std::atomic<bool> userNonBlocking{false};
    std::atomic<bool> sendShutdown{false};
    std::atomic<bool> everConnected{false};
};
using EntryRef = std::shared_ptr<Entry>;

struct Registry {
    std::mutex mutex;
    std::unordered_map<TSocket, EntryRef> entries;
    // Handles count upwards and are never given out twice.
    TSocket nextHandle = 0x100;
};

// Destroyed when the library is unloaded (or at exit); sockets still open then are closed.
Registry& Sockets() {
    static Registry registry;
    return registry;
}

EntryRef Find(TSocket s) {
    Registry& registry = Sockets();
    std::lock_guard lock(registry.mutex);
    auto it = registry.entries.find(s);
    return it == registry.entries.end() ? nullptr : it->second;
}

// Looks the handle up; an unknown or closed handle fails the call with 10038.
EntryRef Use(TSocket s) {
    EntryRef entry = Find(s);
    if (!entry) SetLastError(kWsaENotSock);
    return entry;
}

TSocket Register(int fd, int type) {
    Registry& registry = Sockets();
    auto entry = std::make_shared<Entry>(fd, type);
    std::lock_guard lock(registry.mutex);
    TSocket handle = registry.nextHandle;
    registry.nextHandle += 4;
    registry.entries.emplace(handle, std::move(entry));
    return handle;
}

// A call that was blocked when another thread closed its handle.
int Interrupted(int code = kWsaEIntr) { return Fail(code); }

bool ToSockAddr(const TSockAddr* address, int length, sockaddr_in& out, int& error) {
    if (address == nullptr || length < static_cast<int>(sizeof(TSockAddrIn))) {
        error = kWsaEFault;
        return false;
    }
    TSockAddrIn in;
    std::memcpy(&in, address, sizeof in);
    if (in.sin_family != kAfInet) {
        error = kWsaEAfNoSupport;
        return false;
    }
    out = sockaddr_in{};
    out.sin_family = AF_INET;
    out.sin_port = in.sin_port;
    out.sin_addr.s_addr = in.sin_addr.s_addr;
    return true;
}

bool FromSockAddr(const sockaddr_in& in, TSockAddr* address, int* length) {
    if (address == nullptr || length == nullptr || *length < static_cast<int>(sizeof(TSockAddrIn))) return false;
    TSockAddrIn out{};
    out.sin_family = kAfInet;
    out.sin_port = in.sin_port;
    out.sin_addr.s_addr = in.sin_addr.s_addr;
    std::memcpy(address, &out, sizeof out);
    *length = sizeof out;
    return true;
}

// A wait of `limitNs` nanoseconds (negative: no limit), resumed after signals until the limit
// has passed. The limit is kept as given instead of being rounded up to whole milliseconds,
// so that a select of 1.5 ms waits 1.5 ms and not 2.
int PollRetrying(pollfd* fds, nfds_t count, int64_t limitNs) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::nanoseconds(limitNs < 0 ? 0 : limitNs);
    for (;;) {
        timespec wait{};
        if (limitNs >= 0) {
            const int64_t left = std::max<int64_t>(0, std::chrono::duration_cast<std::chrono::nanoseconds>(
                                                          deadline - Clock::now()).count());
            wait.tv_sec = static_cast<time_t>(left / 1000000000);
            wait.tv_nsec = static_cast<long>(left % 1000000000);
        }
        int result = ::ppoll(fds, count, limitNs >= 0 ? &wait : nullptr, nullptr);
        if (result >= 0 || errno != EINTR) {
            if (result == 0 && limitNs >= 0 && Clock::now() < deadline) continue;
            return result;
        }
    }
}

// The kernel lets a timed wait overrun by the thread's timer slack (50 us by default), which
// is 5 % of a 1 ms probe. For short waits the slack is cut to the minimum while the wait lasts
// and put back afterwards; long waits keep the default, where it is lost in the noise.
class ScopedTightTimerSlack {
public:
    explicit ScopedTightTimerSlack(int64_t limitNs) {
        if (limitNs < 0 || limitNs > kTightBelowNs) return;
        const int current = ::prctl(PR_GET_TIMERSLACK, 0, 0, 0, 0);
        if (current > 1 && ::prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0) == 0) saved_ = current;
    }
    ~ScopedTightTimerSlack() {
        if (saved_ > 0) ::prctl(PR_SET_TIMERSLACK, static_cast<unsigned long>(saved_), 0, 0, 0);
    }
    ScopedTightTimerSlack(const ScopedTightTimerSlack&) = delete;
    ScopedTightTimerSlack& operator=(const ScopedTightTimerSlack&) = delete;

private:
    static constexpr int64_t kTightBelowNs = 50'000'000;
    int saved_ = 0;
};

// Option translation between the callers' numbering and Linux.
struct OptionMap {
    int level;
    int option;
    int kind;  // 0 int, 1 linger, 2 time in ms
};

bool MapOption(int level, int option, OptionMap& out) {
    if (level == kSolSocket) {
        out.level = SOL_SOCKET;
        out.kind = 0;
        switch (option) {
            case kSoDebug: out.option = SO_DEBUG; return true;
            case kSoReuseAddr: out.option = SO_REUSEADDR; return true;
            case kSoKeepAlive: out.option = SO_KEEPALIVE; return true;
            case kSoDontRoute: out.option = SO_DONTROUTE; return true;
            case kSoBroadcast: out.option = SO_BROADCAST; return true;
            case kSoOobInline: out.option = SO_OOBINLINE; return true;
            case kSoSndBuf: out.option = SO_SNDBUF; return true;
            case kSoRcvBuf: out.option = SO_RCVBUF; return true;
            case kSoError: out.option = SO_ERROR; return true;
            case kSoType: out.option = SO_TYPE; return true;
            case kSoLinger: out.option = SO_LINGER; out.kind = 1; return true;
            case kSoSndTimeo: out.option = SO_SNDTIMEO; out.kind = 2; return true;
            case kSoRcvTimeo: out.option = SO_RCVTIMEO; out.kind = 2; return true;
            default: return false;
        }
    }
    if (level == kIpProtoTcp && option == kTcpNoDelay) {
        out = {IPPROTO_TCP, TCP_NODELAY, 0};
        return true;
    }
    if (level == kIpProtoIp) {
        if (option == 4) { out = {IPPROTO_IP, IP_TTL, 0}; return true; }
        if (option == 3) { out = {IPPROTO_IP, IP_TOS, 0}; return true; }
    }
    return false;
}

int ReadIntOption(const char* value, int length) {
    if (length >= static_cast<int>(sizeof(int))) {
        int v;
        std::memcpy(&v, value, sizeof v);
        return v;
    }
    return static_cast<unsigned char>(value[0]);
}

std::atomic<int> gStartCount{0};
thread_local int tLastError = 0;

}  // namespace

const LibcCalls& Libc() {
    static const LibcCalls calls = [] {
        LibcCalls c{};
        void* handle = dlopen(LIBC_SO, RTLD_NOW | RTLD_NOLOAD);
        BindLibc(handle, c.socket, "socket");
        BindLibc(handle, c.bind, "bind");
        BindLibc(handle, c.connect, "connect");
        BindLibc(handle, c.listen, "listen");
        BindLibc(handle, c.recv, "recv");
        BindLibc(handle, c.recvfrom, "recvfrom");
        BindLibc(handle, c.send, "send");
        BindLibc(handle, c.sendto, "sendto");
        BindLibc(handle, c.setsockopt, "setsockopt");
        BindLibc(handle, c.getsockopt, "getsockopt");
        BindLibc(handle, c.shutdown, "shutdown");
        BindLibc(handle, c.getpeername, "getpeername");
        BindLibc(handle, c.getsockname, "getsockname");
        BindLibc(handle, c.gethostname, "gethostname");
        // The handle only pins what the process already holds; dropping it leaves libc loaded.
        if (handle != nullptr) dlclose(handle);
        return c;
    }();
    return calls;
}

bool Started() {
    if (gStartCount.load() > 0) return true;
    tLastError = kWsaNotInitialised;
    return false;
}

// ---------------------------------------------------------------------------------------------
// Start-up and errors

int Startup(unsigned short version, TWSAData* data) {
    const int major = version & 0xFF;
    const int minor = (version >> 8) & 0xFF;
    if (major < 1 || (major == 1 && minor < 1)) return kWsaVerNotSupported;
    if (data == nullptr) return kWsaEFault;
    std::memset(data, 0, sizeof *data);
    data->wVersion = (major > 2 || (major == 2 && minor >= 2)) ? kRequestedVersion : version;
    data->wHighVersion = kRequestedVersion;
    std::snprintf(data->szDescription, sizeof data->szDescription, "Quorvane sockets over POSIX");
    std::snprintf(data->szSystemStatus, sizeof data->szSystemStatus, "Running");
    data->iMaxSockets = 0;
    data->iMaxUdpDg = 0;
    (void)Libc();
    ++gStartCount;
    return 0;
}

int Cleanup() {
    int count = gStartCount.load();
    do {
        if (count <= 0) return Fail(kWsaNotInitialised);
    } while (!gStartCount.compare_exchange_weak(count, count - 1));
    if (count == 1) {
        // The last clean-up closes every socket still open, as the callers' platform does.
        std::vector<TSocket> open;
        {
            Registry& registry = Sockets();
            std::lock_guard lock(registry.mutex);
            for (auto& [handle, entry] : registry.entries) open.push_back(handle);
        }
        for (TSocket handle : open) CloseSocket(handle);
    }
    return 0;
}

int LastError() { return tLastError; }
void SetLastError(int code) { tLastError = code; }

// ---------------------------------------------------------------------------------------------
// Sockets

TSocket Socket(int family, int type, int protocol) {
    if (!Started()) return kInvalidSocket;
    if (family != kAfInet) return Fail(kWsaEAfNoSupport), kInvalidSocket;
    if (type != kSockStream && type != kSockDgram) return Fail(kWsaESocktNoSupport), kInvalidSocket;
    int linuxType = type == kSockStream ? SOCK_STREAM : SOCK_DGRAM;
    int fd = Libc().socket(AF_INET, linuxType | SOCK_CLOEXEC, protocol);
    if (fd < 0) return Fail(WsaCodeFromErrno(errno)), kInvalidSocket;
    return Register(fd, type);
}

int CloseSocket(TSocket s) {
    EntryRef entry;
    {
        Registry& registry = Sockets();
        std::lock_guard lock(registry.mutex);
        auto it = registry.entries.find(s);
        if (it == registry.entries.end()) return Fail(kWsaENotSock);
        entry = std::move(it->second);
        registry.entries.erase(it);
    }
    entry->closed.store(true);
    // Another thread still inside a call on this socket: wake it. close() alone does not end a
    // blocked connect, recv or poll on Linux; shutdown does, and leaves the socket in a state
    // that every later wait sees at once. The descriptor itself is closed by whoever lets go
    // of the entry last.
    if (entry.use_count() > 1) Libc().shutdown(entry->fd, SHUT_RDWR);
    return 0;
}

int Shutdown(TSocket s, int how) {
    EntryRef entry = Use(s);
    if (!entry) return kSocketError;
    int linuxHow;
    switch (how) {
        case kSdReceive: linuxHow = SHUT_RD; break;
        case kSdSend: linuxHow = SHUT_WR; break;
        case kSdBoth: linuxHow = SHUT_RDWR; break;
        default: return Fail(kWsaEInval);
    }
    if (Libc().shutdown(entry->fd, linuxHow) != 0) return Fail(WsaCodeFromErrno(errno));
    if (how != kSdReceive) entry->sendShutdown.store(true);
    return 0;
}

int Bind(TSocket s, const TSockAddr* address, int addressLength) {
    EntryRef entry = Use(s);
    if (!entry) return kSocketError;
    sockaddr_in in;
    int error = 0;
    if (!ToSockAddr(address, addressLength, in, error)) return Fail(error);
    if (Libc().bind(entry->fd, reinterpret_cast<const sockaddr*>(&in), sizeof in) != 0)
        return Fail(WsaCodeFromErrno(errno));
    return 0;
}

int Listen(TSocket s, int backlog) {
    EntryRef entry = Use(s);
    if (!entry) return kSocketError;
    if (Libc().listen(entry->fd, backlog) != 0) return Fail(WsaCodeFromErrno(errno));
    return 0;
}

int Connect(TSocket s, const TSockAddr* address, int addressLength) {
    EntryRef entry = Use(s);
    if (!entry) return kSocketError;
    sockaddr_in in;
    int error = 0;
    if (!ToSockAddr(address, addressLength, in, error)) return Fail(error);
    const int fd = entry->fd;
    const bool blocking = !entry->userNonBlocking.load();
    // A blocking connect is made as a non-blocking one plus a wait: the wait sees the shutdown
    // of a close from another thread even when that close came before the connect started.
    const int flags = ::fcntl(fd, F_GETFL);
    if (blocking) ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    int result = Libc().connect(fd, reinterpret_cast<const sockaddr*>(&in), sizeof in);
    int savedErrno = result == 0 ? 0 : errno;
    if (result != 0 && blocking && (savedErrno == EINPROGRESS || savedErrno == EINTR)) {
        pollfd p{fd, POLLOUT, 0};
        PollRetrying(&p, 1, -1);
        int soError = 0;
        socklen_t length = sizeof soError;
        Libc().getsockopt(fd, SOL_SOCKET, SO_ERROR, &soError, &length);
        savedErrno = soError;
        result = soError == 0 ? 0 : -1;
    }
    if (blocking) ::fcntl(fd, F_SETFL, flags);
    if (entry->closed.load()) return Interrupted(kWsaENotSock);
    if (result != 0) return Fail(WsaCodeFromErrno(savedErrno, TErrnoContext::connect));
    entry->everConnected.store(true);
    return 0;
}

TSocket Accept(TSocket s, TSockAddr* address, int* addressLength) {
    EntryRef entry = Use(s);
    if (!entry) return kInvalidSocket;
    if (address != nullptr && (addressLength == nullptr || *addressLength < static_cast<int>(sizeof(TSockAddrIn))))
        return Fail(kWsaEFault), kInvalidSocket;
    sockaddr_in in{};
    int fd;
    for (;;) {
        socklen_t length = sizeof in;
        fd = ::accept4(entry->fd, reinterpret_cast<sockaddr*>(&in), &length, SOCK_CLOEXEC);
        if (fd >= 0 || errno != EINTR || entry->closed.load()) break;
    }
    if (entry->closed.load()) {
        if (fd >= 0) ::close(fd);
        return Interrupted(), kInvalidSocket;
    }
    if (fd < 0) return Fail(WsaCodeFromErrno(errno)), kInvalidSocket;
    TSocket handle = Register(fd, entry->type);
    if (EntryRef accepted = Find(handle)) accepted->everConnected.store(true);
    if (address != nullptr) FromSockAddr(in, address, addressLength);
    return handle;
}

int Recv(TSocket s, char* buffer, int length, int flags) {
    EntryRef entry = Use(s);
    if (!entry) return kSocketError;
    if (length < 0) return Fail(kWsaEFault);
    ssize_t result;
    for (;;) {
        result = Libc().recv(entry->fd, buffer, static_cast<size_t>(length), flags & (kMsgOob | kMsgPeek));
        if (result >= 0 || errno != EINTR || entry->closed.load()) break;
    }
    if (entry->closed.load()) return Interrupted();
    if (result < 0) {
        const bool timed = !entry->userNonBlocking.load();
        return Fail(WsaCodeFromErrno(errno, timed ? TErrnoContext::receiveTimed : TErrnoContext::plain));
    }
    return static_cast<int>(result);
}

int RecvFrom(TSocket s, char* buffer, int length, int flags, TSockAddr* from, int* fromLength) {
    EntryRef entry = Use(s);
    if (!entry) return kSocketError;
    if (length < 0) return Fail(kWsaEFault);
    if (from != nullptr && (fromLength == nullptr || *fromLength < static_cast<int>(sizeof(TSockAddrIn))))
        return Fail(kWsaEFault);
    sockaddr_in in{};
    ssize_t result;
    for (;;) {
        socklen_t inLength = sizeof in;
        result = Libc().recvfrom(entry->fd, buffer, static_cast<size_t>(length), flags & (kMsgOob | kMsgPeek),
                                 reinterpret_cast<sockaddr*>(&in), &inLength);
        if (result >= 0 || errno != EINTR || entry->closed.load()) break;
    }
    if (entry->closed.load()) return Interrupted();
    if (result < 0) return Fail(WsaCodeFromErrno(errno));
    if (from != nullptr) FromSockAddr(in, from, fromLength);
    return static_cast<int>(result);
}

namespace {

TErrnoContext SendContext(const Entry& entry) {
    if (entry.sendShutdown.load()) return TErrnoContext::sendAfterShutdown;
    if (entry.type == kSockStream && !entry.everConnected.load()) return TErrnoContext::sendNeverConnected;
    return TErrnoContext::send;
}

}  // namespace

int Send(TSocket s, const char* buffer, int length, int flags) {
    EntryRef entry = Use(s);
    if (!entry) return kSocketError;
    if (length < 0) return Fail(kWsaEFault);
    ssize_t result;
    for (;;) {
        // Never a SIGPIPE: a vanished peer is an error code, not the end of the process.
        result = Libc().send(entry->fd, buffer, static_cast<size_t>(length),
                             (flags & (kMsgOob | kMsgDontRoute)) | MSG_NOSIGNAL);
        if (result >= 0 || errno != EINTR || entry->closed.load()) break;
    }
    if (entry->closed.load()) return Interrupted();
    if (result < 0) return Fail(WsaCodeFromErrno(errno, SendContext(*entry)));
    return static_cast<int>(result);
}

int SendTo(TSocket s, const char* buffer, int length, int flags, const TSockAddr* to, int toLength) {
    EntryRef entry = Use(s);
    if (!entry) return kSocketError;
    if (length < 0) return Fail(kWsaEFault);
    sockaddr_in in;
    int error = 0;
    const bool hasTarget = to != nullptr;
    if (hasTarget && !ToSockAddr(to, toLength, in, error)) return Fail(error);
    ssize_t result;
    for (;;) {
        result = Libc().sendto(entry->fd, buffer, static_cast<size_t>(length),
                               (flags & (kMsgOob | kMsgDontRoute)) | MSG_NOSIGNAL,
                               hasTarget ? reinterpret_cast<const sockaddr*>(&in) : nullptr, hasTarget ? sizeof in : 0);
        if (result >= 0 || errno != EINTR || entry->closed.load()) break;
    }
    if (entry->closed.load()) return Interrupted();
    if (result < 0) return Fail(WsaCodeFromErrno(errno, SendContext(*entry)));
    return static_cast<int>(result);
}

int Select(int /*ignored*/, TFdSet* readSet, TFdSet* writeSet, TFdSet* exceptSet, const TTimeVal* timeout) {
    TFdSet* sets[3] = {readSet, writeSet, exceptSet};
    std::vector<pollfd> polls;
    std::vector<EntryRef> entries;
    std::vector<TSocket> handles;
    auto indexOf = [&](TSocket handle) -> size_t {
        auto it = std::find(handles.begin(), handles.end(), handle);
        return static_cast<size_t>(it - handles.begin());
    };
    const short wanted[3] = {POLLIN, POLLOUT, POLLPRI};
    for (int which = 0; which < 3; ++which) {
        TFdSet* set = sets[which];
        if (set == nullptr) continue;
        if (set->fd_count > kFdSetSize) return Fail(kWsaEInval);
        for (unsigned int i = 0; i < set->fd_count; ++i) {
            const TSocket handle = set->fd_array[i];
            size_t index = indexOf(handle);
            if (index == handles.size()) {
                EntryRef entry = Use(handle);
                if (!entry) return kSocketError;
                handles.push_back(handle);
                entries.push_back(entry);
                polls.push_back(pollfd{entry->fd, 0, 0});
            }
            polls[index].events = static_cast<short>(polls[index].events | wanted[which]);
        }
    }
    if (polls.empty()) return Fail(kWsaEInval);
    int64_t limitNs = -1;
    if (timeout != nullptr) {
        if (timeout->tv_sec < 0 || timeout->tv_usec < 0) return Fail(kWsaEInval);
        limitNs = static_cast<int64_t>(timeout->tv_sec) * 1000000000 + static_cast<int64_t>(timeout->tv_usec) * 1000;
    }
    // poll, never FD_SET: the descriptor numbers behind the handles may lie anywhere.
    int result;
    int waitErrno;
    {
        const ScopedTightTimerSlack slack(limitNs);
        result = PollRetrying(polls.data(), polls.size(), limitNs);
        waitErrno = errno;
    }
    for (const auto& entry : entries)
        if (entry->closed.load()) return Interrupted(kWsaENotSock);
    if (result < 0) return Fail(WsaCodeFromErrno(waitErrno));
    int ready = 0;
    for (int which = 0; which < 3; ++which) {
        TFdSet* set = sets[which];
        if (set == nullptr) continue;
        unsigned int kept = 0;
        for (unsigned int i = 0; i < set->fd_count; ++i) {
            const TSocket handle = set->fd_array[i];
            const short revents = polls[indexOf(handle)].revents;
            bool isReady;
            if (which == 0) isReady = (revents & (POLLIN | POLLHUP | POLLERR)) != 0;
            else if (which == 1) isReady = (revents & (POLLOUT | POLLERR | POLLHUP)) != 0;
            else isReady = (revents & (POLLPRI | POLLERR)) != 0;
            if (isReady) set->fd_array[kept++] = handle;
        }
        set->fd_count = kept;
        ready += static_cast<int>(kept);
    }
    return ready;
}

int FdIsSet(TSocket s, TFdSet* set) {
    if (set == nullptr) return 0;
    const unsigned int count = std::min(set->fd_count, kFdSetSize);
    for (unsigned int i = 0; i < count; ++i)
        if (set->fd_array[i] == s) return 1;
    return 0;
}

int IoctlSocket(TSocket s, long command, unsigned int* argument) {
    EntryRef entry = Use(s);
    if (!entry) return kSocketError;
    if (argument == nullptr) return Fail(kWsaEFault);
    // The command codes are 32-bit patterns; a caller's long may carry them sign-extended.
    const auto code = static_cast<unsigned int>(command);
    if (code == static_cast<unsigned int>(kFionBio)) {
        const int flags = ::fcntl(entry->fd, F_GETFL);
        const bool nonBlocking = *argument != 0;
        if (flags < 0 || ::fcntl(entry->fd, F_SETFL, nonBlocking ? flags | O_NONBLOCK : flags & ~O_NONBLOCK) != 0)
            return Fail(WsaCodeFromErrno(errno));
        entry->userNonBlocking.store(nonBlocking);
        return 0;
    }
    if (code == static_cast<unsigned int>(kFionRead)) {
        int available = 0;
        if (::ioctl(entry->fd, FIONREAD, &available) != 0) return Fail(WsaCodeFromErrno(errno));
        *argument = static_cast<unsigned int>(available);
        return 0;
    }
    return Fail(kWsaEInval);
}

int GetPeerName(TSocket s, TSockAddr* address, int* addressLength) {
    EntryRef entry = Use(s);
    if (!entry) return kSocketError;
    sockaddr_in in{};
    socklen_t length = sizeof in;
    if (Libc().getpeername(entry->fd, reinterpret_cast<sockaddr*>(&in), &length) != 0)
        return Fail(WsaCodeFromErrno(errno));
    if (!FromSockAddr(in, address, addressLength)) return Fail(kWsaEFault);
    return 0;
}

int GetSockName(TSocket s, TSockAddr* address, int* addressLength) {
    EntryRef entry = Use(s);
    if (!entry) return kSocketError;
    sockaddr_in in{};
    socklen_t length = sizeof in;
    if (Libc().getsockname(entry->fd, reinterpret_cast<sockaddr*>(&in), &length) != 0)
        return Fail(WsaCodeFromErrno(errno));
    if (!FromSockAddr(in, address, addressLength)) return Fail(kWsaEFault);
    return 0;
}

int SetSockOpt(TSocket s, int level, int option, const char* value, int valueLength) {
    EntryRef entry = Use(s);
    if (!entry) return kSocketError;
    OptionMap map{};
    if (!MapOption(level, option, map)) return Fail(kWsaENoProtoOpt);
    if (value == nullptr || valueLength < 1) return Fail(kWsaEFault);
    int result;
    if (map.kind == 1) {
        if (valueLength < static_cast<int>(sizeof(TLinger))) return Fail(kWsaEFault);
        TLinger source;
        std::memcpy(&source, value, sizeof source);
        linger target{source.l_onoff != 0 ? 1 : 0, source.l_linger};
        result = Libc().setsockopt(entry->fd, map.level, map.option, &target, sizeof target);
    } else if (map.kind == 2) {
        const int ms = ReadIntOption(value, valueLength);
        timeval target{ms / 1000, static_cast<suseconds_t>(ms % 1000) * 1000};
        result = Libc().setsockopt(entry->fd, map.level, map.option, &target, sizeof target);
    } else {
        const int target = ReadIntOption(value, valueLength);
        result = Libc().setsockopt(entry->fd, map.level, map.option, &target, sizeof target);
    }
    if (result != 0) return Fail(WsaCodeFromErrno(errno));
    return 0;
}

int GetSockOpt(TSocket s, int level, int option, char* value, int* valueLength) {
    EntryRef entry = Use(s);
    if (!entry) return kSocketError;
    OptionMap map{};
    if (!MapOption(level, option, map)) return Fail(kWsaENoProtoOpt);
    if (value == nullptr || valueLength == nullptr) return Fail(kWsaEFault);
    if (map.kind == 1) {
        if (*valueLength < static_cast<int>(sizeof(TLinger))) return Fail(kWsaEFault);
        linger source{};
        socklen_t length = sizeof source;
        if (Libc().getsockopt(entry->fd, map.level, map.option, &source, &length) != 0)
            return Fail(WsaCodeFromErrno(errno));
        TLinger target{static_cast<unsigned short>(source.l_onoff), static_cast<unsigned short>(source.l_linger)};
        std::memcpy(value, &target, sizeof target);
        *valueLength = sizeof target;
        return 0;
    }
    if (*valueLength < static_cast<int>(sizeof(int))) return Fail(kWsaEFault);
    int target = 0;
    if (map.kind == 2) {
        timeval source{};
        socklen_t length = sizeof source;
        if (Libc().getsockopt(entry->fd, map.level, map.option, &source, &length) != 0)
            return Fail(WsaCodeFromErrno(errno));
        target = static_cast<int>(source.tv_sec * 1000 + source.tv_usec / 1000);
    } else {
        socklen_t length = sizeof target;
        if (Libc().getsockopt(entry->fd, map.level, map.option, &target, &length) != 0)
            return Fail(WsaCodeFromErrno(errno));
        if (map.option == SO_ERROR && map.level == SOL_SOCKET && target != 0) target = WsaCodeFromErrno(target);
        if (map.option == SO_TYPE && map.level == SOL_SOCKET) target = target == SOCK_STREAM ? kSockStream : kSockDgram;
    }
    std::memcpy(value, &target, sizeof target);
    *valueLength = sizeof target;
    return 0;
}

}  // namespace quorvane::platform::sockcore
