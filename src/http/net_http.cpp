#include "http/net_http.h"

#include <algorithm>
#include <cmath>

#include "http/net_cookie_manager.h"
#include "http/net_header_list.h"
#include "http/net_number_text.h"
#include "platform/locale_text.h"
#include "rtl/format.h"
#include "text/blank_text.h"

namespace quorvane {

namespace {

const char* MethodWord(TNetHTTPMethod method) {
    switch (method) {
        case TNetHTTPMethod::hmHead: return "HEAD";
        case TNetHTTPMethod::hmGet: return "GET";
        case TNetHTTPMethod::hmPost: return "POST";
        case TNetHTTPMethod::hmOptions: return "OPTIONS";
        case TNetHTTPMethod::hmTrace: return "TRACE";
        case TNetHTTPMethod::hmPut: return "PUT";
        case TNetHTTPMethod::hmDelete: return "DELETE";
        case TNetHTTPMethod::hmConnect: return "CONNECT";
    }
    return "GET";
}

bool NeedsHttp11(TNetHTTPMethod method) {
    return method == TNetHTTPMethod::hmOptions || method == TNetHTTPMethod::hmTrace ||
           method == TNetHTTPMethod::hmPut || method == TNetHTTPMethod::hmDelete;
}

bool CarriesBody(TNetHTTPMethod method) {
    return method == TNetHTTPMethod::hmPost || method == TNetHTTPMethod::hmPut;
}

// Answers that never carry a body, whatever length or framing they announce (RFC 9110 6.4.1):
// waiting for one would hold the exchange until the read limit or the peer's close.
bool AnswerHasNoBody(int32_t code, TNetHTTPMethod sentMethod) {
    return sentMethod == TNetHTTPMethod::hmHead || (code >= 100 && code < 200) || code == 204 || code == 304;
}

// 1xx answers that come before the final one (RFC 9110 15.2: 100 Continue, 103 Early Hints,
// and codes not yet assigned). 101 is none of them: it ends HTTP on the connection.
bool IsInterimAnswer(int32_t code) { return code >= 100 && code < 200 && code != 101; }

// Decimal digits only, at most nine of them; -1 for anything else. A status code in hex
// ("0xC8") or with a sign is no number here, though the runtime's reading would take it.
int32_t DecimalNumber(const std::string& text) {
    if (text.empty() || text.size() > 9) return -1;
    int32_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

// The port a URL names, written the way SetPort writes it. The connect takes the runtime's
// reading of the text ("0081", "+81", "$51" and "0x51" all name port 81), and the Host header
// must name the port the connection went to, not repeat the text. Text that is no number
// gives 0, which no connect reaches.
std::string UrlPort(const std::string& port) { return std::to_string(NetTextToInt32Def(port, 0)); }

}  // namespace

// ---------------------------------------------------------------------------------------------
// Records
// ---------------------------------------------------------------------------------------------

int32_t TNetHTTPResponse::StatusCode() const {
    const size_t space = StatusLine.find(' ');
    std::string rest = space == std::string::npos ? std::string() : Trim(StatusLine.substr(space + 1));
    const size_t next = rest.find(' ');
    if (next != std::string::npos) rest.resize(next);
    return DecimalNumber(rest);
}

bool TNetHTTPResponse::KeepOpen() {
    if (StatusLine.size() >= 8) {
        const std::string version = StatusLine.substr(5, 3);
        if (platform::AnsiSameText(version, "1.0")) {
            StatusVersion = TNetHTTPProtocolVersion::pv1_0;
        } else if (platform::AnsiSameText(version, "1.1")) {
            StatusVersion = TNetHTTPProtocolVersion::pv1_1;
        }
    }
    owner_->CheckPeerClose(false, false);
    bool keep = owner_->IsOpen();
    if (keep) {
        const std::string connection = Trim(Connection);
        const std::string proxyConnection = Trim(ProxyConnection);
        if (owner_->ProtocolVersion == TNetHTTPProtocolVersion::pv1_1) {
            keep = !(platform::AnsiSameText(connection, "CLOSE") || platform::AnsiSameText(proxyConnection, "CLOSE"));
        } else {
            keep = platform::AnsiSameText(connection, "KEEP-ALIVE") ||
                   platform::AnsiSameText(proxyConnection, "KEEP-ALIVE");
        }
    }
    return keep;
}

TNetHTTPProtocol::TNetHTTPProtocol(TNetCustomHTTP* owner)
    : owner_(owner),
      request_(std::make_unique<TNetHTTPRequest>(owner)),
      response_(std::make_unique<TNetHTTPResponse>(owner)) {}

// ---------------------------------------------------------------------------------------------
// Client: construction and properties
// ---------------------------------------------------------------------------------------------

TNetCustomHTTP::TNetCustomHTTP(TComponent* owner)
    : TNetTCPClient(owner),
      currentURL_(std::make_unique<TNetURI>()),
      exchange_(std::make_unique<TNetHTTPProtocol>(this)),
      proxyParams_(std::make_unique<TNetProxyConnectionInfo>()) {
    SetPort(80);
}

TNetCustomHTTP::~TNetCustomHTTP() {
    // The connection closes in the base destructor; nothing of ours may be reached from there.
    SetCookieManager(nullptr);
}

void TNetCustomHTTP::SetExchangeDeadline(int32_t milliseconds) {
    hasDeadline_ = milliseconds > 0;
    deadlineHit_ = false;
    deadlineMs_ = milliseconds;
    deadline_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(milliseconds, 0));
}

void TNetCustomHTTP::SetProxyParams(const TNetProxyConnectionInfo& value) { proxyParams_->Assign(value); }

void TNetCustomHTTP::SetRequest(const TNetHTTPRequest& value) { Request().Assign(value); }

void TNetCustomHTTP::SetCookieManager(TNetCookieManager* manager) {
    if (manager == cookieManager_) return;
    if (cookieManager_ != nullptr) RemoveFreeNotification(cookieManager_);
    ownedCookieManager_.reset();
    cookieManager_ = manager;
    if (cookieManager_ != nullptr) FreeNotification(cookieManager_);
}

void TNetCustomHTTP::Notification(TComponent* component, TOperation operation) {
    TNetTCPClient::Notification(component, operation);
    if (operation == TOperation::opRemove && component == cookieManager_) {
        cookieManager_ = nullptr;
        ownedCookieManager_.release();  // it is going away already; whoever frees it does so
    }
}

int32_t TNetCustomHTTP::StatusCode() const { return exchange_->Response().StatusCode(); }

const std::string& TNetCustomHTTP::StatusLine() const { return exchange_->Response().StatusLine; }

void TNetCustomHTTP::SetHost(const std::string& value) {
    TNetTCPClient::SetHost(value);
    currentURL_->Host = value;
}

void TNetCustomHTTP::SetPort(int32_t value) {
    TNetTCPClient::SetPort(value);
    currentURL_->Port = std::to_string(value);
}

// ---------------------------------------------------------------------------------------------
// Requests
// ---------------------------------------------------------------------------------------------

void TNetCustomHTTP::Get(const std::string& url, TStream& stream) {
    PerformRequest(TNetHTTPMethod::hmGet, url, nullptr, &stream);
}

std::string TNetCustomHTTP::Get(const std::string& url) {
    TMemoryStream stream;
    Get(url, stream);
    return stream.DataString();
}

void TNetCustomHTTP::PerformRequest(TNetHTTPMethod method, const std::string& url, TStream* source,
                                    TStream* content) {
    const int64_t contentStart = content != nullptr ? content->Position() : 0;
    TNetHTTPRequest& request = Request();
    TNetHTTPResponse& response = Response();
    request.URL = url;
    request.Method = method;
    request.Source = source;
    response.BodyStream = content;
    try {
        for (bool done = false; !done;) {
            ++redirectsMade_;
            PrepareRequestTarget();
            ConnectForRequest();
            // The header limits cover everything read for one request, interim answers
            // included, so an endless run of them ends too (and each read has its time limit).
            bodyReader_.Begin({MaxHeaderBytes, MaxHeaderLines, MaxBodyBytes});
            do {
                response.StatusLine = ReadLine();
                bodyReader_.CountHeadLine(response.StatusLine);
                ReadResponseHeaders(response);
                StoreResponseCookies(response);
            } while (IsInterimAnswer(response.StatusCode()));

            switch (EvaluateResponse(*exchange_)) {
                case TNetHTTPWhatsNext::FollowURL:
                    if (content != nullptr) {
                        content->SetSize(contentStart);
                        content->SetPosition(contentStart);
                    }
                    break;
                case TNetHTTPWhatsNext::Finished:
                    done = true;
                    break;
                case TNetHTTPWhatsNext::Undecided:
                    throw ENetException("Undefined situation");
                case TNetHTTPWhatsNext::Reauthorize:
                    --redirectsMade_;
                    request.URL = url;
                    break;
            }
        }
    } catch (...) {
        // A unit that ran out of its exchange time is not asked again on the same socket, nor
        // is one whose answer is still partly unread: its rest would greet the next request.
        if (answerPending_ || DeadlinePassed() || !response.KeepOpen()) Disconnect();
        throw;
    }
    if (answerPending_ || !response.KeepOpen()) Disconnect();
    redirectsMade_ = 0;
}

void TNetCustomHTTP::PrepareRequestTarget() {
    TNetHTTPRequest& request = Request();
    TNetURI& current = *currentURL_;
    const TNetURI target(request.URL);

    if (!target.Username.empty()) {
        request.Username = target.Username;
        request.Password = target.Password;
    }
    current.Username = request.Username;
    current.Password = request.Password;

    current.Path = MergePath(current.Path, target.Path, "/");
    current.Document = target.Document;
    current.Params = target.Params;
    if (!target.Host.empty()) current.Host = target.Host;
    current.Protocol = target.Protocol.empty() ? std::string("http") : target.Protocol;

    if (!target.Port.empty()) {
        current.Port = UrlPort(target.Port);
    } else if (platform::AnsiSameText(target.Protocol, "http")) {
        current.Port = "80";
    } else if (platform::AnsiSameText(target.Protocol, "https")) {
        current.Port = "443";
    } else if (current.Port.empty()) {
        throw ENetUnknownProtocol("");
    }

    if (request.Method == TNetHTTPMethod::hmOptions && target.Document == "*") {
        request.URL.assign(1, '*');  // (not a literal: GCC 12 warns falsely on that at -O3)
    } else {
        request.URL = current.Path + current.Document + current.Params;
    }

    if (NeedsHttp11(request.Method) && ProtocolVersion != TNetHTTPProtocolVersion::pv1_1) {
        throw ENetException("This request method is supported in HTTP 1.1");
    }

    if (CarriesBody(request.Method)) {
        request.SetContentLength(request.Source != nullptr ? static_cast<int32_t>(request.Source->Size()) : 0);
    } else {
        request.SetContentLength(-1);
    }

    request.Host = current.Port == "80" ? current.Host : current.Host + ":" + current.Port;
}

TNetHTTPConnectionType TNetCustomHTTP::ChooseConnectionType() {
    const TNetURI& current = *currentURL_;
    const bool secure = platform::AnsiSameText(current.Protocol, "HTTPS");
    TNetProxyConnectionInfo& proxy = ProxyParams();
    if (proxy.ProxyServer().empty()) {
        const int32_t urlPort = NetTextToInt32Def(current.Port, 0);
        if (!platform::AnsiSameText(Host(), current.Host) || Port() != urlPort) {
            if (IsOpen()) Disconnect();
            // The plain setters: the current URL already holds what they are set from.
            TNetTCPClient::SetHost(current.Host);
            TNetTCPClient::SetPort(urlPort);
        }
        // No secure I/O handler exists in this system, so an https URL cannot be served.
        if (secure) throw ENetIOHandlerPropInvalid("IOHandler value is not valid");
        return TNetHTTPConnectionType::Direct;
    }
    if ((!platform::AnsiSameText(Host(), proxy.ProxyServer()) || Port() != proxy.ProxyPort()) && IsOpen()) {
        Disconnect();
    }
    // Setting the client's own fields only: the current URL keeps naming the origin server,
    // which the absolute request target of a proxied request needs.
    TNetTCPClient::SetHost(proxy.ProxyServer());
    TNetTCPClient::SetPort(proxy.ProxyPort());
    // A tunnel would carry the request in the clear without a secure handler; refuse it.
    if (secure) throw ENetIOHandlerPropInvalid("IOHandler value is not valid");
    return TNetHTTPConnectionType::Proxied;
}

void TNetCustomHTTP::ConnectForRequest() {
    TNetHTTPRequest& request = Request();
    request.ConnectionType = ChooseConnectionType();
    if (request.ConnectionType == TNetHTTPConnectionType::Proxied) request.URL = currentURL_->BareURI();

    const bool http10 = ProtocolVersion == TNetHTTPProtocolVersion::pv1_0;
    switch (request.ConnectionType) {
        case TNetHTTPConnectionType::Direct:
            if (http10 && request.Connection.empty()) request.Connection = "keep-alive";
            break;
        case TNetHTTPConnectionType::Proxied:
            if (http10 && request.Connection.empty()) request.ProxyConnection = "keep-alive";
            break;
        case TNetHTTPConnectionType::DirectTls:
        case TNetHTTPConnectionType::TlsThroughProxy:
            request.Connection.clear();
            break;
    }

    EnsureConnected(Response());
    WriteRequest(request);
    if (CarriesBody(request.Method) && request.Source != nullptr) WriteFromStream(request.Source, true, false, 0);
}

void TNetCustomHTTP::EnsureConnected(TNetHTTPResponse& response) {
    if (answerPending_ || !response.KeepOpen()) Disconnect();
    // The probe looks for a server that closed the connection since its last answer, or one
    // that accepted and closed at once. A connection that has carried nothing needs no wait:
    // a close that is already there is seen at once, and the poll keeps its speed.
    if (IsOpen()) PollPeerClose(false, unusedConnection_ ? 0 : 1);
    if (!IsOpen()) OpenConnection(ConnectLimit());
    unusedConnection_ = false;
}

int32_t TNetCustomHTTP::ConnectLimit() {
    if (!hasDeadline_) return ConnectTimeout;
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(deadline_ - std::chrono::steady_clock::now()).count();
    if (left <= 0) {
        deadlineHit_ = true;
        throw ENetHTTPDeadlineExceeded(Format("Exchange time limit of %d ms exceeded", deadlineMs_));
    }
    // A connect without a limit of its own would otherwise wait for the kernel's time-out.
    if (ConnectTimeout <= 0 || ConnectTimeout > left) return static_cast<int32_t>(left);
    return ConnectTimeout;
}

void TNetCustomHTTP::WriteRequest(TNetHTTPRequest& request) {
    request.WriteHeaderFields();
    TNetHeaderList& lines = request.HeaderLines;
    ProxyParams().WriteHeaderFields(lines);
    if (cookieManager_ != nullptr) {
        const std::string cookies = cookieManager_->CookieHeaderFor(*currentURL_, false);
        if (!cookies.empty()) lines.PutValue("Cookie", cookies);
    }

    const char* version = ProtocolVersion == TNetHTTPProtocolVersion::pv1_0 ? "1.0" : "1.1";
    // From here until its body is read, the connection carries an answer of this request.
    sentMethod_ = request.Method;
    answerPending_ = true;
    OpenWriteCache();
    try {
        WriteLine(std::string(MethodWord(request.Method)) + " " + request.URL + " HTTP/" + version);
        for (int32_t i = 0; i < lines.Count(); ++i) {
            const std::string line = lines.Get(i);
            if (!line.empty()) WriteLine(line);
        }
        WriteLine("");
    } catch (...) {
        // A half-built head must not go out with the next request.
        ClearWriteCache();
        CloseWriteCache();
        throw;
    }
    CloseWriteCache();
}

void TNetCustomHTTP::ReadResponseHeaders(TNetHTTPResponse& response) {
    TNetHeaderList& lines = response.HeaderLines;
    lines.Clear();
    std::string line = ReadLine();  // a close before the first header line propagates
    try {
        while (!line.empty()) {
            bodyReader_.CountHeadLine(line);
            lines.Add(line);
            line = ReadLine();
        }
        bodyReader_.CountHeadLine(line);  // the empty line ends the block but is part of it
    } catch (const ENetConnClosedGracefully&) {
        Disconnect();
    }
    try {
        response.ReadHeaderFields();
    } catch (const EConvertError& error) {
        // An unreadable range fails like any other broken answer of the server; its body is
        // unread, so the connection cannot carry another request.
        Disconnect();
        throw ENetException(error.Message());
    }
}

void TNetCustomHTTP::StoreResponseCookies(TNetHTTPResponse& response) {
    if (cookieManager_ == nullptr && AllowCookies) {
        ownedCookieManager_ = std::make_unique<TNetCookieManager>(this);
        cookieManager_ = ownedCookieManager_.get();
    }
    if (cookieManager_ == nullptr) return;
    const std::string& host = currentURL_->Host;
    TStringList values;
    response.HeaderLines.CollectValues("Set-cookie", &values);
    for (int32_t i = 0; i < values.Count(); ++i) cookieManager_->AddServerCookie(values.Get(i), host);
    values.Clear();
    response.HeaderLines.CollectValues("Set-cookie2", &values);
    try {
        for (int32_t i = 0; i < values.Count(); ++i) cookieManager_->AddServerCookie2(values.Get(i), host);
    } catch (const EConvertError& error) {
        // A port list that is no list of numbers ends the request, as a network failure like
        // any other the server causes; the body behind the headers is unread, so the
        // connection cannot carry another request.
        Disconnect();
        throw ENetException(error.Message());
    }
}

void TNetCustomHTTP::ReadResponseBody(TNetHTTPResponse& response) {
    // The method that went out decides, not one a redirect hook has since put in its place.
    if (!AnswerHasNoBody(response.StatusCode(), sentMethod_)) {
        // A body nobody asked for is still read, so the connection stays in step with the peer.
        TStringStream dropped;
        bodyReader_.Read(response, response.BodyStream != nullptr ? *response.BodyStream : dropped);
    }
    answerPending_ = false;
}

// ---------------------------------------------------------------------------------------------
// Transport hooks
// ---------------------------------------------------------------------------------------------

bool TNetCustomHTTP::DeadlinePassed() const {
    return deadlineHit_ || (hasDeadline_ && std::chrono::steady_clock::now() >= deadline_);
}

int32_t TNetCustomHTTP::FillInputBuffer(bool raiseIfClosed, int32_t timeout, bool raiseOnTimeout) {
    if (!hasDeadline_) return TNetTCPClient::FillInputBuffer(raiseIfClosed, timeout, raiseOnTimeout);

    const auto now = std::chrono::steady_clock::now();
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline_ - now).count();
    // The text is built only when it is raised: every read of every poll comes through here.
    const auto exceeded = [this] {
        return ENetHTTPDeadlineExceeded(Format("Exchange time limit of %d ms exceeded", deadlineMs_));
    };
    if (left <= 0) {
        deadlineHit_ = true;
        throw exceeded();
    }

    int32_t limit = timeout;
    if (limit == -1) limit = ReadTimeout() == 0 ? -2 : ReadTimeout();
    const bool deadlineFirst = limit < 0 || limit > left;  // -2: no limit of its own
    if (deadlineFirst) limit = static_cast<int32_t>(left);
    const int32_t received = TNetTCPClient::FillInputBuffer(raiseIfClosed, limit, deadlineFirst ? false : raiseOnTimeout);
    if (received == -1 && deadlineFirst) {
        deadlineHit_ = true;
        throw exceeded();
    }
    return received;
}

void TNetCustomHTTP::DoOnConnected() {
    unusedConnection_ = true;
    answerPending_ = false;
    TNetTCPClient::DoOnConnected();
}

void TNetCustomHTTP::DoOnDisconnected() {
    answerPending_ = false;
    TNetTCPClient::DoOnDisconnected();
    TNetHTTPRequest& request = Request();
    // A scheme that completed its steps starts afresh on the next connection; Basic never
    // completes (its step counter stays 0 against 1 step), so its object survives.
    if (request.Authentication != nullptr &&
        request.Authentication->CurrentStep == request.Authentication->StepCount()) {
        request.Authentication.reset();
    }
    if (ProxyParams().Authentication != nullptr) ProxyParams().Authentication->ResetSteps();
}

}  // namespace quorvane
