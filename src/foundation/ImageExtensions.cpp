#include "foundation/ImageExtensions.h"

#include "foundation/NSImageSmoothResize.h"

#include <QPainter>
#include <QTransform>

#include <cmath>

QImage imageRotateByAngle(const QImage& image, int degrees)
{
    if (image.isNull())
        return QImage();
    const int side = int(std::ceil(std::hypot(double(image.width()), double(image.height()))));
    QImage canvas = imageWithSize(QSize(side, side));
    QPainter painter(&canvas);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.translate(side / 2.0, side / 2.0);
    painter.rotate(-degrees);
    painter.drawImage(QPointF(-image.width() / 2.0, -image.height() / 2.0), image);
    return canvas;
}

QImage imageScaleToSize(const QImage& image, const QSize& size)
{
    if (image.isNull() || size.isEmpty())
        return QImage();
    QImage canvas = imageWithSize(size);
    const QSize fitted = image.size().scaled(size, Qt::KeepAspectRatio);
    QPainter painter(&canvas);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRectF((size.width() - fitted.width()) / 2.0, (size.height() - fitted.height()) / 2.0,
                             fitted.width(), fitted.height()),
                      image);
    return canvas;
}

QImage imageRotate(const QImage& image)
{
    if (image.isNull())
        return QImage();
    return image.transformed(QTransform().rotate(90));
}
