// The Qt tests run in-process on the offscreen platform unless another is chosen.

#include <gtest/gtest.h>

#include <QApplication>

#include <cstdlib>

#include "app/qt/application_setup.h"
#include "platform/qt/qt_gui_hook.h"

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::testing::InitGoogleTest(&argc, argv);
    QApplication application(argc, argv);
    platform::qt::QtPlatformSetup platformSetup;
    app::qt::SetUpApplication();
    return RUN_ALL_TESTS();
}
