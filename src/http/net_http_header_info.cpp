#include "http/net_http_header_info.h"

#include <limits>

#include "http/net_global.h"
#include "http/net_number_text.h"
#include "http/net_uri.h"
#include "platform/locale_text.h"
#include "rtl/exception.h"
#include "rtl/format.h"
#include "text/blank_text.h"

namespace quorvane {

namespace {

constexpr int32_t kRawHeaderFoldLength = 1024;

// A range bound of a received "Content-Range": strictly a number that fits the unsigned field.
// A negative or oversized bound is as unusable as letters and fails the same way instead of
// wrapping round to some other offset.
uint32_t StrictRangeBound(const std::string& text) {
    int64_t value = 0;
    if (!NetTryTextToInt64(text, value) || value < 0 ||
        value > static_cast<int64_t>(std::numeric_limits<uint32_t>::max())) {
        throw EConvertError(Format("'%s' is not a valid integer value", text.c_str()));
    }
    return static_cast<uint32_t>(value);
}

// A range bound of a "Range" header read leniently: 0 when it is no usable number.
uint32_t LenientRangeBound(const std::string& text) {
    const int64_t value = NetTextToInt64Def(text, 0);
    if (value < 0 || value > static_cast<int64_t>(std::numeric_limits<uint32_t>::max())) {
        return 0;
    }
    return static_cast<uint32_t>(value);
}

void CopyLines(const TStrings& source, TStrings& target) {
    if (&source == &target) {
        return;
    }
    TStringsChangeHold hold(target);
    target.Clear();
    for (int32_t index = 0; index < source.Count(); ++index) {
        target.Add(source.Get(index));
    }
}

// Puts the value of an authentication object as `headerName`, making a Basic one from the
// given credentials first when there is none and Basic is asked for.
void PutAuthorization(TNetHeaderList& headers, const char* headerName, std::unique_ptr<TNetAuthentication>& auth,
                      bool basic, const std::string& username, const std::string& password) {
    if (!auth) {
        if (!basic) {
            return;
        }
        auth = std::make_unique<TNetBasicAuthentication>();
        auth->StoreUserName(username);
        auth->StorePassword(password);
    }
    const std::string value = auth->AuthorizationValue();
    if (!value.empty()) {
        headers.PutValue(headerName, value);
    }
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Entity
// ---------------------------------------------------------------------------------------------

TNetEntityHeaderInfo::TNetEntityHeaderInfo() {
    HeaderLines.FoldLength = kRawHeaderFoldLength;
    ClearEntityFields();
}

TNetEntityHeaderInfo::~TNetEntityHeaderInfo() = default;

void TNetEntityHeaderInfo::RaiseAssignError(const char* target) {
    throw EAssignError(Format("Cannot assign this object to a %s", target));
}

void TNetEntityHeaderInfo::Assign(const TObject& source) {
    const auto* entity = dynamic_cast<const TNetEntityHeaderInfo*>(&source);
    if (entity == nullptr) {
        RaiseAssignError("TNetEntityHeaderInfo");
    }
    AssignEntityFields(*entity);
}

void TNetEntityHeaderInfo::AssignEntityFields(const TNetEntityHeaderInfo& source) {
    if (&source == this) {
        return;
    }
    CopyLines(source.HeaderLines, HeaderLines);
    ContentEncoding = source.ContentEncoding;
    ContentLanguage = source.ContentLanguage;
    ContentLength = source.ContentLength;
    ContentRangeEnd = source.ContentRangeEnd;
    ContentRangeStart = source.ContentRangeStart;
    ContentType = source.ContentType;
    ContentVersion = source.ContentVersion;
    Date = source.Date;
    Expires = source.Expires;
    LastModified = source.LastModified;
}

void TNetEntityHeaderInfo::Clear() { ClearEntityFields(); }

void TNetEntityHeaderInfo::ClearEntityFields() {
    Connection.clear();
    ContentVersion.clear();
    ContentEncoding.clear();
    ContentLanguage.clear();
    ContentType.clear();
    ContentLength = -1;
    ContentRangeStart = 0;
    ContentRangeEnd = 0;
    Date = 0;
    Expires = 0;
    LastModified = 0;
    HeaderLines.Clear();
}

void TNetEntityHeaderInfo::SetContentLength(int32_t value) {
    ContentLength = value;
    LengthGiven = value >= 0;
}

void TNetEntityHeaderInfo::SetCustomHeaders(const TStrings& lines) { CopyLines(lines, CustomHeaders); }

void TNetEntityHeaderInfo::WriteHeaderFields() { WriteEntityFields(); }

void TNetEntityHeaderInfo::WriteEntityFields() {
    HeaderLines.Clear();
    HeaderLines.PutValue("Connection", Connection);
    HeaderLines.PutValue("Content-Version", ContentVersion);
    HeaderLines.PutValue("Content-Encoding", ContentEncoding);
    HeaderLines.PutValue("Content-Language", ContentLanguage);
    HeaderLines.PutValue("Content-Type", ContentType);
    if (ContentLength >= 0) {
        HeaderLines.PutValue("Content-Length", std::to_string(ContentLength));
    }
    HeaderLines.PutValue("Cache-control", CacheControl);
    if (Date > 0) {
        HeaderLines.PutValue("Date", FormatInternetDate(Date, false));
    }
    if (Expires > 0) {
        HeaderLines.PutValue("Expires", FormatInternetDate(Expires, false));
    }
    if (LastModified > 0) {
        HeaderLines.PutValue("Last-Modified", FormatHttpDate(LastModified));
    }
    HeaderLines.PutValue("Pragma", Pragma);
    if (CustomHeaders.Count() > 0) {
        // As text, so the custom lines follow exactly as they were stored, folded or not.
        HeaderLines.SetText(HeaderLines.GetText() + CustomHeaders.GetText());
    }
}

void TNetEntityHeaderInfo::ReadHeaderFields() { ReadEntityFields(); }

void TNetEntityHeaderInfo::ReadEntityFields() {
    Connection = HeaderLines.ValueOf("Connection");
    ContentVersion = HeaderLines.ValueOf("Content-Version");
    ContentEncoding = HeaderLines.ValueOf("Content-Encoding");
    ContentLanguage = HeaderLines.ValueOf("Content-Language");
    ContentType = HeaderLines.ValueOf("Content-Type");

    // An unreadable or negative length means "no length": the body then runs to the close.
    int32_t length = -1;
    if (!NetTryTextToInt32(Trim(HeaderLines.ValueOf("Content-Length")), length) || length < 0) {
        length = -1;
    }
    ContentLength = length;
    LengthGiven = ContentLength >= 0;

    Date = InternetDateToLocal(HeaderLines.ValueOf("Date"));
    LastModified = InternetDateToLocal(HeaderLines.ValueOf("Last-Modified"));

    const std::string expires = HeaderLines.ValueOf("Expires");
    const int32_t seconds = NetTextToInt32Def(expires, -1);
    if (seconds != -1) {
        Expires = IncSecond(Now(), seconds);
    } else {
        Expires = InternetDateToLocal(expires);
    }
    Pragma = HeaderLines.ValueOf("Pragma");
}

// ---------------------------------------------------------------------------------------------
// Request
// ---------------------------------------------------------------------------------------------

TNetRequestHeaderInfo::TNetRequestHeaderInfo() = default;

TNetRequestHeaderInfo::~TNetRequestHeaderInfo() = default;

void TNetRequestHeaderInfo::Assign(const TObject& source) {
    const auto* request = dynamic_cast<const TNetRequestHeaderInfo*>(&source);
    if (request == nullptr) {
        TNetEntityHeaderInfo::Assign(source);
        return;
    }
    if (request == this) {
        return;
    }
    Accept = request->Accept;
    AcceptCharSet = request->AcceptCharSet;
    AcceptEncoding = request->AcceptEncoding;
    AcceptLanguage = request->AcceptLanguage;
    From = request->From;
    Password = request->Password;
    Referer = request->Referer;
    UserAgent = request->UserAgent;
    Username = request->Username;
    BasicAuthentication = request->BasicAuthentication;
}

void TNetRequestHeaderInfo::Clear() {
    Accept = kDefaultAccept;
    AcceptCharSet.clear();
    UserAgent = kDefaultUserAgent;
    BasicAuthentication = false;
    ClearEntityFields();
}

void TNetRequestHeaderInfo::WriteHeaderFields() {
    WriteEntityFields();
    // An empty field writes nothing at all: PutValue with an empty value would delete a custom
    // line of the same name, which must go out unchanged instead.
    const auto putIfSet = [this](const char* name, const std::string& value) {
        if (!value.empty()) {
            HeaderLines.PutValue(name, value);
        }
    };
    putIfSet("Proxy-Connection", ProxyConnection);
    putIfSet("Host", Host);
    putIfSet("Accept", Accept);
    putIfSet("Accept-Charset", AcceptCharSet);
    putIfSet("Accept-Encoding", AcceptEncoding);
    putIfSet("Accept-Language", AcceptLanguage);
    putIfSet("From", From);
    putIfSet("Referer", Referer);
    putIfSet("User-Agent", UserAgent);
    if (LastModified > 0) {
        HeaderLines.PutValue("If-Modified-Since", FormatInternetDate(LastModified, false));
    }
    if (ContentRangeStart != 0 || ContentRangeEnd != 0) {
        std::string range = "bytes=" + std::to_string(ContentRangeStart) + "-";
        if (ContentRangeEnd != 0) {
            range += std::to_string(ContentRangeEnd);
        }
        HeaderLines.PutValue("Range", range);
    }
    PutAuthorization(HeaderLines, "Authorization", Authentication, BasicAuthentication, Username, Password);
}

void TNetRequestHeaderInfo::ReadHeaderFields() {
    Accept = HeaderLines.ValueOf("Accept");
    AcceptCharSet = HeaderLines.ValueOf("Accept-Charset");
    AcceptEncoding = HeaderLines.ValueOf("Accept-Encoding");
    AcceptLanguage = HeaderLines.ValueOf("Accept-Language");
    Host = HeaderLines.ValueOf("Host");
    From = HeaderLines.ValueOf("From");
    Referer = HeaderLines.ValueOf("Referer");
    UserAgent = HeaderLines.ValueOf("User-Agent");

    std::string range = HeaderLines.ValueOf("Range");
    if (!range.empty()) {
        TakeToken(range, "=");
        ContentRangeStart = LenientRangeBound(TakeToken(range, "-"));
        ContentRangeEnd = LenientRangeBound(TakeToken(range, " "));
    }
    ReadEntityFields();
}

// ---------------------------------------------------------------------------------------------
// Response
// ---------------------------------------------------------------------------------------------

TNetResponseHeaderInfo::TNetResponseHeaderInfo() { ContentType = "text/html"; }

TNetResponseHeaderInfo::~TNetResponseHeaderInfo() = default;

void TNetResponseHeaderInfo::Clear() {
    ClearEntityFields();
    ContentType = "text/html";
    Location.clear();
    Server.clear();
    ProxyAuthenticate.Clear();
    WWWAuthenticate.Clear();
}

void TNetResponseHeaderInfo::SetProxyAuthenticate(const TStrings& lines) { CopyLines(lines, ProxyAuthenticate); }

void TNetResponseHeaderInfo::SetWWWAuthenticate(const TStrings& lines) { CopyLines(lines, WWWAuthenticate); }

void TNetResponseHeaderInfo::ReadHeaderFields() {
    Location = HeaderLines.ValueOf("Location");
    Server = HeaderLines.ValueOf("Server");
    ProxyConnection = HeaderLines.ValueOf("Proxy-Connection");

    std::string range = HeaderLines.ValueOf("Content-Range");
    if (!range.empty()) {
        TakeToken(range, " ");
        ContentRangeStart = StrictRangeBound(TakeToken(range, "-"));
        ContentRangeEnd = StrictRangeBound(TakeToken(range, "/"));
    } else {
        ContentRangeStart = 0;
        ContentRangeEnd = 0;
    }

    WWWAuthenticate.Clear();
    HeaderLines.CollectValues("WWW-Authenticate", &WWWAuthenticate);
    ProxyAuthenticate.Clear();
    HeaderLines.CollectValues("Proxy-Authenticate", &ProxyAuthenticate);

    ReadEntityFields();
}

// ---------------------------------------------------------------------------------------------
// Proxy
// ---------------------------------------------------------------------------------------------

TNetProxyConnectionInfo::TNetProxyConnectionInfo() { Clear(); }

TNetProxyConnectionInfo::~TNetProxyConnectionInfo() = default;

void TNetProxyConnectionInfo::Assign(const TObject& source) {
    const auto* proxy = dynamic_cast<const TNetProxyConnectionInfo*>(&source);
    if (proxy == nullptr) {
        throw EAssignError("Cannot assign this object to a TNetProxyConnectionInfo");
    }
    if (proxy == this) {
        return;
    }
    BasicAuthentication = proxy->BasicAuthentication;
    ProxyPassword = proxy->ProxyPassword;
    SetProxyPort(proxy->ProxyPort());
    SetProxyServer(proxy->ProxyServer());
    ProxyUsername = proxy->ProxyUsername;
}

void TNetProxyConnectionInfo::Clear() {
    proxyServer_.clear();
    ProxyUsername.clear();
    ProxyPassword.clear();
    proxyPort_ = 0;
}

void TNetProxyConnectionInfo::SetProxyServer(const std::string& value) {
    if (!platform::AnsiSameText(value, proxyServer_)) {
        Authentication.reset();
    }
    proxyServer_ = value;
}

void TNetProxyConnectionInfo::SetProxyPort(int32_t value) {
    if (value != proxyPort_) {
        Authentication.reset();
    }
    proxyPort_ = value;
}

void TNetProxyConnectionInfo::WriteHeaderFields(TNetHeaderList& headers) {
    PutAuthorization(headers, "Proxy-Authorization", Authentication, BasicAuthentication, ProxyUsername,
                     ProxyPassword);
}

}  // namespace quorvane
