#include "app/qt/application_setup.h"

#include <QApplication>
#include <QFont>
#include <QIcon>

#include "app/dialog_texts.h"
#include "app/qt/qt_text.h"

namespace app::qt {

void SetUpApplication() {
    QApplication::setApplicationDisplayName(ToQString(ApplicationTitle()));
    QApplication::setApplicationName(QStringLiteral("milte-post"));
    QGuiApplication::setDesktopFileName(QStringLiteral("milte-post"));
    // The layout is measured in the Windows font; IPA P Gothic has its metrics.
    QFont::insertSubstitution(QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("IPAPGothic"));
    QFont font(QStringLiteral("ＭＳ Ｐゴシック"));
    font.setPixelSize(12);
    QApplication::setFont(font);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/milte-post.png")));
    QApplication::setQuitOnLastWindowClosed(false);  // the program ends when the main window closes
}

}  // namespace app::qt
