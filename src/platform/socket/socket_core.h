#pragma once

// The socket library's working parts behind its entry points. Like socket_api.h this header
// includes nothing, so that the file defining the entry points stays free of C library
// declarations.

#include "platform/socket/socket_api.h"

namespace quorvane::platform::sockcore {

using sockapi::TFdSet;
using sockapi::THostEnt;
using sockapi::TInAddr;
using sockapi::TProtoEnt;
using sockapi::TServEnt;
using sockapi::TSockAddr;
using sockapi::TSocket;
using sockapi::TTimeVal;
using sockapi::TWSAData;

int Startup(unsigned short version, TWSAData* data);
int Cleanup();
int LastError();
void SetLastError(int code);

TSocket Socket(int family, int type, int protocol);
TSocket Accept(TSocket s, TSockAddr* address, int* addressLength);
int Bind(TSocket s, const TSockAddr* address, int addressLength);
int Connect(TSocket s, const TSockAddr* address, int addressLength);
int Listen(TSocket s, int backlog);
int CloseSocket(TSocket s);
int Shutdown(TSocket s, int how);
int IoctlSocket(TSocket s, long command, unsigned int* argument);
int GetPeerName(TSocket s, TSockAddr* address, int* addressLength);
int GetSockName(TSocket s, TSockAddr* address, int* addressLength);
int GetSockOpt(TSocket s, int level, int option, char* value, int* valueLength);
int SetSockOpt(TSocket s, int level, int option, const char* value, int valueLength);
int Recv(TSocket s, char* buffer, int length, int flags);
int RecvFrom(TSocket s, char* buffer, int length, int flags, TSockAddr* from, int* fromLength);
int Send(TSocket s, const char* buffer, int length, int flags);
int SendTo(TSocket s, const char* buffer, int length, int flags, const TSockAddr* to, int toLength);
int Select(int ignored, TFdSet* readSet, TFdSet* writeSet, TFdSet* exceptSet, const TTimeVal* timeout);
int FdIsSet(TSocket s, TFdSet* set);

THostEnt* GetHostByName(const char* name);
THostEnt* GetHostByAddr(const char* address, int length, int type);
int GetHostName(char* name, int length);
TServEnt* GetServByName(const char* name, const char* protocol);
TServEnt* GetServByPort(int port, const char* protocol);
TProtoEnt* GetProtoByName(const char* name);
TProtoEnt* GetProtoByNumber(int number);

unsigned int InetAddr(const char* text);
char* InetNtoa(TInAddr address);
unsigned short SwapShort(unsigned short value);
unsigned int SwapLong(unsigned int value);

// The library's code for an errno value of a failed call. `connecting` and `sendShutdown`
// pick the code that the call implies where one errno stands for several cases.
enum class TErrnoContext { plain, connect, send, sendAfterShutdown, sendNeverConnected, receiveTimed };
int WsaCodeFromErrno(int errnoValue, TErrnoContext context = TErrnoContext::plain);
// The library's code for a failed getaddrinfo/getnameinfo result (EAI_* values).
int WsaCodeFromAddrInfo(int eaiValue, int errnoValue);
// True for a name that no resolver may answer (RFC 6761 "invalid", labels that break the
// host-name syntax): such a name fails with 11001 without a look-up.
bool IsUnresolvableHostName(const char* name);

}  // namespace quorvane::platform::sockcore
