#pragma once

#include "platform/gui/Interface.h"
#include "widgets/TabViewAnimation.h"

#include <QImage>
#include <QPointer>
#include <QTabWidget>

namespace platform {
class Coder;
}
class TransitionOverlay;

// A tab view that plays a transition when another tab is selected: it takes
// pictures of the old and the new page over the union of both and plays the
// transition style between them for 0.5 s (3 s after a Shift-click on a
// tab, for that one switch). The switch itself happens at once: the new page
// takes keys and clicks while the pictures play over it, and a second switch
// ends the running transition at its last frame. A hidden tab view, or one in
// a window that is not shown, switches without pictures.
class AnimatingTabView : public QTabWidget, public platform::gui::NibAwakening {
    Q_OBJECT
    Q_PROPERTY(int transitionStyle READ transitionStyle WRITE setTransitionStyle)

public:
    static constexpr double kDuration = 0.5;
    static constexpr double kSlowMotionDuration = 3.0;

    explicit AnimatingTabView(QWidget* parent = nullptr);
    ~AnimatingTabView() override;

    // Loads the shading and mask pictures.
    void awakeFromNib() override;
    // Ripple, the style of tab views made in code.
    void initAddedProperties() { setTransitionStyle(6); }

    int transitionStyle() const { return transitionStyle_; }
    void setTransitionStyle(int style) { transitionStyle_ = style; }

    // The style under "transitionStyle" (0 when missing) in a keyed archive.
    void initWithCoder(const platform::Coder& coder);
    void encodeWithCoder(platform::Coder& coder) const;

    bool mouseDownCanMoveWindow() const { return true; }
    bool isNoVisible() const;
    void selectTabViewItem(int index) { setCurrentIndex(index); }

    bool isAnimating() const { return animation_.isAnimating(); }
    bool slowMotionDemo() const { return slowMotionDemo_; }
    void setSlowMotionDemo(bool on) { slowMotionDemo_ = on; }
    // Where the running transition is drawn (the union of both pages'
    // frames), the duration of the last one, and how many pictures of pages
    // were taken so far.
    QRect imageRect() const { return imageRect_; }
    double lastDuration() const { return lastDuration_; }
    int picturesTaken() const { return picturesTaken_; }
    bool hasShadingImage() const { return !shadingImage_.isNull(); }
    bool hasMaskImage() const { return !maskImage_.isNull(); }
    // The frame on show while animating.
    QImage currentFrame() const;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void pageChanged(int index);
    QImage pictureOf(QWidget* page, const QSize& size);
    void drawFrame();
    void endTransition();

    int transitionStyle_ = 0;
    QImage shadingImage_;
    QImage maskImage_;
    QImage fromPicture_;
    QImage toPicture_;
    QRect imageRect_;
    TabViewAnimation animation_;
    QPointer<TransitionOverlay> overlay_;
    QPointer<QWidget> shownPage_;
    bool slowMotionDemo_ = false;
    double lastDuration_ = 0.0;
    int picturesTaken_ = 0;
};
