#include "app/TarnexImages.h"

#include "platform/gui/Images.h"
#include "platform/gui/Interface.h"

#include <QFontMetricsF>
#include <QPainter>

namespace tarnex {

namespace {
constexpr qreal kTitleInset = 19;
constexpr qreal kSmallControlPointSize = 9;
} // namespace

QImage image(const QString& name)
{
    return platform::gui::image(QLatin1String(platform::gui::kProgramBundle), name);
}

QImage image(const char* name)
{
    return image(QLatin1String(name));
}

QFont titleFont(const QFont& base)
{
    QFont font = base;
    font.setPointSizeF(kSmallControlPointSize);
    return font;
}

QRectF titleRect(const QRectF& bar, const QFont& font)
{
    const qreal vertical = (bar.height() - QFontMetricsF(font).height()) / 2;
    return bar.adjusted(kTitleInset, vertical, -kTitleInset, -vertical);
}

void drawTitle(QPainter& painter, const QRectF& bar, const QString& title, const QFont& font)
{
    const QRectF rect = titleRect(bar, font);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(rect, Qt::AlignCenter, QFontMetricsF(font).elidedText(title, Qt::ElideRight, std::max<qreal>(0, rect.width())));
}

} // namespace tarnex
