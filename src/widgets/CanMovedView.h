#pragma once

#include "widgets/WindowDrag.h"

#include <QWidget>

// A view that moves its window when dragged.
class CanMovedView : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    WindowDrag drag_;
};
