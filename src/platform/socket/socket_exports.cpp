// The socket library's entry points, under the names and calling forms its callers bind.
// This file must not include any C library header (see socket_api.h): the names below are
// the C library's own, with other signatures.

#include "platform/socket/socket_core.h"

#define QRV_EXPORT extern "C" __attribute__((visibility("default")))

namespace core = quorvane::platform::sockcore;
using core::TFdSet;
using core::THostEnt;
using core::TInAddr;
using core::TProtoEnt;
using core::TServEnt;
using core::TSockAddr;
using core::TSocket;
using core::TTimeVal;
using core::TWSAData;

QRV_EXPORT int WSAStartup(unsigned short version, TWSAData* data) { return core::Startup(version, data); }
QRV_EXPORT int WSACleanup() { return core::Cleanup(); }
QRV_EXPORT int WSAGetLastError() { return core::LastError(); }
QRV_EXPORT void WSASetLastError(int code) { core::SetLastError(code); }
// Blocking hooks belong to an older library generation: no call is ever "blocking" here.
QRV_EXPORT int WSAIsBlocking() { return 0; }

QRV_EXPORT TSocket socket(int family, int type, int protocol) { return core::Socket(family, type, protocol); }
QRV_EXPORT TSocket accept(TSocket s, TSockAddr* address, int* length) { return core::Accept(s, address, length); }
QRV_EXPORT int bind(TSocket s, const TSockAddr* address, int length) { return core::Bind(s, address, length); }
QRV_EXPORT int connect(TSocket s, const TSockAddr* address, int length) { return core::Connect(s, address, length); }
QRV_EXPORT int listen(TSocket s, int backlog) { return core::Listen(s, backlog); }
QRV_EXPORT int closesocket(TSocket s) { return core::CloseSocket(s); }
QRV_EXPORT int shutdown(TSocket s, int how) { return core::Shutdown(s, how); }
QRV_EXPORT int ioctlsocket(TSocket s, long command, unsigned int* argument) {
    return core::IoctlSocket(s, command, argument);
}
QRV_EXPORT int getpeername(TSocket s, TSockAddr* address, int* length) { return core::GetPeerName(s, address, length); }
QRV_EXPORT int getsockname(TSocket s, TSockAddr* address, int* length) { return core::GetSockName(s, address, length); }
QRV_EXPORT int getsockopt(TSocket s, int level, int option, char* value, int* length) {
    return core::GetSockOpt(s, level, option, value, length);
}
QRV_EXPORT int setsockopt(TSocket s, int level, int option, const char* value, int length) {
    return core::SetSockOpt(s, level, option, value, length);
}
QRV_EXPORT int recv(TSocket s, char* buffer, int length, int flags) { return core::Recv(s, buffer, length, flags); }
QRV_EXPORT int recvfrom(TSocket s, char* buffer, int length, int flags, TSockAddr* from, int* fromLength) {
    return core::RecvFrom(s, buffer, length, flags, from, fromLength);
}
QRV_EXPORT int send(TSocket s, const char* buffer, int length, int flags) { return core::Send(s, buffer, length, flags); }
QRV_EXPORT int sendto(TSocket s, const char* buffer, int length, int flags, const TSockAddr* to, int toLength) {
    return core::SendTo(s, buffer, length, flags, to, toLength);
}
QRV_EXPORT int select(int count, TFdSet* readSet, TFdSet* writeSet, TFdSet* exceptSet, const TTimeVal* timeout) {
    return core::Select(count, readSet, writeSet, exceptSet, timeout);
}
QRV_EXPORT int __WSAFDIsSet(TSocket s, TFdSet* set) { return core::FdIsSet(s, set); }

QRV_EXPORT THostEnt* gethostbyname(const char* name) { return core::GetHostByName(name); }
QRV_EXPORT THostEnt* gethostbyaddr(const char* address, int length, int type) {
    return core::GetHostByAddr(address, length, type);
}
QRV_EXPORT int gethostname(char* name, int length) { return core::GetHostName(name, length); }
QRV_EXPORT TServEnt* getservbyname(const char* name, const char* protocol) {
    return core::GetServByName(name, protocol);
}
QRV_EXPORT TServEnt* getservbyport(int port, const char* protocol) { return core::GetServByPort(port, protocol); }
QRV_EXPORT TProtoEnt* getprotobyname(const char* name) { return core::GetProtoByName(name); }
QRV_EXPORT TProtoEnt* getprotobynumber(int number) { return core::GetProtoByNumber(number); }

QRV_EXPORT unsigned int inet_addr(const char* text) { return core::InetAddr(text); }
QRV_EXPORT char* inet_ntoa(TInAddr address) { return core::InetNtoa(address); }
QRV_EXPORT unsigned int htonl(unsigned int value) { return core::SwapLong(value); }
QRV_EXPORT unsigned int ntohl(unsigned int value) { return core::SwapLong(value); }
QRV_EXPORT unsigned short htons(unsigned short value) { return core::SwapShort(value); }
QRV_EXPORT unsigned short ntohs(unsigned short value) { return core::SwapShort(value); }

namespace {

// The four conversions that name a socket only check that it is open.
bool IsOpenSocket(TSocket s) {
    int type = 0;
    int length = sizeof type;
    return core::GetSockOpt(s, quorvane::platform::sockapi::kSolSocket, quorvane::platform::sockapi::kSoType,
                            reinterpret_cast<char*>(&type), &length) == 0;
}

int NullPointer() {
    core::SetLastError(quorvane::platform::sockapi::kWsaEFault);
    return -1;
}

template <typename T>
int SwapForSocket(TSocket s, T value, T* result, T (*swap)(T)) {
    if (result == nullptr) return NullPointer();
    if (!IsOpenSocket(s)) return -1;
    *result = swap(value);
    return 0;
}

}  // namespace

QRV_EXPORT int WSAHtonl(TSocket s, unsigned int value, unsigned int* result) {
    return SwapForSocket(s, value, result, core::SwapLong);
}
QRV_EXPORT int WSANtohl(TSocket s, unsigned int value, unsigned int* result) {
    return SwapForSocket(s, value, result, core::SwapLong);
}
QRV_EXPORT int WSAHtons(TSocket s, unsigned short value, unsigned short* result) {
    return SwapForSocket(s, value, result, core::SwapShort);
}
QRV_EXPORT int WSANtohs(TSocket s, unsigned short value, unsigned short* result) {
    return SwapForSocket(s, value, result, core::SwapShort);
}
