#include "platform/message_queue.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using platform::Message;

struct Window {
    Window() : handle(platform::AllocateWindow([this](const Message& m) { received.push_back(m); })) {}
    ~Window() { platform::DeallocateWindow(handle); }
    platform::WindowHandle handle;
    std::vector<Message> received;
};

TEST(MessageQueue, DeliversPostedMessagesInOrderOnlyDuringAPass) {
    Window window;
    platform::PostMessage(Message{window.handle, 1100, 1, 0, 0});
    platform::PostMessage(Message{window.handle, 1100, 2, 0, 0});
    EXPECT_TRUE(window.received.empty());
    platform::ProcessMessages();
    ASSERT_EQ(window.received.size(), 2u);
    EXPECT_EQ(window.received[0].wParam, 1u);
    EXPECT_EQ(window.received[1].wParam, 2u);
}

TEST(MessageQueue, MessagesForAGoneWindowOrAPurgedSourceAreDropped) {
    Window kept;
    auto gone = platform::AllocateWindow([](const Message&) { FAIL() << "delivered to a gone window"; });
    const auto source = platform::NewMessageSource();
    platform::PostMessage(Message{gone, 1100, 0, 0, 0});
    platform::PostMessage(Message{kept.handle, 1100, 7, 0, source});
    platform::PostMessage(Message{kept.handle, 1100, 8, 0, 0});
    platform::DeallocateWindow(gone);
    platform::PurgeMessages(source);
    platform::ProcessMessages();
    ASSERT_EQ(kept.received.size(), 1u);
    EXPECT_EQ(kept.received[0].wParam, 8u);
}

TEST(MessageQueue, WaitReturnsWhenAnotherThreadPosts) {
    Window window;
    std::thread poster([&] {
        std::this_thread::sleep_for(50ms);
        platform::PostMessage(Message{window.handle, 1100, 42, 0, 0});
    });
    platform::PumpUntil([&] { return !window.received.empty(); });
    poster.join();
    EXPECT_EQ(window.received.at(0).wParam, 42u);
}

TEST(MessageQueue, WaitHonoursItsLimitWhenNothingComes) {
    const auto start = std::chrono::steady_clock::now();
    platform::WaitMessage(30ms);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 29ms);
}

TEST(MessageQueue, TimerTicksPeriodicallyUntilKilled) {
    Window window;
    ASSERT_TRUE(platform::SetTimer(window.handle, 1, 10));
    platform::PumpUntil([&] { return window.received.size() >= 3; });
    for (const Message& m : window.received) {
        EXPECT_EQ(m.message, platform::WM_TIMER);
        EXPECT_EQ(m.wParam, 1u);
    }
    platform::KillTimer(window.handle, 1);
    const auto ticks = window.received.size();
    platform::WaitMessage(30ms);
    platform::ProcessMessages();
    EXPECT_EQ(window.received.size(), ticks);
}

TEST(MessageQueue, SetTimerOnAMissingWindowFails) { EXPECT_FALSE(platform::SetTimer(999999, 1, 10)); }

TEST(MessageQueue, HandlerMayRunANestedPassWithoutReordering) {
    std::vector<int> order;
    platform::WindowHandle handle = 0;
    handle = platform::AllocateWindow([&](const Message& m) {
        order.push_back(static_cast<int>(m.wParam));
        if (m.wParam == 1) platform::ProcessMessages();
    });
    for (int i = 1; i <= 3; ++i) platform::PostMessage(Message{handle, 1100, static_cast<std::uintptr_t>(i), 0, 0});
    platform::ProcessMessages();
    platform::DeallocateWindow(handle);
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

}  // namespace
