#pragma once

#include <QEvent>
#include <QObject>
#include <QWidget>

namespace widget_tests {

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++count;
        return false;
    }
};

// Shows a top-level widget and lets it settle (offscreen: exposed at once).
void showAndSettle(QWidget* window);
// Delivers what is posted (layout, paint, queued calls).
void settle();

} // namespace widget_tests
