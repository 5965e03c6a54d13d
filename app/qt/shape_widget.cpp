#include "app/qt/shape_widget.h"

#include <QPainter>

#include <algorithm>

namespace app::qt {

ShapeWidget::ShapeWidget(QColor penColour, QWidget* parent) : QWidget(parent), penColour_(penColour) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
}

void ShapeWidget::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.setPen(penColour_);
    painter.setBrush(Qt::white);
    // Corners as the classic round-rectangle shape draws them: a quarter of the shorter side.
    const int corner = std::min(width(), height()) / 4;
    painter.drawRoundedRect(QRectF(0.5, 0.5, width() - 1, height() - 1), corner / 2.0, corner / 2.0);
}

}  // namespace app::qt
