#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "http/net_header_list.h"
#include "text/blank_text.h"
#include "tcp/net_exception.h"

namespace quorvane {

// Raised when a scheme name (compared without regard to case) is registered a second time.
class ENetAlreadyRegisteredAuthenticationMethod : public ENetException {
public:
    using ENetException::ENetException;
};

// What an authentication scheme wants next after a server's challenge.
enum class TNetAuthWhatsNext { NeedCredentials = 0, RetryRequest = 1, GiveUp = 2 };

// One authentication scheme's state for one client: the credentials and challenge parameters
// in AuthValues ("Username", "Password", "Authorization", then the challenge's parameters) and
// the server's challenge lines.
class TNetAuthentication {
public:
    TNetAuthentication();
    virtual ~TNetAuthentication();

    TNetAuthentication(const TNetAuthentication&) = delete;
    TNetAuthentication& operator=(const TNetAuthentication&) = delete;

    // Name of the concrete class, for messages ("TNetBasicAuthentication").
    virtual std::string ClassName() const = 0;

    virtual int32_t StepCount() const { return 0; }
    virtual void StorePassword(const std::string& password);
    virtual void StoreUserName(const std::string& userName);
    virtual void ResetSteps();
    virtual std::string AuthorizationValue() = 0;
    // Whether the scheme keeps state across connections; nothing here asks it.
    virtual bool KeepAlive() const = 0;

    // Calls DecideNext and returns its answer.
    TNetAuthWhatsNext NextAction();

    // Replaces the challenge lines by a copy of `lines` (creating the list on first use).
    void SetChallenges(const TStrings& lines);
    // The first challenge line that begins with `scheme` (case-sensitive); empty when none.
    std::string FindChallenge(const std::string& scheme) const;

    // The credentials as last stored without the blanks (bytes 0 to 32) at either end, and
    // otherwise unchanged: never folded on their way through AuthValues, whatever their length
    // or bytes. The settings file drops those blanks when it is read, so sending them would
    // make a password work until the next start and then fail.
    std::string Username() const { return Trim(userName_); }
    std::string Password() const { return Trim(password_); }

    int32_t AttemptCount = 0;
    int32_t CurrentStep = 0;
    TNetHeaderList& AuthValues() noexcept { return *authValues_; }
    const TNetHeaderList& AuthValues() const noexcept { return *authValues_; }
    // Null until SetChallenges was called.
    const TNetHeaderList* Challenges() const noexcept { return challenges_.get(); }

protected:
    virtual TNetAuthWhatsNext DecideNext() = 0;

private:
    std::unique_ptr<TNetHeaderList> authValues_;
    std::unique_ptr<TNetHeaderList> challenges_;
    std::string userName_;
    std::string password_;
};

// The Basic scheme: "Basic " + base64 of user name, ":" and password.
class TNetBasicAuthentication : public TNetAuthentication {
public:
    TNetBasicAuthentication() = default;

    std::string ClassName() const override { return "TNetBasicAuthentication"; }
    int32_t StepCount() const override { return 1; }
    void ResetSteps() override;
    // Never empty, also not for an empty user name and password.
    std::string AuthorizationValue() override;
    bool KeepAlive() const override { return false; }

    // The realm of the last challenge, without its first and last character (the quotes).
    std::string ChallengeRealm;

protected:
    TNetAuthWhatsNext DecideNext() override;
};

// A class reference: makes a fresh object of one scheme (the virtual constructor).
struct TNetAuthenticationClass {
    std::string ClassName;
    std::function<std::unique_ptr<TNetAuthentication>()> Create;

    explicit operator bool() const noexcept { return static_cast<bool>(Create); }

    template <typename Scheme>
    static TNetAuthenticationClass Of() {
        Scheme probe;
        return TNetAuthenticationClass{probe.ClassName(), [] { return std::make_unique<Scheme>(); }};
    }
};

// The process-wide table of schemes. "Basic" (TNetBasicAuthentication) is registered before
// the first use of the table.
// Raises ENetAlreadyRegisteredAuthenticationMethod ("This authentication method is already
// registered with class name %s.") for a name already present, ignoring case; the table is
// then unchanged.
void RegisterAuthScheme(const std::string& name, const TNetAuthenticationClass& schemeClass);
// The class registered under `name` (ignoring case); an empty reference when there is none.
TNetAuthenticationClass LookupAuthScheme(const std::string& name);
// Removes a name (tests that register schemes of their own clean up with it).
void UnregisterAuthScheme(const std::string& name);

}  // namespace quorvane
