#include "tcp/net_win_sock2.h"

#include <atomic>
#include <mutex>

#include "platform/dynamic_library.h"
#include "rtl/format.h"
#include "tcp/net_exception.h"

namespace quorvane {

namespace {

namespace sockapi = platform::sockapi;

struct RowNames {
    const char* call;
    const char* exported;
};

constexpr RowNames kRows[WinSock2RowCount] = {
    {"WSACleanup", "WSACleanup"},
    {"accept", "accept"},
    {"bind", "bind"},
    {"closesocket", "closesocket"},
    {"connect", "connect"},
    {"ioctlsocket", "ioctlsocket"},
    {"getpeername", "getpeername"},
    {"getsockname", "getsockname"},
    {"getsockopt", "getsockopt"},
    {"htonl", "htonl"},
    {"htons", "htons"},
    {"inet_addr", "inet_addr"},
    {"inet_ntoa", "inet_ntoa"},
    {"listen", "listen"},
    {"ntohl", "ntohl"},
    {"ntohs", "ntohs"},
    {"recv", "recv"},
    {"recvfrom", "recvfrom"},
    {"select", "select"},
    {"send", "send"},
    {"sendto", "sendto"},
    {"setsockopt", "setsockopt"},
    {"shutdown", "shutdown"},
    {"socket", "socket"},
    {"gethostbyaddr", "gethostbyaddr"},
    {"gethostbyname", "gethostbyname"},
    {"gethostname", "gethostname"},
    {"getservbyport", "getservbyport"},
    {"getservbyname", "getservbyname"},
    {"getprotobynumber", "getprotobynumber"},
    {"getprotobyname", "getprotobyname"},
    {"WSASetLastError", "WSASetLastError"},
    {"WSAGetLastError", "WSAGetLastError"},
    {"WSAIsBlocking", "WSAIsBlocking"},
    {"WSAUnhookBlockingHook", "WSAUnhookBlockingHook"},
    {"WSASetBlockingHook", "WSASetBlockingHook"},
    {"WSACancelBlockingCall", "WSACancelBlockingCall"},
    {"WSAAsyncGetServByName", "WSAAsyncGetServByName"},
    {"WSAAsyncGetServByPort", "WSAAsyncGetServByPort"},
    {"WSAAsyncGetProtoByName", "WSAAsyncGetProtoByName"},
    {"WSAAsyncGetProtoByNumber", "WSAAsyncGetProtoByNumber"},
    {"WSAAsyncGetHostByName", "WSAAsyncGetHostByName"},
    {"WSAAsyncGetHostByAddr", "WSAAsyncGetHostByAddr"},
    {"WSACancelAsyncRequest", "WSACancelAsyncRequest"},
    {"WSAAsyncSelect", "WSAAsyncSelect"},
    {"__WSAFDIsSet", "__WSAFDIsSet"},
    {"WSAAccept", "WSAAccept"},
    {"WSACloseEvent", "WSACloseEvent"},
    {"WSAConnect", "WSAConnect"},
    {"WSACreateEvent", "WSACreateEvent"},
    {"WSADuplicateSocketA", "WSADuplicateSocketA"},
    {"WSADuplicateSocketW", "WSADuplicateSocketW"},
    {"WSAEnumNetworkEvents", "WSAEnumNetworkEvents"},
    {"WSAEnumProtocolsA", "WSAEnumProtocolsA"},
    {"WSAEnumProtocolsW", "WSAEnumProtocolsW"},
    {"WSAEventSelect", "WSAEventSelect"},
    {"WSAGetOverlappedResult", "WSAGetOverlappedResult"},
    {"WSAGetQosByName", "WSAGetQosByName"},
    {"WSAHtonl", "WSAHtonl"},
    {"WSAHtons", "WSAHtons"},
    {"WSAIoctl", "WSAIoctl"},
    {"WSAJoinLeaf", "WSAJoinLeaf"},
    {"WSANtohl", "WSANtohl"},
    {"WSANtohs", "WSANtohs"},
    {"WSARecv", "WSARecv"},
    {"WSARecvDisconnect", "WSARecvDisconnect"},
    {"WSARecvFrom", "WSARecvFrom"},
    {"WSAResetEvent", "WSAResetEvent"},
    {"WSASend", "WSASend"},
    {"WSASendDisconnect", "WSASendDisconnect"},
    {"WSASendTo", "WSASendTo"},
    {"WSASetEvent", "WSASetEvent"},
    {"WSASocketA", "WSASocketA"},
    {"WSASocketW", "WSASocketW"},
    {"WSAWaitForMultipleEvents", "WSAWaitForMultipleEvents"},
    {"WSAAddressToStringA", "WSAAddressToStringA"},
    {"WSAAddressToStringW", "WSAAddressToStringW"},
    {"WSAStringToAddressA", "WSAStringToAddressA"},
    {"WSAStringToAddressW", "WSAStringToAddressW"},
    {"WSALookupServiceBeginA", "WSALookupServiceBeginA"},
    {"WSALookupServiceBeginW", "WSALookupServiceBeginW"},
    {"WSALookupServiceNextA", "WSALookupServiceNextA"},
    {"WSALookupServiceNextW", "WSALookupServiceNextW"},
    {"WSALookupServiceEnd", "WSALookupServiceEnd"},
    {"WSAInstallServiceClassA", "WSAInstallServiceClassA"},
    {"WSAInstallServiceClassW", "WSAInstallServiceClassW"},
    {"WSARemoveServiceClass", "WSARemoveServiceClass"},
    {"WSAGetServiceClassInfoA", "WSAGetServiceClassInfoA"},
    {"WSAGetServiceClassInfoW", "WSAGetServiceClassInfoW"},
    {"WSAEnumNameSpaceProvidersA", "WSAEnumNameSpaceProvidersA"},
    {"WSAEnumNameSpaceProvidersW", "WSAEnumNameSpaceProvidersW"},
    {"WSAGetServiceClassNameByClassIdA", "WSAGetServiceClassNameByClassIdA"},
    {"WSAGetServiceClassNameByClassIdW", "WSAGetServiceClassNameByClassIdW"},
    {"WSASetServiceA", "WSASetServiceA"},
    {"WSASetServiceW", "WSASetServiceW"},
    {"WSAProviderConfigChange", "WSAProviderConfigChange"},
    {"WSADuplicateSocket", "WSADuplicateSocketA"},
    {"WSAEnumProtocols", "WSAEnumProtocolsA"},
    {"WSASocket", "WSASocketA"},
    {"WSAAddressToString", "WSAAddressToStringA"},
    {"WSAStringToAddress", "WSAStringToAddressA"},
    {"WSALookupServiceBegin", "WSALookupServiceBeginA"},
    {"WSALookupServiceNext", "WSALookupServiceNextA"},
    {"WSAInstallServiceClass", "WSAInstallServiceClassA"},
    {"WSAGetServiceClassInfo", "WSAGetServiceClassInfoA"},
    {"WSAEnumNameSpaceProviders", "WSAEnumNameSpaceProvidersA"},
    {"WSAGetServiceClassNameByClassId", "WSAGetServiceClassNameByClassIdA"},
    {"WSASetService", "WSASetServiceA"},
    {"TransmitFile", "TransmitFile"},
    {"AcceptEx", "AcceptEx"},
    {"GetAcceptExSockaddrs", "GetAcceptExSockaddrs"},
    {"WSARecvEx", "WSARecvEx"},
};

// A row's target: empty means "run the binder on the next call".
std::atomic<void*> gTargets[WinSock2RowCount] = {};
std::atomic<platform::TLibraryHandle> gLibrary{nullptr};
std::mutex gLoadLock;

std::string& LibraryName() {
    static std::string name = sockapi::kSocketLibraryName;
    return name;
}

void ResetTargets() noexcept {
    for (auto& target : gTargets) target.store(nullptr, std::memory_order_release);
}

[[noreturn]] void RaiseStubError(int32_t code, std::string systemText, std::string headline) {
    throw ENetWS2StubError(code, std::move(systemText), std::move(headline));
}

template <typename F>
F Bound(TWinSock2Row row) {
    return reinterpret_cast<F>(WinSock2Entry(row));
}

}  // namespace

const char* WinSock2CallName(TWinSock2Row row) { return kRows[static_cast<int32_t>(row)].call; }
const char* WinSock2ExportName(TWinSock2Row row) { return kRows[static_cast<int32_t>(row)].exported; }

std::string WinSock2LibraryName() {
    std::lock_guard lock(gLoadLock);
    return LibraryName();
}

void SetWinSock2LibraryName(const std::string& fileName) {
    std::lock_guard lock(gLoadLock);
    LibraryName() = fileName;
}

int32_t WinSock2Startup(uint16_t version, sockapi::TWSAData* data) {
    using StartupProc = int (*)(unsigned short, sockapi::TWSAData*);
    StartupProc startup = nullptr;
    {
        std::lock_guard lock(gLoadLock);
        if (gLibrary.load() != nullptr) return 0;
        platform::TLoaderError error;
        platform::TLibraryHandle library = platform::LoadDynamicLibrary(LibraryName(), &error);
        if (library == nullptr)
            RaiseStubError(error.Code, error.Text,
                           Format("Error on loading Winsock2 library (%s)", LibraryName().c_str()));
        startup = reinterpret_cast<StartupProc>(platform::FindLibraryEntry(library, "WSAStartup", &error));
        if (startup == nullptr) {
            platform::FreeDynamicLibrary(library);
            RaiseStubError(error.Code, error.Text, Format("Error on call Winsock2 library function %s", "WSAStartup"));
        }
        gLibrary.store(library);
    }
    return startup(version, data);
}

bool WinSock2Loaded() noexcept { return gLibrary.load() != nullptr; }

void WinSock2Unload() noexcept {
    platform::TLibraryHandle library = gLibrary.exchange(nullptr);
    ResetTargets();
    platform::FreeDynamicLibrary(library);
}

void* WinSock2Entry(TWinSock2Row row) {
    const auto index = static_cast<int32_t>(row);
    if (index < 0 || index >= WinSock2RowCount)
        RaiseStubError(0, std::string(), Format("Error on call Winsock2 library function %s", "?"));
    if (void* target = gTargets[index].load(std::memory_order_acquire)) return target;
    const RowNames& names = kRows[index];
    const std::string title = Format("Error on call Winsock2 library function %s", names.call);
    platform::TLibraryHandle library = gLibrary.load();
    if (library == nullptr) {
        const int32_t code = sockapi::kWsaNotInitialised;
        RaiseStubError(code, platform::SystemErrorText(code), title);
    }
    platform::TLoaderError error;
    void* target = platform::FindLibraryEntry(library, names.exported, &error);
    if (target == nullptr) RaiseStubError(error.Code, error.Text, title);
    gTargets[index].store(target, std::memory_order_release);
    return target;
}

namespace ws2 {

using Row = TWinSock2Row;

int32_t WSACleanup() { return Bound<int (*)()>(Row::WSACleanup)(); }
TSocket accept(TSocket s, TSockAddr* address, int32_t* length) {
    return Bound<TSocket (*)(TSocket, TSockAddr*, int*)>(Row::accept)(s, address, length);
}
int32_t bind(TSocket s, const TSockAddr* address, int32_t length) {
    return Bound<int (*)(TSocket, const TSockAddr*, int)>(Row::bind)(s, address, length);
}
int32_t closesocket(TSocket s) { return Bound<int (*)(TSocket)>(Row::closesocket)(s); }
int32_t connect(TSocket s, const TSockAddr* address, int32_t length) {
    return Bound<int (*)(TSocket, const TSockAddr*, int)>(Row::connect)(s, address, length);
}
int32_t ioctlsocket(TSocket s, long command, uint32_t* argument) {
    return Bound<int (*)(TSocket, long, unsigned int*)>(Row::ioctlsocket)(s, command, argument);
}
int32_t getpeername(TSocket s, TSockAddr* address, int32_t* length) {
    return Bound<int (*)(TSocket, TSockAddr*, int*)>(Row::getpeername)(s, address, length);
}
int32_t getsockname(TSocket s, TSockAddr* address, int32_t* length) {
    return Bound<int (*)(TSocket, TSockAddr*, int*)>(Row::getsockname)(s, address, length);
}
int32_t getsockopt(TSocket s, int32_t level, int32_t option, char* value, int32_t* length) {
    return Bound<int (*)(TSocket, int, int, char*, int*)>(Row::getsockopt)(s, level, option, value, length);
}
uint32_t htonl(uint32_t value) { return Bound<unsigned int (*)(unsigned int)>(Row::htonl)(value); }
uint16_t htons(uint16_t value) { return Bound<unsigned short (*)(unsigned short)>(Row::htons)(value); }
uint32_t inet_addr(const char* text) { return Bound<unsigned int (*)(const char*)>(Row::inet_addr)(text); }
char* inet_ntoa(TInAddr address) { return Bound<char* (*)(TInAddr)>(Row::inet_ntoa)(address); }
int32_t listen(TSocket s, int32_t backlog) { return Bound<int (*)(TSocket, int)>(Row::listen)(s, backlog); }
uint32_t ntohl(uint32_t value) { return Bound<unsigned int (*)(unsigned int)>(Row::ntohl)(value); }
uint16_t ntohs(uint16_t value) { return Bound<unsigned short (*)(unsigned short)>(Row::ntohs)(value); }
int32_t recv(TSocket s, char* buffer, int32_t length, int32_t flags) {
    return Bound<int (*)(TSocket, char*, int, int)>(Row::recv)(s, buffer, length, flags);
}
int32_t recvfrom(TSocket s, char* buffer, int32_t length, int32_t flags, TSockAddr* from, int32_t* fromLength) {
    return Bound<int (*)(TSocket, char*, int, int, TSockAddr*, int*)>(Row::recvfrom)(s, buffer, length, flags, from,
                                                                                     fromLength);
}
int32_t select(int32_t count, TFdSet* readSet, TFdSet* writeSet, TFdSet* exceptSet, const TTimeVal* timeout) {
    return Bound<int (*)(int, TFdSet*, TFdSet*, TFdSet*, const TTimeVal*)>(Row::select)(count, readSet, writeSet,
                                                                                          exceptSet, timeout);
}
int32_t send(TSocket s, const char* buffer, int32_t length, int32_t flags) {
    return Bound<int (*)(TSocket, const char*, int, int)>(Row::send)(s, buffer, length, flags);
}
int32_t sendto(TSocket s, const char* buffer, int32_t length, int32_t flags, const TSockAddr* to, int32_t toLength) {
    return Bound<int (*)(TSocket, const char*, int, int, const TSockAddr*, int)>(Row::sendto)(s, buffer, length, flags,
                                                                                              to, toLength);
}
int32_t setsockopt(TSocket s, int32_t level, int32_t option, const char* value, int32_t length) {
    return Bound<int (*)(TSocket, int, int, const char*, int)>(Row::setsockopt)(s, level, option, value, length);
}
int32_t shutdown(TSocket s, int32_t how) { return Bound<int (*)(TSocket, int)>(Row::shutdown)(s, how); }
TSocket socket(int32_t family, int32_t type, int32_t protocol) {
    return Bound<TSocket (*)(int, int, int)>(Row::socket)(family, type, protocol);
}
THostEnt* gethostbyaddr(const char* address, int32_t length, int32_t type) {
    return Bound<THostEnt* (*)(const char*, int, int)>(Row::gethostbyaddr)(address, length, type);
}
THostEnt* gethostbyname(const char* name) { return Bound<THostEnt* (*)(const char*)>(Row::gethostbyname)(name); }
int32_t gethostname(char* name, int32_t length) { return Bound<int (*)(char*, int)>(Row::gethostname)(name, length); }
TServEnt* getservbyport(int32_t port, const char* protocol) {
    return Bound<TServEnt* (*)(int, const char*)>(Row::getservbyport)(port, protocol);
}
TServEnt* getservbyname(const char* name, const char* protocol) {
    return Bound<TServEnt* (*)(const char*, const char*)>(Row::getservbyname)(name, protocol);
}
TProtoEnt* getprotobynumber(int32_t number) { return Bound<TProtoEnt* (*)(int)>(Row::getprotobynumber)(number); }
TProtoEnt* getprotobyname(const char* name) { return Bound<TProtoEnt* (*)(const char*)>(Row::getprotobyname)(name); }
void WSASetLastError(int32_t code) { Bound<void (*)(int)>(Row::WSASetLastError)(code); }
int32_t WSAGetLastError() { return Bound<int (*)()>(Row::WSAGetLastError)(); }

}  // namespace ws2

}  // namespace quorvane
