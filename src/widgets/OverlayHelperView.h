#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QWidget>

class OverlayHelperWindow;

// Watches a parent view and its ancestors (moves, resizes, showing, hiding,
// reparenting) and tells the helper window, which then places, attaches or
// detaches its layer.
class OverlayHelperView : public QObject {
    Q_OBJECT
public:
    OverlayHelperView(QWidget* parentView, OverlayHelperWindow* helperWindow);

    void setHelperWindow(OverlayHelperWindow* window) { helperWindow_ = window; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void watchAncestors();

    QPointer<QWidget> parentView_;
    OverlayHelperWindow* helperWindow_;
    QList<QPointer<QWidget>> watched_;
};
