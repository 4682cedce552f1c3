#pragma once

#include "widgets/AnimatedObject.h"
#include "widgets/HistoryAnimation.h"

#include <QAbstractButton>

// A button cell of a matrix or table whose title brightens from black to
// white in a 0.33 s fade while the pointer rests on it (in the active
// window), and that lays a black rounded badge behind itself while pressed.
// The owning control turns hover tracking on and off with
// updateTrackingRectCell(); a disabled cell is never tracked and shows its
// title in the disabled text colour. Takes Tab focus and presses with Space.
class PhoneButtonCell : public QAbstractButton, public AnimatedObject {
    Q_OBJECT
    Q_PROPERTY(bool wraps READ wraps WRITE setWraps)
    Q_PROPERTY(Qt::Alignment alignment READ alignment WRITE setAlignment)

public:
    static constexpr double kFadeDuration = 0.33;

    explicit PhoneButtonCell(QWidget* parent = nullptr);

    Qt::Alignment alignment() const { return alignment_; }
    void setAlignment(Qt::Alignment alignment);
    bool wraps() const { return wraps_; }
    void setWraps(bool wraps);

    // Installs hover tracking when track is set, the cell has a parent and is
    // enabled; removes it otherwise.
    void updateTrackingRectCell(bool track);
    bool isTracking() const { return tracking_; }

    virtual void doHighlite(bool on);
    void doAnimate(double progress) override;
    // Yes while a fade runs, else whether the pointer is over the cell.
    bool isInTrack() const;
    bool isFading() const { return fade_.isAnimating(); }
    // Marks the cell pressed (the black badge shows while the pointer stays).
    void setHighLited();
    bool isHighlighted() const;

    // The title's colour now.
    virtual QColor titleColor() const;
    double frontWhiteColor() const { return frontWhiteColor_; }
    // The badge radius for a cell of that height.
    static qreal badgeRadius(qreal height) { return height >= 20 ? 12 : 8; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool inTrackFlag() const { return inTrack_; }
    void restartFade() { fade_.setAnimatedHistoryContainer(this); }
    void setInTrackFlag(bool on) { inTrack_ = on; }

private:
    HistoryAnimation fade_;
    double frontWhiteColor_ = 0;
    bool tracking_ = false;
    bool inTrack_ = false;
    bool highlited_ = false;
    Qt::Alignment alignment_ = Qt::AlignCenter;
    bool wraps_ = false;
};
