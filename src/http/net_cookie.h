#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "rtl/multi_read_exclusive_write_synchronizer.h"
#include "rtl/object.h"
#include "text/string_list.h"

namespace quorvane {

class TNetCookies;

// A cookie as the plain ("Netscape") form has it. Cookies are items of a TNetCookies store,
// which owns them; CookieKind tells the forms apart: 0 plain, 1 RFC 2109, 2 RFC 2965.
class TNetNetscapeCookie : public TObject {
public:
    explicit TNetNetscapeCookie(TNetCookies* collection = nullptr);
    ~TNetNetscapeCookie() override;

    TNetNetscapeCookie(const TNetNetscapeCookie&) = delete;
    TNetNetscapeCookie& operator=(const TNetNetscapeCookie&) = delete;

    // The cookie written back as a Set-Cookie value: name=value, then path, expires (plain
    // kind only), domain and the secure flag (and, in the derived forms, max-age, comment and
    // version). Attributes with empty values are left out.
    virtual std::string ServerCookieText() const;
    // Stores the expiry text (the derived forms also derive MaxAge from it).
    virtual void SetExpiry(const std::string& text);
    std::string CookieText() const { return ServerCookieText(); }
    // name=value, as a Cookie header carries it.
    virtual std::string ClientCookieText() const;
    // Reads the attributes of a parsed Set-Cookie value (names upper-cased).
    virtual void LoadAttributes(const TStringList& attributes);
    // Whether a cookie with this CookieDomain may be stored for a response from `host`.
    virtual bool AcceptsHost(const std::string& host) const;
    // Takes over a cookie of the RFC 2109 kind or a descendant (its ServerCookieText is parsed
    // and its kind copied); any other source changes nothing.
    virtual void Assign(const TNetNetscapeCookie& source);

    // Splits a Set-Cookie value into name, value and attributes. The same text twice in a row
    // changes nothing. Never fails on malformed text, except that the RFC 2965 kind raises
    // EConvertError for a quoted port list with an item that is not a number.
    void ParseCookie(const std::string& text);

    TNetCookies* Collection() const noexcept { return collection_; }

    std::string HeaderText;
    std::string CookieDomain;
    std::string Expires;
    std::string CookieName;
    std::string Path;
    bool Secure = false;
    std::string Value;
    int32_t CookieKind = 0;

protected:
    // Appends "; name=value" (no "; " on an empty text); nothing for an empty value.
    static void AddAttribute(std::string& text, const std::string& name, const std::string& value);
    // Appends "; flag" (no "; " on an empty text).
    static void AddFlag(std::string& text, const std::string& flag);
    // The value of the first attribute called `name` (ignoring case); empty when missing.
    static std::string AttributeValue(const TStringList& attributes, const std::string& name);
    // Whether one attribute is exactly `flag`.
    static bool HasFlag(const TStringList& attributes, const std::string& flag);

private:
    friend class TNetCookies;
    TNetCookies* collection_;
};

// RFC 2109: adds max-age, version and comment.
class TNetCookieRFC2109 : public TNetNetscapeCookie {
public:
    explicit TNetCookieRFC2109(TNetCookies* collection = nullptr);

    std::string ServerCookieText() const override;
    // A non-empty text also sets MaxAge to the whole seconds from now to that date.
    void SetExpiry(const std::string& text) override;
    void LoadAttributes(const TStringList& attributes) override;

    int64_t MaxAge = -1;  // seconds; -1 when absent
    std::string Version;
    std::string Comment;
};

// RFC 2965: adds the comment URL, the discard flag and the port list.
class TNetCookieRFC2965 : public TNetCookieRFC2109 {
public:
    explicit TNetCookieRFC2965(TNetCookies* collection = nullptr);

    void LoadAttributes(const TStringList& attributes) override;

    // Stores `port` at `index`; one past the last grows the list by one. Any other index
    // outside the list raises ENetException ("Index out of range.").
    void AddPort(int32_t index, int32_t port);

    std::string CommentURL;
    bool Discard = false;
    std::vector<int32_t> PortNumbers;
};

// A list whose lines are keys (domains, cookie names) and whose objects are cookies or further
// lists. It carries the objects without owning them.
class TNetCookieList : public TStringList {
public:
    TNetCookieList() = default;

    TNetCookieRFC2109* CookieAt(int32_t index) const;
    TNetCookieList* CookieListAt(int32_t index) const;
};

// The store: owns every cookie and indexes the stored ones by domain and name (at most one per
// domain and name; the path is not part of the key). The index is guarded by a many-readers,
// one-writer lock.
class TNetCookies : public TObject {
public:
    TNetCookies() = default;
    ~TNetCookies() override;

    TNetCookies(const TNetCookies&) = delete;
    TNetCookies& operator=(const TNetCookies&) = delete;

    // Creates a cookie of the given kind as an item of this store (not yet indexed).
    template <typename Cookie>
    Cookie* AddCookie() {
        auto cookie = std::make_unique<Cookie>(this);
        Cookie* raw = cookie.get();
        items_.push_back(std::move(cookie));
        return raw;
    }

    int32_t Count() const noexcept { return static_cast<int32_t>(items_.size()); }
    TNetCookieRFC2109* Items(int32_t index) const;

    // Indexes the cookie under its domain and name; when one of that domain and name is
    // stored already, that one takes over the new cookie's content and the new one is freed.
    // Returns the cookie that stays in the store.
    TNetCookieRFC2109* StoreCookie(TNetCookieRFC2109* cookie);

    // Removes the cookie from the index and frees it; nothing for a cookie of another store.
    void FreeCookie(const TNetNetscapeCookie* cookie);

    // Frees every indexed cookie whose expiry date lies before now.
    void DropExpired();

    // Domains, each with the list of its cookies by name. Read it only under the lock.
    const TNetCookieList& CookieIndex() const noexcept { return cookieIndex_; }
    TMultiReadExclusiveWriteSynchronizer& Lock() noexcept { return lock_; }

private:
    // Drops the collection's ownership of the given cookies in one pass.
    void EraseItems(const std::unordered_set<const TNetNetscapeCookie*>& cookies);

    std::vector<std::unique_ptr<TNetCookieRFC2109>> items_;
    TNetCookieList cookieIndex_;
    std::vector<std::unique_ptr<TNetCookieList>> domainLists_;
    // For each domain list, its cookies by upper-cased name: the lists compare names without
    // regard to case, and a response may set thousands of cookies, so the name look-up of
    // every store must not walk the list.
    std::unordered_map<const TNetCookieList*, std::unordered_map<std::string, TNetCookieRFC2109*>> byUpperName_;
    TMultiReadExclusiveWriteSynchronizer lock_;
};

// True when `text` reads as four dot-separated numbers 0..255 (more parts are not looked at).
bool LooksLikeIPv4(const std::string& text);

}  // namespace quorvane
