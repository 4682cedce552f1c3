#pragma once

#include <QColor>
#include <QFrame>
#include <QImage>
#include <QPainterPath>

class QPainter;

// A box that paints its own background (a flat colour, a rounded colour field
// or a stretched pattern image), optionally a 1-point frame, under its
// content. Its static drawBadge() is the one routine for the rounded count
// badges of the program.
class FooterToolBarView : public QFrame {
    Q_OBJECT
    // The settings an interface file gives a bar.
    Q_PROPERTY(uint FooterDrawType READ drawType WRITE setDrawType)
    Q_PROPERTY(qreal FooterDrawOval READ drawOval WRITE setDrawOval)
    Q_PROPERTY(QColor FooterFillColor READ fillColor WRITE setFillColor)
    Q_PROPERTY(QString FooterFillImage READ fillImageName WRITE setFillImageName)
    Q_PROPERTY(bool FooterDrawFrame READ drawFrame WRITE setDrawFrame)
    Q_PROPERTY(QColor FooterFrameColor READ frameColor WRITE setFrameColor)

public:
    enum DrawType : uint { NoBackground = 0, FillColor = 1, FillPattern = 2 };
    // InCode: the defaults of a bar made in code (grey 0.88 field with a
    // dark-grey frame). FromInterface: every setting cleared, as the
    // interface file then gives them.
    enum class Origin { InCode, FromInterface };

    explicit FooterToolBarView(QWidget* parent = nullptr, Origin origin = Origin::InCode);

    uint drawType() const { return drawType_; }
    void setDrawType(uint type);
    qreal drawOval() const { return drawOval_; }
    void setDrawOval(qreal radius);
    QColor fillColor() const { return fillColor_; }   // invalid: none
    void setFillColor(const QColor& colour);
    QImage patternImage() const { return pattern_; }
    void setFillPatternColor(const QImage& pattern);
    // The pattern's image name in the program's images; "" when the pattern
    // has none. Setting a name loads that image (an empty name clears it).
    QString fillImageName() const { return patternName_; }
    void setFillImageName(const QString& name);
    bool drawFrame() const { return drawFrame_; }
    void setDrawFrame(bool on);
    QColor frameColor() const { return frameColor_; }
    void setFrameColor(const QColor& colour);

    // The outline drawBadge() fills; empty when the bar paints no background.
    QPainterPath backgroundPath() const;
    bool drawsFrame() const;

    // drawBadge() with the bar's own radius.
    QPainterPath drawSelection(QPainter* painter, const QRectF& rect, const QColor& colour, bool fill) const;

    // The rounded outline of rect with the radius: corners truncated to
    // whole points except the last, (x, y). Shared by every rounded panel.
    static QPainterPath badgePath(const QRectF& rect, qreal radius);
    // Sets the colour on the painter (when given) and, with fill, fills the
    // badge outline. Answers the outline.
    static QPainterPath drawBadge(QPainter* painter, const QRectF& rect, const QColor& colour, bool fill, qreal radius);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    uint drawType_ = NoBackground;
    qreal drawOval_ = 0;
    QColor fillColor_;
    QImage pattern_;
    QString patternName_;
    bool drawFrame_ = false;
    QColor frameColor_;
};
