#pragma once

#include <cstdint>
#include <string>

#include "tcp/net_exception.h"

namespace quorvane {

// ---------------------------------------------------------------------------------------------
// Text helpers shared by the whole HTTP client. Positions are 1-based; 0 means "not found".
// Under a double-byte code page a trail byte may equal "@", "\" or an ASCII letter, so every
// search that matters for splitting steps over a lead byte and its trail byte together. The
// choice between the double-byte scan and the plain byte scan follows the code page active at
// the moment of the call (tests switch it with platform::ScopedCodePage).
// ---------------------------------------------------------------------------------------------

// Position of the first occurrence of `sub` in `s`; a match never starts on a trail byte.
// An empty `sub` is never found.
int32_t SubPos(const std::string& sub, const std::string& s);

// Returns the text before the first `delimiter` in `input`. With `deleteToken`, `input` keeps
// only the text after the delimiter (or becomes empty when there is none). Without
// `caseSensitive`, ASCII letters match either case; the returned text is cut from the
// unchanged input.
std::string TakeToken(std::string& input, const std::string& delimiter, bool deleteToken = true,
                      bool caseSensitive = true);

// Position of the last occurrence of `sub` in `s` that begins at or before `start` (-1: the
// end of `s`), comparing without regard to ASCII case.
int32_t FindLast(const std::string& sub, const std::string& s, int32_t start = -1);

// Position of the last occurrence of `sub` in `s` at a character boundary, case-sensitive.
int32_t LastSubPos(const std::string& sub, const std::string& s);

// Every backslash becomes a slash; the trail byte of a double-byte character is left alone.
std::string ForwardSlashes(std::string text);

// Resolves `path` against `base` (the path of the previous request): runs of the delimiter
// collapse, ".." removes the segment before it, "." stays.
std::string MergePath(const std::string& base, const std::string& path, const std::string& delimiter = "/");

// Which optional parts BuildURI writes.
struct TNetURIOptions {
    bool IncludeAuthInfo = true;
    bool IncludeFragment = true;

    static constexpr TNetURIOptions All() { return {true, true}; }
    static constexpr TNetURIOptions None() { return {false, false}; }
};

// A URI split into its parts, and joined back. Nothing is percent-decoded or encoded: every
// part holds exactly the bytes of the text it came from. The fields are plain data; writing
// one re-parses nothing.
class TNetURI {
public:
    explicit TNetURI(const std::string& uri = std::string());
    virtual ~TNetURI() = default;

    TNetURI(const TNetURI&) = default;
    TNetURI& operator=(const TNetURI&) = default;

    // Replaces every field by the parts of `text`. Never fails: malformed text splits as far
    // as it goes.
    void ParseURI(const std::string& text);

    // The text of the fields. Raises ENetURIException ("Protocol field is empty", "Host field
    // is empty") when there is no scheme or no host.
    std::string BuildURI(TNetURIOptions options = TNetURIOptions::All()) const;

    // Stores the full text in URI and returns it without credentials and fragment (the
    // request target for a plain proxy).
    std::string BareURI();

    std::string Document;  // last path segment, no query, no fragment
    std::string Protocol;  // scheme, without "://"
    std::string URI;       // the text last parsed, or the full text last built by BareURI
    std::string Port;      // as written after the host; empty if none; may be non-numeric
    std::string Path;      // directory part; begins with "/" for a URL with a scheme
    std::string Host;
    std::string Fragment;  // after "#", without it
    std::string Username;
    std::string Password;
    std::string Params;    // the query with its leading "?"
};

}  // namespace quorvane
