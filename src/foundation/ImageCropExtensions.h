#pragma once

#include <QImage>
#include <QRectF>
#include <QSize>

// Fitting an image into a size. Methods:
//   0  crop to fill, keeping the middle
//   1  crop to fill, keeping the top (vertical excess) or the left (horizontal)
//   2  crop to fill, keeping the bottom or the right
//   3  scale to fit, centred, the rest transparent
enum ImageFitMethod { kFitCropCentre = 0, kFitCropTopLeft = 1, kFitCropBottomRight = 2, kFitScale = 3 };

struct ImageFitGeometry {
    QRectF sourceRect; // the part of the source that is drawn
    QRectF targetRect; // where it is drawn in the target canvas (top-left origin)
};

ImageFitGeometry imageFitGeometry(const QSize& source, const QSize& target, int method);

QImage imageToFitSize(const QImage& image, const QSize& size, int method);
QImage imageCroppedToFitSize(const QImage& image, const QSize& size);
QImage imageScaledToFitSize(const QImage& image, const QSize& size);
