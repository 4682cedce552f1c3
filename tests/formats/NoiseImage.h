#pragma once

#include <QImage>

// An image of pseudo-random pixels (JPEG cannot compress it much), the same
// for the same size.
inline QImage noiseImage(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    quint32 seed = 12345;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            seed = seed * 1103515245u + 12345u;
            image.setPixel(x, y, seed >> 8);
        }
    }
    return image;
}
