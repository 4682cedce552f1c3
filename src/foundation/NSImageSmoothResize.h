#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>
#include <QTransform>
#include <QVariantMap>

// Photo import and redrawing.
//
// Image properties are a map with the keys below (any may be missing).
// Transforms are given as the affine transform (a, b, c, d, tx, ty) of a
// coordinate system whose y axis points up, QTransform(a, b, c, d, tx, ty);
// drawing through them on a QImage flips y in and out.
namespace imageprops {
inline constexpr const char* kDPIWidth = "DPIWidth";
inline constexpr const char* kDPIHeight = "DPIHeight";
inline constexpr const char* kOrientation = "Orientation";
} // namespace imageprops

// Resolution in dots per inch: 72 when absent or below 50.
double dpiWidth(const QVariantMap& properties);
double dpiHeight(const QVariantMap& properties);
// Orientation 1-8 (EXIF), 1 when absent or out of range.
int orientation(const QVariantMap& properties);
// The transform that shows the photo upright, a photo with unequal
// resolutions stretched along its lower-resolution axis.
QTransform imageTransform(const QSize& pixelSize, const QVariantMap& properties);
// pixelSize drawn through transform: the extent of the result.
QSize transformedExtent(const QSize& pixelSize, const QTransform& transform);
// The image redrawn through a y-up transform onto the transformed extent.
QImage applyImageTransform(const QImage& image, const QTransform& transform);

// Properties of an encoded image (resolution and orientation); empty when
// the data is no image.
QVariantMap imagePropertiesOfData(const QByteArray& data);

// The first image of the file or data, orientation-corrected; null when no image.
QImage CreateCGImageRefFromFile(const QString& path);
QImage CreateCGImageRefFromData(const QByteArray& data);
QImage imageWithCoreGraphicPath(const QString& path);
QImage imageWithCoreGraphicData(const QByteArray& data);

QImage imageWithSize(const QSize& size);            // transparent canvas
QImage imageWithContentsOfFile(const QString& path); // null for an empty path or no image
// The image resource of that name (":/images/<name>", with or without an
// image extension); null when there is none.
QImage imageFromBundle(const QString& name);

// The image drawn into size (aspect not kept).
QImage smoothResize(const QImage& image, const QSize& size);
// Monochrome: every pixel's luminance as grey, alpha kept.
QImage imageToBlackAndWhite(const QImage& image);
// A 128 x 128 copy.
QImage tiffWithIconSize(const QImage& image);
// The image redrawn through the transform of orientation 1-8 (72 dpi).
QImage flippForOrientation(const QImage& image, int orientation);
// Mirrored left to right.
QImage flippImageHorizontal(const QImage& image);
// Rotated counter-clockwise about the centre on a canvas of the image's size,
// width and height exchanged when the angle is exactly 90 or -90.
QImage rotateImage(const QImage& image, float degrees);
