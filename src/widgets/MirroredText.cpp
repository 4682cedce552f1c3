#include "widgets/MirroredText.h"

#include <QPainter>

namespace {
constexpr qreal kMirrorGap = 4;
} // namespace

MirroredText::MirroredText(QWidget* parent)
    : QLabel(parent)
    , gradient_(QColor::fromRgbF(0, 0, 0, 1.0), QColor::fromRgbF(0, 0, 0, 0.6))
{
}

QRectF MirroredText::textLineRect() const
{
    return QRectF(0, 0, width(), QFontMetricsF(font()).height());
}

QRectF MirroredText::mirrorRect() const
{
    const QRectF line = textLineRect();
    return line.translated(0, line.height() + kMirrorGap);
}

void MirroredText::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const int flags = int(alignment() & Qt::AlignHorizontal_Mask) | Qt::AlignVCenter | (wordWrap() ? Qt::TextWordWrap : 0);
    const QString shown = wordWrap() ? text() : QFontMetricsF(font()).elidedText(text(), Qt::ElideRight, width());
    painter.setFont(font());
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(textLineRect(), flags, shown);

    const QRectF mirror = mirrorRect();
    painter.save();
    painter.translate(0, mirror.top() + mirror.bottom());
    painter.scale(1, -1);
    painter.setPen(Qt::white);
    painter.drawText(mirror, flags, shown);
    painter.restore();
    gradient_.drawGradient(painter, mirror);
}
