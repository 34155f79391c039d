#pragma once

#include <cstdint>
#include <string>

#include "platform/socket/socket_api.h"

namespace quorvane {

// The binding table of the socket library: every entry point the stack may call, in a fixed
// order. An entry is looked up by name in the loaded library on its first call and kept;
// calling an entry while the library is not loaded, or one the library does not export,
// raises ENetWS2StubError.
enum class TWinSock2Row : int32_t {
    WSACleanup,
    accept,
    bind,
    closesocket,
    connect,
    ioctlsocket,
    getpeername,
    getsockname,
    getsockopt,
    htonl,
    htons,
    inet_addr,
    inet_ntoa,
    listen,
    ntohl,
    ntohs,
    recv,
    recvfrom,
    select,
    send,
    sendto,
    setsockopt,
    shutdown,
    socket,
    gethostbyaddr,
    gethostbyname,
    gethostname,
    getservbyport,
    getservbyname,
    getprotobynumber,
    getprotobyname,
    WSASetLastError,
    WSAGetLastError,
    WSAIsBlocking,
    WSAUnhookBlockingHook,
    WSASetBlockingHook,
    WSACancelBlockingCall,
    WSAAsyncGetServByName,
    WSAAsyncGetServByPort,
    WSAAsyncGetProtoByName,
    WSAAsyncGetProtoByNumber,
    WSAAsyncGetHostByName,
    WSAAsyncGetHostByAddr,
    WSACancelAsyncRequest,
    WSAAsyncSelect,
    WSAFDIsSet,  // exported as "__WSAFDIsSet"
    WSAAccept,
    WSACloseEvent,
    WSAConnect,
    WSACreateEvent,
    WSADuplicateSocketA,
    WSADuplicateSocketW,
    WSAEnumNetworkEvents,
    WSAEnumProtocolsA,
    WSAEnumProtocolsW,
    WSAEventSelect,
    WSAGetOverlappedResult,
    WSAGetQosByName,
    WSAHtonl,
    WSAHtons,
    WSAIoctl,
    WSAJoinLeaf,
    WSANtohl,
    WSANtohs,
    WSARecv,
    WSARecvDisconnect,
    WSARecvFrom,
    WSAResetEvent,
    WSASend,
    WSASendDisconnect,
    WSASendTo,
    WSASetEvent,
    WSASocketA,
    WSASocketW,
    WSAWaitForMultipleEvents,
    WSAAddressToStringA,
    WSAAddressToStringW,
    WSAStringToAddressA,
    WSAStringToAddressW,
    WSALookupServiceBeginA,
    WSALookupServiceBeginW,
    WSALookupServiceNextA,
    WSALookupServiceNextW,
    WSALookupServiceEnd,
    WSAInstallServiceClassA,
    WSAInstallServiceClassW,
    WSARemoveServiceClass,
    WSAGetServiceClassInfoA,
    WSAGetServiceClassInfoW,
    WSAEnumNameSpaceProvidersA,
    WSAEnumNameSpaceProvidersW,
    WSAGetServiceClassNameByClassIdA,
    WSAGetServiceClassNameByClassIdW,
    WSASetServiceA,
    WSASetServiceW,
    WSAProviderConfigChange,
    WSADuplicateSocket,
    WSAEnumProtocols,
    WSASocket,
    WSAAddressToString,
    WSAStringToAddress,
    WSALookupServiceBegin,
    WSALookupServiceNext,
    WSAInstallServiceClass,
    WSAGetServiceClassInfo,
    WSAEnumNameSpaceProviders,
    WSAGetServiceClassNameByClassId,
    WSASetService,
    TransmitFile,
    AcceptEx,
    GetAcceptExSockaddrs,
    WSARecvEx
};
inline constexpr int32_t WinSock2RowCount = 112;
static_assert(static_cast<int32_t>(TWinSock2Row::WSARecvEx) + 1 == WinSock2RowCount);

// The entry's own name and the name it is looked up by (they differ for the twelve neutral
// names of the character-set pairs, which bind to the single-byte exports ending in "A").
const char* WinSock2CallName(TWinSock2Row row);
const char* WinSock2ExportName(TWinSock2Row row);

// The library's file name (a platform constant; tests may point it elsewhere). Changing it
// only affects the next load.
std::string WinSock2LibraryName();
void SetWinSock2LibraryName(const std::string& fileName);

// The start-up call: loads the library when it is not loaded yet and calls its start-up entry
// with the version; when the library is already loaded it returns 0 without calling anything.
// A failed load raises ENetWS2StubError "Error on loading Winsock2 library (%s)".
int32_t WinSock2Startup(uint16_t version, platform::sockapi::TWSAData* data);
bool WinSock2Loaded() noexcept;
// Unloads the library (only one caller does, even when several race) and resets every entry.
void WinSock2Unload() noexcept;

// Runs the row's binder when it has no target yet and returns the target.
void* WinSock2Entry(TWinSock2Row row);

// Typed calls through the table, under the entry points' own names.
namespace ws2 {

using platform::sockapi::TFdSet;
using platform::sockapi::THostEnt;
using platform::sockapi::TInAddr;
using platform::sockapi::TProtoEnt;
using platform::sockapi::TServEnt;
using platform::sockapi::TSockAddr;
using platform::sockapi::TSocket;
using platform::sockapi::TTimeVal;

int32_t WSACleanup();
TSocket accept(TSocket s, TSockAddr* address, int32_t* length);
int32_t bind(TSocket s, const TSockAddr* address, int32_t length);
int32_t closesocket(TSocket s);
int32_t connect(TSocket s, const TSockAddr* address, int32_t length);
int32_t ioctlsocket(TSocket s, long command, uint32_t* argument);
int32_t getpeername(TSocket s, TSockAddr* address, int32_t* length);
int32_t getsockname(TSocket s, TSockAddr* address, int32_t* length);
int32_t getsockopt(TSocket s, int32_t level, int32_t option, char* value, int32_t* length);
uint32_t htonl(uint32_t value);
uint16_t htons(uint16_t value);
uint32_t inet_addr(const char* text);
char* inet_ntoa(TInAddr address);
int32_t listen(TSocket s, int32_t backlog);
uint32_t ntohl(uint32_t value);
uint16_t ntohs(uint16_t value);
int32_t recv(TSocket s, char* buffer, int32_t length, int32_t flags);
int32_t recvfrom(TSocket s, char* buffer, int32_t length, int32_t flags, TSockAddr* from, int32_t* fromLength);
int32_t select(int32_t count, TFdSet* readSet, TFdSet* writeSet, TFdSet* exceptSet, const TTimeVal* timeout);
int32_t send(TSocket s, const char* buffer, int32_t length, int32_t flags);
int32_t sendto(TSocket s, const char* buffer, int32_t length, int32_t flags, const TSockAddr* to, int32_t toLength);
int32_t setsockopt(TSocket s, int32_t level, int32_t option, const char* value, int32_t length);
int32_t shutdown(TSocket s, int32_t how);
TSocket socket(int32_t family, int32_t type, int32_t protocol);
THostEnt* gethostbyaddr(const char* address, int32_t length, int32_t type);
THostEnt* gethostbyname(const char* name);
int32_t gethostname(char* name, int32_t length);
TServEnt* getservbyport(int32_t port, const char* protocol);
TServEnt* getservbyname(const char* name, const char* protocol);
TProtoEnt* getprotobynumber(int32_t number);
TProtoEnt* getprotobyname(const char* name);
void WSASetLastError(int32_t code);
int32_t WSAGetLastError();

}  // namespace ws2

}  // namespace quorvane
