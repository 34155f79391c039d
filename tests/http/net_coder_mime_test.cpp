#include "http/net_coder_mime.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "rtl/stream.h"
#include "tcp/net_exception.h"

namespace quorvane {
namespace {

struct Base64Case {
    std::string bytes;
    std::string text;
};

void PrintTo(const Base64Case& c, std::ostream* os) { *os << c.bytes.size() << " bytes to " << c.text; }

class Base64Test : public ::testing::TestWithParam<Base64Case> {};

TEST_P(Base64Test, EncodesWithStandardAlphabetAndPadding) {
    EXPECT_EQ(TNetEncoder::EncodeText<TNetEncoderMIME>(GetParam().bytes), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    TrailingBytes, Base64Test,
    ::testing::Values(Base64Case{"", ""}, Base64Case{"f", "Zg=="}, Base64Case{"fo", "Zm8="},
                      Base64Case{"foo", "Zm9v"}, Base64Case{"foob", "Zm9vYg=="}, Base64Case{"fooba", "Zm9vYmE="},
                      Base64Case{"foobar", "Zm9vYmFy"}, Base64Case{":", "Og=="},
                      // The monitor's credentials: 14 bytes, 20 characters, one "=".
                      Base64Case{"admin:57203941", "YWRtaW46NTcyMDM5NDE="},
                      // Every bit pattern, including the two characters past the letters and digits.
                      Base64Case{std::string("\xFB\xFF\xBF", 3), "+/+/"},
                      Base64Case{std::string("\0\0\0", 3), "AAAA"},
                      Base64Case{std::string("\x80", 1), "gA=="}));

TEST(TNetEncoder3to4, LongInputHasNoLineBreaks) {
    const std::string text = TNetEncoder::EncodeText<TNetEncoderMIME>(std::string(1000, 'x'));
    EXPECT_EQ(text.size(), 4u * ((1000 + 2) / 3));
    EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos);
}

TEST(TNetEncoder3to4, ExplicitCountMustBeMultipleOfThree) {
    const std::string data = "abcdefgh";
    TReadOnlyMemoryStream stream(data.data(), static_cast<int64_t>(data.size()));
    TNetEncoderMIME encoder;
    try {
        encoder.EncodeStream(stream, 4);
        FAIL() << "no exception";
    } catch (const ENetException& e) {
        EXPECT_EQ(e.Message(), "Uneven size in Encode.");
    }
    // A count reads only that many bytes from the current position; the end caps it.
    stream.SetPosition(2);
    EXPECT_EQ(encoder.EncodeStream(stream, 3), TNetEncoder::EncodeText<TNetEncoderMIME>("cde"));
    EXPECT_EQ(stream.Position(), 5);
    EXPECT_EQ(encoder.EncodeStream(stream, 30), TNetEncoder::EncodeText<TNetEncoderMIME>("fgh"));
    EXPECT_EQ(encoder.EncodeStream(stream), "");
    EXPECT_EQ(encoder.EncodeStream(stream, 0), "");
}

TEST(TNetEncoder3to4, CustomTableAndFillCharacter) {
    TNetEncoder3to4 encoder;
    encoder.CodingTable = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
    encoder.FillChar = '.';
    EXPECT_EQ(encoder.EncodeString(std::string("\xFB\xFF", 2)), "-_8.");
    // An encoder with an owner is an ordinary component of it.
    TNetEncoderMIME owned(&encoder);
    EXPECT_EQ(owned.Owner(), &encoder);
}

}  // namespace
}  // namespace quorvane
