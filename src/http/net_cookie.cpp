#include "http/net_cookie.h"

#include <algorithm>
#include <iterator>
#include <unordered_map>

#include "http/net_global.h"
#include "http/net_number_text.h"
#include "http/net_text_split.h"
#include "http/net_uri.h"
#include "platform/locale_text.h"
#include "rtl/date_time.h"
#include "rtl/exception.h"
#include "rtl/format.h"
#include "rtl/scope_exit.h"
#include "tcp/net_exception.h"
#include "text/blank_text.h"

namespace quorvane {

namespace {

// Text before the first "=" (empty without one) and after it.
std::string NameOfItem(const std::string& item) {
    const size_t equals = item.find('=');
    return equals == std::string::npos ? std::string() : item.substr(0, equals);
}

std::string ValueOfItem(const std::string& item) {
    const size_t equals = item.find('=');
    return equals == std::string::npos ? std::string() : item.substr(equals + 1);
}

// Index of the first item that has an "=" and whose name equals `name` ignoring case.
int32_t IndexOfName(const TStringList& list, const std::string& name) {
    for (int32_t i = 0; i < list.Count(); ++i) {
        const std::string& item = list.At(i);
        // Case folding keeps the length, so only names of the same length need comparing.
        const size_t equals = item.find('=');
        if (equals == name.size() && platform::AnsiSameText(item.substr(0, equals), name)) return i;
    }
    return -1;
}

std::string ValueOfName(const TStringList& list, const std::string& name) {
    const int32_t index = IndexOfName(list, name);
    return index < 0 ? std::string() : ValueOfItem(list.At(index));
}

bool LooksLikeHostName(const std::string& text) {
    return !LooksLikeIPv4(text) && !(!text.empty() && text[0] == '.');
}

std::string DomainPart(const std::string& host) {
    const size_t dot = host.find('.');
    return dot == std::string::npos ? host : host.substr(dot);
}

bool SameTextAscii(const std::string& a, const std::string& b) {
    return a.size() == b.size() && SameAsciiTextAt(a, 0, b);
}

}  // namespace

bool LooksLikeIPv4(const std::string& text) {
    std::string rest = Trim(text);
    for (int part = 0; part < 4; ++part) {
        if (part < 3 && rest.find('.') == std::string::npos) return false;
        const size_t dot = rest.find('.');
        const std::string number = dot == std::string::npos ? rest : rest.substr(0, dot);
        rest = dot == std::string::npos ? std::string() : rest.substr(dot + 1);
        int32_t value = -1;
        if (!NetTryTextToInt32(number, value) || value < 0 || value > 255) return false;
    }
    return true;
}

// --- TNetNetscapeCookie ------------------------------------------------------------------------

TNetNetscapeCookie::TNetNetscapeCookie(TNetCookies* collection) : collection_(collection) {}

TNetNetscapeCookie::~TNetNetscapeCookie() = default;

void TNetNetscapeCookie::AddAttribute(std::string& text, const std::string& name, const std::string& value) {
    if (value.empty()) return;
    if (!text.empty()) text += "; ";
    text += name + "=" + value;
}

void TNetNetscapeCookie::AddFlag(std::string& text, const std::string& flag) {
    if (!text.empty()) text += "; ";
    text += flag;
}

std::string TNetNetscapeCookie::AttributeValue(const TStringList& attributes, const std::string& name) {
    return ValueOfName(attributes, name);
}

bool TNetNetscapeCookie::HasFlag(const TStringList& attributes, const std::string& flag) {
    for (int32_t i = 0; i < attributes.Count(); ++i)
        if (attributes.At(i) == flag) return true;
    return false;
}

std::string TNetNetscapeCookie::ServerCookieText() const {
    std::string text;
    AddAttribute(text, CookieName, Value);
    AddAttribute(text, "path", Path);
    if (CookieKind == 0) AddAttribute(text, "expires", Expires);
    AddAttribute(text, "domain", CookieDomain);
    if (Secure) AddFlag(text, "secure");
    return text;
}

void TNetNetscapeCookie::SetExpiry(const std::string& text) { Expires = text; }

std::string TNetNetscapeCookie::ClientCookieText() const { return CookieName + "=" + Value; }

void TNetNetscapeCookie::LoadAttributes(const TStringList& attributes) {
    Path = AttributeValue(attributes, "PATH");
    if (!Path.empty() && Path.front() == '"') Path.erase(0, 1);
    if (!Path.empty() && Path.back() == '"') Path.pop_back();
    SetExpiry(AttributeValue(attributes, "EXPIRES"));
    CookieDomain = AttributeValue(attributes, "DOMAIN");
    Secure = HasFlag(attributes, "SECURE");
}

bool TNetNetscapeCookie::AcceptsHost(const std::string& host) const {
    if (LooksLikeIPv4(host)) return CookieDomain == host;
    if (LooksLikeHostName(host)) {
        if (LooksLikeHostName(CookieDomain)) return CookieDomain == host;
        return CookieDomain == DomainPart(host);
    }
    return SameTextAscii(CookieDomain, DomainPart(host));
}

void TNetNetscapeCookie::Assign(const TNetNetscapeCookie& source) {
    const auto* rfc = dynamic_cast<const TNetCookieRFC2109*>(&source);
    if (rfc == nullptr || rfc == this) return;
    // The server text leaves out a pair whose value is empty; handed over like that, a cookie
    // that clears its value would come back named after its first attribute ("path"). So the
    // pair always leads the text this cookie takes over.
    std::string text = rfc->ServerCookieText();
    if (rfc->Value.empty() && !rfc->CookieName.empty()) {
        text = rfc->CookieName + "=" + (text.empty() ? std::string() : "; " + text);
    }
    ParseCookie(text);
    CookieKind = rfc->CookieKind;
    // The server text of a versioned cookie leaves its expiry out, yet a replacement takes
    // over the lifetime it came with: a server deletes a cookie by sending it again with an
    // expiry in the past.
    Expires = rfc->Expires;
    if (auto* self = dynamic_cast<TNetCookieRFC2109*>(this)) self->MaxAge = rfc->MaxAge;
}

void TNetNetscapeCookie::ParseCookie(const std::string& text) {
    if (text == HeaderText) return;
    HeaderText = text;

    TStringList attributes;
    if (text.find(';') != std::string::npos) {
        for (const std::string& piece : SplitLikeTakeToken(text, ";")) attributes.Add(Trim(piece));
    } else {
        attributes.SetText(text);
    }

    // A value that is nothing but a NUL yields no item at all: no name, no value.
    if (attributes.Count() > 0) {
        CookieName = NameOfItem(attributes.At(0));
        Value = ValueOfName(attributes, CookieName);
        attributes.Delete(0);
    } else {
        CookieName.clear();
        Value.clear();
    }

    // Every attribute with "=" takes the value of the first attribute of its name. The first
    // values are gathered in one pass (names compare upper-cased, as the lists compare them),
    // so that a line of many attributes is not searched once per attribute.
    std::unordered_map<std::string, std::string> firstValues;
    for (int32_t i = 0; i < attributes.Count(); ++i) {
        const std::string& item = attributes.At(i);
        if (item.find('=') != std::string::npos)
            firstValues.emplace(platform::AnsiUpperCase(NameOfItem(item)), ValueOfItem(item));
    }
    for (int32_t i = 0; i < attributes.Count(); ++i) {
        const std::string item = attributes.At(i);
        if (item.find('=') != std::string::npos) {
            const std::string upperName = platform::AnsiUpperCase(NameOfItem(item));
            attributes.Put(i, upperName + "=" + firstValues[upperName]);
        } else {
            attributes.Put(i, platform::AnsiUpperCase(item));
        }
    }
    LoadAttributes(attributes);
}

// --- TNetCookieRFC2109 -------------------------------------------------------------------------

TNetCookieRFC2109::TNetCookieRFC2109(TNetCookies* collection) : TNetNetscapeCookie(collection) { CookieKind = 1; }

std::string TNetCookieRFC2109::ServerCookieText() const {
    std::string text = TNetNetscapeCookie::ServerCookieText();
    if (MaxAge >= 0 && Expires.empty()) AddAttribute(text, "max-age", std::to_string(MaxAge));
    AddAttribute(text, "comment", Comment);
    AddAttribute(text, "version", Version);
    return text;
}

void TNetCookieRFC2109::SetExpiry(const std::string& text) {
    if (!text.empty()) {
        try {
            MaxAge = WholeSecondsFromTo(Now(), InternetDateToLocal(text));
        } catch (const Exception&) {
            // Without zone information the age stays as it was; the text is kept regardless.
        }
    }
    Expires = text;
}

void TNetCookieRFC2109::LoadAttributes(const TStringList& attributes) {
    TNetNetscapeCookie::LoadAttributes(attributes);
    // Beyond 64 bits or not a number at all reads as absent.
    MaxAge = NetTextToInt64Def(AttributeValue(attributes, "MAX-AGE"), -1);
    Version = AttributeValue(attributes, "VERSION");
    Comment = AttributeValue(attributes, "COMMENT");
    if (Expires.empty()) {
        CookieKind = 0;
        if (MaxAge >= 0) SetExpiry(FormatInternetDate(IncSecond(Now(), MaxAge), false));
    }
}

// --- TNetCookieRFC2965 -------------------------------------------------------------------------

TNetCookieRFC2965::TNetCookieRFC2965(TNetCookies* collection) : TNetCookieRFC2109(collection) { CookieKind = 2; }

void TNetCookieRFC2965::AddPort(int32_t index, int32_t port) {
    if (index < 0 || static_cast<size_t>(index) > PortNumbers.size()) throw ENetException("Index out of range.");
    if (static_cast<size_t>(index) == PortNumbers.size())
        PortNumbers.push_back(port);
    else
        PortNumbers[static_cast<size_t>(index)] = port;
}

void TNetCookieRFC2965::LoadAttributes(const TStringList& attributes) {
    TNetCookieRFC2109::LoadAttributes(attributes);
    CommentURL = AttributeValue(attributes, "CommentURL");
    Discard = HasFlag(attributes, "DISCARD");

    std::string ports = AttributeValue(attributes, "Port");
    if (ports.empty()) {
        AddPort(0, 80);
        return;
    }
    if (ports.size() >= 2 && ports.front() == '"' && ports.back() == '"') {
        ports = ports.substr(1, ports.size() - 2);
        TStringList items;
        items.SplitCommaText(ports);
        if (items.Count() == 0) {
            AddPort(0, 80);
            return;
        }
        for (int32_t i = 0; i < items.Count(); ++i) {
            int32_t port = 0;
            if (!NetTryTextToInt32(items.At(i), port))
                throw EConvertError(Format("'%s' is not a valid integer value", items.At(i).c_str()));
            AddPort(i, port);
        }
    }
}

// --- TNetCookieList ----------------------------------------------------------------------------

TNetCookieRFC2109* TNetCookieList::CookieAt(int32_t index) const {
    return dynamic_cast<TNetCookieRFC2109*>(GetObject(index));
}

TNetCookieList* TNetCookieList::CookieListAt(int32_t index) const {
    return dynamic_cast<TNetCookieList*>(GetObject(index));
}

// --- TNetCookies -------------------------------------------------------------------------------

TNetCookies::~TNetCookies() {
    TWriteLockGuard guard(lock_);
    cookieIndex_.Clear();
    byUpperName_.clear();
    domainLists_.clear();
    items_.clear();
}

TNetCookieRFC2109* TNetCookies::Items(int32_t index) const {
    if (index < 0 || index >= Count()) return nullptr;
    return items_[static_cast<size_t>(index)].get();
}

TNetCookieRFC2109* TNetCookies::StoreCookie(TNetCookieRFC2109* cookie) {
    TWriteLockGuard guard(lock_);
    int32_t domainIndex = cookieIndex_.LocateItem(cookie->CookieDomain);
    if (domainIndex < 0) {
        domainLists_.push_back(std::make_unique<TNetCookieList>());
        domainIndex = cookieIndex_.AddObject(cookie->CookieDomain, domainLists_.back().get());
    }
    TNetCookieList* byName = cookieIndex_.CookieListAt(domainIndex);
    auto& names = byUpperName_[byName];
    const std::string key = platform::AnsiUpperCase(cookie->CookieName);
    const auto found = names.find(key);
    if (found == names.end()) {
        byName->AddObject(cookie->CookieName, cookie);
        names.emplace(key, cookie);
        return cookie;
    }
    TNetCookieRFC2109* stored = found->second;
    if (stored == cookie) return cookie;
    stored->Assign(*cookie);
    FreeCookie(cookie);
    return stored;
}

void TNetCookies::EraseItems(const std::unordered_set<const TNetNetscapeCookie*>& cookies) {
    if (cookies.empty()) return;
    items_.erase(std::remove_if(items_.begin(), items_.end(),
                                [&cookies](const auto& item) { return cookies.count(item.get()) != 0; }),
                 items_.end());
}

void TNetCookies::FreeCookie(const TNetNetscapeCookie* cookie) {
    if (cookie == nullptr) return;
    TWriteLockGuard guard(lock_);
    for (int32_t d = 0; d < cookieIndex_.Count(); ++d) {
        TNetCookieList* byName = cookieIndex_.CookieListAt(d);
        if (byName == nullptr) continue;
        for (int32_t n = byName->Count() - 1; n >= 0; --n) {
            if (byName->GetObject(n) != cookie) continue;
            auto& names = byUpperName_[byName];
            const auto entry = names.find(platform::AnsiUpperCase(byName->At(n)));
            if (entry != names.end() && entry->second == cookie) names.erase(entry);
            byName->Delete(n);
        }
    }
    // A cookie that was never stored (a rejected or replaced newcomer) is usually the last.
    for (auto it = items_.rbegin(); it != items_.rend(); ++it) {
        if (it->get() == cookie) {
            items_.erase(std::next(it).base());
            break;
        }
    }
}

void TNetCookies::DropExpired() {
    TWriteLockGuard guard(lock_);
    const TDateTime now = Now();
    std::unordered_set<const TNetNetscapeCookie*> expired;
    // Lists already rebuilt no longer name their expired cookies; those must go from the
    // collection too, even when a later date cannot be judged (no zone data) and this throws.
    const TScopeExit eraseOnExit([this, &expired] { EraseItems(expired); });
    for (int32_t d = 0; d < cookieIndex_.Count(); ++d) {
        TNetCookieList* byName = cookieIndex_.CookieListAt(d);
        if (byName == nullptr) continue;
        // Survivors are gathered and the list rebuilt once, rather than deleting entries one
        // by one from the middle of a long list.
        std::vector<std::pair<std::string, TNetCookieRFC2109*>> kept;
        std::vector<TNetCookieRFC2109*> gone;
        for (int32_t n = 0; n < byName->Count(); ++n) {
            TNetCookieRFC2109* cookie = byName->CookieAt(n);
            if (cookie != nullptr && !cookie->Expires.empty() && now > InternetDateToLocal(cookie->Expires))
                gone.push_back(cookie);
            else
                kept.emplace_back(byName->At(n), cookie);
        }
        if (gone.empty()) continue;
        auto& names = byUpperName_[byName];
        for (const auto* cookie : gone) {
            const auto entry = names.find(platform::AnsiUpperCase(cookie->CookieName));
            if (entry != names.end() && entry->second == cookie) names.erase(entry);
        }
        {
            TStringsChangeHold hold(*byName);
            byName->Clear();
            for (const auto& [name, cookie] : kept) byName->AddObject(name, cookie);
        }
        expired.insert(gone.begin(), gone.end());
    }
}

}  // namespace quorvane
