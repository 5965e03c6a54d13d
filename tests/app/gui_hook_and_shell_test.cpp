#include <gtest/gtest.h>

#include <QTimer>

#include <chrono>
#include <thread>

#include "platform/cp932.h"
#include "platform/qt/qt_gui_hook.h"
#include "platform/shell.h"
#include "tests/app/stand_in_opener.h"

namespace {

using namespace std::chrono_literals;

TEST(QtGuiHook, ProcessEventsRunsWhatQtHasPending) {
    platform::qt::QtGuiHook hook;
    bool fired = false;
    QTimer::singleShot(0, [&] { fired = true; });
    hook.ProcessEvents();
    EXPECT_TRUE(fired);
}

TEST(QtGuiHook, WaitForEventsReturnsForAQtEventOrItsLimit) {
    platform::qt::QtGuiHook hook;
    bool fired = false;
    QTimer::singleShot(20, [&] { fired = true; });
    while (!fired) hook.WaitForEvents(std::chrono::milliseconds::max());  // the Qt timer ends each wait
    EXPECT_TRUE(fired);
    hook.WaitForEvents(10ms);  // nothing pending: only the limit ends it
}

TEST(QtGuiHook, WakeFromAnotherThreadEndsAnUnboundedWait) {
    platform::qt::QtGuiHook hook;
    std::thread waker([&] {
        std::this_thread::sleep_for(30ms);
        hook.Wake();
    });
    hook.WaitForEvents(std::chrono::milliseconds::max());
    waker.join();
    SUCCEED() << "the wait ended";
}

TEST(Shell, MessageBeepUsesTheToolkitBell) {
    int rings = 0;
    platform::SetBellHook([&] { ++rings; });
    platform::MessageBeep();
    platform::SetBellHook({});
    platform::MessageBeep();  // no toolkit: nothing to count
    EXPECT_EQ(rings, 1);
}

TEST(OpenUrl, HandsTheUrlToTheDesktopsOpenerWithoutWaiting) {
    // The opener writes the URL down only once released: were OpenUrl to wait for it, OpenUrl
    // would never return.
    StandInOpener opener(StandInOpener::Start::WhenReleased);
    ASSERT_TRUE(platform::OpenUrl(platform::Cp932("http://info.example.jp/info.php?pf=w&sn=ミルテ")));
    opener.Release();
    EXPECT_EQ(opener.NextUrl(), "http://info.example.jp/info.php?pf=w&sn=ミルテ");
}

TEST(OpenUrl, FailsWhenNoOpenerExists) {
    OwnPath noOpener;
    EXPECT_FALSE(platform::OpenUrl("http://example.jp"));
}

}  // namespace
