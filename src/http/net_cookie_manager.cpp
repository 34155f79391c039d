#include "http/net_cookie_manager.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "platform/locale_text.h"
#include "rtl/exception.h"
#include "text/blank_text.h"

namespace quorvane {

namespace {

bool EndsWithIgnoringCase(const std::string& text, const std::string& tail) {
    return tail.size() <= text.size() && SameAsciiTextAt(text, text.size() - tail.size(), tail);
}

}  // namespace

bool CookieDomainMatches(const std::string& domain, const std::string& host) {
    if (domain.empty()) return false;
    if (host.size() == domain.size()) return EndsWithIgnoringCase(host, domain);
    // An address has no parent domains: "1.0.0.1" is not inside ".0.0.1".
    if (LooksLikeIPv4(host)) return false;
    // ".example.com" already carries the dot that separates it from the host's own label.
    if (domain.front() == '.') return EndsWithIgnoringCase(host, domain);
    return EndsWithIgnoringCase(host, "." + domain);
}

TNetCookieManager::TNetCookieManager(TComponent* owner)
    : TNetBaseComponent(owner), cookieCollection_(std::make_unique<TNetCookies>()) {
    DoOnCreate();
}

TNetCookieManager::~TNetCookieManager() {
    try {
        cookieCollection_->DropExpired();
    } catch (const Exception&) {
        // Without zone information no expiry can be judged; the store goes away regardless.
    }
    try {
        DoOnDestroy();
    } catch (...) {
        // A handler's failure must not escape a destructor.
    }
}

void TNetCookieManager::DoOnCreate() {
    if (OnCreate) OnCreate(*this, *cookieCollection_);
}

void TNetCookieManager::DoOnDestroy() {
    if (OnDestroy) OnDestroy(*this, *cookieCollection_);
}

bool TNetCookieManager::DoOnNewCookie(TNetCookieRFC2109& cookie) {
    bool accept = true;
    if (OnNewCookie) OnNewCookie(*this, cookie, accept);
    return accept;
}

void TNetCookieManager::AddServerCookie(const std::string& text, const std::string& host) {
    AddCookie(cookieCollection_->AddCookie<TNetCookieRFC2109>(), text, host);
}

void TNetCookieManager::AddServerCookie2(const std::string& text, const std::string& host) {
    AddCookie(cookieCollection_->AddCookie<TNetCookieRFC2965>(), text, host);
}

void TNetCookieManager::AddCookie(TNetCookieRFC2109* cookie, const std::string& text, const std::string& host) {
    TNetCookies& store = *cookieCollection_;
    try {
        cookie->ParseCookie(text);
        if (cookie->CookieDomain.empty()) cookie->CookieDomain = host;
        if (!cookie->AcceptsHost(host) || !DoOnNewCookie(*cookie)) {
            store.FreeCookie(cookie);
            return;
        }
    } catch (...) {
        store.FreeCookie(cookie);
        throw;
    }
    store.StoreCookie(cookie);
}

std::string TNetCookieManager::CookieHeaderFor(const TNetURI& uri, bool secureConnection) {
    TNetCookies& store = *cookieCollection_;
    store.DropExpired();

    TReadLockGuard guard(store.Lock());
    const TNetCookieList& index = store.CookieIndex();
    if (index.Count() == 0) return std::string();

    std::vector<std::pair<std::string, const TNetCookieRFC2109*>> candidates;
    for (int32_t d = 0; d < index.Count(); ++d) {
        // Only the host of the domain itself and hosts inside it; a domain that merely occurs
        // somewhere in the host's text ("10.0.0.1" in "10.0.0.10") is another host.
        if (!CookieDomainMatches(index.At(d), uri.Host)) continue;
        const TNetCookieList* byName = index.CookieListAt(d);
        if (byName == nullptr) continue;
        for (int32_t n = byName->Count() - 1; n >= 0; --n) {
            const TNetCookieRFC2109* cookie = byName->CookieAt(n);
            if (cookie == nullptr) continue;
            if (cookie->Path.empty() || uri.Path.compare(0, cookie->Path.size(), cookie->Path) != 0) continue;
            if (cookie->Secure && !secureConnection) continue;
            if (cookie->Value.empty()) continue;
            candidates.emplace_back(cookie->Path, cookie);
        }
    }
    // Sorted by path as the string lists compare (ignoring case), then written longest-first.
    std::stable_sort(candidates.begin(), candidates.end(), [](const auto& a, const auto& b) {
        return platform::AnsiCompareText(a.first, b.first) < 0;
    });
    std::string header;
    for (auto it = candidates.rbegin(); it != candidates.rend(); ++it) {
        if (!header.empty()) header += "; ";
        header += it->second->ClientCookieText();
    }
    return header;
}

}  // namespace quorvane
