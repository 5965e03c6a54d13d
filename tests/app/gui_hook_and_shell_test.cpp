#include <gtest/gtest.h>

#include <QTimer>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/cp932.h"
#include "platform/qt/qt_gui_hook.h"
#include "platform/shell.h"
#include "temp_folder.h"

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

class OpenUrl : public ::testing::Test {
protected:
    void SetUp() override {
        oldPath_ = std::getenv("PATH");
        ::setenv("PATH", folder_.Path().c_str(), 1);
    }
    void TearDown() override { ::setenv("PATH", oldPath_.c_str(), 1); }

    TempFolder folder_;
    std::string oldPath_;
};

TEST_F(OpenUrl, HandsTheUrlToTheDesktopsOpenerWithoutWaiting) {
    // A stand-in opener that writes down its argument once the test lets it: were OpenUrl to
    // wait for it, OpenUrl would never return.
    const std::string record = folder_ / "opened";
    const std::string go = folder_ / "go";
    {
        std::ofstream opener(folder_ / "xdg-open");
        opener << "#!/bin/sh\nwhile [ ! -e '" << go << "' ]; do /bin/sleep 0.01; done\n"
               << "printf '%s' \"$1\" > '" << record << ".tmp' && /bin/mv '" << record << ".tmp' '" << record << "'\n";
    }
    std::filesystem::permissions(folder_ / "xdg-open", std::filesystem::perms::owner_all);
    ASSERT_TRUE(platform::OpenUrl(platform::Cp932("http://info.example.jp/info.php?pf=w&sn=ミルテ")));
    std::ofstream(go).put('x');
    for (int i = 0; i < 500 && !std::filesystem::exists(record); ++i) std::this_thread::sleep_for(10ms);
    std::ifstream opened(record);
    std::stringstream text;
    text << opened.rdbuf();
    EXPECT_EQ(text.str(), "http://info.example.jp/info.php?pf=w&sn=ミルテ");
}

TEST_F(OpenUrl, FailsWhenNoOpenerExists) { EXPECT_FALSE(platform::OpenUrl("http://example.jp")); }

}  // namespace
