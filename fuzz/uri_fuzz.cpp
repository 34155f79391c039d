// Any text splits into URI parts without failing, and the parts obey the splitting rules: the
// host never holds "@" (user information ends at the last one), the user name never holds ":",
// and a URL with a scheme always has a path beginning with "/".
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "http/net_uri.h"
#include "platform/code_page.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    const bool doubleByte = (data[0] & 1) != 0;
    const quorvane::platform::ScopedCodePage codePage(doubleByte ? 932 : 65001);
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);

    quorvane::TNetURI uri(text);
    FUZZ_CHECK(uri.URI == quorvane::ForwardSlashes(text));
    FUZZ_CHECK(uri.Username.find(':') == std::string::npos || doubleByte);
    if (!doubleByte) {
        FUZZ_CHECK(uri.Host.find('@') == std::string::npos);
    }
    if (quorvane::SubPos("://", uri.URI) > 0) {
        FUZZ_CHECK(!uri.Path.empty() && uri.Path[0] == '/');
        // Under 932 a lead byte swallows the byte after it even when that is "/".
        FUZZ_CHECK(uri.Host.find('/') == std::string::npos || doubleByte);
    }
    if (!uri.Protocol.empty() && !uri.Host.empty()) {
        const std::string bare = uri.BareURI();
        FUZZ_CHECK(bare.size() <= uri.URI.size());
    }
    FUZZ_CHECK(quorvane::MergePath(uri.Path, uri.Document, "/").size() <= uri.Path.size() + uri.Document.size() + 1);
    return 0;
}
