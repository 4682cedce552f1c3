#pragma once

#include <QPoint>
#include <optional>

class QMouseEvent;
class QWidget;

// Moves a window by a drag on one of its views: the window manager moves it
// where it can, else the window follows the pointer. Each handler answers
// whether it took the event.
class WindowDrag {
public:
    bool press(QWidget* window, QMouseEvent* event);
    bool move(QWidget* window, QMouseEvent* event);
    void release() { offset_.reset(); }

private:
    std::optional<QPoint> offset_;
};
