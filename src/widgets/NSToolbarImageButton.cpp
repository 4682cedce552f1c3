#include "widgets/NSToolbarImageButton.h"

#include "platform/gui/Coordinates.h"

#include <QPainter>

namespace {

// Columns of the left, middle and right pieces for a place in a group.
struct Columns {
    int left;
    int middle;
    int right;
};

Columns columnsForTag(int tag)
{
    switch (tag) {
    case 1:
        return {0, 2, 1};   // first segment
    case 2:
        return {3, 2, 4};   // last segment
    case 3:
        return {3, 2, 1};   // inner segment
    default:
        return {0, 2, 4};   // single button
    }
}

} // namespace

NSToolbarImageButton::NSToolbarImageButton(QWidget* parent)
    : NSScaledImageButton(parent)
{
    setAttribute(Qt::WA_Hover);
}

void NSToolbarImageButton::setAlternateImage(const QImage& sheet)
{
    if (sheet.isNull() || !tiles_.isEmpty())
        return;
    // Rows are counted from the bottom edge of the sheet, 1 point apart.
    const QSizeF sheetSize = sheet.deviceIndependentSize();
    const qreal ratio = sheet.devicePixelRatio();
    const qreal tileWidth = sheetSize.width() / kColumns;
    const qreal rowPitch = sheetSize.height() / kRows;
    const qreal tileHeight = rowPitch - 1;
    if (tileWidth < 1 || tileHeight < 1)
        return;
    for (int row = 0; row < kRows; ++row) {
        for (int column = 0; column < kColumns; ++column) {
            const QRectF inSheet = platform::gui::flipRect(
                QRectF(column * tileWidth, 1 + row * rowPitch, tileWidth, tileHeight), sheetSize.height());
            const QPoint origin = (inSheet.topLeft() * ratio).toPoint();
            QImage tile = sheet.copy(QRect(origin, QSize(int(tileWidth * ratio), int(tileHeight * ratio))));
            tile.setDevicePixelRatio(ratio);
            tiles_.append(tile);
        }
    }
    NSScaledImageButton::setAlternateImage(QImage());
}

QImage NSToolbarImageButton::alternateImage() const
{
    return tiles_.isEmpty() ? NSScaledImageButton::alternateImage() : QImage();
}

int NSToolbarImageButton::getButState() const
{
    if (!isEnabled())
        return Disabled;
    if (isDown())
        return Pressed;
    if (inTrack_)
        return Hover;
    return Normal;
}

QList<NSToolbarImageButton::Piece> NSToolbarImageButton::backgroundPieces(int state) const
{
    QList<Piece> pieces;
    if (tiles_.isEmpty())
        return pieces;
    const Columns columns = columnsForTag(tag());
    const qreal tileWidth = tiles_.first().deviceIndependentSize().width();
    const qreal h = height();
    const qreal middleWidth = width() - 2 * tileWidth;
    const Piece all[] = {
        {state + columns.left, QRectF(0, 0, tileWidth, h)},
        {state + columns.middle, QRectF(tileWidth, 0, middleWidth, h)},
        {state + columns.right, QRectF(tileWidth + middleWidth, 0, tileWidth, h)},
    };
    for (const Piece& piece : all) {
        if (piece.tile >= 0 && piece.tile < tiles_.size() && piece.rect.width() > 0)
            pieces.append(piece);
    }
    return pieces;
}

void NSToolbarImageButton::drawBackGround(QPainter& painter)
{
    for (const Piece& piece : backgroundPieces(getButState()))
        painter.drawImage(piece.rect, tiles_.at(piece.tile));
}

void NSToolbarImageButton::enterEvent(QEnterEvent* event)
{
    inTrack_ = window()->isActiveWindow();
    update();
    NSScaledImageButton::enterEvent(event);
}

void NSToolbarImageButton::leaveEvent(QEvent* event)
{
    inTrack_ = false;
    update();
    NSScaledImageButton::leaveEvent(event);
}

void NSToolbarImageButton::hideEvent(QHideEvent* event)
{
    inTrack_ = false;
    NSScaledImageButton::hideEvent(event);
}
