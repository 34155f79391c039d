#include "tcp/net_win_sock2.h"

#include <string>

#include <gtest/gtest.h>

#include "tcp/net_exception.h"
#include "tcp/net_stack.h"

namespace quorvane::testing {
namespace {

namespace sockapi = platform::sockapi;

// Runs first in its own process: nothing has loaded the library yet.
TEST(WinSock2LoadingTest, CallsBeforeLoadingAndFailedLoadsRaiseTheStubError) {
    ASSERT_FALSE(WinSock2Loaded());
    try {
        char byte;
        ws2::recv(InvalidNetSocket, &byte, 1, 0);
        ADD_FAILURE() << "call without library passed";
    } catch (const ENetWS2StubError& e) {
        EXPECT_EQ(e.Headline(), "Error on call Winsock2 library function recv");
        EXPECT_EQ(e.SystemCode(), 10093);
        EXPECT_FALSE(e.SystemText().empty());
        EXPECT_EQ(e.Message(), e.Headline() + ": " + e.SystemText());
    }

    const std::string regular = WinSock2LibraryName();
    EXPECT_EQ(regular, sockapi::kSocketLibraryName);
    SetWinSock2LibraryName("libquorvane_missing.so");
    sockapi::TWSAData data{};
    try {
        WinSock2Startup(sockapi::kRequestedVersion, &data);
        ADD_FAILURE() << "missing library loaded";
    } catch (const ENetWS2StubError& e) {
        EXPECT_EQ(e.Headline(), "Error on loading Winsock2 library (libquorvane_missing.so)");
        EXPECT_NE(e.Message().find("libquorvane_missing.so"), std::string::npos);
    }
    EXPECT_FALSE(WinSock2Loaded());

    SetWinSock2LibraryName(regular);
    ASSERT_EQ(WinSock2Startup(sockapi::kRequestedVersion, &data), 0);
    EXPECT_EQ(data.wVersion, sockapi::kRequestedVersion);
    // Loaded: a second start-up call does nothing.
    EXPECT_EQ(WinSock2Startup(sockapi::kRequestedVersion, nullptr), 0);
    char byte;
    EXPECT_EQ(ws2::recv(InvalidNetSocket, &byte, 1, 0), NetSocketError);
    EXPECT_EQ(ws2::WSAGetLastError(), NetErrorNotSocket);

    // After unloading, every entry is back to its binder.
    EXPECT_EQ(ws2::WSACleanup(), 0);
    WinSock2Unload();
    EXPECT_FALSE(WinSock2Loaded());
    EXPECT_THROW(ws2::WSAGetLastError(), ENetWS2StubError);
}

}  // namespace
}  // namespace quorvane::testing
