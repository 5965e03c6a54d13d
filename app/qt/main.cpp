// milte-post: drop files on the icon (or open them with it) to send them to a mobile phone;
// start it alone to set the name and the destination.

#include <QApplication>
#include <QTimer>

#include <exception>
#include <vector>

#include "app/dropped_file_check.h"
#include "app/qt/application_setup.h"
#include "app/qt/message_dialog.h"
#include "app/qt/qt_main_form1.h"
#include "platform/qt/qt_gui_hook.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    try {
        platform::qt::QtPlatformSetup platformSetup;
        app::qt::SetUpApplication();
        std::vector<platform::FilePath> paths;
        for (int i = 1; i < argc; ++i) paths.emplace_back(argv[i]);
        app::qt::QtMainForm1 MainForm1(app::DroppedFilesFromPaths(paths));
        QObject::connect(&MainForm1, &app::qt::QtMainForm1::Closed, &application, &QCoreApplication::quit,
                         Qt::QueuedConnection);
        QTimer::singleShot(0, &MainForm1, &QWidget::show);
        QApplication::exec();
    } catch (const std::exception& failure) {
        app::qt::ShowFailureDisplay(failure.what(), nullptr);
    } catch (...) {
        app::qt::ShowFailureDisplay("", nullptr);
    }
    return 0;
}
