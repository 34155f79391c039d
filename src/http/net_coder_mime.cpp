#include "http/net_coder_mime.h"

#include <algorithm>

#include "tcp/net_exception.h"

namespace quorvane {

std::string TNetEncoder::EncodeString(const std::string& text) {
    TReadOnlyMemoryStream stream(text.data(), static_cast<int64_t>(text.size()));
    return EncodeStream(stream, kToEnd);
}

std::string TNetEncoder3to4::EncodeStream(TStream& stream, int32_t count) {
    if (count != kToEnd && count % 3 != 0) throw ENetException("Uneven size in Encode.");

    int64_t available = stream.Size() - stream.Position();
    if (available < 0) available = 0;
    // A negative count reads nothing rather than being taken as a huge unsigned size.
    const int64_t wanted = count == kToEnd ? available : std::max<int64_t>(0, count);
    const int64_t size = std::min(available, wanted);
    if (size == 0) return std::string();

    std::string bytes(static_cast<size_t>(size), '\0');
    const int64_t got = stream.Read(bytes.data(), static_cast<int32_t>(std::min<int64_t>(size, kToEnd)));
    bytes.resize(static_cast<size_t>(std::max<int64_t>(0, got)));

    auto symbol = [this](unsigned value) -> char {
        return value < CodingTable.size() ? CodingTable[value] : FillChar;
    };

    std::string result;
    result.reserve(4 * ((bytes.size() + 2) / 3));
    for (size_t i = 0; i < bytes.size(); i += 3) {
        const size_t inGroup = std::min<size_t>(3, bytes.size() - i);
        const unsigned b1 = static_cast<unsigned char>(bytes[i]);
        const unsigned b2 = inGroup > 1 ? static_cast<unsigned char>(bytes[i + 1]) : 0u;
        const unsigned b3 = inGroup > 2 ? static_cast<unsigned char>(bytes[i + 2]) : 0u;
        result += symbol(b1 >> 2);
        result += symbol(((b1 << 4) & 63u) | (b2 >> 4));
        result += inGroup > 1 ? symbol(((b2 << 2) & 63u) | (b3 >> 6)) : FillChar;
        result += inGroup > 2 ? symbol(b3 & 63u) : FillChar;
    }
    return result;
}

TNetEncoderMIME::TNetEncoderMIME(TComponent* owner) : TNetEncoder3to4(owner) {
    CodingTable = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    FillChar = '=';
}

}  // namespace quorvane
