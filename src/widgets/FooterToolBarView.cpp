#include "widgets/FooterToolBarView.h"

#include "platform/gui/Images.h"
#include "platform/gui/Interface.h"
#include "platform/gui/Paths.h"

#include <QPainter>
#include <cmath>

using platform::gui::arcFromCorner;

FooterToolBarView::FooterToolBarView(QWidget* parent, Origin origin)
    : QFrame(parent)
{
    setFrameShape(QFrame::NoFrame);
    if (origin == Origin::InCode) {
        drawType_ = FillColor;
        fillColor_ = QColor::fromHsvF(0, 0, 0.88);
        drawFrame_ = true;
        frameColor_ = QColor(Qt::darkGray);
    }
}

void FooterToolBarView::setDrawType(uint type)
{
    drawType_ = type;
    update();
}

void FooterToolBarView::setDrawOval(qreal radius)
{
    drawOval_ = radius;
    update();
}

void FooterToolBarView::setFillColor(const QColor& colour)
{
    fillColor_ = colour;
    update();
}

void FooterToolBarView::setFillPatternColor(const QImage& pattern)
{
    pattern_ = pattern;
    patternName_.clear();
    update();
}

void FooterToolBarView::setFillImageName(const QString& name)
{
    pattern_ = name.isEmpty() ? QImage() : platform::gui::image(platform::gui::kProgramBundle, name);
    patternName_ = name;
    update();
}

void FooterToolBarView::setDrawFrame(bool on)
{
    drawFrame_ = on;
    update();
}

void FooterToolBarView::setFrameColor(const QColor& colour)
{
    frameColor_ = colour;
    update();
}

QPainterPath FooterToolBarView::backgroundPath() const
{
    const QRectF bounds = rect();
    QPainterPath path;
    if (fillColor_.isValid() && drawType_ == FillColor) {
        if (drawOval_ > 0)
            return badgePath(bounds, drawOval_);
        path.addRect(bounds);
    } else if (!pattern_.isNull() && drawType_ == FillPattern) {
        path.addRect(bounds);
    }
    return path;
}

bool FooterToolBarView::drawsFrame() const
{
    return frameColor_.isValid() && drawFrame_ && drawOval_ <= 0;
}

QPainterPath FooterToolBarView::drawSelection(QPainter* painter, const QRectF& rect, const QColor& colour, bool fill) const
{
    return drawBadge(painter, rect, colour, fill, drawOval_);
}

QPainterPath FooterToolBarView::badgePath(const QRectF& rect, qreal radius)
{
    const auto whole = [](qreal v) { return std::trunc(v); };
    const qreal midX = whole(rect.x() + rect.width() * 0.5);
    const qreal midY = whole(rect.y() + rect.height() * 0.5);
    const qreal left = whole(rect.x());
    const qreal right = whole(rect.x() + rect.width());
    const qreal low = whole(rect.y());
    const qreal high = whole(rect.y() + rect.height());
    QPainterPath path;
    path.moveTo(midX, low);
    arcFromCorner(path, {right, low}, {right, midY}, radius);
    arcFromCorner(path, {right, high}, {midX, high}, radius);
    arcFromCorner(path, {left, high}, {left, midY}, radius);
    arcFromCorner(path, rect.topLeft(), {midX, low}, radius);
    path.closeSubpath();
    return path;
}

QPainterPath FooterToolBarView::drawBadge(QPainter* painter, const QRectF& rect, const QColor& colour, bool fill, qreal radius)
{
    QPainterPath path = badgePath(rect, radius);
    if (painter) {
        painter->setBrush(colour);
        painter->setPen(colour);
        if (fill) {
            painter->setRenderHint(QPainter::Antialiasing, true);
            painter->fillPath(path, colour);
        }
    }
    return path;
}

void FooterToolBarView::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    const QRectF bounds = rect();
    if (fillColor_.isValid() && drawType_ == FillColor) {
        if (drawOval_ > 0)
            drawBadge(&painter, bounds, fillColor_, true, drawOval_);
        else
            painter.fillRect(bounds, fillColor_);
    } else if (!pattern_.isNull() && drawType_ == FillPattern) {
        painter.drawImage(bounds, pattern_);
    }
    if (drawsFrame()) {
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.setPen(QPen(frameColor_, 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
    painter.end();
    QFrame::paintEvent(event);
}
