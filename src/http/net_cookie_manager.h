#pragma once

#include <functional>
#include <memory>
#include <string>

#include "http/net_cookie.h"
#include "http/net_uri.h"
#include "tcp/net_base_component.h"

namespace quorvane {

class TNetCookieManager;

using TOnManagerEvent = std::function<void(TNetCookieManager& ASender, TNetCookies& ACookieCollection)>;
using TOnNewCookieEvent =
    std::function<void(TNetCookieManager& ASender, TNetCookieRFC2109& ACookie, bool& VAccept)>;

// Keeps the cookies servers set and writes the Cookie header of later requests.
class TNetCookieManager : public TNetBaseComponent {
public:
    explicit TNetCookieManager(TComponent* owner = nullptr);
    // Drops expired cookies, raises OnDestroy, then frees the store.
    ~TNetCookieManager() override;

    // One "Set-cookie" value of a response from `host` (RFC 2109 kind).
    void AddServerCookie(const std::string& text, const std::string& host);
    // One "Set-cookie2" value (RFC 2965 kind); a quoted port list with a non-number raises.
    void AddServerCookie2(const std::string& text, const std::string& host);

    // The Cookie header value for a request to `uri` ("" when nothing is to be sent):
    // unexpired cookies of the host, with a path that begins the request's directory, not
    // secure unless the connection is, with a value; longest paths first, "; " between.
    std::string CookieHeaderFor(const TNetURI& uri, bool secureConnection);

    TNetCookies& CookieCollection() noexcept { return *cookieCollection_; }

    TOnManagerEvent OnCreate;
    TOnManagerEvent OnDestroy;
    TOnNewCookieEvent OnNewCookie;

protected:
    virtual void DoOnCreate();
    virtual void DoOnDestroy();
    // Returns whether the cookie is to be stored.
    virtual bool DoOnNewCookie(TNetCookieRFC2109& cookie);

private:
    void AddCookie(TNetCookieRFC2109* cookie, const std::string& text, const std::string& host);

    std::unique_ptr<TNetCookies> cookieCollection_;
};

// Whether a cookie stored for `domain` may go to `host`: the host equals the domain or ends in
// "." and the domain (a domain written with its leading "." matches hosts ending in it),
// comparing ASCII letters without regard to case. An IPv4 address matches only itself.
bool CookieDomainMatches(const std::string& domain, const std::string& host);

}  // namespace quorvane
