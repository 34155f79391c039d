#include "tcp/net_component.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tcp/net_stack.h"

namespace quorvane {
namespace {

TEST(NetComponentTest, NestedWorkUnitsFireBeginAndEndOnceWithRunningTotals) {
    TNetComponent component;
    std::vector<std::string> events;
    component.OnWorkBegin = [&](TComponent* sender, TWorkMode mode, int32_t max) {
        EXPECT_EQ(sender, &component);
        std::string tag(mode == TWorkMode::wmRead ? "rb" : "wb");
        events.push_back(tag.append(std::to_string(max)));
    };
    component.OnWork = [&](TComponent*, TWorkMode mode, int32_t count) {
        std::string tag(mode == TWorkMode::wmRead ? "r" : "w");
        events.push_back(tag.append(std::to_string(count)));
    };
    component.OnWorkEnd = [&](TComponent*, TWorkMode mode) { events.push_back(mode == TWorkMode::wmRead ? "re" : "we"); };

    component.WorkStep(TWorkMode::wmRead, 5);  // outside any unit: silent
    component.WorkStart(TWorkMode::wmRead, 100);
    component.WorkStart(TWorkMode::wmRead, 7);
    component.WorkStep(TWorkMode::wmRead, 30);
    component.WorkStart(TWorkMode::wmWrite, 3);
    component.WorkStep(TWorkMode::wmWrite, 3);
    component.WorkFinish(TWorkMode::wmWrite);
    component.WorkFinish(TWorkMode::wmRead);
    component.WorkStep(TWorkMode::wmRead, 12);
    component.WorkFinish(TWorkMode::wmRead);
    component.WorkStart(TWorkMode::wmRead, 1);
    component.WorkStep(TWorkMode::wmRead, 1);
    component.WorkFinish(TWorkMode::wmRead);

    EXPECT_EQ(events, (std::vector<std::string>{"rb100", "r30", "wb3", "w3", "we", "r42", "re", "rb1", "r1", "re"}));
    EXPECT_EQ(component.WorkLevel(TWorkMode::wmRead), 0);
}

struct StatusCase {
    TNetStatus status;
    const char* argument;
    const char* text;
};

void PrintTo(const StatusCase& row, std::ostream* out) { *out << ::testing::PrintToString(row.text); }

class NetStatusTextTest : public ::testing::TestWithParam<StatusCase> {};

TEST_P(NetStatusTextTest, TextOfEachStatus) {
    const StatusCase& row = GetParam();
    TNetComponent component;
    std::string seen = "(not fired)";
    component.OnStatus = [&](TComponent*, TNetStatus status, const std::string& text) {
        EXPECT_EQ(status, row.status);
        seen = text;
    };
    component.ReportStatus(row.status, row.argument);
    EXPECT_EQ(seen, row.text);
}

INSTANTIATE_TEST_SUITE_P(Table, NetStatusTextTest,
                         ::testing::Values(StatusCase{TNetStatus::hsResolving, "unit.local", "Resolving hostname unit.local."},
                                           StatusCase{TNetStatus::hsConnecting, "127.0.0.1", "Connecting to 127.0.0.1."},
                                           StatusCase{TNetStatus::hsConnected, "unit.local", "Connected."},
                                           StatusCase{TNetStatus::hsDisconnecting, "", "Disconnecting."},
                                           StatusCase{TNetStatus::hsDisconnected, "", "Disconnected."},
                                           StatusCase{TNetStatus::hsStatusText, "Chunk Started", "Chunk Started"},
                                           StatusCase{TNetStatus::hsStatusText, "100% %s %d", "100% %s %d"},
                                           StatusCase{TNetStatus::ftpReady, "ready", "ready"}));

TEST(NetComponentTest, SocketStackLivesExactlyAsLongAsSomeComponentDoes) {
    ASSERT_EQ(NetComponentCount(), 0);
    EXPECT_FALSE(SocketStack);
    {
        auto first = std::make_unique<TNetComponent>();
        TNetStack* stack = SocketStack.Get();
        ASSERT_NE(stack, nullptr);
        {
            TNetComponent second(first.get());
            EXPECT_EQ(NetComponentCount(), 2);
            EXPECT_EQ(SocketStack.Get(), stack);
        }
        EXPECT_EQ(NetComponentCount(), 1);
        EXPECT_EQ(SocketStack.Get(), stack);
    }
    EXPECT_EQ(NetComponentCount(), 0);
    EXPECT_FALSE(SocketStack);
    TNetComponent again;
    EXPECT_TRUE(SocketStack) << "the next component creates a new stack";
}

}  // namespace
}  // namespace quorvane
