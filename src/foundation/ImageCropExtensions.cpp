#include "foundation/ImageCropExtensions.h"

#include "foundation/NSImageSmoothResize.h"

#include <QPainter>

#include <cmath>

ImageFitGeometry imageFitGeometry(const QSize& source, const QSize& target, int method)
{
    const double W = target.width(), H = target.height();
    const double w = source.width(), h = source.height();
    ImageFitGeometry geometry { QRectF(0, 0, w, h), QRectF(0, 0, W, H) };
    if (W <= 0 || H <= 0 || w <= 0 || h <= 0)
        return geometry;
    const double rt = W / H;
    const double rs = w / h;
    const bool wider = rt >= rs;

    if (method == kFitScale) {
        if (wider) {
            const double drawnWidth = std::round(rs * H);
            geometry.targetRect = QRectF((W - drawnWidth) / 2.0, 0, drawnWidth, H);
        } else {
            const double drawnHeight = std::round(W / rs);
            geometry.targetRect = QRectF(0, (H - drawnHeight) / 2.0, W, drawnHeight);
        }
        return geometry;
    }

    if (wider) {
        // Scaled to the full width; the excess height is cut.
        const double scaledHeight = std::round(W / rs);
        const double keptHeight = h * H / scaledHeight;
        const double excess = h - keptHeight;
        const double y = method == kFitCropTopLeft ? 0.0 : method == kFitCropBottomRight ? excess : excess / 2.0;
        geometry.sourceRect = QRectF(0, y, w, keptHeight);
    } else {
        const double scaledWidth = std::round(rs * H);
        const double keptWidth = w * W / scaledWidth;
        const double excess = w - keptWidth;
        const double x = method == kFitCropTopLeft ? 0.0 : method == kFitCropBottomRight ? excess : excess / 2.0;
        geometry.sourceRect = QRectF(x, 0, keptWidth, h);
    }
    return geometry;
}

QImage imageToFitSize(const QImage& image, const QSize& size, int method)
{
    if (image.isNull() || size.isEmpty())
        return QImage();
    QImage canvas = imageWithSize(size);
    const ImageFitGeometry geometry = imageFitGeometry(image.size(), size, method);
    QPainter painter(&canvas);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(geometry.targetRect, image, geometry.sourceRect);
    return canvas;
}

QImage imageCroppedToFitSize(const QImage& image, const QSize& size)
{
    return imageToFitSize(image, size, kFitCropCentre);
}

QImage imageScaledToFitSize(const QImage& image, const QSize& size)
{
    return imageToFitSize(image, size, kFitScale);
}
