#include "platform/socket/socket_core.h"

#include <arpa/inet.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <gnu/lib-names.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <strings.h>
#include <time.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace quorvane::platform::sockcore {

namespace {

using namespace sockapi;

// The C library's functions that share a name with one of our entry points. Calling them by
// their plain names from inside this library could land in our own entry point (version
// script, symbolic binding), so they are taken from the C library's own handle.
struct LibcCalls {
    int (*socket)(int, int, int);
    int (*bind)(int, const sockaddr*, socklen_t);
    int (*connect)(int, const sockaddr*, socklen_t);
    int (*listen)(int, int);
    ssize_t (*recv)(int, void*, size_t, int);
    ssize_t (*recvfrom)(int, void*, size_t, int, sockaddr*, socklen_t*);
    ssize_t (*send)(int, const void*, size_t, int);
    ssize_t (*sendto)(int, const void*, size_t, int, const sockaddr*, socklen_t);
    int (*setsockopt)(int, int, int, const void*, socklen_t);
    int (*getsockopt)(int, int, int, void*, socklen_t*);
    int (*shutdown)(int, int);
    int (*getpeername)(int, sockaddr*, socklen_t*);
    int (*getsockname)(int, sockaddr*, socklen_t*);
    int (*gethostname)(char*, size_t);
};

template <typename F>
void BindLibc(void* handle, F& target, const char* name) {
    target = reinterpret_cast<F>(dlsym(handle, name));
}

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

thread_local int tLastError = 0;

int Fail(int code) {
    tLastError = code;
    return kSocketError;
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

std::atomic<int> gStartCount{0};

EntryRef Find(TSocket s) {
    Registry& registry = Sockets();
    std::lock_guard lock(registry.mutex);
    auto it = registry.entries.find(s);
    return it == registry.entries.end() ? nullptr : it->second;
}

// Looks the handle up; an unknown or closed handle fails the call with 10038.
EntryRef Use(TSocket s) {
    EntryRef entry = Find(s);
    if (!entry) tLastError = kWsaENotSock;
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

// Per-thread answers of the look-up calls; each call overwrites the previous answer.
struct HostAnswer {
    std::string name;
    std::vector<std::string> aliases;
    std::vector<char*> aliasPointers;
    std::vector<std::array<char, 4>> addresses;
    std::vector<char*> addressPointers;
    THostEnt entry{};

    THostEnt* Publish() {
        aliasPointers.clear();
        for (auto& alias : aliases) aliasPointers.push_back(alias.data());
        aliasPointers.push_back(nullptr);
        addressPointers.clear();
        for (auto& address : addresses) addressPointers.push_back(address.data());
        addressPointers.push_back(nullptr);
        entry.h_name = name.data();
        entry.h_aliases = aliasPointers.data();
        entry.h_addrtype = kAfInet;
        entry.h_length = 4;
        entry.h_addr_list = addressPointers.data();
        return &entry;
    }
};

struct NamedAnswer {
    std::string name;
    std::string protocol;
    std::vector<std::string> aliases;
    std::vector<char*> aliasPointers;

    char** PublishAliases() {
        aliasPointers.clear();
        for (auto& alias : aliases) aliasPointers.push_back(alias.data());
        aliasPointers.push_back(nullptr);
        return aliasPointers.data();
    }
};

thread_local HostAnswer tHostAnswer;
thread_local NamedAnswer tServiceAnswer;
thread_local TServEnt tServEnt;
thread_local NamedAnswer tProtocolAnswer;
thread_local TProtoEnt tProtoEnt;
thread_local char tAddressText[16];

bool Started() {
    if (gStartCount.load() > 0) return true;
    tLastError = kWsaNotInitialised;
    return false;
}

void CopyAliases(char** aliases, std::vector<std::string>& into) {
    into.clear();
    for (char** alias = aliases; alias != nullptr && *alias != nullptr; ++alias) into.emplace_back(*alias);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Error codes

int WsaCodeFromErrno(int errnoValue, TErrnoContext context) {
    switch (errnoValue) {
        case EINTR: return kWsaEIntr;
        case EBADF: return kWsaEBadF;
        case EACCES:
        case EPERM: return kWsaEAcces;
        case EFAULT: return kWsaEFault;
        case EINVAL: return kWsaEInval;
        case EMFILE:
        case ENFILE: return kWsaEMFile;
        case EAGAIN: return context == TErrnoContext::receiveTimed ? kWsaETimedOut : kWsaEWouldBlock;
        case EINPROGRESS: return context == TErrnoContext::connect ? kWsaEWouldBlock : kWsaEInProgress;
        case EALREADY: return kWsaEAlready;
        case ENOTSOCK: return kWsaENotSock;
        case EDESTADDRREQ: return kWsaEDestAddrReq;
        case EMSGSIZE: return kWsaEMsgSize;
        case EPROTOTYPE: return kWsaEPrototype;
        case ENOPROTOOPT: return kWsaENoProtoOpt;
        case EPROTONOSUPPORT: return kWsaEProtoNoSupport;
        case ESOCKTNOSUPPORT: return kWsaESocktNoSupport;
        case EOPNOTSUPP: return kWsaEOpNotSupp;
        case EPFNOSUPPORT: return kWsaEPfNoSupport;
        case EAFNOSUPPORT: return kWsaEAfNoSupport;
        case EADDRINUSE: return kWsaEAddrInUse;
        case EADDRNOTAVAIL: return kWsaEAddrNotAvail;
        case ENETDOWN: return kWsaENetDown;
        case ENETUNREACH: return kWsaENetUnreach;
        case ENETRESET: return kWsaENetReset;
        case ECONNABORTED: return kWsaEConnAborted;
        case ECONNRESET: return kWsaEConnReset;
        case ENOBUFS:
        case ENOMEM: return kWsaENoBufs;
        case EISCONN: return kWsaEIsConn;
        case ENOTCONN: return kWsaENotConn;
        case ESHUTDOWN: return kWsaEShutdown;
        case EPIPE:
            // Linux says EPIPE for a send after our own shutdown, on a socket that never
            // connected, and after the peer reset the connection; the callers tell them apart.
            switch (context) {
                case TErrnoContext::sendAfterShutdown: return kWsaEShutdown;
                case TErrnoContext::sendNeverConnected: return kWsaENotConn;
                default: return kWsaEConnReset;
            }
        case ETOOMANYREFS: return kWsaETooManyRefs;
        case ETIMEDOUT: return kWsaETimedOut;
        case ECONNREFUSED: return kWsaEConnRefused;
        case ELOOP: return kWsaELoop;
        case ENAMETOOLONG: return kWsaENameTooLong;
        case EHOSTDOWN: return kWsaEHostDown;
        case EHOSTUNREACH: return kWsaEHostUnreach;
        case ENOTEMPTY: return kWsaENotEmpty;
        default: return kWsaEInval;
    }
}

int WsaCodeFromAddrInfo(int eaiValue, int errnoValue) {
    switch (eaiValue) {
        case EAI_NONAME: return kWsaHostNotFound;
        case EAI_AGAIN: return kWsaTryAgain;
        case EAI_NODATA:
        case EAI_ADDRFAMILY: return kWsaNoData;
        case EAI_MEMORY: return kWsaENoBufs;
        case EAI_FAMILY: return kWsaEAfNoSupport;
        case EAI_SYSTEM: return WsaCodeFromErrno(errnoValue);
        default: return kWsaNoRecovery;
    }
}

namespace {

bool EndsWithLabel(const std::string& name, const char* label) {
    const size_t n = std::strlen(label);
    if (name.size() < n) return false;
    if (strcasecmp(name.c_str() + name.size() - n, label) != 0) return false;
    return name.size() == n || name[name.size() - n - 1] == '.';
}

std::string WithoutFinalDot(const char* name) {
    std::string text(name);
    if (!text.empty() && text.back() == '.') text.pop_back();
    return text;
}

bool IsLocalhostName(const char* name) { return EndsWithLabel(WithoutFinalDot(name), "localhost"); }

}  // namespace

bool IsUnresolvableHostName(const char* name) {
    const std::string text = WithoutFinalDot(name);
    if (text.empty() || text.size() > 253) return true;
    if (EndsWithLabel(text, "invalid")) return true;
    size_t labelLength = 0;
    for (char c : text) {
        if (c == '.') {
            if (labelLength == 0) return true;
            labelLength = 0;
            continue;
        }
        const bool allowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                             c == '-' || c == '_';
        if (!allowed || ++labelLength > 63) return true;
    }
    if (labelLength == 0) return true;
    // No top-level domain is all digits: such a name is a malformed address ("256.1.1.1").
    const size_t lastDot = text.rfind('.');
    if (lastDot == std::string::npos) return false;
    const std::string last = text.substr(lastDot + 1);
    return std::all_of(last.begin(), last.end(), [](char c) { return c >= '0' && c <= '9'; });
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

// ---------------------------------------------------------------------------------------------
// Names

THostEnt* GetHostByName(const char* name) {
    if (!Started()) return nullptr;
    if (name == nullptr) return Fail(kWsaEFault), nullptr;
    HostAnswer& answer = tHostAnswer;
    std::string hostName = name;
    if (hostName.empty()) {
        char local[256] = {};
        if (Libc().gethostname(local, sizeof local - 1) != 0) return Fail(WsaCodeFromErrno(errno)), nullptr;
        hostName = local;
    }
    // Names that no resolver may answer never reach one (and never leave the machine).
    if (IsLocalhostName(hostName.c_str())) {
        answer.name = hostName;
        answer.aliases.clear();
        answer.addresses.assign(1, std::array<char, 4>{127, 0, 0, 1});
        return answer.Publish();
    }
    in_addr numeric{};
    const bool isNumeric = ::inet_aton(hostName.c_str(), &numeric) != 0;
    if (!isNumeric && IsUnresolvableHostName(hostName.c_str())) return Fail(kWsaHostNotFound), nullptr;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_CANONNAME;
    addrinfo* found = nullptr;
    errno = 0;
    const int result = ::getaddrinfo(hostName.c_str(), nullptr, &hints, &found);
    if (result != 0) return Fail(WsaCodeFromAddrInfo(result, errno)), nullptr;
    std::unique_ptr<addrinfo, void (*)(addrinfo*)> guard(found, ::freeaddrinfo);
    answer.name = (found->ai_canonname != nullptr) ? found->ai_canonname : hostName;
    answer.aliases.clear();
    answer.addresses.clear();
    for (addrinfo* item = found; item != nullptr; item = item->ai_next) {
        if (item->ai_family != AF_INET || item->ai_addrlen < sizeof(sockaddr_in)) continue;
        std::array<char, 4> bytes;
        std::memcpy(bytes.data(), &reinterpret_cast<const sockaddr_in*>(item->ai_addr)->sin_addr, 4);
        if (std::find(answer.addresses.begin(), answer.addresses.end(), bytes) == answer.addresses.end())
            answer.addresses.push_back(bytes);
    }
    if (answer.addresses.empty()) return Fail(kWsaNoData), nullptr;
    return answer.Publish();
}

THostEnt* GetHostByAddr(const char* address, int length, int type) {
    if (!Started()) return nullptr;
    if (address == nullptr || length < 4) return Fail(kWsaEFault), nullptr;
    if (type != kAfInet || length != 4) return Fail(kWsaEAfNoSupport), nullptr;
    sockaddr_in in{};
    in.sin_family = AF_INET;
    std::memcpy(&in.sin_addr, address, 4);
    char host[NI_MAXHOST] = {};
    errno = 0;
    const int result = ::getnameinfo(reinterpret_cast<const sockaddr*>(&in), sizeof in, host, sizeof host, nullptr, 0,
                                     NI_NAMEREQD);
    if (result != 0) return Fail(WsaCodeFromAddrInfo(result, errno)), nullptr;
    HostAnswer& answer = tHostAnswer;
    answer.name = host;
    answer.aliases.clear();
    std::array<char, 4> bytes;
    std::memcpy(bytes.data(), address, 4);
    answer.addresses.assign(1, bytes);
    return answer.Publish();
}

int GetHostName(char* name, int length) {
    if (name == nullptr || length <= 0) return Fail(kWsaEFault);
    char local[256] = {};
    if (Libc().gethostname(local, sizeof local - 1) != 0) return Fail(WsaCodeFromErrno(errno));
    const size_t size = std::strlen(local);
    if (size + 1 > static_cast<size_t>(length)) return Fail(kWsaEFault);
    std::memcpy(name, local, size + 1);
    return 0;
}

namespace {

TServEnt* PublishService(const servent& found) {
    NamedAnswer& answer = tServiceAnswer;
    answer.name = found.s_name != nullptr ? found.s_name : "";
    answer.protocol = found.s_proto != nullptr ? found.s_proto : "";
    CopyAliases(found.s_aliases, answer.aliases);
    tServEnt.s_name = answer.name.data();
    tServEnt.s_aliases = answer.PublishAliases();
    tServEnt.s_port = static_cast<short>(found.s_port);
    tServEnt.s_proto = answer.protocol.data();
    return &tServEnt;
}

TProtoEnt* PublishProtocol(const protoent& found) {
    NamedAnswer& answer = tProtocolAnswer;
    answer.name = found.p_name != nullptr ? found.p_name : "";
    CopyAliases(found.p_aliases, answer.aliases);
    tProtoEnt.p_name = answer.name.data();
    tProtoEnt.p_aliases = answer.PublishAliases();
    tProtoEnt.p_proto = static_cast<short>(found.p_proto);
    return &tProtoEnt;
}

}  // namespace

TServEnt* GetServByName(const char* name, const char* protocol) {
    if (!Started()) return nullptr;
    if (name == nullptr) return Fail(kWsaEFault), nullptr;
    servent found{};
    servent* result = nullptr;
    std::vector<char> buffer(4096);
    if (::getservbyname_r(name, protocol, &found, buffer.data(), buffer.size(), &result) != 0 || result == nullptr)
        return Fail(kWsaNoData), nullptr;
    return PublishService(found);
}

TServEnt* GetServByPort(int port, const char* protocol) {
    if (!Started()) return nullptr;
    servent found{};
    servent* result = nullptr;
    std::vector<char> buffer(4096);
    if (::getservbyport_r(port, protocol, &found, buffer.data(), buffer.size(), &result) != 0 || result == nullptr)
        return Fail(kWsaNoData), nullptr;
    return PublishService(found);
}

TProtoEnt* GetProtoByName(const char* name) {
    if (!Started()) return nullptr;
    if (name == nullptr) return Fail(kWsaEFault), nullptr;
    protoent found{};
    protoent* result = nullptr;
    std::vector<char> buffer(4096);
    if (::getprotobyname_r(name, &found, buffer.data(), buffer.size(), &result) != 0 || result == nullptr)
        return Fail(kWsaNoData), nullptr;
    return PublishProtocol(found);
}

TProtoEnt* GetProtoByNumber(int number) {
    if (!Started()) return nullptr;
    protoent found{};
    protoent* result = nullptr;
    std::vector<char> buffer(4096);
    if (::getprotobynumber_r(number, &found, buffer.data(), buffer.size(), &result) != 0 || result == nullptr)
        return Fail(kWsaNoData), nullptr;
    return PublishProtocol(found);
}

// ---------------------------------------------------------------------------------------------
// Addresses and byte order

unsigned int InetAddr(const char* text) {
    if (text == nullptr || *text == '\0') return kInAddrNone;
    in_addr address{};
    if (::inet_aton(text, &address) == 0) return kInAddrNone;
    return address.s_addr;
}

char* InetNtoa(TInAddr address) {
    unsigned char bytes[4];
    std::memcpy(bytes, &address.s_addr, 4);
    std::snprintf(tAddressText, sizeof tAddressText, "%u.%u.%u.%u", bytes[0], bytes[1], bytes[2], bytes[3]);
    return tAddressText;
}

// Network byte order is big-endian; the host may be either.
unsigned short SwapShort(unsigned short value) {
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    return __builtin_bswap16(value);
#else
    return value;
#endif
}

unsigned int SwapLong(unsigned int value) {
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    return __builtin_bswap32(value);
#else
    return value;
#endif
}

}  // namespace quorvane::platform::sockcore
