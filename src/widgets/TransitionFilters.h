#pragma once

#include <QImage>
#include <QRectF>

// The eight tab transitions as picture functions: each gives the frame at
// time t (0 = the old picture, 1 = the new one) for two pictures of the same
// size. Styles: 0 copy machine, 1 disintegrate with a mask, 2 dissolve,
// 3 flash, 4 mod, 5 page curl, 6 ripple, 7 swipe; any other number plays the
// ripple. The shading picture lights the curl's back and the ripple's wave,
// the mask decides where the disintegration shows the new picture first;
// either may be null (then plain shading, a mask of noise).
namespace transitions {

inline constexpr int kRipple = 6;
inline constexpr int kStyleCount = 8;

int effectiveStyle(int style);
QImage frame(int style, const QImage& from, const QImage& to, double t, const QImage& shading = {},
             const QImage& mask = {});

} // namespace transitions

// Blanks a picture before a view is drawn into it.
void ClearBitmapImageRep(QImage& picture);
