#include "foundation/ImageCropExtensions.h"
#include "foundation/ImageExtensions.h"
#include "foundation/ImageFileTypeCategory.h"
#include "foundation/NSImageSmoothResize.h"

#include <QBuffer>
#include <QImageWriter>

#include <gtest/gtest.h>

namespace {

QImage solid(int w, int h, QColor color)
{
    QImage image(w, h, QImage::Format_ARGB32);
    image.fill(color);
    return image;
}

// A row of two pixels: red on the left, green on the right.
QImage redGreen()
{
    QImage image(2, 1, QImage::Format_ARGB32);
    image.setPixel(0, 0, qRgb(255, 0, 0));
    image.setPixel(1, 0, qRgb(0, 255, 0));
    return image;
}

bool isRed(QRgb pixel)
{
    return qRed(pixel) > 200 && qGreen(pixel) < 60;
}

bool isGreen(QRgb pixel)
{
    return qGreen(pixel) > 200 && qRed(pixel) < 60;
}

QVariantMap props(int orientationValue, double dpiW = 72, double dpiH = 72)
{
    return { { QString::fromLatin1(imageprops::kOrientation), orientationValue },
             { QString::fromLatin1(imageprops::kDPIWidth), dpiW },
             { QString::fromLatin1(imageprops::kDPIHeight), dpiH } };
}

} // namespace

TEST(ImageCropExtensions, ScaledToFitIsCentredWithTransparentBands)
{
    const ImageFitGeometry geometry = imageFitGeometry(QSize(200, 100), QSize(100, 100), kFitScale);
    EXPECT_EQ(geometry.targetRect, QRectF(0, 25, 100, 50));

    const QImage fitted = imageScaledToFitSize(solid(200, 100, Qt::blue), QSize(100, 100));
    ASSERT_EQ(fitted.size(), QSize(100, 100));
    EXPECT_EQ(qAlpha(fitted.pixel(50, 10)), 0);
    EXPECT_EQ(qAlpha(fitted.pixel(50, 90)), 0);
    EXPECT_EQ(qAlpha(fitted.pixel(50, 50)), 255);
    EXPECT_EQ(qAlpha(fitted.pixel(50, 26)), 255);
}

TEST(ImageCropExtensions, CropMethodsKeepTheirPart)
{
    struct Case {
        QSize source;
        int method;
        QRectF kept;
    } const cases[] = {
        { QSize(200, 100), kFitCropCentre, QRectF(50, 0, 100, 100) },
        { QSize(200, 100), kFitCropTopLeft, QRectF(0, 0, 100, 100) },
        { QSize(200, 100), kFitCropBottomRight, QRectF(100, 0, 100, 100) },
        { QSize(100, 300), kFitCropCentre, QRectF(0, 100, 100, 100) },
        { QSize(100, 300), kFitCropTopLeft, QRectF(0, 0, 100, 100) },
        { QSize(100, 300), kFitCropBottomRight, QRectF(0, 200, 100, 100) },
    };
    for (const Case& c : cases) {
        const ImageFitGeometry geometry = imageFitGeometry(c.source, QSize(50, 50), c.method);
        EXPECT_EQ(geometry.sourceRect, c.kept) << c.source.width() << "x" << c.source.height() << " method " << c.method;
        EXPECT_EQ(geometry.targetRect, QRectF(0, 0, 50, 50));
    }
    // The left half red, right half green: keeping the left shows red only.
    QImage image(200, 100, QImage::Format_ARGB32);
    image.fill(Qt::green);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 100; ++x)
            image.setPixel(x, y, qRgb(255, 0, 0));
    const QImage left = imageToFitSize(image, QSize(50, 50), kFitCropTopLeft);
    EXPECT_TRUE(isRed(left.pixel(45, 25)));
    const QImage right = imageToFitSize(image, QSize(50, 50), kFitCropBottomRight);
    EXPECT_TRUE(isGreen(right.pixel(5, 25)));
}

TEST(NSImageSmoothResize, ResolutionAndOrientationDefaults)
{
    EXPECT_EQ(dpiWidth({ { QString::fromLatin1(imageprops::kDPIWidth), 0 } }), 72.0);
    EXPECT_EQ(dpiWidth({ { QString::fromLatin1(imageprops::kDPIWidth), 49.9 } }), 72.0);
    EXPECT_EQ(dpiWidth({ { QString::fromLatin1(imageprops::kDPIWidth), 300 } }), 300.0);
    EXPECT_EQ(dpiHeight({}), 72.0);
    EXPECT_EQ(orientation({}), 1);
    EXPECT_EQ(orientation(props(0)), 1);
    EXPECT_EQ(orientation(props(9)), 1);
    EXPECT_EQ(orientation(props(8)), 8);
}

TEST(NSImageSmoothResize, OrientationTransformTable)
{
    // 30 x 20 pixels at 144 x 72 dpi: sx = 1, sy = 2, w = 30, h = 40.
    const QSize size(30, 20);
    struct Case {
        int orientation;
        QTransform expected;
    } const cases[] = {
        { 1, QTransform(1, 0, 0, 2, 0, 0) },   { 2, QTransform(-1, 0, 0, 2, 30, 0) },
        { 3, QTransform(-1, 0, 0, -2, 30, 40) }, { 4, QTransform(1, 0, 0, -2, 0, 40) },
        { 5, QTransform(0, -1, -2, 0, 40, 30) }, { 6, QTransform(0, -1, 2, 0, 0, 30) },
        { 7, QTransform(0, 1, 2, 0, 0, 0) },   { 8, QTransform(0, 1, -2, 0, 40, 0) },
    };
    for (const Case& c : cases)
        EXPECT_EQ(imageTransform(size, props(c.orientation, 144, 72)), c.expected) << "orientation " << c.orientation;
    // The other axis: 72 x 144 dpi gives sx = 2, sy = 1.
    EXPECT_EQ(imageTransform(size, props(2, 72, 144)), QTransform(-2, 0, 0, 1, 60, 0));
}

TEST(NSImageSmoothResize, OrientationShowsThePhotoUpright)
{
    struct Case {
        int orientation;
        QSize size;
        QPoint red;
        QPoint green;
    } const cases[] = {
        { 1, QSize(2, 1), QPoint(0, 0), QPoint(1, 0) }, { 2, QSize(2, 1), QPoint(1, 0), QPoint(0, 0) },
        { 3, QSize(2, 1), QPoint(1, 0), QPoint(0, 0) }, { 4, QSize(2, 1), QPoint(0, 0), QPoint(1, 0) },
        { 5, QSize(1, 2), QPoint(0, 0), QPoint(0, 1) }, { 6, QSize(1, 2), QPoint(0, 0), QPoint(0, 1) },
        { 7, QSize(1, 2), QPoint(0, 1), QPoint(0, 0) }, { 8, QSize(1, 2), QPoint(0, 1), QPoint(0, 0) },
    };
    for (const Case& c : cases) {
        const QImage upright = flippForOrientation(redGreen(), c.orientation);
        ASSERT_EQ(upright.size(), c.size) << "orientation " << c.orientation;
        EXPECT_TRUE(isRed(upright.pixel(c.red))) << "orientation " << c.orientation;
        EXPECT_TRUE(isGreen(upright.pixel(c.green))) << "orientation " << c.orientation;
    }
    const QImage stretched = applyImageTransform(redGreen(), imageTransform(QSize(2, 1), props(1, 144, 72)));
    EXPECT_EQ(stretched.size(), QSize(2, 2));
}

TEST(NSImageSmoothResize, DecodedPhotoIsOrientationCorrected)
{
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(QImageWriter(&buffer, "jpeg").write(solid(40, 20, Qt::red)));
    // An EXIF segment right after the start marker: orientation 6.
    const QByteArray exif = QByteArray("Exif\0\0MM\0\x2a\0\0\0\x08", 14)
        + QByteArray("\0\x01\x01\x12\0\x03\0\0\0\x01\0\x06\0\0\0\0\0\0", 18);
    const int length = int(exif.size()) + 2;
    data.insert(2, QByteArray("\xff\xe1", 2) + char(length >> 8) + char(length & 0xff) + exif);

    EXPECT_EQ(orientation(imagePropertiesOfData(data)), 6);
    EXPECT_EQ(CreateCGImageRefFromData(data).size(), QSize(20, 40));
    EXPECT_TRUE(CreateCGImageRefFromData(QByteArray("not an image")).isNull());
    EXPECT_TRUE(imageWithCoreGraphicPath(QString()).isNull());
}

TEST(ImageExtensions, RotationsAndMirror)
{
    const QImage clockwise = imageRotate(redGreen());
    ASSERT_EQ(clockwise.size(), QSize(1, 2));
    EXPECT_TRUE(isRed(clockwise.pixel(0, 0)));
    EXPECT_TRUE(isGreen(clockwise.pixel(0, 1)));

    const QImage mirrored = flippImageHorizontal(redGreen());
    EXPECT_TRUE(isGreen(mirrored.pixel(0, 0)));
    EXPECT_TRUE(isRed(mirrored.pixel(1, 0)));

    EXPECT_EQ(rotateImage(solid(40, 20, Qt::red), 90.0f).size(), QSize(20, 40));
    EXPECT_EQ(rotateImage(solid(40, 20, Qt::red), 45.0f).size(), QSize(40, 20));
    EXPECT_EQ(imageRotateByAngle(solid(30, 40, Qt::red), 30).size(), QSize(50, 50));
    EXPECT_EQ(imageScaleToSize(solid(200, 100, Qt::red), QSize(50, 50)).pixel(25, 5) >> 24, 0u);
    EXPECT_EQ(tiffWithIconSize(solid(10, 30, Qt::red)).size(), QSize(128, 128));
}

TEST(ImageFileTypeCategory, EncodingsDecodeAgain)
{
    const QImage image = solid(8, 8, Qt::red);
    for (const QByteArray& data : { PNGRepresentation(image), JPEGRepresentation(image), JPEGRepresentation(image, 0.3),
                                    BMPRepresentation(image) }) {
        ASSERT_FALSE(data.isEmpty());
        EXPECT_EQ(QImage::fromData(data).size(), QSize(8, 8));
    }
    EXPECT_LT(JPEGRepresentation(solid(64, 64, Qt::red), 0.1).size(), JPEGRepresentation(solid(64, 64, Qt::red), 1.0).size());
    const QImage grey = imageToBlackAndWhite(solid(2, 2, QColor(255, 0, 0)));
    EXPECT_EQ(qRed(grey.pixel(0, 0)), qGreen(grey.pixel(0, 0)));
    EXPECT_EQ(qRed(grey.pixel(0, 0)), 54);
}
