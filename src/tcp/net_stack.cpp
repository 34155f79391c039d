#include "tcp/net_stack.h"

#include <cstring>

#include "rtl/format.h"
#include "tcp/net_exception.h"
#include "tcp/net_stack_windows.h"

namespace quorvane {

namespace {

struct ErrorEntry {
    int32_t code;
    const char* text;
};

constexpr ErrorEntry kErrorTexts[] = {
    {10004, "Interrupted system call."},
    {10009, "Bad file number."},
    {10013, "Access denied."},
    {10014, "Bad address."},
    {10022, "Invalid argument."},
    {10024, "Too many open files."},
    {10035, "Operation would block. "},
    {10036, "Operation now in progress."},
    {10037, "Operation already in progress."},
    {10038, "Socket operation on non-socket."},
    {10039, "Destination address required."},
    {10040, "Message too long."},
    {10041, "Protocol wrong type for socket."},
    {10042, "Bad protocol option."},
    {10043, "Protocol not supported."},
    {10044, "Socket type not supported."},
    {10045, "Operation not supported on socket."},
    {10046, "Protocol family not supported."},
    {10047, "Address family not supported by protocol family."},
    {10048, "Address already in use."},
    {10049, "Cannot assign requested address."},
    {10050, "Network is down."},
    {10051, "Network is unreachable."},
    {10052, "Net dropped connection or reset."},
    {10053, "Software caused connection abort."},
    {10054, "Connection reset by peer."},
    {10055, "No buffer space available."},
    {10056, "Socket is already connected."},
    {10057, "Socket is not connected."},
    {10058, "Cannot send or receive after socket is closed."},
    {10059, "Too many references, cannot splice."},
    {10060, "Connection timed out."},
    {10061, "Connection refused."},
    {10062, "Too many levels of symbolic links."},
    {10063, "File name too long."},
    {10064, "Host is down."},
    {10065, "No route to host."},
    {10066, "Directory not empty"},
};

// One part of an address text as an unsigned number no larger than maximum. Decimal digits
// only; an empty part, a sign, blanks or anything larger do not convert.
bool ConvertPart(const std::string& part, uint32_t maximum, uint32_t& value) {
    if (part.empty() || part.size() > 10) return false;
    uint64_t number = 0;
    for (char c : part) {
        if (c < '0' || c > '9') return false;
        number = number * 10 + static_cast<uint64_t>(c - '0');
    }
    if (number > maximum) return false;
    value = static_cast<uint32_t>(number);
    return true;
}

// Cuts the text before the first "." and removes it with the "."; without a "." the whole
// remaining text is taken.
std::string CutPart(std::string& text) {
    const size_t dot = text.find('.');
    std::string part;
    if (dot == std::string::npos) {
        part = std::move(text);
        text.clear();
    } else {
        part = text.substr(0, dot);
        text.erase(0, dot + 1);
    }
    return part;
}

bool ParseAddressText(const std::string& text, TNetAddressBytes& bytes) {
    std::string rest = text;
    const std::string first = CutPart(rest);
    const std::string second = CutPart(rest);
    const std::string third = CutPart(rest);
    uint32_t a = 0, b = 0, c = 0, d = 0;
    if (!rest.empty()) {
        // Four parts; a rest that still holds a "." does not convert.
        if (!ConvertPart(first, 255, a) || !ConvertPart(second, 255, b) || !ConvertPart(third, 255, c) ||
            !ConvertPart(rest, 255, d))
            return false;
        bytes = {static_cast<uint8_t>(a), static_cast<uint8_t>(b), static_cast<uint8_t>(c), static_cast<uint8_t>(d)};
        return true;
    }
    if (!third.empty()) {
        if (!ConvertPart(first, 255, a) || !ConvertPart(second, 255, b) || !ConvertPart(third, 0xFFFF, c)) return false;
        bytes = {static_cast<uint8_t>(a), static_cast<uint8_t>(b), static_cast<uint8_t>(c >> 8),
                 static_cast<uint8_t>(c)};
        return true;
    }
    if (!second.empty()) {
        if (!ConvertPart(first, 255, a) || !ConvertPart(second, 0xFFFFFF, b)) return false;
        bytes = {static_cast<uint8_t>(a), static_cast<uint8_t>(b >> 16), static_cast<uint8_t>(b >> 8),
                 static_cast<uint8_t>(b)};
        return true;
    }
    if (!ConvertPart(first, 0xFFFFFFFFU, a)) return false;
    bytes = {static_cast<uint8_t>(a >> 24), static_cast<uint8_t>(a >> 16), static_cast<uint8_t>(a >> 8),
             static_cast<uint8_t>(a)};
    return true;
}

}  // namespace

TNetStack::TNetStack() = default;
TNetStack::~TNetStack() = default;

std::string TNetStack::FirstLocalAddress() {
    const auto& list = ListLocalAddresses();
    return list.empty() ? std::string() : list.front();
}

const std::vector<std::string>& TNetStack::ListLocalAddresses() {
    LocalAddressList();
    FillLocalAddresses();
    return *localAddressList_;
}

std::vector<std::string>& TNetStack::LocalAddressList() {
    if (!localAddressList_) localAddressList_ = std::make_unique<std::vector<std::string>>();
    return *localAddressList_;
}

std::string TNetStack::ErrorText(int32_t code) {
    const char* text = "";
    for (const auto& entry : kErrorTexts) {
        if (entry.code == code) {
            text = entry.text;
            break;
        }
    }
    return Format("Socket Error # %d\r\n%s", code, text);
}

std::string TNetStack::AddressToText(const TNetAddressBytes& bytes) {
    // Every connect reports both of its ends through here; plain appends beat a format.
    std::string text;
    text.reserve(15);
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i != 0) text += '.';
        text += std::to_string(static_cast<unsigned>(bytes[i]));
    }
    return text;
}

TNetAddressBytes TNetStack::TextToAddressBytes(const std::string& text) {
    TNetAddressBytes bytes{};
    if (!ParseAddressText(text, bytes)) throw ENetInvalidIPAddress(Format("%s is not a valid IP address.", text.c_str()));
    return bytes;
}

bool TNetStack::IsIPv4Text(const std::string& text) {
    TNetAddressBytes bytes{};
    return ParseAddressText(text, bytes);
}

uint32_t TNetStack::TextToAddress(const std::string& text) {
    const TNetAddressBytes bytes = TextToAddressBytes(text);
    uint32_t address = 0;
    std::memcpy(&address, bytes.data(), sizeof address);
    return address;
}

bool TNetStack::CheckSocketResult(int32_t result, std::initializer_list<int32_t> tolerated) {
    if (result != NetSocketError) return false;
    const int32_t code = LastSocketError();
    SetLastErrorCode(code);
    for (int32_t allowed : tolerated)
        if (allowed == code) return true;
    RaiseSocketFailure(code);
}

void TNetStack::RaiseSocketFailure(int32_t code) { throw ENetSocketError(code, ErrorText(code)); }

TNetSocket TNetStack::CreateDescriptor(int32_t type, int32_t protocol) {
    const TNetSocket descriptor = NewSocket(NetAddressFamilyIPv4, type, protocol);
    if (descriptor == InvalidNetSocket) throw ENetInvalidSocket("Cannot allocate socket.");
    return descriptor;
}

std::optional<std::string> TNetStack::KnownAddress(const std::string& host) {
    // ASCII letters only: a code page's own upper-casing must not make other names match.
    if (host.size() == 9) {
        bool same = true;
        static const char kName[] = "localhost";
        for (size_t i = 0; i < 9 && same; ++i) {
            char c = host[i];
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
            same = c == kName[i];
        }
        if (same) return std::string("127.0.0.1");
    }
    if (IsIPv4Text(host)) return host;
    return std::nullopt;
}

std::string TNetStack::ResolveHostName(const std::string& host) {
    if (std::optional<std::string> known = KnownAddress(host)) return *known;
    return HostToAddress(host);
}

std::string TNetStack::AnswerToAddress(const TNetHostAnswer& answer) {
    if (answer.Address) return AddressToText(*answer.Address);
    SetLastErrorCode(answer.ErrorCode);
    RaiseSocketFailure(answer.ErrorCode);
}

// ---------------------------------------------------------------------------------------------
// Process-wide stack

TNetSocketStackPointer SocketStack;

namespace {

std::atomic<TNetStackClass> gStackClass{&TNetStackWindows::Create};
// Guarded by StackLock.
int32_t gNetComponentCount = 0;
std::unique_ptr<TNetStack>& OwnedStack() {
    static std::unique_ptr<TNetStack> stack;
    return stack;
}

}  // namespace

TNetStack* TNetSocketStackPointer::operator->() const {
    TNetStack* stack = Get();
    if (stack == nullptr) throw ENetStackError("Socket stack not created.");
    return stack;
}

TNetStackClass SetStackClass(TNetStackClass stackClass) noexcept { return gStackClass.exchange(stackClass); }

std::mutex& StackLock() {
    static std::mutex lock;
    return lock;
}

int32_t NetComponentCount() noexcept {
    std::lock_guard lock(StackLock());
    return gNetComponentCount;
}

void AcquireSocketStack() {
    std::lock_guard lock(StackLock());
    if (gNetComponentCount == 0) {
        // Counted only once the stack exists: a failed creation leaves the count at 0, so the
        // next component tries again instead of finding no stack.
        OwnedStack() = gStackClass.load()();
        SocketStack.stack_.store(OwnedStack().get(), std::memory_order_release);
    }
    ++gNetComponentCount;
}

void ReleaseSocketStack() noexcept {
    std::lock_guard lock(StackLock());
    if (gNetComponentCount <= 0) return;
    if (--gNetComponentCount == 0) {
        SocketStack.stack_.store(nullptr, std::memory_order_release);
        OwnedStack().reset();
    }
}

}  // namespace quorvane
