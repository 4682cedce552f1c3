#pragma once

#include <QByteArray>
#include <QImage>

// Encoded forms of an image. Empty when the format cannot be written here.
enum class BitmapFileType { TIFF, BMP, GIF, JPEG, PNG, JPEG2000 };

QByteArray representationForFileType(const QImage& image, BitmapFileType type);
// compression 0.0 (smallest) to 1.0 (best quality).
QByteArray JPEGRepresentation(const QImage& image, double compression = 1.0);
QByteArray PNGRepresentation(const QImage& image);
QByteArray JPEG2000Representation(const QImage& image);
QByteArray GIFRepresentation(const QImage& image);
QByteArray BMPRepresentation(const QImage& image);
