#pragma once

#include <memory>

#include "tcp/net_stack.h"

namespace quorvane {

// The stack over the project's socket library (loaded at run time, entries bound by name on
// first use). Creating the first one starts the library, once per process; the library is
// cleaned up and unloaded when the program ends.
class TNetStackWindows : public TNetStack {
public:
    // Raises ENetWS2StubError when the library cannot be loaded and
    // ENetStackInitializationFailed ("Winsock Initialization Error.") when its start-up fails.
    TNetStackWindows();
    ~TNetStackWindows() override;

    static std::unique_ptr<TNetStack> Create();

    void FillLocalAddresses() override;
    TNetSocket AcceptConnection(TNetSocket descriptor, std::string& remoteIP, int32_t& remotePort) override;
    int32_t BindSocket(TNetSocket descriptor, int32_t family, const std::string& ip, int32_t port) override;
    int32_t CloseDescriptor(TNetSocket descriptor) override;
    int32_t ConnectSocket(TNetSocket descriptor, int32_t family, const std::string& ip, int32_t port) override;
    int32_t ListenSocket(TNetSocket descriptor, int32_t backlog) override;
    int32_t ReceiveBytes(TNetSocket descriptor, void* buffer, int32_t flags, int32_t length) override;
    int32_t ReceiveFrom(TNetSocket descriptor, void* buffer, int32_t length, int32_t flags, std::string& ip,
                        int32_t& port) override;
    int32_t SelectSockets(std::vector<TNetSocket>* readList, std::vector<TNetSocket>* writeList,
                          std::vector<TNetSocket>* errorList, int32_t limitMs) override;
    int32_t SendBytes(TNetSocket descriptor, const void* buffer, int32_t flags, int32_t length) override;
    int32_t SendToAddress(TNetSocket descriptor, const void* buffer, int32_t flags, int32_t length,
                          const std::string& ip, int32_t port) override;
    int32_t SetSocketOption(TNetSocket descriptor, int32_t level, int32_t option, const void* value,
                            int32_t valueLength) override;
    int32_t GetSocketOption(TNetSocket descriptor, int32_t level, int32_t option, void* buffer,
                            int32_t& length) override;
    TNetSocket NewSocket(int32_t family, int32_t type, int32_t protocol) override;
    int32_t ShutdownSocket(TNetSocket descriptor, int32_t how) override;
    void PeerAddress(TNetSocket descriptor, int32_t& family, std::string& ip, int32_t& port) override;
    void LocalAddressOf(TNetSocket descriptor, int32_t& family, std::string& ip, int32_t& port) override;

    std::string HostToAddress(const std::string& hostName) override;
    TNetDetachedLookUp DetachedHostLookUp() override;
    std::string LocalHostName() override;
    std::string AddressToHostName(const std::string& ip) override;
    int32_t ServiceToPort(const std::string& serviceName) override;
    std::vector<std::string> PortToServices(int32_t port) override;
    uint16_t HostToNet16(uint16_t value) override;
    uint16_t NetToHost16(uint16_t value) override;
    uint32_t HostToNet32(uint32_t value) override;
    uint32_t NetToHost32(uint32_t value) override;

    // Adds "Host not found." for 11001 to the base table.
    std::string ErrorText(int32_t code) override;
    int32_t LastSocketError() override;

    // Whether the library's start-up has succeeded in this process.
    static bool LibraryStarted() noexcept;

private:
    // Records the code as LastErrorCode before raising it, as CheckSocketResult does.
    [[noreturn]] void RaiseRecorded(int32_t code);
    // A port that does not fit 16 bits is never cut down to another one.
    void RequirePortFits(int32_t port);
};

}  // namespace quorvane
