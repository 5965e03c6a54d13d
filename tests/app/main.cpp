// The Qt tests run in-process on the offscreen platform unless another is chosen, and keep the
// program's send log in a folder of their own.

#include <gtest/gtest.h>

#include <QApplication>

#include <cstdlib>

#include "app/qt/application_setup.h"
#include "platform/qt/qt_gui_hook.h"
#include "tests/support/temp_dir.h"

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    const testsupport::TempDir state;
    ::setenv("XDG_STATE_HOME", state.path().c_str(), 1);
    ::testing::InitGoogleTest(&argc, argv);
    QApplication application(argc, argv);
    platform::qt::QtPlatformSetup platformSetup;
    app::qt::SetUpApplication();
    return RUN_ALL_TESTS();
}
