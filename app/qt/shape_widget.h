#pragma once
// A rounded-rectangle outline, painted beneath the controls it frames.

#include <QColor>
#include <QWidget>

namespace app::qt {

class ShapeWidget : public QWidget {
public:
    ShapeWidget(QColor penColour, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor penColour_;
};

}  // namespace app::qt
