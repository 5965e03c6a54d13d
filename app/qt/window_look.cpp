#include "app/qt/window_look.h"

#include <QPalette>

namespace app::qt {

QColor LookGrey() { return {0x80, 0x80, 0x80}; }

QFont ControlFont(int pixelHeight, bool bold, bool underline) {
    QFont font(QStringLiteral("ＭＳ Ｐゴシック"));
    font.setPixelSize(pixelHeight);
    font.setBold(bold);
    font.setUnderline(underline);
    return font;
}

void SetTextColour(QWidget* control, const QColor& colour) {
    QPalette palette = control->palette();
    palette.setColor(QPalette::WindowText, colour);
    palette.setColor(QPalette::ButtonText, colour);
    palette.setColor(QPalette::Text, colour);
    control->setPalette(palette);
}

void SetWindowLook(QWidget* window) {
    window->setFont(ControlFont(12));
    QPalette palette = window->palette();
    palette.setColor(QPalette::Window, Qt::white);
    window->setPalette(palette);
    window->setAutoFillBackground(true);
}

}  // namespace app::qt
