#include "tcp/net_stack.h"

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tcp/net_exception.h"
#include "tcp/net_socket_list.h"
#include "tcp/net_stack_windows.h"

namespace quorvane::testing {
namespace {

// ---- Error texts

struct ErrorTextCase {
    int32_t code;
    const char* baseText;
};

class ErrorTextTest : public ::testing::TestWithParam<ErrorTextCase> {};

TEST_P(ErrorTextTest, FormatsNumberLineBreakAndBaseText) {
    TNetStackWindows stack;
    const ErrorTextCase& c = GetParam();
    EXPECT_EQ(stack.ErrorText(c.code), "Socket Error # " + std::to_string(c.code) + "\r\n" + c.baseText);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ErrorTextTest,
    ::testing::Values(
        ErrorTextCase{10004, "Interrupted system call."}, ErrorTextCase{10009, "Bad file number."},
        ErrorTextCase{10013, "Access denied."}, ErrorTextCase{10014, "Bad address."},
        ErrorTextCase{10022, "Invalid argument."}, ErrorTextCase{10024, "Too many open files."},
        ErrorTextCase{10035, "Operation would block. "}, ErrorTextCase{10036, "Operation now in progress."},
        ErrorTextCase{10037, "Operation already in progress."},
        ErrorTextCase{10038, "Socket operation on non-socket."},
        ErrorTextCase{10039, "Destination address required."}, ErrorTextCase{10040, "Message too long."},
        ErrorTextCase{10041, "Protocol wrong type for socket."}, ErrorTextCase{10042, "Bad protocol option."},
        ErrorTextCase{10043, "Protocol not supported."}, ErrorTextCase{10044, "Socket type not supported."},
        ErrorTextCase{10045, "Operation not supported on socket."},
        ErrorTextCase{10046, "Protocol family not supported."},
        ErrorTextCase{10047, "Address family not supported by protocol family."},
        ErrorTextCase{10048, "Address already in use."}, ErrorTextCase{10049, "Cannot assign requested address."},
        ErrorTextCase{10050, "Network is down."}, ErrorTextCase{10051, "Network is unreachable."},
        ErrorTextCase{10052, "Net dropped connection or reset."},
        ErrorTextCase{10053, "Software caused connection abort."},
        ErrorTextCase{10054, "Connection reset by peer."}, ErrorTextCase{10055, "No buffer space available."},
        ErrorTextCase{10056, "Socket is already connected."}, ErrorTextCase{10057, "Socket is not connected."},
        ErrorTextCase{10058, "Cannot send or receive after socket is closed."},
        ErrorTextCase{10059, "Too many references, cannot splice."}, ErrorTextCase{10060, "Connection timed out."},
        ErrorTextCase{10061, "Connection refused."}, ErrorTextCase{10062, "Too many levels of symbolic links."},
        ErrorTextCase{10063, "File name too long."}, ErrorTextCase{10064, "Host is down."},
        ErrorTextCase{10065, "No route to host."}, ErrorTextCase{10066, "Directory not empty"},
        ErrorTextCase{11001, "Host not found."}, ErrorTextCase{12345, ""}, ErrorTextCase{0, ""},
        ErrorTextCase{-1, ""}, ErrorTextCase{10067, ""}));

// ---- Address text rules

struct AddressCase {
    const char* text;
    bool valid;
    TNetAddressBytes bytes;
};

class AddressTextTest : public ::testing::TestWithParam<AddressCase> {};

TEST_P(AddressTextTest, ClassifiesAndConverts) {
    const AddressCase& c = GetParam();
    EXPECT_EQ(TNetStack::IsIPv4Text(c.text), c.valid) << c.text;
    if (c.valid) {
        EXPECT_EQ(TNetStack::TextToAddressBytes(c.text), c.bytes) << c.text;
    } else {
        try {
            TNetStack::TextToAddressBytes(c.text);
            ADD_FAILURE() << c.text << " converted";
        } catch (const ENetInvalidIPAddress& e) {
            EXPECT_EQ(e.Message(), std::string(c.text) + " is not a valid IP address.");
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rules, AddressTextTest,
    ::testing::Values(AddressCase{"10.0.0.1", true, {10, 0, 0, 1}},
                      AddressCase{"255.255.255.255", true, {255, 255, 255, 255}},
                      AddressCase{"0.0.0.0", true, {0, 0, 0, 0}},
                      // Shorter forms: the last part fills the remaining bytes.
                      AddressCase{"10.1", true, {10, 0, 0, 1}}, AddressCase{"10.65535", true, {10, 0, 255, 255}},
                      AddressCase{"1.16777215", true, {1, 255, 255, 255}},
                      AddressCase{"1.16777216", false, {}}, AddressCase{"127.1.258", true, {127, 1, 1, 2}},
                      AddressCase{"1.2.65536", false, {}}, AddressCase{"3232235777", true, {192, 168, 1, 1}},
                      AddressCase{"4294967295", true, {255, 255, 255, 255}}, AddressCase{"4294967296", false, {}},
                      AddressCase{"0", true, {0, 0, 0, 0}},
                      // Invalid texts.
                      AddressCase{"256.1.1.1", false, {}}, AddressCase{"1.2.3.4.5", false, {}},
                      AddressCase{"1.2.3.256", false, {}}, AddressCase{"", false, {}},
                      AddressCase{"localhost", false, {}}, AddressCase{"1.a.3.4", false, {}},
                      AddressCase{"-1.2.3.4", false, {}}, AddressCase{" 1.2.3.4", false, {}},
                      AddressCase{"1..3.4", false, {}}, AddressCase{"99999999999999999999", false, {}}));

TEST(AddressTextTest, TextToAddressIsInNetworkOrderAndAddressToTextJoinsDecimals) {
    const uint32_t address = TNetStack::TextToAddress("1.2.3.4");
    const auto* bytes = reinterpret_cast<const uint8_t*>(&address);
    EXPECT_EQ(bytes[0], 1);
    EXPECT_EQ(bytes[3], 4);
    EXPECT_EQ(TNetStack::AddressToText({192, 168, 0, 255}), "192.168.0.255");
}

// ---- Name resolution without the library's look-up

class RecordingStack : public TNetStackWindows {
public:
    std::string HostToAddress(const std::string& hostName) override {
        lookedUp.push_back(hostName);
        return "192.0.2.7";
    }
    std::vector<std::string> lookedUp;
};

TEST(ResolveHostNameTest, LocalhostAndAddressTextNeedNoLookUp) {
    RecordingStack stack;
    EXPECT_EQ(stack.ResolveHostName("localhost"), "127.0.0.1");
    EXPECT_EQ(stack.ResolveHostName("LocalHost"), "127.0.0.1");
    EXPECT_EQ(stack.ResolveHostName("10.0.0.1"), "10.0.0.1");
    EXPECT_EQ(stack.ResolveHostName("10.1"), "10.1");
    EXPECT_EQ(stack.ResolveHostName("3232235777"), "3232235777");
    EXPECT_TRUE(stack.lookedUp.empty());
    EXPECT_EQ(stack.ResolveHostName("256.1.1.1"), "192.0.2.7");
    EXPECT_EQ(stack.ResolveHostName("localhost."), "192.0.2.7");
    EXPECT_EQ(stack.lookedUp, (std::vector<std::string>{"256.1.1.1", "localhost."}));
}

// ---- Checks

class FailingStack : public TNetStackWindows {
public:
    explicit FailingStack(int32_t code) : code_(code) {}
    int32_t LastSocketError() override { return code_; }

private:
    int32_t code_;
};

TEST(CheckSocketResultTest, OnlyMinusOneFetchesTheCodeAndToleratedCodesPass) {
    FailingStack stack(10038);
    EXPECT_FALSE(stack.CheckSocketResult(0));
    EXPECT_FALSE(stack.CheckSocketResult(5));
    EXPECT_EQ(stack.LastErrorCode(), 0);
    EXPECT_TRUE(stack.CheckSocketResult(-1, {10009, 10038}));
    EXPECT_EQ(stack.LastErrorCode(), 10038);
    try {
        stack.CheckSocketResult(-1);
        ADD_FAILURE() << "no exception";
    } catch (const ENetSocketError& e) {
        EXPECT_EQ(e.LastError(), 10038);
        EXPECT_EQ(e.Message(), "Socket Error # 10038\r\nSocket operation on non-socket.");
    }
}

class NoSocketStack : public TNetStackWindows {
public:
    TNetSocket NewSocket(int32_t, int32_t, int32_t) override { return InvalidNetSocket; }
};

TEST(CreateDescriptorTest, InvalidSocketRaisesCannotAllocate) {
    NoSocketStack stack;
    try {
        stack.CreateDescriptor(NetSocketStream, 0);
        ADD_FAILURE() << "no exception";
    } catch (const ENetInvalidSocket& e) {
        EXPECT_EQ(e.Message(), "Cannot allocate socket.");
    }
}

// ---- Process-wide stack

int gCreated = 0;
bool gFailCreation = false;

class CountingStack : public RecordingStack {
public:
    CountingStack() { ++gCreated; }
};

std::unique_ptr<TNetStack> MakeCountingStack() {
    if (gFailCreation) throw ENetStackInitializationFailed("Winsock Initialization Error.");
    return std::make_unique<CountingStack>();
}

class SocketStackLifetimeTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(NetComponentCount(), 0);
        previous_ = SetStackClass(&MakeCountingStack);
        gCreated = 0;
        gFailCreation = false;
    }
    void TearDown() override {
        while (NetComponentCount() > 0) ReleaseSocketStack();
        SetStackClass(previous_);
    }
    TNetStackClass previous_ = nullptr;
};

TEST_F(SocketStackLifetimeTest, FirstComponentCreatesAndLastFreesTheStack) {
    EXPECT_FALSE(SocketStack);
    AcquireSocketStack();
    TNetStack* first = SocketStack.Get();
    ASSERT_NE(first, nullptr);
    AcquireSocketStack();
    EXPECT_EQ(SocketStack.Get(), first);
    EXPECT_EQ(NetComponentCount(), 2);
    EXPECT_EQ(gCreated, 1);
    ReleaseSocketStack();
    EXPECT_EQ(SocketStack.Get(), first);
    ReleaseSocketStack();
    EXPECT_FALSE(SocketStack);
    EXPECT_THROW(SocketStack->LastSocketError(), ENetStackError);
    AcquireSocketStack();
    EXPECT_EQ(gCreated, 2);
    ReleaseSocketStack();
}

TEST_F(SocketStackLifetimeTest, FailedCreationLeavesNoCountBehind) {
    gFailCreation = true;
    EXPECT_THROW(AcquireSocketStack(), ENetStackInitializationFailed);
    EXPECT_EQ(NetComponentCount(), 0);
    EXPECT_FALSE(SocketStack);
    gFailCreation = false;
    AcquireSocketStack();
    EXPECT_TRUE(SocketStack);
    ReleaseSocketStack();
    // A release without an acquire must not drive the count below zero.
    ReleaseSocketStack();
    EXPECT_EQ(NetComponentCount(), 0);
}

// ---- Socket lists

TEST(SocketListTest, HoldsSixtyFourAndRemovingMovesTheLastIntoPlace) {
    auto list = TNetSocketList::CreateSocketList();
    for (TNetSocket s = 1; s <= 64; ++s) list->Add(s);
    EXPECT_EQ(list->Count(), 64);
    try {
        list->Add(65);
        ADD_FAILURE() << "65th descriptor accepted";
    } catch (const ENetStackSetSizeExceeded& e) {
        EXPECT_EQ(e.Message(), "Set Size Exceeded.");
    }
    list->Remove(2);
    EXPECT_EQ(list->Count(), 63);
    EXPECT_EQ(list->Item(1), 64u);
    EXPECT_FALSE(list->Contains(2));
    EXPECT_THROW(list->Item(63), ENetStackSetSizeExceeded);
    EXPECT_THROW(list->Item(-1), ENetStackSetSizeExceeded);
    list->Remove(999);
    EXPECT_EQ(list->Count(), 63);
}

}  // namespace
}  // namespace quorvane::testing
