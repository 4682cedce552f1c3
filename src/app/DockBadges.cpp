#include "app/DockBadges.h"

#include "app/AppKeys.h"

#include "platform/gui/Coordinates.h"
#include "platform/gui/Images.h"
#include "platform/gui/Interface.h"
#include "widgets/FooterToolBarView.h"

#include <QPainter>

namespace dockbadges {

namespace {

constexpr qreal kMediaX = 8;
constexpr qreal kConvertY = 2;
constexpr qreal kTransferY = 41;
constexpr qreal kMediaHeight = 38;
constexpr qreal kSMSHeight = 32;
constexpr qreal kSMSBottom = 2;
constexpr qreal kSMSRadius = 12;
constexpr qreal kCountPointSize = 22;
constexpr qreal kMediaTextInset = 5;
constexpr qreal kSMSTextInset = 3;

QFont countFont()
{
    QFont font;
    font.setPixelSize(int(kCountPointSize));
    return font;
}

void drawCount(QPainter& painter, const QRectF& rect, qreal inset, qint64 count)
{
    painter.setFont(countFont());
    painter.setPen(Qt::white);
    painter.drawText(rect.adjusted(0, inset, 0, -inset), Qt::AlignCenter, QString::number(count));
}

void drawMediaBadge(QPainter& painter, const char* imageName, const QRectF& rect, int count)
{
    painter.drawImage(rect, platform::gui::image(QLatin1String(platform::gui::kProgramBundle), QLatin1String(imageName)));
    drawCount(painter, rect, kMediaTextInset, count);
}

} // namespace

qreal mediaBadgeWidth(int conversions, int transfers)
{
    if (conversions > 999 || transfers > 999)
        return 80.4;
    if (conversions > 99 || transfers > 99)
        return 73.8;
    if (conversions <= 9 && transfers <= 9)
        return 60;
    return 67.2;
}

qreal smsBadgeWidth(unsigned unread)
{
    if (unread <= 9)
        return 44;
    if (unread <= 99)
        return 49.28;
    if (unread <= 999)
        return 54.12;
    return 58.96;
}

Layout layout(const QSizeF& icon, const Counts& counts)
{
    Layout result;
    if (counts.media) {
        const qreal w = mediaBadgeWidth(counts.conversions, counts.transfers);
        result.convert = QRectF(kMediaX, kConvertY, w, kMediaHeight);
        result.transfer = QRectF(kMediaX, kTransferY, w, kMediaHeight);
    }
    if (counts.unreadSMS > 0) {
        const qreal s = smsBadgeWidth(counts.unreadSMS);
        result.sms = QRectF(icon.width() - s, icon.height() - kSMSHeight - kSMSBottom, s, kSMSHeight);
    }
    return result;
}

QImage drawIcon(const QImage& plain, const Counts& counts)
{
    if (!counts.media && counts.unreadSMS == 0)
        return plain;
    QImage icon = plain.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QSizeF size = icon.deviceIndependentSize();
    const Layout badges = layout(size, counts);
    QPainter painter(&icon);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    using platform::gui::flipRect;
    if (badges.convert)
        drawMediaBadge(painter, appkeys::kInConvertBadge, flipRect(*badges.convert, size.height()), counts.conversions);
    if (badges.transfer)
        drawMediaBadge(painter, appkeys::kInTransferBadge, flipRect(*badges.transfer, size.height()), counts.transfers);
    if (badges.sms) {
        const QRectF rect = flipRect(*badges.sms, size.height());
        painter.setPen(Qt::NoPen);
        FooterToolBarView::drawBadge(&painter, rect, QColor::fromRgbF(155 / 255.0, 169 / 255.0, 197 / 255.0, 1.0), true, kSMSRadius);
        drawCount(painter, rect, kSMSTextInset, counts.unreadSMS);
    }
    return icon;
}

} // namespace dockbadges
