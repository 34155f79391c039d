#include "http/net_authentication.h"

#include <cstddef>
#include <mutex>
#include <utility>

#include "http/net_coder_mime.h"
#include "http/net_text_split.h"
#include "http/net_uri.h"
#include "platform/locale_text.h"
#include "rtl/format.h"

namespace quorvane {

// --- TNetAuthentication ------------------------------------------------------------------------

TNetAuthentication::TNetAuthentication() : authValues_(std::make_unique<TNetHeaderList>()) {}

TNetAuthentication::~TNetAuthentication() = default;

// AuthValues keeps a copy for whoever lists the values; that copy is folded like any header.
void TNetAuthentication::StorePassword(const std::string& password) {
    password_ = password;
    authValues_->PutValue("Password", password);
}

void TNetAuthentication::StoreUserName(const std::string& userName) {
    userName_ = userName;
    authValues_->PutValue("Username", userName);
}

void TNetAuthentication::ResetSteps() { AttemptCount = 0; }

TNetAuthWhatsNext TNetAuthentication::NextAction() { return DecideNext(); }

void TNetAuthentication::SetChallenges(const TStrings& lines) {
    if (!challenges_) challenges_ = std::make_unique<TNetHeaderList>();
    challenges_->Assign(lines);
}

std::string TNetAuthentication::FindChallenge(const std::string& scheme) const {
    if (!challenges_) return std::string();
    for (int32_t i = 0; i < challenges_->Count(); ++i) {
        const std::string line = challenges_->Get(i);
        if (SubPos(scheme, line) == 1) return line;
    }
    return std::string();
}

// --- TNetBasicAuthentication -------------------------------------------------------------------

void TNetBasicAuthentication::ResetSteps() {
    TNetAuthentication::ResetSteps();
    CurrentStep = 0;
}

std::string TNetBasicAuthentication::AuthorizationValue() {
    return "Basic " + TNetEncoder::EncodeText<TNetEncoderMIME>(Username() + ":" + Password());
}

TNetAuthWhatsNext TNetBasicAuthentication::DecideNext() {
    std::string parameters = FindChallenge("Basic");
    TakeToken(parameters, " ");
    // Each decision appends the parameters again; reads find the first of equal names.
    for (std::string item : SplitLikeTakeToken(parameters, ", ")) {
        const size_t equals = item.find('=');
        if (equals != std::string::npos) item.replace(equals, 1, AuthValues().Separator);
        AuthValues().Add(item);
    }
    const std::string realm = AuthValues().ValueOf("realm");
    ChallengeRealm = realm.size() >= 2 ? realm.substr(1, realm.size() - 2) : std::string();

    ++AttemptCount;
    return Username().empty() ? TNetAuthWhatsNext::NeedCredentials : TNetAuthWhatsNext::RetryRequest;
}

// --- Registry ----------------------------------------------------------------------------------

namespace {

struct SchemeRegistry {
    std::mutex mutex;
    std::vector<std::pair<std::string, TNetAuthenticationClass>> schemes;

    // Index of `name` ignoring case, or schemes.size().
    size_t Find(const std::string& name) const {
        for (size_t i = 0; i < schemes.size(); ++i)
            if (platform::AnsiSameText(schemes[i].first, name)) return i;
        return schemes.size();
    }
};

// Built on first use, with "Basic" in it, so that no start-up order between translation units
// can make a lookup see an empty table.
SchemeRegistry& Registry() {
    static SchemeRegistry registry;
    static std::once_flag seeded;
    std::call_once(seeded, [] {
        registry.schemes.emplace_back("Basic", TNetAuthenticationClass::Of<TNetBasicAuthentication>());
    });
    return registry;
}

}  // namespace

void RegisterAuthScheme(const std::string& name, const TNetAuthenticationClass& schemeClass) {
    SchemeRegistry& registry = Registry();
    std::lock_guard<std::mutex> lock(registry.mutex);
    const size_t index = registry.Find(name);
    if (index < registry.schemes.size())
        throw ENetAlreadyRegisteredAuthenticationMethod(
            Format("This authentication method is already registered with class name %s.",
                   registry.schemes[index].second.ClassName.c_str()));
    registry.schemes.emplace_back(name, schemeClass);
}

TNetAuthenticationClass LookupAuthScheme(const std::string& name) {
    SchemeRegistry& registry = Registry();
    std::lock_guard<std::mutex> lock(registry.mutex);
    const size_t index = registry.Find(name);
    return index < registry.schemes.size() ? registry.schemes[index].second : TNetAuthenticationClass{};
}

void UnregisterAuthScheme(const std::string& name) {
    SchemeRegistry& registry = Registry();
    std::lock_guard<std::mutex> lock(registry.mutex);
    const size_t index = registry.Find(name);
    if (index < registry.schemes.size()) registry.schemes.erase(registry.schemes.begin() + static_cast<std::ptrdiff_t>(index));
}

}  // namespace quorvane
