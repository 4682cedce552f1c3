#include "foundation/ImageFileTypeCategory.h"

#include <QBuffer>
#include <QImageWriter>

namespace {

const char* formatName(BitmapFileType type)
{
    switch (type) {
    case BitmapFileType::TIFF: return "tiff";
    case BitmapFileType::BMP: return "bmp";
    case BitmapFileType::GIF: return "gif";
    case BitmapFileType::JPEG: return "jpeg";
    case BitmapFileType::PNG: return "png";
    case BitmapFileType::JPEG2000: return "jp2";
    }
    return "png";
}

QByteArray encode(const QImage& image, const char* format, int quality)
{
    if (image.isNull())
        return QByteArray();
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (quality >= 0)
        writer.setQuality(quality);
    if (!writer.write(image))
        return QByteArray();
    return data;
}

} // namespace

QByteArray representationForFileType(const QImage& image, BitmapFileType type)
{
    return encode(image, formatName(type), -1);
}

QByteArray JPEGRepresentation(const QImage& image, double compression)
{
    const int quality = qBound(0, int(compression * 100.0 + 0.5), 100);
    return encode(image, formatName(BitmapFileType::JPEG), quality);
}

QByteArray PNGRepresentation(const QImage& image)
{
    return representationForFileType(image, BitmapFileType::PNG);
}

QByteArray JPEG2000Representation(const QImage& image)
{
    return representationForFileType(image, BitmapFileType::JPEG2000);
}

QByteArray GIFRepresentation(const QImage& image)
{
    return representationForFileType(image, BitmapFileType::GIF);
}

QByteArray BMPRepresentation(const QImage& image)
{
    return representationForFileType(image, BitmapFileType::BMP);
}
