#pragma once

// The calling forms of the socket library: the records and constants its entry points take,
// shared by the library itself and by the socket stack that loads it at run time.
//
// This header must include nothing: the file that defines the library's entry points may not
// see any C library declaration (glibc declares select, send, bind, ... with its own
// signatures, which would clash with the entry points of the same name). Only the compiler's
// built-in types are used.

namespace quorvane::platform::sockapi {

// The library's file name; the stack loads it by this name, found beside the executable.
inline constexpr const char* kSocketLibraryName = "libquorvane_socket.so";

// A socket is a handle of the library, never a raw file descriptor. Handles are not reused
// within a process; the invalid handle has all bits set.
using TSocket = __UINTPTR_TYPE__;
inline constexpr TSocket kInvalidSocket = ~static_cast<TSocket>(0);
inline constexpr int kSocketError = -1;

// The descriptor set of select: a count and up to 64 handles.
inline constexpr unsigned int kFdSetSize = 64;
struct TFdSet {
    unsigned int fd_count;
    TSocket fd_array[kFdSetSize];
};

// Seconds and microseconds, both 32-bit.
struct TTimeVal {
    int tv_sec;
    int tv_usec;
};

struct TInAddr {
    unsigned int s_addr;  // network byte order
};

// The published 16-byte IPv4 socket address record: family 2, port and address in network
// byte order, eight bytes of zero.
struct TSockAddrIn {
    unsigned short sin_family;
    unsigned short sin_port;
    TInAddr sin_addr;
    char sin_zero[8];
};
static_assert(sizeof(TSockAddrIn) == 16);

struct TSockAddr {
    unsigned short sa_family;
    char sa_data[14];
};
static_assert(sizeof(TSockAddr) == 16);

struct THostEnt {
    char* h_name;
    char** h_aliases;
    short h_addrtype;
    short h_length;
    char** h_addr_list;
};

struct TServEnt {
    char* s_name;
    char** s_aliases;
    short s_port;  // network byte order
    char* s_proto;
};

struct TProtoEnt {
    char* p_name;
    char** p_aliases;
    short p_proto;
};

struct TWSAData {
    unsigned short wVersion;
    unsigned short wHighVersion;
    char szDescription[257];
    char szSystemStatus[129];
    unsigned short iMaxSockets;
    unsigned short iMaxUdpDg;
    char* lpVendorInfo;
};

struct TLinger {
    unsigned short l_onoff;
    unsigned short l_linger;
};

// Families, types, levels and options in the numbering of the library's callers.
inline constexpr int kAfInet = 2;
inline constexpr int kSockStream = 1;
inline constexpr int kSockDgram = 2;
inline constexpr int kIpProtoIp = 0;
inline constexpr int kIpProtoTcp = 6;
inline constexpr int kIpProtoUdp = 17;
inline constexpr int kSolSocket = 0xFFFF;
inline constexpr int kSoDebug = 0x0001;
inline constexpr int kSoReuseAddr = 0x0004;
inline constexpr int kSoKeepAlive = 0x0008;
inline constexpr int kSoDontRoute = 0x0010;
inline constexpr int kSoBroadcast = 0x0020;
inline constexpr int kSoLinger = 0x0080;
inline constexpr int kSoOobInline = 0x0100;
inline constexpr int kSoSndBuf = 0x1001;
inline constexpr int kSoRcvBuf = 0x1002;
inline constexpr int kSoSndTimeo = 0x1005;
inline constexpr int kSoRcvTimeo = 0x1006;
inline constexpr int kSoError = 0x1007;
inline constexpr int kSoType = 0x1008;
inline constexpr int kTcpNoDelay = 0x0001;
inline constexpr int kMsgOob = 0x1;
inline constexpr int kMsgPeek = 0x2;
inline constexpr int kMsgDontRoute = 0x4;
inline constexpr int kSdReceive = 0;
inline constexpr int kSdSend = 1;
inline constexpr int kSdBoth = 2;
inline constexpr long kFionRead = 0x4004667F;
inline constexpr long kFionBio = static_cast<long>(0x8004667EU);
inline constexpr unsigned int kInAddrNone = 0xFFFFFFFFU;
inline constexpr unsigned short kRequestedVersion = 0x0202;

// Error codes of WSAGetLastError.
inline constexpr int kWsaEIntr = 10004;
inline constexpr int kWsaEBadF = 10009;
inline constexpr int kWsaEAcces = 10013;
inline constexpr int kWsaEFault = 10014;
inline constexpr int kWsaEInval = 10022;
inline constexpr int kWsaEMFile = 10024;
inline constexpr int kWsaEWouldBlock = 10035;
inline constexpr int kWsaEInProgress = 10036;
inline constexpr int kWsaEAlready = 10037;
inline constexpr int kWsaENotSock = 10038;
inline constexpr int kWsaEDestAddrReq = 10039;
inline constexpr int kWsaEMsgSize = 10040;
inline constexpr int kWsaEPrototype = 10041;
inline constexpr int kWsaENoProtoOpt = 10042;
inline constexpr int kWsaEProtoNoSupport = 10043;
inline constexpr int kWsaESocktNoSupport = 10044;
inline constexpr int kWsaEOpNotSupp = 10045;
inline constexpr int kWsaEPfNoSupport = 10046;
inline constexpr int kWsaEAfNoSupport = 10047;
inline constexpr int kWsaEAddrInUse = 10048;
inline constexpr int kWsaEAddrNotAvail = 10049;
inline constexpr int kWsaENetDown = 10050;
inline constexpr int kWsaENetUnreach = 10051;
inline constexpr int kWsaENetReset = 10052;
inline constexpr int kWsaEConnAborted = 10053;
inline constexpr int kWsaEConnReset = 10054;
inline constexpr int kWsaENoBufs = 10055;
inline constexpr int kWsaEIsConn = 10056;
inline constexpr int kWsaENotConn = 10057;
inline constexpr int kWsaEShutdown = 10058;
inline constexpr int kWsaETooManyRefs = 10059;
inline constexpr int kWsaETimedOut = 10060;
inline constexpr int kWsaEConnRefused = 10061;
inline constexpr int kWsaELoop = 10062;
inline constexpr int kWsaENameTooLong = 10063;
inline constexpr int kWsaEHostDown = 10064;
inline constexpr int kWsaEHostUnreach = 10065;
inline constexpr int kWsaENotEmpty = 10066;
inline constexpr int kWsaVerNotSupported = 10092;
inline constexpr int kWsaNotInitialised = 10093;
inline constexpr int kWsaHostNotFound = 11001;
inline constexpr int kWsaTryAgain = 11002;
inline constexpr int kWsaNoRecovery = 11003;
inline constexpr int kWsaNoData = 11004;

}  // namespace quorvane::platform::sockapi
