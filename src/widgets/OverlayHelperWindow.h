#pragma once

#include <QPointer>
#include <QWidget>

class OverlayHelperView;

// The layer that carries one overlay over its parent view, a child of the
// parent view's top-level window. See OverlayView.h.
class OverlayHelperWindow : public QWidget {
    Q_OBJECT
public:
    OverlayHelperWindow(QWidget* parentView, QWidget* overlay, int ordered);
    ~OverlayHelperWindow() override;

    QWidget* parentView() const { return parentView_; }
    QWidget* overlay() const { return overlay_; }
    OverlayHelperView* helperView() const { return helperView_; }

    // Brings the layer in line with its parent view: attached and placed while
    // the parent view is visible, detached while it is not.
    void parentViewChanged();
    // Lets the overlay go back to its previous parent, hidden.
    void releaseOverlay();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void attach();
    void detach();
    void place();

    QPointer<QWidget> parentView_;
    QPointer<QWidget> overlay_;
    QPointer<QWidget> overlayHome_;
    OverlayHelperView* helperView_;
    int order_;
    bool attached_ = false;
    bool changing_ = false;
};
