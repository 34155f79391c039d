#pragma once

#include <cstdint>
#include <string>

#include "rtl/stream.h"
#include "tcp/net_exception.h"

namespace quorvane {

class TNetResponseHeaderInfo;
class TNetTCPConnection;

// A response larger than the client takes: a header block beyond MaxHeaderBytes or
// MaxHeaderLines, or a body beyond MaxBodyBytes. The connection is closed when it is raised.
class ENetHTTPResponseTooLarge : public ENetException {
public:
    using ENetException::ENetException;
};

// What one answer may make the client hold. The head limits cover every line read for one
// request: interim answers, the final head and the trailer of a chunked body.
struct TNetHTTPResponseLimits {
    int64_t MaxHeaderBytes = 1024 * 1024;
    int32_t MaxHeaderLines = 10000;
    int64_t MaxBodyBytes = 16 * 1024 * 1024;
};

// Reads an answer's body from a connection with the framing its head declares, within the
// limits: a known length, chunks up to the empty line after their trailer, or everything until
// the peer closes. A limit that is passed closes the connection, since what is left of the
// answer cannot be skipped in bounded time, and raises ENetHTTPResponseTooLarge.
class TNetHTTPBodyReader {
public:
    explicit TNetHTTPBodyReader(TNetTCPConnection& connection) : connection_(connection) {}

    TNetHTTPBodyReader(const TNetHTTPBodyReader&) = delete;
    TNetHTTPBodyReader& operator=(const TNetHTTPBodyReader&) = delete;

    // Starts the count of a new request's answers under these limits.
    void Begin(const TNetHTTPResponseLimits& limits);
    // Counts one received head line (its line end included) against the head limits.
    void CountHeadLine(const std::string& line);
    // Appends the body that `head` announces to the stream, from its position. A Content-Length
    // of 0 reads nothing; a peer that closes inside a known length ends the body without error.
    void Read(const TNetResponseHeaderInfo& head, TStream& stream);
    // One chunk size line: hexadecimal digits, cut at a blank or ";"; anything else gives 0.
    int32_t ReadChunkSize();

private:
    void ReadKnownLength(TStream& stream, int32_t count);
    void ReadChunks(TStream& stream);
    void ReadUntilClose(TStream& stream);
    void CheckBodyGrowth(int64_t total);
    [[noreturn]] void FailTooLarge(const std::string& message);

    TNetTCPConnection& connection_;
    TNetHTTPResponseLimits limits_{};
    int64_t headBytes_ = 0;
    int32_t headLines_ = 0;
};

}  // namespace quorvane
