#pragma once

#include <cstdint>
#include <string>

#include "rtl/exception.h"

namespace quorvane {

// Every failure of the transport and the HTTP client is one of these. The message texts
// live with the code that raises them.
class ENetException : public Exception {
public:
    using Exception::Exception;
};

#define QUORVANE_NET_EXCEPTION(Name, Parent) \
    class Name : public Parent {             \
    public:                                  \
        using Parent::Parent;                \
    }

QUORVANE_NET_EXCEPTION(ENetSilentException, ENetException);
QUORVANE_NET_EXCEPTION(ENetConnClosedGracefully, ENetSilentException);
QUORVANE_NET_EXCEPTION(ENetAlreadyConnected, ENetException);
QUORVANE_NET_EXCEPTION(ENetClosedSocket, ENetException);
QUORVANE_NET_EXCEPTION(ENetReadTimeout, ENetException);
QUORVANE_NET_EXCEPTION(ENetReadLnMaxLineLengthExceeded, ENetException);
QUORVANE_NET_EXCEPTION(ENetInvalidServiceName, ENetException);
QUORVANE_NET_EXCEPTION(ENetConnectTimeout, ENetException);
QUORVANE_NET_EXCEPTION(ENetConnectException, ENetException);
QUORVANE_NET_EXCEPTION(ENetInvalidSocket, ENetException);
QUORVANE_NET_EXCEPTION(ENetStackError, ENetException);
QUORVANE_NET_EXCEPTION(ENetStackInitializationFailed, ENetStackError);
QUORVANE_NET_EXCEPTION(ENetStackSetSizeExceeded, ENetStackError);
QUORVANE_NET_EXCEPTION(ENetInvalidIPAddress, ENetStackError);
QUORVANE_NET_EXCEPTION(ENetSocketHandleError, ENetException);
QUORVANE_NET_EXCEPTION(ENetCouldNotBindSocket, ENetSocketHandleError);
QUORVANE_NET_EXCEPTION(ENetCanNotBindPortInRange, ENetSocketHandleError);
QUORVANE_NET_EXCEPTION(ENetInvalidPortRange, ENetSocketHandleError);
QUORVANE_NET_EXCEPTION(ENetTCPConnectionError, ENetException);
QUORVANE_NET_EXCEPTION(ENetNotEnoughDataInBuffer, ENetTCPConnectionError);
QUORVANE_NET_EXCEPTION(ENetIOHandlerPropInvalid, ENetTCPConnectionError);
QUORVANE_NET_EXCEPTION(ENetNoDataToRead, ENetTCPConnectionError);
QUORVANE_NET_EXCEPTION(ENetNotConnected, ENetTCPConnectionError);
QUORVANE_NET_EXCEPTION(ENetFileNotFound, ENetTCPConnectionError);
QUORVANE_NET_EXCEPTION(ENetURIException, ENetException);
QUORVANE_NET_EXCEPTION(ENetUnknownProtocol, ENetException);
QUORVANE_NET_EXCEPTION(ENetFailedToRetreiveTimeZoneInfo, ENetException);

#undef QUORVANE_NET_EXCEPTION

// A failure that carries a numeric reply code of the peer's protocol.
class ENetProtocolReplyError : public ENetException {
public:
    ENetProtocolReplyError(int32_t replyCode, std::string message)
        : ENetException(std::move(message)), replyCode_(replyCode) {}

    int32_t ReplyErrorCode() const noexcept { return replyCode_; }

private:
    int32_t replyCode_;
};

// The socket library could not be loaded, or one of its entries could not be bound. The
// message is the headline, then ": " and the system's text for the code unless the code is 0.
class ENetWS2StubError : public ENetException {
public:
    using ENetException::ENetException;
    ENetWS2StubError(int32_t systemCode, std::string systemText, std::string headline)
        : ENetException(systemCode == 0 ? headline : headline + ": " + systemText),
          systemCode_(systemCode),
          systemText_(systemCode == 0 ? std::string() : std::move(systemText)),
          headline_(std::move(headline)) {}

    int32_t SystemCode() const noexcept { return systemCode_; }
    const std::string& SystemText() const noexcept { return systemText_; }
    const std::string& Headline() const noexcept { return headline_; }

private:
    int32_t systemCode_ = 0;
    std::string systemText_;
    std::string headline_;
};

// A failure of the socket library with its error code (10061 for a refused connect, ...).
class ENetSocketError : public ENetException {
public:
    ENetSocketError(int32_t lastError, std::string message)
        : ENetException(std::move(message)), lastError_(lastError) {}

    int32_t LastError() const noexcept { return lastError_; }

private:
    int32_t lastError_;
};

}  // namespace quorvane
