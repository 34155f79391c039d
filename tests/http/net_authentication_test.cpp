#include "http/net_authentication.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "http/net_coder_mime.h"
#include "text/string_list.h"

namespace quorvane {
namespace {

std::string BasicFor(const std::string& user, const std::string& password) {
    TNetBasicAuthentication auth;
    auth.StoreUserName(user);
    auth.StorePassword(password);
    return auth.AuthorizationValue();
}

TEST(TNetBasicAuthentication, AuthorizationValueOfCredentials) {
    EXPECT_EQ(BasicFor("admin", "57203941"), "Basic YWRtaW46NTcyMDM5NDE=");
    // Never empty: empty credentials still send the encoding of ":".
    EXPECT_EQ(BasicFor("", ""), "Basic Og==");
    EXPECT_EQ(BasicFor("admin", ""), "Basic YWRtaW46");
    EXPECT_EQ(BasicFor("", "pw"), "Basic OnB3");
    // A ":" in the password is sent unchanged, blanks around either part are not, inner ones are.
    EXPECT_EQ(BasicFor("a", "b:c"), "Basic YTpiOmM=");
    EXPECT_EQ(BasicFor("  admin ", "\t57203941 "), "Basic YWRtaW46NTcyMDM5NDE=");
    EXPECT_EQ(BasicFor("ad min", " a  b "), "Basic " + TNetEncoder::EncodeText<TNetEncoderMIME>("ad min:a  b"));
    // Long credentials with commas and doubled blanks are not folded like a header value.
    const std::string longPassword =
        "long  password,with,commas  and  doubled  blanks  that  runs  past  the  fold  width  x";
    EXPECT_EQ(BasicFor("admin", longPassword),
              "Basic " + TNetEncoder::EncodeText<TNetEncoderMIME>("admin:" + longPassword));
    // "%41" travels as three characters, undecoded.
    EXPECT_EQ(BasicFor("%41", "x"), "Basic JTQxOng=");
}

TEST(TNetAuthentication, CredentialsLiveInAuthValues) {
    TNetBasicAuthentication auth;
    auth.StoreUserName("admin");
    auth.StorePassword("secret");
    EXPECT_EQ(auth.AuthValues().ValueOf("USERNAME"), "admin");
    EXPECT_EQ(auth.Username(), "admin");
    EXPECT_EQ(auth.Password(), "secret");
    auth.StorePassword("");
    EXPECT_EQ(auth.AuthValues().FindName("Password"), -1);
    EXPECT_EQ(auth.StepCount(), 1);
    EXPECT_FALSE(auth.KeepAlive());
}

TEST(TNetBasicAuthentication, DecideNextReadsRealmAndCountsAttempts) {
    TNetBasicAuthentication auth;
    TStringList challenges;
    challenges.Add("Digest realm=\"other\"");
    challenges.Add("Basic realm=\"Sensor Unit\", charset=\"UTF-8\"");
    auth.SetChallenges(challenges);
    EXPECT_EQ(auth.FindChallenge("Basic"), "Basic realm=\"Sensor Unit\", charset=\"UTF-8\"");

    EXPECT_EQ(auth.NextAction(), TNetAuthWhatsNext::NeedCredentials);
    EXPECT_EQ(auth.ChallengeRealm, "Sensor Unit");
    EXPECT_EQ(auth.AuthValues().ValueOf("charset"), "\"UTF-8\"");
    EXPECT_EQ(auth.AttemptCount, 1);

    auth.StoreUserName("admin");
    EXPECT_EQ(auth.NextAction(), TNetAuthWhatsNext::RetryRequest);
    EXPECT_EQ(auth.AttemptCount, 2);
    EXPECT_EQ(auth.CurrentStep, 0);
    auth.ResetSteps();
    EXPECT_EQ(auth.AttemptCount, 0);
}

TEST(TNetBasicAuthentication, ChallengeEdgeCases) {
    struct Case {
        const char* challenge;
        const char* realm;
    };
    // The scheme word is matched case-sensitively here; an unquoted realm loses its ends too.
    const Case cases[] = {{"Basic realm=\"x\"", "x"}, {"basic realm=\"x\"", ""}, {"Basic realm=abc", "b"},
                          {"Basic realm=\"\"", ""},   {"Basic", ""},             {"Basic realm=q", ""},
                          {"Basic , , ,", ""}};
    for (const Case& c : cases) {
        TNetBasicAuthentication auth;
        TStringList lines;
        lines.Add(c.challenge);
        auth.SetChallenges(lines);
        auth.NextAction();
        EXPECT_EQ(auth.ChallengeRealm, c.realm) << c.challenge;
    }
    TNetBasicAuthentication none;
    EXPECT_EQ(none.Challenges(), nullptr);
    EXPECT_EQ(none.FindChallenge("Basic"), "");
    EXPECT_EQ(none.NextAction(), TNetAuthWhatsNext::NeedCredentials);
}

TEST(TNetBasicAuthentication, HugeChallengeIsReadInLinearTime) {
    std::string challenge = "Basic realm=\"r\"";
    while (challenge.size() < (1u << 18)) challenge += ", k=v";
    TNetBasicAuthentication auth;
    TStringList lines;
    lines.Add(challenge);
    auth.SetChallenges(lines);
    const auto started = std::chrono::steady_clock::now();
    auth.NextAction();
    EXPECT_EQ(auth.ChallengeRealm, "r");
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20));
}

TEST(AuthSchemeRegistry, BasicIsRegisteredAndNamesIgnoreCase) {
    const TNetAuthenticationClass basic = LookupAuthScheme("BASIC");
    ASSERT_TRUE(basic);
    EXPECT_EQ(basic.ClassName, "TNetBasicAuthentication");
    auto created = basic.Create();
    EXPECT_EQ(created->StepCount(), 1);
    EXPECT_FALSE(LookupAuthScheme("Digest"));

    try {
        RegisterAuthScheme("basic", TNetAuthenticationClass::Of<TNetBasicAuthentication>());
        FAIL() << "no exception";
    } catch (const ENetAlreadyRegisteredAuthenticationMethod& e) {
        EXPECT_EQ(e.Message(), "This authentication method is already registered with class name TNetBasicAuthentication.");
    }
    EXPECT_EQ(LookupAuthScheme("Basic").ClassName, "TNetBasicAuthentication");

    RegisterAuthScheme("X-Test", TNetAuthenticationClass::Of<TNetBasicAuthentication>());
    EXPECT_TRUE(LookupAuthScheme("x-test"));
    EXPECT_THROW(RegisterAuthScheme("X-TEST", TNetAuthenticationClass::Of<TNetBasicAuthentication>()),
                 ENetAlreadyRegisteredAuthenticationMethod);
    UnregisterAuthScheme("x-TEST");
    EXPECT_FALSE(LookupAuthScheme("X-Test"));
}

}  // namespace
}  // namespace quorvane
