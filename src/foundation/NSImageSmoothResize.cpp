#include "foundation/NSImageSmoothResize.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageIOHandler>
#include <QImageReader>
#include <QPainter>

#include <cmath>

namespace {

constexpr double kDefaultDpi = 72.0;
constexpr double kMinimumDpi = 50.0;
constexpr int kIconSide = 128;

double dpiValue(const QVariantMap& properties, const char* key)
{
    bool ok = false;
    const double value = properties.value(QString::fromLatin1(key)).toDouble(&ok);
    if (!ok || value < kMinimumDpi)
        return kDefaultDpi;
    return value;
}

int exifOrientation(QImageIOHandler::Transformations transformation)
{
    switch (int(transformation)) {
    case QImageIOHandler::TransformationMirror: return 2;
    case QImageIOHandler::TransformationRotate180: return 3;
    case QImageIOHandler::TransformationFlip: return 4;
    case QImageIOHandler::TransformationFlipAndRotate90: return 5;
    case QImageIOHandler::TransformationRotate90: return 6;
    case QImageIOHandler::TransformationMirrorAndRotate90: return 7;
    case QImageIOHandler::TransformationRotate270: return 8;
    default: return 1;
    }
}

struct Decoded {
    QImage image;
    QVariantMap properties;
};

Decoded decode(QIODevice* device)
{
    QImageReader reader(device);
    reader.setAutoTransform(false);
    Decoded result;
    result.image = reader.read();
    if (result.image.isNull())
        return result;
    result.properties.insert(QString::fromLatin1(imageprops::kOrientation), exifOrientation(reader.transformation()));
    if (result.image.dotsPerMeterX() > 0)
        result.properties.insert(QString::fromLatin1(imageprops::kDPIWidth), std::round(result.image.dotsPerMeterX() * 0.0254));
    if (result.image.dotsPerMeterY() > 0)
        result.properties.insert(QString::fromLatin1(imageprops::kDPIHeight), std::round(result.image.dotsPerMeterY() * 0.0254));
    return result;
}

Decoded decode(const QByteArray& data)
{
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    return decode(&buffer);
}

QImage orientationCorrected(const Decoded& decoded)
{
    if (decoded.image.isNull())
        return QImage();
    return applyImageTransform(decoded.image, imageTransform(decoded.image.size(), decoded.properties));
}

} // namespace

double dpiWidth(const QVariantMap& properties)
{
    return dpiValue(properties, imageprops::kDPIWidth);
}

double dpiHeight(const QVariantMap& properties)
{
    return dpiValue(properties, imageprops::kDPIHeight);
}

int orientation(const QVariantMap& properties)
{
    bool ok = false;
    const int value = properties.value(QString::fromLatin1(imageprops::kOrientation)).toInt(&ok);
    return ok && value >= 1 && value <= 8 ? value : 1;
}

QTransform imageTransform(const QSize& pixelSize, const QVariantMap& properties)
{
    const double dpiW = dpiWidth(properties);
    const double dpiH = dpiHeight(properties);
    const double sx = dpiH > dpiW ? dpiH / dpiW : 1.0;
    const double sy = dpiW > dpiH ? dpiW / dpiH : 1.0;
    const double w = pixelSize.width() * sx;
    const double h = pixelSize.height() * sy;
    switch (orientation(properties)) {
    case 2: return QTransform(-sx, 0, 0, sy, w, 0);
    case 3: return QTransform(-sx, 0, 0, -sy, w, h);
    case 4: return QTransform(sx, 0, 0, -sy, 0, h);
    case 5: return QTransform(0, -sx, -sy, 0, h, w);
    case 6: return QTransform(0, -sx, sy, 0, 0, w);
    case 7: return QTransform(0, sx, sy, 0, 0, 0);
    case 8: return QTransform(0, sx, -sy, 0, h, 0);
    default: return QTransform(sx, 0, 0, sy, 0, 0);
    }
}

QSize transformedExtent(const QSize& pixelSize, const QTransform& transform)
{
    const QRectF extent = transform.mapRect(QRectF(QPointF(0, 0), QSizeF(pixelSize)));
    return QSize(int(std::lround(extent.width())), int(std::lround(extent.height())));
}

QImage applyImageTransform(const QImage& image, const QTransform& transform)
{
    if (image.isNull())
        return QImage();
    const QRectF extent = transform.mapRect(QRectF(QPointF(0, 0), QSizeF(image.size())));
    const QSize size = transformedExtent(image.size(), transform);
    if (size.isEmpty())
        return QImage();
    QImage canvas = imageWithSize(size);
    // Qt's y axis points down: flip into the y-up space, transform, move the
    // extent to the origin and flip back.
    const QTransform flipIn(1, 0, 0, -1, 0, image.height());
    const QTransform toOrigin = QTransform::fromTranslate(-extent.left(), -extent.top());
    const QTransform flipOut(1, 0, 0, -1, 0, size.height());
    QPainter painter(&canvas);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setTransform(flipIn * transform * toOrigin * flipOut);
    painter.drawImage(QPointF(0, 0), image);
    return canvas;
}

QVariantMap imagePropertiesOfData(const QByteArray& data)
{
    return decode(data).properties;
}

QImage CreateCGImageRefFromFile(const QString& path)
{
    if (path.isEmpty())
        return QImage();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QImage();
    return orientationCorrected(decode(&file));
}

QImage CreateCGImageRefFromData(const QByteArray& data)
{
    if (data.isEmpty())
        return QImage();
    return orientationCorrected(decode(data));
}

QImage imageWithCoreGraphicPath(const QString& path)
{
    return CreateCGImageRefFromFile(path);
}

QImage imageWithCoreGraphicData(const QByteArray& data)
{
    return CreateCGImageRefFromData(data);
}

QImage imageWithSize(const QSize& size)
{
    if (size.isEmpty())
        return QImage();
    QImage canvas(size, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::transparent);
    return canvas;
}

QImage imageWithContentsOfFile(const QString& path)
{
    if (path.isEmpty())
        return QImage();
    return QImage(path);
}

QImage imageFromBundle(const QString& name)
{
    if (name.isEmpty())
        return QImage();
    const QString base = QStringLiteral(":/images/") + name;
    for (const char* extension : { "", ".png", ".tiff", ".tif", ".jpg", ".jpeg", ".gif", ".bmp" }) {
        const QString path = base + QString::fromLatin1(extension);
        if (QFileInfo::exists(path)) {
            QImage image(path);
            if (!image.isNull())
                return image;
        }
    }
    return QImage();
}

QImage smoothResize(const QImage& image, const QSize& size)
{
    if (image.isNull() || size.isEmpty())
        return QImage();
    return image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

QImage imageToBlackAndWhite(const QImage& image)
{
    if (image.isNull())
        return QImage();
    QImage result = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < result.height(); ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(result.scanLine(y));
        for (int x = 0; x < result.width(); ++x) {
            const QRgb pixel = line[x];
            const int grey = qBound(0, int(std::lround(0.2125 * qRed(pixel) + 0.7154 * qGreen(pixel) + 0.0721 * qBlue(pixel))), 255);
            line[x] = qRgba(grey, grey, grey, qAlpha(pixel));
        }
    }
    return result;
}

QImage tiffWithIconSize(const QImage& image)
{
    return smoothResize(image, QSize(kIconSide, kIconSide));
}

QImage flippForOrientation(const QImage& image, int orientationValue)
{
    QVariantMap properties;
    properties.insert(QString::fromLatin1(imageprops::kOrientation), orientationValue);
    return applyImageTransform(image, imageTransform(image.size(), properties));
}

QImage flippImageHorizontal(const QImage& image)
{
    if (image.isNull())
        return QImage();
    return applyImageTransform(image, QTransform(-1, 0, 0, 1, image.width(), 0));
}

QImage rotateImage(const QImage& image, float degrees)
{
    if (image.isNull())
        return QImage();
    const bool quarter = degrees == 90.0f || degrees == -90.0f;
    const QSize size = quarter ? image.size().transposed() : image.size();
    QImage canvas = imageWithSize(size);
    QPainter painter(&canvas);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.translate(size.width() / 2.0, size.height() / 2.0);
    painter.rotate(-degrees);
    painter.drawImage(QPointF(-image.width() / 2.0, -image.height() / 2.0), image);
    return canvas;
}
