#include "http/net_http.h"

#include <algorithm>
#include <memory>

#include "http/net_header_list.h"
#include "rtl/scope_exit.h"

namespace quorvane {

namespace {

// The error body and a discarded body get fixed read limits of their own, whatever the
// client's ReadTimeout says.
constexpr int32_t kErrorBodyTimeout = 2000;
constexpr int32_t kDiscardBodyTimeout = 4000;

// Gives the connection's reads a limit of their own until the returned guard goes.
auto ReadLimitFor(TNetTCPConnection& connection, int32_t milliseconds) {
    const int32_t saved = connection.ReadTimeout();
    connection.SetReadTimeout(milliseconds);
    return TScopeExit([&connection, saved] { connection.SetReadTimeout(saved); });
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Response evaluation
// ---------------------------------------------------------------------------------------------

TNetHTTPWhatsNext TNetCustomHTTP::EvaluateResponse(TNetHTTPProtocol& exchange) {
    TNetHTTPRequest& request = exchange.Request();
    TNetHTTPResponse& response = exchange.Response();
    TNetHTTPWhatsNext verdict = TNetHTTPWhatsNext::Undecided;
    const int32_t code = response.StatusCode();
    const int32_t hundreds = code / 100;

    if (code == 101) {
        // A switch to another protocol, which this client never asks for: what follows on
        // the connection is no answer of ours.
        Disconnect();
        FailWithResponse(exchange);
    }

    if ((hundreds == 3 && code != 304) || !response.Location.empty()) {
        std::string location = response.Location;
        TNetHTTPMethod method = request.Method;
        if (HandleRedirects && redirectsMade_ < RedirectMaximum) {
            if (!ConfirmRedirect(location, method, redirectsMade_)) FailWithResponse(exchange);
            verdict = TNetHTTPWhatsNext::FollowURL;
            request.URL = location;
            request.Method = method;
        } else {
            verdict = TNetHTTPWhatsNext::Finished;
            if (!ConfirmRedirect(location, method, redirectsMade_)) FailWithResponse(exchange);
            response.Location = location;
        }
        if (IsOpen()) DiscardWithLimit(exchange);
        return verdict;
    }

    bool authorizationNeeded = false;
    if (hundreds != 2) {
        verdict = TNetHTTPWhatsNext::FollowURL;
        if (code == 401 || code == 407) {
            const bool proxy = code == 407;
            TNetAuthentication* authentication =
                proxy ? ProxyParams().Authentication.get() : request.Authentication.get();
            const int32_t attempts = authentication != nullptr ? authentication->AttemptCount : 0;
            if (attempts >= AuthRetries ||
                !(proxy ? AuthorizeProxy(request, response) : AuthorizeRequest(request, response))) {
                TNetAuthentication* current = proxy ? ProxyParams().Authentication.get() : request.Authentication.get();
                if (current != nullptr) current->ResetSteps();
                FailWithResponse(exchange);
            }
            authorizationNeeded = HTTPOptions.Contains(TNetHTTPOption::hoInProcessAuth);
        } else {
            FailWithResponse(exchange);
        }
    }

    if (IsOpen()) {
        if (authorizationNeeded) {
            DiscardWithLimit(exchange);
            verdict = TNetHTTPWhatsNext::Reauthorize;
        } else {
            ReadResponseBody(response);
            verdict = TNetHTTPWhatsNext::Finished;
        }
    }
    return verdict;
}

bool TNetCustomHTTP::AuthorizeRequest(TNetHTTPRequest& request, TNetHTTPResponse& response) {
    return Authorize(request, response, false);
}

bool TNetCustomHTTP::AuthorizeProxy(TNetHTTPRequest& request, TNetHTTPResponse& response) {
    return Authorize(request, response, true);
}

bool TNetCustomHTTP::Authorize(TNetHTTPRequest& request, TNetHTTPResponse& response, bool proxy) {
    TNetProxyConnectionInfo& proxyInfo = ProxyParams();
    std::unique_ptr<TNetAuthentication>& slot = proxy ? proxyInfo.Authentication : request.Authentication;
    TNetHeaderList& challenges = proxy ? response.ProxyAuthenticate : response.WWWAuthenticate;
    const TNetOnSelectAuthorization& onSelect = proxy ? OnSelectProxyAuthorization : OnSelectAuthorization;
    const TNetOnAuthorization& onAuthorization = proxy ? OnProxyAuthorization : OnAuthorization;

    if (slot == nullptr) {
        TNetAuthenticationClass schemeClass;
        for (int32_t i = 0; i < challenges.Count() && !schemeClass; ++i) {
            std::string challenge = challenges.Get(i);
            schemeClass = LookupAuthScheme(TakeToken(challenge, " "));
        }
        if (!schemeClass) return false;
        if (onSelect) onSelect(this, schemeClass, challenges);
        if (!schemeClass) return false;
        slot = schemeClass.Create();
    }

    if (!onAuthorization && !HTTPOptions.Contains(TNetHTTPOption::hoInProcessAuth)) return false;

    TNetAuthentication& authentication = *slot;
    auto giveCredentials = [&] {
        authentication.StoreUserName(proxy ? proxyInfo.ProxyUsername : request.Username);
        authentication.StorePassword(proxy ? proxyInfo.ProxyPassword : request.Password);
    };
    giveCredentials();
    authentication.AuthValues().PutValue("Authorization", authentication.AuthorizationValue());
    authentication.SetChallenges(challenges);

    // A handler that keeps answering "handled" without giving credentials would otherwise
    // keep the loop going for ever.
    for (int32_t round = 0; round <= std::max(AuthRetries, 1); ++round) {
        switch (authentication.NextAction()) {
            case TNetAuthWhatsNext::RetryRequest:
                return true;
            case TNetAuthWhatsNext::GiveUp:
                return false;
            case TNetAuthWhatsNext::NeedCredentials: {
                if (!onAuthorization) return false;
                giveCredentials();
                bool handled = false;
                onAuthorization(this, &authentication, handled);
                if (!handled) return false;
                if (proxy) {
                    proxyInfo.BasicAuthentication = true;
                    proxyInfo.ProxyUsername = authentication.Username();
                    proxyInfo.ProxyPassword = authentication.Password();
                } else {
                    request.BasicAuthentication = true;
                    request.Username = authentication.Username();
                    request.Password = authentication.Password();
                }
                break;
            }
        }
    }
    return false;
}

bool TNetCustomHTTP::ConfirmRedirect(std::string& location, TNetHTTPMethod& method, int32_t count) {
    bool handled = HandleRedirects;
    if (OnRedirect) {
        int32_t countCopy = count;
        OnRedirect(this, location, countCopy, handled, method);
    }
    return handled;
}

void TNetCustomHTTP::FailWithResponse(TNetHTTPProtocol& exchange) {
    TNetHTTPResponse& response = exchange.Response();
    TStringStream body;
    {
        const auto limit = ReadLimitFor(*this, kErrorBodyTimeout);
        ReadBodyAside(response, body);
    }
    throw ENetHTTPProtocolException(response.StatusCode(), response.StatusLine, body.DataString());
}

void TNetCustomHTTP::DiscardBody(TNetHTTPProtocol& exchange) {
    TStringStream dropped;
    ReadBodyAside(exchange.Response(), dropped);
}

void TNetCustomHTTP::ReadBodyAside(TNetHTTPResponse& response, TStream& aside) {
    TStream* const callerStream = response.BodyStream;
    response.BodyStream = &aside;
    const TScopeExit restoreStream([&response, callerStream] { response.BodyStream = callerStream; });
    ReadResponseBody(response);
}

void TNetCustomHTTP::DiscardWithLimit(TNetHTTPProtocol& exchange) {
    const auto limit = ReadLimitFor(*this, kDiscardBodyTimeout);
    try {
        DiscardBody(exchange);
    } catch (const ENetHTTPResponseTooLarge&) {
        throw;  // the limits hold for bodies nobody wants as well
    } catch (const ENetHTTPDeadlineExceeded&) {
        throw;
    } catch (...) {
        // A redirection or challenge body that cannot be read changes nothing but the
        // connection, which still holds part of it.
        Disconnect();
    }
}

}  // namespace quorvane
