#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "http/net_authentication.h"
#include "http/net_header_list.h"
#include "rtl/date_time.h"
#include "rtl/object.h"

namespace quorvane {

// The header fields that requests and responses share, and the raw header lines they are
// written to and read from. Plain fields are public data; the few whose setting has a side
// effect have a setter of their own (writing the data member directly skips the effect, as the
// records themselves do internally).
class TNetEntityHeaderInfo : public TObject {
public:
    TNetEntityHeaderInfo();
    ~TNetEntityHeaderInfo() override;

    TNetEntityHeaderInfo(const TNetEntityHeaderInfo&) = delete;
    TNetEntityHeaderInfo& operator=(const TNetEntityHeaderInfo&) = delete;

    // Takes over the entity fields of another entity record (not CacheControl, Connection,
    // Pragma, CustomHeaders, LengthGiven). Any other source raises EAssignError.
    virtual void Assign(const TObject& source);

    // Parses HeaderLines into the fields.
    virtual void ReadHeaderFields();
    // Writes the fields into HeaderLines.
    virtual void WriteHeaderFields();
    virtual void Clear();

    // Sets ContentLength and LengthGiven := (value >= 0).
    void SetContentLength(int32_t value);
    // Replaces CustomHeaders' lines by a copy of `lines`.
    void SetCustomHeaders(const TStrings& lines);

    std::string CacheControl;
    TNetHeaderList HeaderLines;  // FoldLength 1024
    std::string Connection;
    std::string ContentEncoding;
    std::string ContentLanguage;
    int32_t ContentLength = -1;
    uint32_t ContentRangeEnd = 0;
    uint32_t ContentRangeStart = 0;
    std::string ContentType;
    std::string ContentVersion;
    TNetHeaderList CustomHeaders;  // default fold width
    TDateTime Date = 0;
    TDateTime Expires = 0;
    TDateTime LastModified = 0;
    std::string Pragma;
    bool LengthGiven = false;

protected:
    // The entity part of writing and reading, for the derived records to place.
    void WriteEntityFields();
    void ReadEntityFields();
    void AssignEntityFields(const TNetEntityHeaderInfo& source);
    void ClearEntityFields();

    [[noreturn]] static void RaiseAssignError(const char* target);
};

// The request's header fields. WriteHeaderFields produces the exact header block of a
// request; the Authentication object, once made, supplies every later "Authorization".
class TNetRequestHeaderInfo : public TNetEntityHeaderInfo {
public:
    static constexpr const char* kDefaultAccept = "text/html, */*";
    static constexpr const char* kDefaultUserAgent = "Mozilla/3.0 (compatible; Quorvane Net Library)";

    TNetRequestHeaderInfo();
    ~TNetRequestHeaderInfo() override;

    // From a request record: Accept, AcceptCharSet, AcceptEncoding, AcceptLanguage, From,
    // Password, Referer, UserAgent, Username, BasicAuthentication only. From another entity
    // record: its entity fields.
    void Assign(const TObject& source) override;
    void ReadHeaderFields() override;
    void WriteHeaderFields() override;
    void Clear() override;

    std::string Accept = kDefaultAccept;
    std::string AcceptCharSet;
    std::string AcceptEncoding;
    std::string AcceptLanguage;
    std::string From;
    std::string Password;
    std::string Referer;
    std::string UserAgent = kDefaultUserAgent;
    std::string Username;
    std::string Host;
    bool BasicAuthentication = false;
    std::string ProxyConnection;
    std::unique_ptr<TNetAuthentication> Authentication;
};

// The response's header fields, read from the received lines. A new record has ContentType
// "text/html" until the first parse.
class TNetResponseHeaderInfo : public TNetEntityHeaderInfo {
public:
    TNetResponseHeaderInfo();
    ~TNetResponseHeaderInfo() override;

    // Raises EConvertError for a "Content-Range" whose start or end is not a number.
    void ReadHeaderFields() override;
    void Clear() override;

    void SetProxyAuthenticate(const TStrings& lines);
    void SetWWWAuthenticate(const TStrings& lines);

    std::string Location;
    std::string Server;
    std::string ProxyConnection;
    TNetHeaderList ProxyAuthenticate;  // every "Proxy-Authenticate" value, in order
    TNetHeaderList WWWAuthenticate;    // every "WWW-Authenticate" value, in order
};

// The proxy to send requests through (none while ProxyServer is empty) and its credentials.
class TNetProxyConnectionInfo : public TObject {
public:
    TNetProxyConnectionInfo();
    ~TNetProxyConnectionInfo() override;

    TNetProxyConnectionInfo(const TNetProxyConnectionInfo&) = delete;
    TNetProxyConnectionInfo& operator=(const TNetProxyConnectionInfo&) = delete;

    // From a proxy record: the five settings. Any other source raises EAssignError.
    virtual void Assign(const TObject& source);
    void Clear();

    // Adds "Proxy-Authorization" to `headers` when there are credentials to send.
    void WriteHeaderFields(TNetHeaderList& headers);

    const std::string& ProxyServer() const noexcept { return proxyServer_; }
    // A different server (ignoring case) or port drops the Authentication object first.
    void SetProxyServer(const std::string& value);
    int32_t ProxyPort() const noexcept { return proxyPort_; }
    void SetProxyPort(int32_t value);

    std::unique_ptr<TNetAuthentication> Authentication;
    std::string ProxyPassword;
    std::string ProxyUsername;
    bool BasicAuthentication = false;

private:
    int32_t proxyPort_ = 0;
    std::string proxyServer_;
};

}  // namespace quorvane
