// The library's error codes for the C library's errno and look-up results.

#include "platform/socket/socket_core.h"

#include <netdb.h>

#include <cerrno>

namespace quorvane::platform::sockcore {

using namespace sockapi;

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

}  // namespace quorvane::platform::sockcore
