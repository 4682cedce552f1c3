#pragma once

#include "platform/gui/Interface.h"

#include <QPointer>
#include <QSplitter>

class BetterSplitViewDelegate;
class ResizerButtonView;

// A splitter of two panes with a resize grip (a ResizerButtonView anywhere in
// the pane that holds it) that drags the divider, a settable divider
// thickness (a divider thinner than the style's is a plain gap) and the
// pane frames kept in the user defaults under the delegate's autosave name:
// restored when the view is loaded (or the delegate arrives later) and saved
// when its window closes. The divider takes keyboard focus; the arrow keys
// move it (Shift: in larger steps) within the delegate's limits.
class BetterSplitView : public QSplitter, public platform::gui::NibAwakening {
    Q_OBJECT
    Q_PROPERTY(qreal thickness READ thickness WRITE setThickness)

public:
    explicit BetterSplitView(QWidget* parent = nullptr);
    ~BetterSplitView() override;

    void setDelegate(BetterSplitViewDelegate* delegate);
    BetterSplitViewDelegate* delegate() const { return delegate_; }

    // The override; below 1 means the style's thickness.
    qreal thickness() const { return thickness_; }
    void setThickness(qreal thickness);
    qreal dividerThickness() const;
    // Whether the divider is drawn (else it is a plain gap).
    bool drawsDivider() const;

    // The first grip in depth-first order of view's descendants (view
    // included), or null.
    static ResizerButtonView* getResizerButton(QWidget* view);
    ResizerButtonView* resizerButton() const;
    // The pane that holds the grip, or null.
    QWidget* getLeftView() const;

    // Reads the eight numbers under key; anything else restores nothing.
    bool restoreDefault(const QString& key);
    void saveDefault(const QString& key) const;
    // The stored text of the two pane frames.
    QString positionsText() const;

    // A drag of the grip to a point on the screen.
    void gripDragged(const QPoint& globalPos);
    // Moves the divider to position (from the left or top edge) within the
    // delegate's limits.
    void moveDividerTo(qreal position);

    void awakeFromNib() override;

Q_SIGNALS:
    void willResizeSubviews();
    void didResizeSubviews();

protected:
    QSplitterHandle* createHandle() override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void childEvent(QChildEvent* event) override;

private:
    QString autosaveName() const;
    void watchWindow();
    qreal constrained(qreal position) const;

    BetterSplitViewDelegate* delegate_ = nullptr;
    QPointer<ResizerButtonView> resizer_;
    QPointer<QWidget> watchedWindow_;
    qreal thickness_ = -1;
    int styleThickness_ = 0;
    bool awake_ = false;
};
