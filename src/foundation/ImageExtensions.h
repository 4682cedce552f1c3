#pragma once

#include <QImage>
#include <QSize>

// Rotation and scaling. Positive angles turn counter-clockwise.

// A square canvas whose side is the image's diagonal, the image drawn rotated
// about its centre.
QImage imageRotateByAngle(const QImage& image, int degrees);
// The image scaled to fit inside size, aspect kept, centred.
QImage imageScaleToSize(const QImage& image, const QSize& size);
// A quarter turn clockwise (width and height exchanged).
QImage imageRotate(const QImage& image);
