// Name and address look-ups, address text and byte order.

#include "platform/socket/socket_shared.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <strings.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace quorvane::platform::sockcore {

namespace {

using namespace sockapi;

// Per-thread answers of the look-up calls; each call overwrites the previous answer.
struct HostAnswer {
    std::string name;
    std::vector<std::string> aliases;
    std::vector<char*> aliasPointers;
    std::vector<std::array<char, 4>> addresses;
    std::vector<char*> addressPointers;
    THostEnt entry{};

    THostEnt* Publish() {
        aliasPointers.clear();
        for (auto& alias : aliases) aliasPointers.push_back(alias.data());
        aliasPointers.push_back(nullptr);
        addressPointers.clear();
        for (auto& address : addresses) addressPointers.push_back(address.data());
        addressPointers.push_back(nullptr);
        entry.h_name = name.data();
        entry.h_aliases = aliasPointers.data();
        entry.h_addrtype = kAfInet;
        entry.h_length = 4;
        entry.h_addr_list = addressPointers.data();
        return &entry;
    }
};

struct NamedAnswer {
    std::string name;
    std::string protocol;
    std::vector<std::string> aliases;
    std::vector<char*> aliasPointers;

    char** PublishAliases() {
        aliasPointers.clear();
        for (auto& alias : aliases) aliasPointers.push_back(alias.data());
        aliasPointers.push_back(nullptr);
        return aliasPointers.data();
    }
};

thread_local HostAnswer tHostAnswer;
thread_local NamedAnswer tServiceAnswer;
thread_local TServEnt tServEnt;
thread_local NamedAnswer tProtocolAnswer;
thread_local TProtoEnt tProtoEnt;
thread_local char tAddressText[16];

void CopyAliases(char** aliases, std::vector<std::string>& into) {
    into.clear();
    for (char** alias = aliases; alias != nullptr && *alias != nullptr; ++alias) into.emplace_back(*alias);
}

bool EndsWithLabel(const std::string& name, const char* label) {
    const size_t n = std::strlen(label);
    if (name.size() < n) return false;
    if (strcasecmp(name.c_str() + name.size() - n, label) != 0) return false;
    return name.size() == n || name[name.size() - n - 1] == '.';
}

std::string WithoutFinalDot(const char* name) {
    std::string text(name);
    if (!text.empty() && text.back() == '.') text.pop_back();
    return text;
}

bool IsLocalhostName(const char* name) { return EndsWithLabel(WithoutFinalDot(name), "localhost"); }


}  // namespace

bool IsUnresolvableHostName(const char* name) {
    const std::string text = WithoutFinalDot(name);
    if (text.empty() || text.size() > 253) return true;
    if (EndsWithLabel(text, "invalid")) return true;
    size_t labelLength = 0;
    for (char c : text) {
        if (c == '.') {
            if (labelLength == 0) return true;
            labelLength = 0;
            continue;
        }
        const bool allowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                             c == '-' || c == '_';
        if (!allowed || ++labelLength > 63) return true;
    }
    if (labelLength == 0) return true;
    // No top-level domain is all digits: such a name is a malformed address ("256.1.1.1").
    const size_t lastDot = text.rfind('.');
    if (lastDot == std::string::npos) return false;
    const std::string last = text.substr(lastDot + 1);
    return std::all_of(last.begin(), last.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// ---------------------------------------------------------------------------------------------
// Names

THostEnt* GetHostByName(const char* name) {
    if (!Started()) return nullptr;
    if (name == nullptr) return Fail(kWsaEFault), nullptr;
    HostAnswer& answer = tHostAnswer;
    std::string hostName = name;
    if (hostName.empty()) {
        char local[256] = {};
        if (Libc().gethostname(local, sizeof local - 1) != 0) return Fail(WsaCodeFromErrno(errno)), nullptr;
        hostName = local;
    }
    // Names that no resolver may answer never reach one (and never leave the machine).
    if (IsLocalhostName(hostName.c_str())) {
        answer.name = hostName;
        answer.aliases.clear();
        answer.addresses.assign(1, std::array<char, 4>{127, 0, 0, 1});
        return answer.Publish();
    }
    in_addr numeric{};
    const bool isNumeric = ::inet_aton(hostName.c_str(), &numeric) != 0;
    if (!isNumeric && IsUnresolvableHostName(hostName.c_str())) return Fail(kWsaHostNotFound), nullptr;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_CANONNAME;
    addrinfo* found = nullptr;
    errno = 0;
    const int result = ::getaddrinfo(hostName.c_str(), nullptr, &hints, &found);
    if (result != 0) return Fail(WsaCodeFromAddrInfo(result, errno)), nullptr;
    std::unique_ptr<addrinfo, void (*)(addrinfo*)> guard(found, ::freeaddrinfo);
    answer.name = (found->ai_canonname != nullptr) ? found->ai_canonname : hostName;
    answer.aliases.clear();
    answer.addresses.clear();
    for (addrinfo* item = found; item != nullptr; item = item->ai_next) {
        if (item->ai_family != AF_INET || item->ai_addrlen < sizeof(sockaddr_in)) continue;
        std::array<char, 4> bytes;
        std::memcpy(bytes.data(), &reinterpret_cast<const sockaddr_in*>(item->ai_addr)->sin_addr, 4);
        if (std::find(answer.addresses.begin(), answer.addresses.end(), bytes) == answer.addresses.end())
            answer.addresses.push_back(bytes);
    }
    if (answer.addresses.empty()) return Fail(kWsaNoData), nullptr;
    return answer.Publish();
}

THostEnt* GetHostByAddr(const char* address, int length, int type) {
    if (!Started()) return nullptr;
    if (address == nullptr || length < 4) return Fail(kWsaEFault), nullptr;
    if (type != kAfInet || length != 4) return Fail(kWsaEAfNoSupport), nullptr;
    sockaddr_in in{};
    in.sin_family = AF_INET;
    std::memcpy(&in.sin_addr, address, 4);
    char host[NI_MAXHOST] = {};
    errno = 0;
    const int result = ::getnameinfo(reinterpret_cast<const sockaddr*>(&in), sizeof in, host, sizeof host, nullptr, 0,
                                     NI_NAMEREQD);
    if (result != 0) return Fail(WsaCodeFromAddrInfo(result, errno)), nullptr;
    HostAnswer& answer = tHostAnswer;
    answer.name = host;
    answer.aliases.clear();
    std::array<char, 4> bytes;
    std::memcpy(bytes.data(), address, 4);
    answer.addresses.assign(1, bytes);
    return answer.Publish();
}

int GetHostName(char* name, int length) {
    if (name == nullptr || length <= 0) return Fail(kWsaEFault);
    char local[256] = {};
    if (Libc().gethostname(local, sizeof local - 1) != 0) return Fail(WsaCodeFromErrno(errno));
    const size_t size = std::strlen(local);
    if (size + 1 > static_cast<size_t>(length)) return Fail(kWsaEFault);
    std::memcpy(name, local, size + 1);
    return 0;
}

namespace {

TServEnt* PublishService(const servent& found) {
    NamedAnswer& answer = tServiceAnswer;
    answer.name = found.s_name != nullptr ? found.s_name : "";
    answer.protocol = found.s_proto != nullptr ? found.s_proto : "";
    CopyAliases(found.s_aliases, answer.aliases);
    tServEnt.s_name = answer.name.data();
    tServEnt.s_aliases = answer.PublishAliases();
    tServEnt.s_port = static_cast<short>(found.s_port);
    tServEnt.s_proto = answer.protocol.data();
    return &tServEnt;
}

TProtoEnt* PublishProtocol(const protoent& found) {
    NamedAnswer& answer = tProtocolAnswer;
    answer.name = found.p_name != nullptr ? found.p_name : "";
    CopyAliases(found.p_aliases, answer.aliases);
    tProtoEnt.p_name = answer.name.data();
    tProtoEnt.p_aliases = answer.PublishAliases();
    tProtoEnt.p_proto = static_cast<short>(found.p_proto);
    return &tProtoEnt;
}

// Runs one of the C library's reentrant look-ups (getservbyname_r and its kin) with a buffer of
// its own and publishes the entry it finds while that buffer, which the entry points into,
// still lives; nothing found is WSANO_DATA.
template <typename Entry, typename Published, typename LookUp>
Published* LookUpAndPublish(Published* (*publish)(const Entry&), LookUp lookUp) {
    Entry found{};
    Entry* result = nullptr;
    std::vector<char> buffer(4096);
    if (lookUp(&found, buffer.data(), buffer.size(), &result) != 0 || result == nullptr)
        return Fail(kWsaNoData), nullptr;
    return publish(found);
}

}  // namespace

TServEnt* GetServByName(const char* name, const char* protocol) {
    if (!Started()) return nullptr;
    if (name == nullptr) return Fail(kWsaEFault), nullptr;
    return LookUpAndPublish(PublishService, [&](servent* found, char* buffer, size_t size, servent** result) {
        return ::getservbyname_r(name, protocol, found, buffer, size, result);
    });
}

TServEnt* GetServByPort(int port, const char* protocol) {
    if (!Started()) return nullptr;
    return LookUpAndPublish(PublishService, [&](servent* found, char* buffer, size_t size, servent** result) {
        return ::getservbyport_r(port, protocol, found, buffer, size, result);
    });
}

TProtoEnt* GetProtoByName(const char* name) {
    if (!Started()) return nullptr;
    if (name == nullptr) return Fail(kWsaEFault), nullptr;
    return LookUpAndPublish(PublishProtocol, [&](protoent* found, char* buffer, size_t size, protoent** result) {
        return ::getprotobyname_r(name, found, buffer, size, result);
    });
}

TProtoEnt* GetProtoByNumber(int number) {
    if (!Started()) return nullptr;
    return LookUpAndPublish(PublishProtocol, [&](protoent* found, char* buffer, size_t size, protoent** result) {
        return ::getprotobynumber_r(number, found, buffer, size, result);
    });
}

// ---------------------------------------------------------------------------------------------
// Addresses and byte order

unsigned int InetAddr(const char* text) {
    if (text == nullptr || *text == '\0') return kInAddrNone;
    in_addr address{};
    if (::inet_aton(text, &address) == 0) return kInAddrNone;
    return address.s_addr;
}

char* InetNtoa(TInAddr address) {
    unsigned char bytes[4];
    std::memcpy(bytes, &address.s_addr, 4);
    std::snprintf(tAddressText, sizeof tAddressText, "%u.%u.%u.%u", bytes[0], bytes[1], bytes[2], bytes[3]);
    return tAddressText;
}

namespace {

// Network byte order is big-endian; the host may be either. Swapping is its own inverse, so
// this turns either order into the other.
template <typename Unsigned>
Unsigned SwapForNetwork(Unsigned value) {
    static_assert(sizeof(Unsigned) == 2 || sizeof(Unsigned) == 4);
    if constexpr (std::endian::native == std::endian::big) return value;
    else if constexpr (sizeof(Unsigned) == 2) return __builtin_bswap16(value);
    else return __builtin_bswap32(value);
}

}  // namespace

unsigned short SwapShort(unsigned short value) { return SwapForNetwork(value); }

unsigned int SwapLong(unsigned int value) { return SwapForNetwork(value); }

}  // namespace quorvane::platform::sockcore
