#include "http/net_uri.h"

#include <cstddef>
#include <limits>

#include "platform/code_page.h"
#include "text/blank_text.h"

namespace quorvane {

namespace {

// Positions travel as 32-bit numbers; a text too long for them is searched only as far as a
// position can say.
size_t SearchLimit(const std::string& s) {
    constexpr size_t kMax = static_cast<size_t>(std::numeric_limits<int32_t>::max());
    return s.size() < kMax ? s.size() : kMax;
}

// 0-based index of the first match at or after `from`, or npos. The double-byte scan is
// taken whenever the active code page has lead bytes.
size_t FindAt(const std::string& sub, const std::string& s, size_t from, bool plain) {
    if (sub.empty() || sub.size() > s.size()) {
        return std::string::npos;
    }
    const size_t limit = SearchLimit(s);
    if (plain || !platform::HasLeadBytes()) {
        const size_t found = s.find(sub, from);
        return (found != std::string::npos && found < limit) ? found : std::string::npos;
    }
    for (size_t index = from; index < limit && index + sub.size() <= s.size();
         index += platform::CharLength(s, index)) {
        if (s.compare(index, sub.size(), sub) == 0) {
            return index;
        }
    }
    return std::string::npos;
}

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// The query starts at the first "?", or at the first "=" when there is no "?"; the directory
// ends at the last "/" before it. Fills Path (without a leading "/"), Document and Params
// from the path part `w`.
void SplitPathPart(const std::string& w, std::string& path, std::string& document, std::string& params) {
    int32_t q = SubPos("?", w);
    if (q == 0) {
        q = SubPos("=", w);
    }
    const int32_t s = q > 0 ? FindLast("/", w, q) : FindLast("/", w, -1);
    path = w.substr(0, static_cast<size_t>(s));
    if (q > 0) {
        document = w.substr(0, static_cast<size_t>(q - 1));
        params = w.substr(static_cast<size_t>(q - 1));
    } else {
        document = w;
    }
    document.erase(0, static_cast<size_t>(s));
}

}  // namespace

int32_t SubPos(const std::string& sub, const std::string& s) {
    const size_t found = FindAt(sub, s, 0, false);
    return found == std::string::npos ? 0 : static_cast<int32_t>(found + 1);
}

int32_t LastSubPos(const std::string& sub, const std::string& s) {
    size_t last = std::string::npos;
    size_t from = 0;
    for (;;) {
        const size_t found = FindAt(sub, s, from, false);
        if (found == std::string::npos) {
            break;
        }
        last = found;
        from = found + platform::CharLength(s, found);
    }
    return last == std::string::npos ? 0 : static_cast<int32_t>(last + 1);
}

std::string TakeToken(std::string& input, const std::string& delimiter, bool deleteToken, bool caseSensitive) {
    size_t found;
    if (caseSensitive) {
        // The NUL delimiter can never be a trail byte, so the plain scan is exact for it.
        const bool plain = delimiter.size() == 1 && delimiter[0] == '\0';
        found = FindAt(delimiter, input, 0, plain);
    } else {
        found = FindAt(AsciiUpperCase(delimiter), AsciiUpperCase(input), 0, false);
    }
    std::string token;
    if (found == std::string::npos) {
        token = input;
        if (deleteToken) {
            input.clear();
        }
    } else {
        token = input.substr(0, found);
        if (deleteToken) {
            input.erase(0, found + delimiter.size());
        }
    }
    return token;
}

int32_t FindLast(const std::string& sub, const std::string& s, int32_t start) {
    if (sub.empty() || sub.size() > SearchLimit(s)) {
        return 0;
    }
    const int64_t highest = static_cast<int64_t>(SearchLimit(s)) - static_cast<int64_t>(sub.size()) + 1;
    int64_t position = start;
    if (start == -1 || position > highest) {
        position = highest;
    }
    for (; position >= 1; --position) {
        if (SameAsciiTextAt(s, static_cast<size_t>(position - 1), sub)) {
            return static_cast<int32_t>(position);
        }
    }
    return 0;
}

std::string ForwardSlashes(std::string text) {
    for (size_t index = 0; index < text.size(); index += platform::CharLength(text, index)) {
        if (text[index] == '\\') {
            text[index] = '/';
        }
    }
    return text;
}

std::string MergePath(const std::string& base, const std::string& path, const std::string& delimiter) {
    if (delimiter.empty()) {
        return base + path;
    }
    if (path.compare(0, delimiter.size(), delimiter) == 0) {
        return path;
    }
    const bool keepTrail = path.empty() || EndsWith(path, delimiter);
    std::string work = base;
    if (!work.empty() && !EndsWith(work, delimiter)) {
        work += delimiter;
    }
    work += path;

    std::string result;
    size_t index = 0;
    while (index < work.size()) {
        if (work.compare(index, delimiter.size(), delimiter) == 0) {
            if (index == 0) {
                result = delimiter;
            } else if (!EndsWith(result, delimiter)) {
                result += delimiter;
            }
            index += delimiter.size();
            continue;
        }
        if (work[index] == '.' && index + 1 < work.size() && work[index + 1] == '.' &&
            EndsWith(result, delimiter)) {
            result.erase(result.size() - delimiter.size());
            while (!result.empty() && !EndsWith(result, delimiter)) {
                result.pop_back();
            }
            index += 2;
            continue;
        }
        const size_t length = platform::CharLength(work, index);
        result.append(work, index, length);
        index += length;
    }
    if (result != delimiter && EndsWith(result, delimiter) && !keepTrail) {
        result.pop_back();
    }
    return result;
}

TNetURI::TNetURI(const std::string& uri) {
    if (!uri.empty()) {
        ParseURI(uri);
    }
}

void TNetURI::ParseURI(const std::string& text) {
    URI = ForwardSlashes(text);
    std::string w = URI;
    Document.clear();
    Protocol.clear();
    Port.clear();
    Path.clear();
    Host.clear();
    Fragment.clear();
    Username.clear();
    Password.clear();
    Params.clear();

    const int32_t schemeEnd = SubPos("://", w);
    if (schemeEnd == 0) {
        SplitPathPart(w, Path, Document, Params);
    } else {
        Protocol = w.substr(0, static_cast<size_t>(schemeEnd - 1));
        w.erase(0, static_cast<size_t>(schemeEnd) + 2);
        std::string authority = TakeToken(w, "/");

        // The user information ends at the LAST "@": a password may itself hold "@", while no
        // host name does. Splitting at the first one would send a cut password and connect to
        // a host made of the rest of it.
        const int32_t at = LastSubPos("@", authority);
        if (at > 0) {
            Password = authority.substr(0, static_cast<size_t>(at - 1));
            authority.erase(0, static_cast<size_t>(at));
        }
        Username = TakeToken(Password, ":");
        if (Username.empty()) {
            Password.clear();
        }
        Host = TakeToken(authority, ":");
        Port = authority;

        std::string directory;
        SplitPathPart(w, directory, Document, Params);
        Path = "/" + directory;
        Fragment = Document;
        Document = TakeToken(Fragment, "#");
    }
    if (Fragment.empty()) {
        Fragment = Params;
        Params = TakeToken(Fragment, "#");
    }
}

std::string TNetURI::BuildURI(TNetURIOptions options) const {
    if (Protocol.empty()) {
        throw ENetURIException("Protocol field is empty");
    }
    std::string text = Protocol + "://";
    if (options.IncludeAuthInfo && !Username.empty()) {
        text += Username;
        if (!Password.empty()) {
            text += ":" + Password;
        }
        text += "@";
    }
    if (Host.empty()) {
        throw ENetURIException("Host field is empty");
    }
    text += Host;
    if (!Port.empty()) {
        text += ":" + Port;
    }
    text += Path + Document + Params;
    if (options.IncludeFragment && !Fragment.empty()) {
        text += "#" + Fragment;
    }
    return text;
}

std::string TNetURI::BareURI() {
    URI = BuildURI(TNetURIOptions::All());
    return BuildURI(TNetURIOptions::None());
}

}  // namespace quorvane
