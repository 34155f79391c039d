// "Set-cookie" and "Set-cookie2" values of any bytes are stored or dropped without failing (the
// one documented failure: a Set-cookie2 port list with an item that is no number), and every
// cookie that ends up in the store writes a ServerCookieText that parses back to the same name,
// value and path.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "fuzz_text.h"
#include "http/net_cookie.h"
#include "http/net_cookie_manager.h"
#include "platform/code_page.h"
#include "platform/time_zone.h"
#include "rtl/exception.h"

namespace {

constexpr const char* kHosts[4] = {"10.0.0.1", "unit.factory.local", "www.factory.local", "unit"};
constexpr size_t kMaxValues = 16;

bool HasBlankEnd(const std::string& text) {
    return !text.empty() && (static_cast<unsigned char>(text.front()) <= ' ' ||
                             static_cast<unsigned char>(text.back()) <= ' ');
}

// Whether a cookie's fields can be written as a Set-Cookie value at all. ServerCookieText
// writes the fields bare, so:
// - an empty value writes no "name=value" at all (the attribute rule leaves out empty values);
// - the written text always holds ";" (the store sets a domain), so it is split at ";" and its
//   items trimmed; blanks at the ends of a field survive only in a value without ";", which is
//   taken as line text untrimmed;
// - a value or path that ends in a lead byte without its trail byte (double-byte code page)
//   takes the "; " written after it as the rest of that character, so the items run together;
// - the path reader removes one double quote at each end, so a path that still starts or ends
//   with one loses it when read again.
bool Writable(const quorvane::TNetNetscapeCookie& cookie) {
    if (cookie.Value.empty() || HasBlankEnd(cookie.CookieName) || HasBlankEnd(cookie.Value) ||
        HasBlankEnd(cookie.Path) || EndsInLoneLeadByte(cookie.Value) || EndsInLoneLeadByte(cookie.Path)) {
        return false;
    }
    return cookie.Path.empty() || (cookie.Path.front() != '"' && cookie.Path.back() != '"');
}

template <typename Cookie>
void CheckReadsBack(const quorvane::TNetCookieRFC2109& stored) {
    Cookie again;
    again.ParseCookie(stored.ServerCookieText());
    FUZZ_CHECK(again.CookieName == stored.CookieName);
    FUZZ_CHECK(again.Value == stored.Value);
    FUZZ_CHECK(again.Path == stored.Path);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    // First byte: the host (bits 0-1) and the double-byte code page (bit 2). The rest holds up
    // to 16 header values separated by 0xFF; a value that starts with 0x02 is a Set-cookie2.
    const quorvane::platform::ScopedCodePage codePage((data[0] & 4) != 0 ? 932 : 65001);
    const quorvane::platform::ScopedTimeZone zone(60);
    const std::string host = kHosts[data[0] & 3];
    const std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);

    std::vector<std::string> values;
    size_t start = 0;
    while (values.size() < kMaxValues) {
        const size_t end = rest.find('\xff', start);
        values.push_back(rest.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) {
            break;
        }
        start = end + 1;
    }

    quorvane::TNetCookieManager manager;
    for (const std::string& value : values) {
        if (!value.empty() && value[0] == '\x02') {
            try {
                manager.AddServerCookie2(value.substr(1), host);
            } catch (const quorvane::EConvertError&) {
                // A quoted port list with an item that is no number: the documented failure.
            }
        } else {
            manager.AddServerCookie(value, host);
        }
    }

    quorvane::TNetCookies& store = manager.CookieCollection();
    for (int32_t index = 0; index < store.Count(); ++index) {
        const quorvane::TNetCookieRFC2109& cookie = *store.Items(index);
        if (!Writable(cookie)) {
            continue;
        }
        if (dynamic_cast<const quorvane::TNetCookieRFC2965*>(&cookie) != nullptr) {
            CheckReadsBack<quorvane::TNetCookieRFC2965>(cookie);
        } else {
            CheckReadsBack<quorvane::TNetCookieRFC2109>(cookie);
        }
    }
    // The header for the unit's command path is built from the same store without failing.
    quorvane::TNetURI uri;
    uri.Host = host;
    uri.Path = "/";
    (void)manager.CookieHeaderFor(uri, false);
    return 0;
}
