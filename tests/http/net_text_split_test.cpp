#include "http/net_text_split.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "http/net_uri.h"
#include "platform/code_page.h"

namespace quorvane {
namespace {

// What the one-pass split must equal: cutting tokens off the front while text is left.
std::vector<std::string> ByRepeatedTakeToken(std::string text, const std::string& delimiter) {
    std::vector<std::string> pieces;
    while (!text.empty()) pieces.push_back(TakeToken(text, delimiter));
    return pieces;
}

TEST(SplitLikeTakeToken, MatchesRepeatedTakeTokenInBothCodePages) {
    const std::vector<std::string> fixed = {"", "a", "a;", ";a", "a;;b", ";", "a; b; ", "a, b, ", ", ,",
                                            "\x81\x40;x", "\x83;x;", "x\x83", "\x83"};
    std::mt19937 random(7);
    const std::string alphabet = ";, a\x81\x83\x40";
    for (int codePage : {0, 932}) {
        std::unique_ptr<platform::ScopedCodePage> scope;
        if (codePage != 0) scope = std::make_unique<platform::ScopedCodePage>(codePage);
        std::vector<std::string> texts = fixed;
        for (int i = 0; i < 500; ++i) {
            std::string text;
            const size_t length = random() % 12;
            for (size_t k = 0; k < length; ++k) text += alphabet[random() % alphabet.size()];
            texts.push_back(text);
        }
        for (const std::string& text : texts)
            for (const std::string delimiter : {";", ", "})
                EXPECT_EQ(SplitLikeTakeToken(text, delimiter), ByRepeatedTakeToken(text, delimiter))
                    << "code page " << codePage << " text " << ::testing::PrintToString(text);
    }
}

TEST(SplitLikeTakeToken, DoubleByteCharacterHidesTheDelimiterByte) {
    platform::ScopedCodePage shiftJis(932);
    EXPECT_EQ(SplitLikeTakeToken("\x83;x", ";"), std::vector<std::string>{"\x83;x"});
    EXPECT_EQ(SplitLikeTakeToken("\x83\x40;x", ";"), (std::vector<std::string>{"\x83\x40", "x"}));
}

}  // namespace
}  // namespace quorvane
