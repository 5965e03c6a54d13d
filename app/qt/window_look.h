#pragma once
// The look the program's windows share: a white background, the layout font "ＭＳ Ｐゴシック" at
// pixel heights (laid out for 96 pixels per inch), grey for painted texts, and controls placed
// at their pixel positions.

#include <QColor>
#include <QFont>
#include <QWidget>

namespace app::qt {

QColor LookGrey();
QFont ControlFont(int pixelHeight, bool bold = false, bool underline = false);
void SetTextColour(QWidget* control, const QColor& colour);
// The window's font and white background.
void SetWindowLook(QWidget* window);

template <typename Control>
Control* Place(Control* control, const char* name, int left, int top, int width, int height, const QFont& font) {
    control->setObjectName(name);
    control->setGeometry(left, top, width, height);
    control->setFont(font);
    return control;
}

}  // namespace app::qt
