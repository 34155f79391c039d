#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>

#include "http/net_authentication.h"
#include "http/net_http_body_reader.h"
#include "http/net_http_header_info.h"
#include "http/net_uri.h"
#include "rtl/stream.h"
#include "tcp/net_exception.h"
#include "tcp/net_tcp_client.h"

namespace quorvane {

class TNetCookieManager;
class TNetCustomHTTP;

enum class TNetHTTPMethod { hmHead, hmGet, hmPost, hmOptions, hmTrace, hmPut, hmDelete, hmConnect };
enum class TNetHTTPProtocolVersion { pv1_0, pv1_1 };
enum class TNetHTTPConnectionType { Direct, DirectTls, Proxied, TlsThroughProxy };
enum class TNetHTTPOption { hoInProcessAuth, hoKeepOrigProtocol, hoForceEncodeParams };
// What the request loop does after a response was evaluated.
enum class TNetHTTPWhatsNext { FollowURL, Finished, Undecided, Reauthorize };

// A set of TNetHTTPOption.
class TNetHTTPOptions {
public:
    constexpr TNetHTTPOptions() = default;
    constexpr TNetHTTPOptions(std::initializer_list<TNetHTTPOption> options) {
        for (TNetHTTPOption option : options) bits_ |= Bit(option);
    }
    constexpr bool Contains(TNetHTTPOption option) const { return (bits_ & Bit(option)) != 0; }
    constexpr void Include(TNetHTTPOption option) { bits_ |= Bit(option); }
    constexpr void Exclude(TNetHTTPOption option) { bits_ &= static_cast<uint8_t>(~Bit(option)); }
    constexpr bool operator==(const TNetHTTPOptions&) const = default;

private:
    static constexpr uint8_t Bit(TNetHTTPOption option) { return static_cast<uint8_t>(1u << static_cast<int>(option)); }
    uint8_t bits_ = 0;
};

// An answer the client does not accept: the code, the whole status line as message and the
// body read as text.
class ENetHTTPProtocolException : public ENetProtocolReplyError {
public:
    ENetHTTPProtocolException(int32_t replyCode, std::string statusLine, std::string replyBody)
        : ENetProtocolReplyError(replyCode, std::move(statusLine)), replyBody_(std::move(replyBody)) {}

    int32_t ReplyCode() const noexcept { return ReplyErrorCode(); }
    const std::string& ReplyBody() const noexcept { return replyBody_; }

private:
    std::string replyBody_;
};

// The exchange deadline (SetExchangeDeadline) passed while the client waited for bytes. It is
// a read time-out of the whole exchange, so it derives from the per-read one.
class ENetHTTPDeadlineExceeded : public ENetReadTimeout {
public:
    using ENetReadTimeout::ENetReadTimeout;
};

using TNetHTTPOnRedirectEvent = std::function<void(TComponent* sender, std::string& dest, int32_t& numRedirect,
                                                   bool& handled, TNetHTTPMethod& method)>;
using TNetOnSelectAuthorization =
    std::function<void(TComponent* sender, TNetAuthenticationClass& authenticationClass, TNetHeaderList& authInfo)>;
using TNetOnAuthorization = std::function<void(TComponent* sender, TNetAuthentication* authentication, bool& handled)>;

// The request record of the client: the header fields plus what one request needs.
class TNetHTTPRequest : public TNetRequestHeaderInfo {
public:
    explicit TNetHTTPRequest(TNetCustomHTTP* owner) : owner_(owner) {}

    TNetCustomHTTP* Owner() const noexcept { return owner_; }

    std::string URL;  // the caller's URL, rewritten into the request target
    TNetHTTPMethod Method = TNetHTTPMethod::hmGet;
    TStream* Source = nullptr;  // body of POST and PUT; not owned
    TNetHTTPConnectionType ConnectionType = TNetHTTPConnectionType::Direct;

private:
    TNetCustomHTTP* owner_;
};

// The response record of the client: the header fields plus the status line and framing.
class TNetHTTPResponse : public TNetResponseHeaderInfo {
public:
    explicit TNetHTTPResponse(TNetCustomHTTP* owner) : owner_(owner) {}

    TNetCustomHTTP* Owner() const noexcept { return owner_; }

    // The number after the first space of the status line; -1 when there is none.
    int32_t StatusCode() const;
    // Whether the connection may serve the next request; asks the connection for a peer
    // close each time, and takes the response's version from the status line.
    bool KeepOpen();

    std::string StatusLine;  // exactly as received, without its line end
    TStream* BodyStream = nullptr;  // where the body goes; not owned
    TNetHTTPProtocolVersion StatusVersion = TNetHTTPProtocolVersion::pv1_1;

private:
    TNetCustomHTTP* owner_;
};

// One request/response pair of the client. The client's own pair lives as long as the
// client, so the previous response is still there when the next request starts.
class TNetHTTPProtocol {
public:
    explicit TNetHTTPProtocol(TNetCustomHTTP* owner);

    TNetCustomHTTP* Owner() const noexcept { return owner_; }
    TNetHTTPRequest& Request() noexcept { return *request_; }
    TNetHTTPResponse& Response() noexcept { return *response_; }

private:
    TNetCustomHTTP* owner_;
    std::unique_ptr<TNetHTTPRequest> request_;
    std::unique_ptr<TNetHTTPResponse> response_;
};

// The HTTP/1.0 and HTTP/1.1 client over its own TCP connection (it is the connection). One
// exchange at a time, on the calling thread.
class TNetCustomHTTP : public TNetTCPClient {
public:
    // Defensive limits on what a peer may make the client hold (see ENetHTTPResponseTooLarge).
    static constexpr int64_t kDefaultMaxHeaderBytes = TNetHTTPResponseLimits{}.MaxHeaderBytes;
    static constexpr int32_t kDefaultMaxHeaderLines = TNetHTTPResponseLimits{}.MaxHeaderLines;
    static constexpr int64_t kDefaultMaxBodyBytes = TNetHTTPResponseLimits{}.MaxBodyBytes;

    explicit TNetCustomHTTP(TComponent* owner = nullptr);
    ~TNetCustomHTTP() override;

    // --- settings ---
    int32_t AuthRetries = 3;
    bool AllowCookies = true;
    bool HandleRedirects = false;
    TNetHTTPProtocolVersion ProtocolVersion = TNetHTTPProtocolVersion::pv1_1;
    int32_t RedirectMaximum = 15;
    TNetHTTPOptions HTTPOptions{TNetHTTPOption::hoForceEncodeParams};
    // For the connects the client makes by itself; 0: no limit (but see SetExchangeDeadline).
    int32_t ConnectTimeout = 0;

    TNetHTTPOnRedirectEvent OnRedirect;
    TNetOnSelectAuthorization OnSelectAuthorization;
    TNetOnSelectAuthorization OnSelectProxyAuthorization;
    TNetOnAuthorization OnAuthorization;
    TNetOnAuthorization OnProxyAuthorization;

    int64_t MaxHeaderBytes = kDefaultMaxHeaderBytes;
    int32_t MaxHeaderLines = kDefaultMaxHeaderLines;
    int64_t MaxBodyBytes = kDefaultMaxBodyBytes;

    // Every wait for bytes and every reconnect from now on ends at most `milliseconds` from
    // now, with ENetHTTPDeadlineExceeded once that time has passed; 0 or less removes it.
    void SetExchangeDeadline(int32_t milliseconds);

    TNetProxyConnectionInfo& ProxyParams() noexcept { return *proxyParams_; }
    void SetProxyParams(const TNetProxyConnectionInfo& value);
    TNetHTTPRequest& Request() noexcept { return exchange_->Request(); }
    // Copies the fields a request record assignment copies.
    void SetRequest(const TNetHTTPRequest& value);
    TNetHTTPResponse& Response() noexcept { return exchange_->Response(); }
    TNetHTTPProtocol& Exchange() noexcept { return *exchange_; }

    TNetCookieManager* CookieManager() const noexcept { return cookieManager_; }
    // Attaches a manager owned elsewhere; a manager the client created itself is freed.
    void SetCookieManager(TNetCookieManager* manager);
    bool OwnsCookieManager() const noexcept { return ownedCookieManager_ != nullptr; }

    const TNetURI& CurrentURL() const noexcept { return *currentURL_; }
    int32_t RedirectsMade() const noexcept { return redirectsMade_; }

    // The code (-1 when none) and text of the last status line this client holds.
    int32_t StatusCode() const;
    const std::string& StatusLine() const;

    void SetHost(const std::string& value) override;
    void SetPort(int32_t value) override;

    // --- requests ---
    // The body is appended to the stream from its current position.
    void Get(const std::string& url, TStream& stream);
    std::string Get(const std::string& url);

    // Any method: the body of POST and PUT comes from source, the answer's body is appended to
    // content (nothing is kept when it is null). Redirections and authorization rounds are
    // followed inside, as the settings allow.
    virtual void PerformRequest(TNetHTTPMethod method, const std::string& url, TStream* source, TStream* content);

    int32_t FillInputBuffer(bool raiseIfClosed = true, int32_t timeout = -1, bool raiseOnTimeout = true) override;

protected:
    // The hooks a derived client may answer differently: challenges (401, 407) and redirections.
    virtual bool AuthorizeRequest(TNetHTTPRequest& request, TNetHTTPResponse& response);
    virtual bool AuthorizeProxy(TNetHTTPRequest& request, TNetHTTPResponse& response);
    virtual bool ConfirmRedirect(std::string& location, TNetHTTPMethod& method, int32_t count);

    void DoOnConnected() override;
    void DoOnDisconnected() override;
    void Notification(TComponent* component, TOperation operation) override;

private:
    // --- the request cycle ---
    void PrepareRequestTarget();
    TNetHTTPConnectionType ChooseConnectionType();
    void ConnectForRequest();
    void EnsureConnected(TNetHTTPResponse& response);
    void WriteRequest(TNetHTTPRequest& request);
    void ReadResponseHeaders(TNetHTTPResponse& response);
    void StoreResponseCookies(TNetHTTPResponse& response);
    void ReadResponseBody(TNetHTTPResponse& response);

    // --- response evaluation ---
    TNetHTTPWhatsNext EvaluateResponse(TNetHTTPProtocol& exchange);
    // Reads the body as text (2000 ms limit) and raises ENetHTTPProtocolException with it.
    [[noreturn]] void FailWithResponse(TNetHTTPProtocol& exchange);
    // Reads and drops the body.
    void DiscardBody(TNetHTTPProtocol& exchange);
    // Reads the body into `aside` in place of the caller's stream.
    void ReadBodyAside(TNetHTTPResponse& response, TStream& aside);
    bool Authorize(TNetHTTPRequest& request, TNetHTTPResponse& response, bool proxy);
    // DiscardBody under the 4000 ms limit; read failures are ignored, the size and time
    // limits are not.
    void DiscardWithLimit(TNetHTTPProtocol& exchange);
    bool DeadlinePassed() const;
    // The limit of a connect the client makes by itself: ConnectTimeout, never beyond what
    // is left of the exchange deadline (and that much when ConnectTimeout sets none).
    int32_t ConnectLimit();

    std::unique_ptr<TNetURI> currentURL_;
    std::unique_ptr<TNetHTTPProtocol> exchange_;
    std::unique_ptr<TNetProxyConnectionInfo> proxyParams_;
    TNetCookieManager* cookieManager_ = nullptr;
    // The open connection has carried no request since it was made.
    bool unusedConnection_ = false;
    // The last request went out and its answer is not yet read to its end.
    bool answerPending_ = false;
    TNetHTTPMethod sentMethod_ = TNetHTTPMethod::hmGet;
    std::unique_ptr<TNetCookieManager> ownedCookieManager_;
    int32_t redirectsMade_ = 0;
    // Counts the head lines of each request's answers and reads their bodies.
    TNetHTTPBodyReader bodyReader_{*this};
    bool hasDeadline_ = false;
    bool deadlineHit_ = false;
    int32_t deadlineMs_ = 0;
    std::chrono::steady_clock::time_point deadline_{};
};

// The published client; all behaviour is in TNetCustomHTTP.
class TNetHTTP : public TNetCustomHTTP {
public:
    using TNetCustomHTTP::TNetCustomHTTP;
};

}  // namespace quorvane
