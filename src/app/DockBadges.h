#pragma once

#include <QImage>
#include <QRectF>
#include <QSizeF>

#include <optional>

// The badges laid over the program icon: the media badges (conversions and
// transfers under way) and the unread-message badge. Rectangles are in the
// icon's bottom-left coordinates, as the layout is given; drawing maps them.
namespace dockbadges {

struct Counts {
    bool media = false;       // the phones report media work
    int conversions = 0;
    int transfers = 0;
    unsigned unreadSMS = 0;
};

struct Layout {
    std::optional<QRectF> convert;
    std::optional<QRectF> transfer;
    std::optional<QRectF> sms;
};

qreal mediaBadgeWidth(int conversions, int transfers);
qreal smsBadgeWidth(unsigned unread);
Layout layout(const QSizeF& icon, const Counts& counts);
// The plain icon with the badges drawn in; the plain icon itself when there
// is nothing to show.
QImage drawIcon(const QImage& plain, const Counts& counts);

} // namespace dockbadges
