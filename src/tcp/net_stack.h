#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/socket/socket_api.h"

namespace quorvane {

// A socket of the socket library (a library handle, not a file descriptor).
using TNetSocket = platform::sockapi::TSocket;
inline constexpr TNetSocket InvalidNetSocket = platform::sockapi::kInvalidSocket;
// The result of a failed socket call.
inline constexpr int32_t NetSocketError = -1;

// Numbering of the socket calls (the socket library's own).
inline constexpr int32_t NetAddressFamilyIPv4 = 2;  // AF_INET
inline constexpr int32_t NetSocketStream = 1;       // SOCK_STREAM
inline constexpr int32_t NetSocketDatagram = 2;     // SOCK_DGRAM
inline constexpr int32_t NetProtocolTCP = 6;        // IPPROTO_TCP, also the TCP option level
inline constexpr int32_t NetSocketLevel = 0xFFFF;   // SOL_SOCKET
inline constexpr int32_t NetOptionNoDelay = 1;      // TCP_NODELAY
inline constexpr int32_t NetShutdownReceive = 0;
inline constexpr int32_t NetShutdownSend = 1;
inline constexpr int32_t NetShutdownBoth = 2;

// Error codes the transport tests for by number.
inline constexpr int32_t NetErrorInterrupted = 10004;           // WSAEINTR
inline constexpr int32_t NetErrorBadFile = 10009;               // WSAEBADF
inline constexpr int32_t NetErrorWouldBlock = 10035;            // WSAEWOULDBLOCK
inline constexpr int32_t NetErrorNotSocket = 10038;             // WSAENOTSOCK
inline constexpr int32_t NetErrorAddressInUse = 10048;          // WSAEADDRINUSE
inline constexpr int32_t NetErrorAddressNotAvailable = 10049;   // WSAEADDRNOTAVAIL
inline constexpr int32_t NetErrorConnectionReset = 10054;       // WSAECONNRESET
inline constexpr int32_t NetErrorNotConnected = 10057;          // WSAENOTCONN
inline constexpr int32_t NetErrorTimedOut = 10060;              // WSAETIMEDOUT
inline constexpr int32_t NetErrorConnectionRefused = 10061;     // WSAECONNREFUSED
inline constexpr int32_t NetErrorNotInitialised = 10093;        // WSANOTINITIALISED
inline constexpr int32_t NetErrorHostNotFound = 11001;          // WSAHOST_NOT_FOUND

// Select time limit meaning "wait until a descriptor is ready".
inline constexpr int32_t NetSelectNoLimit = -2;

// Four address bytes, first byte first (the byte order of the address text).
using TNetAddressBytes = std::array<uint8_t, 4>;

// What a name look-up found: the first IPv4 address, or else the library's error code.
struct TNetHostAnswer {
    std::optional<TNetAddressBytes> Address;
    int32_t ErrorCode = 0;
};

// A name look-up that may run on a thread which outlives the stack, and even the program's own
// end (a user interface that gives up on a slow resolver leaves the look-up behind): it holds
// whatever it needs itself and touches no process-wide object.
using TNetDetachedLookUp = std::function<TNetHostAnswer(const std::string& hostName)>;

// The transport's single door to the socket library. One process-wide instance
// (SocketStack) serves every network component; it lives while at least one does.
// Descriptor operations return the library's result unchanged (-1 on failure) unless stated;
// callers decide what is checked, through CheckSocketResult.
class TNetStack {
public:
    TNetStack();
    virtual ~TNetStack();
    TNetStack(const TNetStack&) = delete;
    TNetStack& operator=(const TNetStack&) = delete;

    // The code that the last failed check fetched (shared by all threads using the stack).
    int32_t LastErrorCode() const noexcept { return lastErrorCode_.load(std::memory_order_relaxed); }
    // Set by nothing in this system; kept for servers.
    std::string LocalAddressText;

    // ---- Local addresses (servers only).
    // Fills LocalAddressList with the IPv4 addresses of LocalHostName; a failed look-up raises.
    virtual void FillLocalAddresses() = 0;
    // First entry of ListLocalAddresses (empty text when there is none).
    virtual std::string FirstLocalAddress();
    // Creates and fills the list on every call and returns it.
    virtual const std::vector<std::string>& ListLocalAddresses();

    // ---- Descriptor operations.
    virtual TNetSocket AcceptConnection(TNetSocket descriptor, std::string& remoteIP, int32_t& remotePort) = 0;
    // An empty ip binds to any address. A port outside 0..65535 raises ENetSocketError 10049.
    virtual int32_t BindSocket(TNetSocket descriptor, int32_t family, const std::string& ip, int32_t port) = 0;
    virtual int32_t CloseDescriptor(TNetSocket descriptor) = 0;
    // A port outside 0..65535 raises ENetSocketError 10049; an ip that is not address text
    // raises ENetInvalidIPAddress.
    virtual int32_t ConnectSocket(TNetSocket descriptor, int32_t family, const std::string& ip, int32_t port) = 0;
    virtual int32_t ListenSocket(TNetSocket descriptor, int32_t backlog) = 0;
    virtual int32_t ReceiveBytes(TNetSocket descriptor, void* buffer, int32_t flags, int32_t length) = 0;
    virtual int32_t ReceiveFrom(TNetSocket descriptor, void* buffer, int32_t length, int32_t flags,
                                std::string& ip, int32_t& port) = 0;
    // Any list may be absent (nullptr). More than 64 descriptors in a list raises
    // ENetStackSetSizeExceeded. limitMs -2 waits without limit. Each given list is replaced
    // by its ready descriptors; the library's result (count, 0 on time-out, -1 on failure) is
    // returned without raising.
    virtual int32_t SelectSockets(std::vector<TNetSocket>* readList, std::vector<TNetSocket>* writeList,
                                  std::vector<TNetSocket>* errorList, int32_t limitMs) = 0;
    virtual int32_t SendBytes(TNetSocket descriptor, const void* buffer, int32_t flags, int32_t length) = 0;
    virtual int32_t SendToAddress(TNetSocket descriptor, const void* buffer, int32_t flags, int32_t length,
                                  const std::string& ip, int32_t port) = 0;
    virtual int32_t SetSocketOption(TNetSocket descriptor, int32_t level, int32_t option, const void* value,
                                    int32_t valueLength) = 0;
    // length: in the buffer's size, out the value's size.
    virtual int32_t GetSocketOption(TNetSocket descriptor, int32_t level, int32_t option, void* buffer,
                                    int32_t& length) = 0;
    virtual TNetSocket NewSocket(int32_t family, int32_t type, int32_t protocol) = 0;
    virtual int32_t ShutdownSocket(TNetSocket descriptor, int32_t how) = 0;
    // Both raise ENetSocketError when the library call fails.
    virtual void PeerAddress(TNetSocket descriptor, int32_t& family, std::string& ip, int32_t& port) = 0;
    virtual void LocalAddressOf(TNetSocket descriptor, int32_t& family, std::string& ip, int32_t& port) = 0;

    // ---- Names, services, byte order.
    // First IPv4 address of the name as text; a failed look-up raises ENetSocketError.
    virtual std::string HostToAddress(const std::string& hostName) = 0;
    // The same look-up for a thread of its own (TNetLookupThread); empty when the stack has
    // none, and HostToAddress then runs on the caller's thread.
    virtual TNetDetachedLookUp DetachedHostLookUp() { return {}; }
    // A detached look-up's answer as HostToAddress would have given it.
    std::string AnswerToAddress(const TNetHostAnswer& answer);
    virtual std::string LocalHostName() = 0;
    virtual std::string AddressToHostName(const std::string& ip) = 0;
    // Unknown service that is no decimal number: ENetInvalidServiceName.
    virtual int32_t ServiceToPort(const std::string& serviceName) = 0;
    // The service's name followed by its aliases; empty when unknown.
    virtual std::vector<std::string> PortToServices(int32_t port) = 0;
    virtual uint16_t HostToNet16(uint16_t value) = 0;
    virtual uint16_t NetToHost16(uint16_t value) = 0;
    virtual uint32_t HostToNet32(uint32_t value) = 0;
    virtual uint32_t NetToHost32(uint32_t value) = 0;

    // ---- Errors.
    // "Socket Error # %d\r\n%s" with the code's base text (empty for unknown codes).
    virtual std::string ErrorText(int32_t code);
    // The library's last error of the calling thread.
    virtual int32_t LastSocketError() = 0;

    // ---- Address text.
    static std::string AddressToText(const TNetAddressBytes& bytes);
    // Invalid text raises ENetInvalidIPAddress ("%s is not a valid IP address.").
    static TNetAddressBytes TextToAddressBytes(const std::string& text);
    static bool IsIPv4Text(const std::string& text);
    // The address as a 32-bit value in network byte order (as it lies in memory).
    static uint32_t TextToAddress(const std::string& text);

    // ---- Checks.
    // result != -1: false. Otherwise LastErrorCode := LastSocketError; true when that code is
    // tolerated, else RaiseSocketFailure.
    bool CheckSocketResult(int32_t result, std::initializer_list<int32_t> tolerated = {});
    // Raises ENetSocketError with the code and ErrorText(code).
    [[noreturn]] void RaiseSocketFailure(int32_t code);
    // An IPv4 socket of the type; -1 from the library raises ENetInvalidSocket.
    TNetSocket CreateDescriptor(int32_t type, int32_t protocol);
    // "localhost" in any case: "127.0.0.1"; address text: unchanged; else HostToAddress.
    std::string ResolveHostName(const std::string& host);
    // The address of a host that needs no look-up ("localhost", address text); nullopt for a
    // name.
    static std::optional<std::string> KnownAddress(const std::string& host);

protected:
    void SetLastErrorCode(int32_t code) noexcept { lastErrorCode_.store(code, std::memory_order_relaxed); }
    std::vector<std::string>& LocalAddressList();

private:
    std::atomic<int32_t> lastErrorCode_{0};
    std::unique_ptr<std::vector<std::string>> localAddressList_;
};

// ---- Process-wide stack.

// Creates the process-wide stack; TNetStackWindows unless replaced (tests plug in fakes).
using TNetStackClass = std::unique_ptr<TNetStack> (*)();
// Replaces the class the next stack is created from; returns the previous one.
TNetStackClass SetStackClass(TNetStackClass stackClass) noexcept;

// The one stack instance or none. Use as a pointer: SocketStack->ReceiveBytes(...).
// Dereferencing it while no network component lives raises ENetStackError.
class TNetSocketStackPointer {
public:
    TNetStack* Get() const noexcept { return stack_.load(std::memory_order_acquire); }
    TNetStack* operator->() const;
    TNetStack& operator*() const { return *operator->(); }
    explicit operator bool() const noexcept { return Get() != nullptr; }

private:
    friend void AcquireSocketStack();
    friend void ReleaseSocketStack() noexcept;
    std::atomic<TNetStack*> stack_{nullptr};
};
extern TNetSocketStackPointer SocketStack;

// Serialises creating and freeing SocketStack and counting network components.
std::mutex& StackLock();
// Live network components.
int32_t NetComponentCount() noexcept;

// Every network component calls Acquire in its constructor and Release in its destructor.
// The first Acquire creates SocketStack (starting the socket library once per process); the
// last Release frees it. When creating the stack fails the count is restored and the
// exception passes on, so a later component tries again.
void AcquireSocketStack();
void ReleaseSocketStack() noexcept;

}  // namespace quorvane
