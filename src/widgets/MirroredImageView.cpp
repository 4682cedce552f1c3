#include "widgets/MirroredImageView.h"

#include "platform/gui/Images.h"
#include "platform/gui/Interface.h"

#include <QPainter>

namespace {
constexpr qreal kMirrorGap = 4;
constexpr qreal kFadeGap = 3;
} // namespace

MirroredImageView::MirroredImageView(QWidget* parent)
    : QWidget(parent)
    // The view counts from its top: the light end lies next to the picture.
    , gradient_(QColor::fromRgbF(0, 0, 0, 1.0), QColor::fromRgbF(0, 0, 0, 0.2))
{
}

void MirroredImageView::setImage(const QImage& image)
{
    image_ = image;
    update();
}

void MirroredImageView::setImageName(const QString& name)
{
    imageName_ = name;
    setImage(name.isEmpty() ? QImage() : platform::gui::image(QLatin1String(platform::gui::kProgramBundle), name));
}

QRectF MirroredImageView::imageRect() const
{
    const QSizeF size = image_.deviceIndependentSize();
    return QRectF((width() - size.width()) / 2, 0, size.width(), size.height());
}

QRectF MirroredImageView::mirrorRect() const
{
    const QRectF picture = imageRect();
    return picture.translated(0, picture.height() + kMirrorGap);
}

QRectF MirroredImageView::fadeRect() const
{
    const qreal top = imageRect().bottom() + kFadeGap;
    return QRectF(0, top, width(), std::max<qreal>(0, height() - top));
}

void MirroredImageView::paintEvent(QPaintEvent*)
{
    if (image_.isNull())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(imageRect(), image_);
    const QRectF mirror = mirrorRect();
    painter.drawImage(mirror, image_.mirrored(false, true));
    gradient_.drawGradient(painter, fadeRect());
}
