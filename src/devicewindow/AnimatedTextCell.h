#pragma once

#include "widgets/AnimatedObject.h"
#include "widgets/FooterToolBarView.h"

#include <QRectF>
#include <QString>

// One date of the history strip: a rounded label that slides, grows and
// fades from where it is to a destination as the strip's fade runs. Its
// frame is kept in the strip's upward coordinates (origin bottom left), as
// the strip lays it out; the strip turns it into a widget geometry. Grey
// levels run from 0 (black) to 1 (white).
class AnimatedTextCell : public FooterToolBarView, public AnimatedObject {
    Q_OBJECT

public:
    static constexpr qreal kOvalRadius = 12;
    static constexpr qreal kSelectedFill = 1.0;
    static constexpr qreal kOtherFill = 0.78;

    explicit AnimatedTextCell(const QRectF& frame, QWidget* parent = nullptr);

    void setStringValue(const QString& text);
    QString stringValue() const { return dateString_; }
    // The current place and looks become the start, the arguments the end.
    void setDestAnimatedFrame(const QRectF& frame, qreal pointSize, qreal textGrey, qreal backAlpha);
    void doAnimate(double progress) override;

    // Current values, in the strip's upward coordinates.
    QRectF animatedFrame() const { return frame_; }
    void setAnimatedFrame(const QRectF& frame);
    QRectF destFrame() const { return destRect_; }
    qreal pointSize() const { return pointSize_; }
    qreal textGrey() const { return textColor_; }
    qreal backAlpha() const { return backAlpha_; }
    qreal destPointSize() const { return destSize_; }
    qreal destTextGrey() const { return destTextColor_; }
    qreal destBackAlpha() const { return destBackAlpha_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void placeInParent();

    QRectF frame_;
    QRectF startRect_;
    QRectF destRect_;
    QString dateString_;
    qreal pointSize_ = 12;
    qreal startSize_ = 0;
    qreal destSize_ = 0;
    qreal textColor_ = 0;
    qreal startTextColor_ = 0;
    qreal destTextColor_ = 0;
    qreal backAlpha_ = 0;
    qreal startBackAlpha_ = 0;
    qreal destBackAlpha_ = 0;
};
