#pragma once

#include <QBrush>
#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>
#include <optional>
#include <vector>

// The polished window background, composed for a window size from the
// artwork resource "PolishedWindowData": an array of images whose elements
// 1 to 8 are the polished set (bottom-left corner, bottom tile, bottom-right
// corner, top-left corner, top tile, top-right corner, left edge, right edge)
// and 9 to 14 the flat set (the six without side edges). The resource is read
// once per process; while it cannot be read every request tries again.
namespace polished_metall {

inline constexpr int kMinimumBandWidth = 300;

struct Images {
    QImage bottomLeft, bottomTile, bottomRight, topLeft, topTile, topRight, leftEdge, rightEdge;
};

// Where each piece goes on a canvas of the window's size, in coordinates with
// the origin at the bottom-left corner.
struct Layout {
    QSize bandSize[2]; // bottom, top band images
    QRect bottomSource, bottomTarget, topSource, topTarget;
    QRect bottomLeft, bottomRight, topLeft, topRight, leftEdge, rightEdge;
};

// The images of one style; nullopt when the resource cannot be read.
std::optional<Images> images(bool flat);
Layout layout(const QSize& window, const Images& images);
// The composed background, nullopt without the resource.
std::optional<QImage> compose(const QSize& window, bool flat);
// The background as a window brush, nullopt without the resource.
std::optional<QBrush> sizedPolishedBackColor(const QSize& window, bool flat);

// Where the resource is read from (tests point it elsewhere); forgets what
// was read.
void setResourcePath(const QString& path);
QString defaultResourcePath();

} // namespace polished_metall
