#include "tcp/net_stack_windows.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "platform/dynamic_library.h"
#include "rtl/format.h"
#include "rtl/scope_exit.h"
#include "tcp/net_exception.h"
#include "tcp/net_win_sock2.h"

namespace quorvane {

namespace {

namespace sockapi = platform::sockapi;

std::atomic<bool> gLibraryStarted{false};

// At program end the library is cleaned up (when it was started) and unloaded.
struct LibraryFinalizer {
    LibraryFinalizer() = default;
    LibraryFinalizer(const LibraryFinalizer&) = delete;
    LibraryFinalizer& operator=(const LibraryFinalizer&) = delete;
    ~LibraryFinalizer() {
        if (gLibraryStarted.exchange(false)) {
            try {
                ws2::WSACleanup();
            } catch (...) {
                // Nothing to report to at program end.
            }
        }
        WinSock2Unload();
    }
};
LibraryFinalizer gFinalizer;

bool PortFits(int32_t port) { return port >= 0 && port <= 0xFFFF; }

sockapi::TSockAddrIn AddressRecord(TNetStack& stack, int32_t family, const std::string& ip, int32_t port) {
    sockapi::TSockAddrIn record{};
    record.sin_family = static_cast<unsigned short>(family);
    record.sin_port = stack.HostToNet16(static_cast<uint16_t>(port));
    record.sin_addr.s_addr = ip.empty() ? 0 : TNetStack::TextToAddress(ip);
    return record;
}

void FromAddressRecord(TNetStack& stack, const sockapi::TSockAddrIn& record, int32_t& family, std::string& ip,
                       int32_t& port) {
    TNetAddressBytes bytes;
    std::memcpy(bytes.data(), &record.sin_addr.s_addr, 4);
    family = record.sin_family;
    ip = TNetStack::AddressToText(bytes);
    port = stack.NetToHost16(record.sin_port);
}

const sockapi::TSockAddr* AsSockAddr(const sockapi::TSockAddrIn& record) {
    return reinterpret_cast<const sockapi::TSockAddr*>(&record);
}

sockapi::TSockAddr* AsSockAddr(sockapi::TSockAddrIn& record) { return reinterpret_cast<sockapi::TSockAddr*>(&record); }

void FillSet(const std::vector<TNetSocket>* list, sockapi::TFdSet& set) {
    set.fd_count = 0;
    if (list == nullptr) return;
    if (list->size() > sockapi::kFdSetSize) throw ENetStackSetSizeExceeded("Set Size Exceeded.");
    for (TNetSocket descriptor : *list) set.fd_array[set.fd_count++] = descriptor;
}

void TakeSet(std::vector<TNetSocket>* list, const sockapi::TFdSet& set) {
    if (list == nullptr) return;
    list->assign(set.fd_array, set.fd_array + std::min(set.fd_count, sockapi::kFdSetSize));
}

}  // namespace

TNetStackWindows::TNetStackWindows() {
    if (!gLibraryStarted.load()) {
        sockapi::TWSAData data{};
        if (WinSock2Startup(sockapi::kRequestedVersion, &data) != 0)
            throw ENetStackInitializationFailed("Winsock Initialization Error.");
        gLibraryStarted.store(true);
    }
}

TNetStackWindows::~TNetStackWindows() = default;

std::unique_ptr<TNetStack> TNetStackWindows::Create() { return std::make_unique<TNetStackWindows>(); }

bool TNetStackWindows::LibraryStarted() noexcept { return gLibraryStarted.load(); }

void TNetStackWindows::FillLocalAddresses() {
    auto& list = LocalAddressList();
    list.clear();
    const std::string name = LocalHostName();
    const sockapi::THostEnt* host = ws2::gethostbyname(name.c_str());
    if (host == nullptr) RaiseSocketFailure(LastSocketError());
    for (char** address = host->h_addr_list; address != nullptr && *address != nullptr; ++address) {
        TNetAddressBytes bytes;
        std::memcpy(bytes.data(), *address, 4);
        list.push_back(AddressToText(bytes));
    }
}

TNetSocket TNetStackWindows::AcceptConnection(TNetSocket descriptor, std::string& remoteIP, int32_t& remotePort) {
    sockapi::TSockAddrIn record{};
    int32_t length = sizeof record;
    const TNetSocket accepted = ws2::accept(descriptor, AsSockAddr(record), &length);
    if (accepted != InvalidNetSocket) {
        int32_t family = 0;
        FromAddressRecord(*this, record, family, remoteIP, remotePort);
    }
    return accepted;
}

int32_t TNetStackWindows::BindSocket(TNetSocket descriptor, int32_t family, const std::string& ip, int32_t port) {
    RequirePortFits(port);
    const sockapi::TSockAddrIn record = AddressRecord(*this, family, ip, port);
    return ws2::bind(descriptor, AsSockAddr(record), sizeof record);
}

int32_t TNetStackWindows::CloseDescriptor(TNetSocket descriptor) { return ws2::closesocket(descriptor); }

int32_t TNetStackWindows::ConnectSocket(TNetSocket descriptor, int32_t family, const std::string& ip, int32_t port) {
    RequirePortFits(port);
    const sockapi::TSockAddrIn record = AddressRecord(*this, family, ip, port);
    return ws2::connect(descriptor, AsSockAddr(record), sizeof record);
}

int32_t TNetStackWindows::ListenSocket(TNetSocket descriptor, int32_t backlog) {
    return ws2::listen(descriptor, backlog);
}

int32_t TNetStackWindows::ReceiveBytes(TNetSocket descriptor, void* buffer, int32_t flags, int32_t length) {
    return ws2::recv(descriptor, static_cast<char*>(buffer), length, flags);
}

int32_t TNetStackWindows::ReceiveFrom(TNetSocket descriptor, void* buffer, int32_t length, int32_t flags,
                                      std::string& ip, int32_t& port) {
    sockapi::TSockAddrIn record{};
    int32_t recordLength = sizeof record;
    const int32_t result =
        ws2::recvfrom(descriptor, static_cast<char*>(buffer), length, flags, AsSockAddr(record), &recordLength);
    if (result != NetSocketError) {
        int32_t family = 0;
        FromAddressRecord(*this, record, family, ip, port);
    }
    return result;
}

int32_t TNetStackWindows::SelectSockets(std::vector<TNetSocket>* readList, std::vector<TNetSocket>* writeList,
                                        std::vector<TNetSocket>* errorList, int32_t limitMs) {
    sockapi::TFdSet readSet, writeSet, errorSet;
    FillSet(readList, readSet);
    FillSet(writeList, writeSet);
    FillSet(errorList, errorSet);
    sockapi::TTimeVal limit{limitMs / 1000, (limitMs % 1000) * 1000};
    const int32_t result = ws2::select(0, readList != nullptr ? &readSet : nullptr,
                                       writeList != nullptr ? &writeSet : nullptr,
                                       errorList != nullptr ? &errorSet : nullptr,
                                       limitMs == NetSelectNoLimit ? nullptr : &limit);
    if (result == NetSocketError) return result;
    TakeSet(readList, readSet);
    TakeSet(writeList, writeSet);
    TakeSet(errorList, errorSet);
    return result;
}

int32_t TNetStackWindows::SendBytes(TNetSocket descriptor, const void* buffer, int32_t flags, int32_t length) {
    return ws2::send(descriptor, static_cast<const char*>(buffer), length, flags);
}

int32_t TNetStackWindows::SendToAddress(TNetSocket descriptor, const void* buffer, int32_t flags, int32_t length,
                                        const std::string& ip, int32_t port) {
    RequirePortFits(port);
    const sockapi::TSockAddrIn record = AddressRecord(*this, NetAddressFamilyIPv4, ip, port);
    return ws2::sendto(descriptor, static_cast<const char*>(buffer), length, flags, AsSockAddr(record), sizeof record);
}

int32_t TNetStackWindows::SetSocketOption(TNetSocket descriptor, int32_t level, int32_t option, const void* value,
                                          int32_t valueLength) {
    return ws2::setsockopt(descriptor, level, option, static_cast<const char*>(value), valueLength);
}

int32_t TNetStackWindows::GetSocketOption(TNetSocket descriptor, int32_t level, int32_t option, void* buffer,
                                          int32_t& length) {
    return ws2::getsockopt(descriptor, level, option, static_cast<char*>(buffer), &length);
}

TNetSocket TNetStackWindows::NewSocket(int32_t family, int32_t type, int32_t protocol) {
    return ws2::socket(family, type, protocol);
}

int32_t TNetStackWindows::ShutdownSocket(TNetSocket descriptor, int32_t how) { return ws2::shutdown(descriptor, how); }

void TNetStackWindows::PeerAddress(TNetSocket descriptor, int32_t& family, std::string& ip, int32_t& port) {
    sockapi::TSockAddrIn record{};
    int32_t length = sizeof record;
    CheckSocketResult(ws2::getpeername(descriptor, AsSockAddr(record), &length));
    FromAddressRecord(*this, record, family, ip, port);
}

void TNetStackWindows::LocalAddressOf(TNetSocket descriptor, int32_t& family, std::string& ip, int32_t& port) {
    sockapi::TSockAddrIn record{};
    int32_t length = sizeof record;
    CheckSocketResult(ws2::getsockname(descriptor, AsSockAddr(record), &length));
    FromAddressRecord(*this, record, family, ip, port);
}

std::string TNetStackWindows::HostToAddress(const std::string& hostName) {
    const sockapi::THostEnt* host = ws2::gethostbyname(hostName.c_str());
    if (host == nullptr || host->h_addr_list == nullptr || host->h_addr_list[0] == nullptr) {
        RaiseRecorded(LastSocketError());
    }
    TNetAddressBytes bytes;
    std::memcpy(bytes.data(), host->h_addr_list[0], 4);
    return AddressToText(bytes);
}

TNetDetachedLookUp TNetStackWindows::DetachedHostLookUp() {
    return [libraryName = WinSock2LibraryName()](const std::string& hostName) {
        TNetHostAnswer answer;
        answer.ErrorCode = sockapi::kWsaNotInitialised;
        // A reference of its own keeps the library's code mapped while the look-up waits in it,
        // also when the program ends meanwhile and unloads its own.
        const platform::TLibraryHandle library = platform::LoadDynamicLibrary(libraryName);
        if (library == nullptr) return answer;
        const TScopeExit release([library] { platform::FreeDynamicLibrary(library); });
        using LookUp = sockapi::THostEnt* (*)(const char*);
        using LastError = int (*)();
        const auto lookUp = reinterpret_cast<LookUp>(platform::FindLibraryEntry(library, "gethostbyname"));
        const auto lastError = reinterpret_cast<LastError>(platform::FindLibraryEntry(library, "WSAGetLastError"));
        if (lookUp == nullptr || lastError == nullptr) return answer;
        const sockapi::THostEnt* host = lookUp(hostName.c_str());
        if (host == nullptr || host->h_addr_list == nullptr || host->h_addr_list[0] == nullptr) {
            answer.ErrorCode = lastError();
            return answer;
        }
        TNetAddressBytes bytes;
        std::memcpy(bytes.data(), host->h_addr_list[0], 4);
        answer.Address = bytes;
        return answer;
    };
}

std::string TNetStackWindows::LocalHostName() {
    char buffer[250] = {};
    ws2::gethostname(buffer, sizeof buffer);
    buffer[sizeof buffer - 1] = '\0';
    return std::string(buffer);
}

std::string TNetStackWindows::AddressToHostName(const std::string& ip) {
    const uint32_t address = ws2::inet_addr(ip.c_str());
    const sockapi::THostEnt* host = ws2::gethostbyaddr(reinterpret_cast<const char*>(&address), 4, sockapi::kAfInet);
    if (host == nullptr) {
        RaiseRecorded(LastSocketError());
    }
    return host->h_name != nullptr ? std::string(host->h_name) : std::string();
}

int32_t TNetStackWindows::ServiceToPort(const std::string& serviceName) {
    if (const sockapi::TServEnt* service = ws2::getservbyname(serviceName.c_str(), nullptr))
        return NetToHost16(static_cast<uint16_t>(service->s_port));
    // No database entry: the name must be the port number itself.
    bool isNumber = !serviceName.empty() && serviceName.size() <= 10;
    int64_t value = 0;
    size_t start = (isNumber && (serviceName[0] == '-' || serviceName[0] == '+')) ? 1 : 0;
    if (start == serviceName.size()) isNumber = false;
    for (size_t i = start; isNumber && i < serviceName.size(); ++i) {
        const char c = serviceName[i];
        if (c < '0' || c > '9') isNumber = false;
        else value = value * 10 + (c - '0');
    }
    if (!isNumber || value > INT32_MAX)
        throw ENetInvalidServiceName(Format("%s is not a valid service.", serviceName.c_str()));
    return static_cast<int32_t>(serviceName[0] == '-' ? -value : value);
}

std::vector<std::string> TNetStackWindows::PortToServices(int32_t port) {
    std::vector<std::string> names;
    if (!PortFits(port)) return names;
    const sockapi::TServEnt* service = ws2::getservbyport(HostToNet16(static_cast<uint16_t>(port)), nullptr);
    if (service == nullptr) return names;
    if (service->s_name != nullptr) names.emplace_back(service->s_name);
    for (char** alias = service->s_aliases; alias != nullptr && *alias != nullptr; ++alias) names.emplace_back(*alias);
    return names;
}

uint16_t TNetStackWindows::HostToNet16(uint16_t value) { return ws2::htons(value); }
uint16_t TNetStackWindows::NetToHost16(uint16_t value) { return ws2::ntohs(value); }
uint32_t TNetStackWindows::HostToNet32(uint32_t value) { return ws2::htonl(value); }
uint32_t TNetStackWindows::NetToHost32(uint32_t value) { return ws2::ntohl(value); }

std::string TNetStackWindows::ErrorText(int32_t code) {
    if (code == NetErrorHostNotFound) return Format("Socket Error # %d\r\n%s", code, "Host not found.");
    return TNetStack::ErrorText(code);
}

int32_t TNetStackWindows::LastSocketError() { return ws2::WSAGetLastError(); }

void TNetStackWindows::RaiseRecorded(int32_t code) {
    SetLastErrorCode(code);
    RaiseSocketFailure(code);
}

void TNetStackWindows::RequirePortFits(int32_t port) {
    if (!PortFits(port)) RaiseRecorded(NetErrorAddressNotAvailable);
}

}  // namespace quorvane
