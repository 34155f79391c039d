#include "http/net_http_body_reader.h"

#include <algorithm>

#include "http/net_http_header_info.h"
#include "http/net_number_text.h"
#include "rtl/format.h"
#include "tcp/net_tcp_connection.h"

namespace quorvane {

namespace {

// "Transfer-Encoding" names are case-insensitive tokens.
bool NamesChunked(const std::string& transferEncoding) {
    std::string lower = transferEncoding;
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return lower.find("chunked") != std::string::npos;
}

}  // namespace

void TNetHTTPBodyReader::Begin(const TNetHTTPResponseLimits& limits) {
    limits_ = limits;
    headBytes_ = 0;
    headLines_ = 0;
}

void TNetHTTPBodyReader::CountHeadLine(const std::string& line) {
    headBytes_ += static_cast<int64_t>(line.size()) + 2;
    ++headLines_;
    if (headBytes_ > limits_.MaxHeaderBytes) {
        FailTooLarge(
            Format("Response header block exceeds %lld bytes", static_cast<long long>(limits_.MaxHeaderBytes)));
    }
    if (headLines_ > limits_.MaxHeaderLines) {
        FailTooLarge(Format("Response header block exceeds %d lines", limits_.MaxHeaderLines));
    }
}

int32_t TNetHTTPBodyReader::ReadChunkSize() {
    std::string line = connection_.ReadLine();
    // A chunk extension (";name=value") is cut off as well as anything after a blank: a size
    // line with an extension still names its size.
    const size_t cut = line.find_first_of(" ;");
    if (cut != std::string::npos) line.resize(cut);
    return NetTextToInt32Def("$" + line, 0);
}

void TNetHTTPBodyReader::Read(const TNetResponseHeaderInfo& head, TStream& stream) {
    const int32_t length = head.ContentLength;
    if (length > 0) {
        if (length > limits_.MaxBodyBytes) {
            FailTooLarge(Format("Response body of %d bytes exceeds %lld bytes", length,
                                static_cast<long long>(limits_.MaxBodyBytes)));
        }
        ReadKnownLength(stream, length);
    } else if (NamesChunked(head.HeaderLines.ValueOf("Transfer-Encoding"))) {
        ReadChunks(stream);
    } else if (!head.LengthGiven) {
        ReadUntilClose(stream);
    }
}

// Bytes that arrived before the peer closed stay in the stream.
void TNetHTTPBodyReader::ReadKnownLength(TStream& stream, int32_t count) {
    const int64_t start = stream.Position();
    try {
        connection_.ReadToStream(&stream, count, false);
    } catch (const ENetConnClosedGracefully&) {
        // The last partial pass stays queued by the transport; it belongs to the body.
        TNetManagedBuffer& queue = connection_.InputQueue();
        const int64_t missing = count - (stream.Position() - start);
        const int32_t take = static_cast<int32_t>(std::min<int64_t>(queue.Size(), std::max<int64_t>(missing, 0)));
        if (take > 0) stream.WriteString(queue.TakeFront(take));
    }
}

void TNetHTTPBodyReader::ReadChunks(TStream& stream) {
    connection_.ReportStatus(TNetStatus::hsStatusText, "Chunk Started");
    int64_t total = 0;
    for (int32_t size = ReadChunkSize(); size > 0; size = ReadChunkSize()) {
        total += size;
        CheckBodyGrowth(total);
        connection_.ReadToStream(&stream, size, false);
        connection_.ReadLine();
    }
    // The trailer fields run to an empty line; they count against the header limits, so
    // an endless trailer ends like an endless header block.
    try {
        for (std::string trailer = connection_.ReadLine(); !trailer.empty(); trailer = connection_.ReadLine()) {
            CountHeadLine(trailer);
        }
    } catch (const ENetConnClosedGracefully&) {
        // The body itself is complete; a peer that closes inside the trailer only ends it.
        connection_.Disconnect();
    }
}

// An until-close body never grows beyond MaxBodyBytes.
void TNetHTTPBodyReader::ReadUntilClose(TStream& stream) {
    int64_t total = 0;
    connection_.WorkStart(TWorkMode::wmRead, 0);
    try {
        for (;;) {
            TNetManagedBuffer& queue = connection_.InputQueue();
            if (queue.Size() > 0) {
                const int64_t room = limits_.MaxBodyBytes - total + 1;
                const int32_t take = static_cast<int32_t>(std::min<int64_t>(queue.Size(), room));
                stream.WriteString(queue.TakeFront(take));
                total += take;
                CheckBodyGrowth(total);
            }
            if (!connection_.IsOpen()) break;
            connection_.FillInputBuffer(false, -1, true);
        }
    } catch (...) {
        connection_.WorkFinish(TWorkMode::wmRead);
        if (stream.Size() > stream.Position()) stream.SetSize(stream.Position());
        throw;
    }
    connection_.WorkFinish(TWorkMode::wmRead);
    if (stream.Size() > stream.Position()) stream.SetSize(stream.Position());
}

void TNetHTTPBodyReader::CheckBodyGrowth(int64_t total) {
    if (total > limits_.MaxBodyBytes) {
        FailTooLarge(Format("Response body exceeds %lld bytes", static_cast<long long>(limits_.MaxBodyBytes)));
    }
}

void TNetHTTPBodyReader::FailTooLarge(const std::string& message) {
    connection_.Disconnect();
    throw ENetHTTPResponseTooLarge(message);
}

}  // namespace quorvane
