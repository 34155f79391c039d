#pragma once

#include <cstdint>
#include <limits>
#include <memory>
#include <string>

#include "rtl/stream.h"
#include "tcp/net_base_component.h"

namespace quorvane {

// Byte-to-text encoders. An encoder is a component (it may have an owner); EncodeText makes a
// short-lived one of the class asked for.
class TNetEncoder : public TNetBaseComponent {
public:
    // The count that means "up to the end of the stream".
    static constexpr int32_t kToEnd = std::numeric_limits<int32_t>::max();

    explicit TNetEncoder(TComponent* owner = nullptr) : TNetBaseComponent(owner) {}

    // Encodes `count` bytes (or the rest of the stream for kToEnd) from the stream's position.
    virtual std::string EncodeStream(TStream& stream, int32_t count = kToEnd) = 0;

    // Creates an encoder of class Encoder with no owner, encodes the whole text and frees it.
    template <typename Encoder>
    static std::string EncodeText(const std::string& text) {
        Encoder encoder;
        return encoder.EncodeString(text);
    }

    // The whole text through EncodeStream.
    std::string EncodeString(const std::string& text);
};

// Three bytes to four characters of a 64-character table, the last group padded with
// FillChar. No line breaks are ever inserted.
class TNetEncoder3to4 : public TNetEncoder {
public:
    using TNetEncoder::TNetEncoder;

    // Raises ENetException ("Uneven size in Encode.") for an explicit count that is not a
    // multiple of three.
    std::string EncodeStream(TStream& stream, int32_t count = kToEnd) override;

    // 64 characters; a shorter table makes the missing values encode as FillChar.
    std::string CodingTable;
    char FillChar = '=';
};

// Base64 of RFC 2045: A-Z, a-z, 0-9, "+", "/", padded with "=".
class TNetEncoderMIME : public TNetEncoder3to4 {
public:
    explicit TNetEncoderMIME(TComponent* owner = nullptr);
};

}  // namespace quorvane
