#include "widgets/NSScaledImageButton.h"

#include "platform/RunLoop.h"
#include "platform/gui/Images.h"
#include "widgets/ScaledImageButtonValidation.h"

#include <QEvent>
#include <QMetaMethod>
#include <QPainter>
#include <QStyleOptionFocusRect>

namespace {

constexpr const char* kDelayedValidation = "DelayValidateButton";

QByteArray signatureWithButton(const QString& action)
{
    return action.toLatin1() + "(NSScaledImageButton*)";
}

QByteArray signatureWithoutArgument(const QString& action)
{
    return action.toLatin1() + "()";
}

bool respondsTo(const QObject* receiver, const QString& action)
{
    if (!receiver || action.isEmpty())
        return false;
    const QMetaObject* meta = receiver->metaObject();
    return meta->indexOfMethod(signatureWithButton(action)) >= 0
        || meta->indexOfMethod(signatureWithoutArgument(action)) >= 0;
}

} // namespace

NSScaledImageButton::NSScaledImageButton(QWidget* parent)
    : QAbstractButton(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    connect(this, &QAbstractButton::clicked, this, [this] { sendAction(); });
    platform::NotificationCenter::defaultCenter().addObserver(
        this, QLatin1String(kValidateScaledImageNotify), nullptr,
        [this](const platform::Notification& notification) {
            if (platform::runloop::isMainThread()) {
                MyValidateScaledImageNotify(notification);
            } else {
                platform::runloop::performOnMainThread(
                    [this, notification] { MyValidateScaledImageNotify(notification); }, this);
            }
        });
}

NSScaledImageButton::~NSScaledImageButton()
{
    platform::NotificationCenter::defaultCenter().removeObserver(this);
    platform::runloop::cancelPreviousPerformRequests(this);
}

void NSScaledImageButton::setBordered(bool bordered)
{
    bordered_ = bordered;
    UpdateTheButton();
}

void NSScaledImageButton::setImagePosition(int position)
{
    imagePosition_ = position;
    UpdateTheButton();
}

void NSScaledImageButton::setImageName(const QString& name)
{
    imageName_ = name;
    setImage(name.isEmpty() ? QImage() : platform::gui::image(platform::gui::kProgramBundle, name));
}

void NSScaledImageButton::setAlternateImageName(const QString& name)
{
    alternateImageName_ = name;
    setAlternateImage(name.isEmpty() ? QImage() : platform::gui::image(platform::gui::kProgramBundle, name));
}

QImage NSScaledImageButton::dimmed(const QImage& image)
{
    if (image.isNull())
        return image;
    QImage copy(image.size(), QImage::Format_ARGB32_Premultiplied);
    copy.setDevicePixelRatio(image.devicePixelRatio());
    copy.fill(Qt::transparent);
    QPainter painter(&copy);
    painter.setOpacity(0.5);
    painter.drawImage(0, 0, image);
    return copy;
}

QImage NSScaledImageButton::image() const
{
    return !isEnabled() && !customBackGround() ? dimmed(image_) : image_;
}

QImage NSScaledImageButton::alternateImage() const
{
    return !isEnabled() && !customBackGround() ? dimmed(alternateImage_) : alternateImage_;
}

void NSScaledImageButton::setImage(const QImage& image)
{
    image_ = image;
    if (doScaleTheImage())
        imageSize_ = fittedSize(image_);
    update();
}

void NSScaledImageButton::setAlternateImage(const QImage& image)
{
    alternateImage_ = image;
    if (doScaleTheImage())
        alternateImageSize_ = fittedSize(alternateImage_);
    update();
}

void NSScaledImageButton::UpdateTheButton()
{
    if (!doScaleTheImage())
        return;
    imageSize_ = fittedSize(image_);
    alternateImageSize_ = fittedSize(alternateImage_);
    update();
}

qreal NSScaledImageButton::calcLineSize(qreal value)
{
    // 16-point steps above 31, 8-point steps from 24 to below 31, 4-point
    // steps below (31 itself snaps to 28).
    const long whole = long(value);
    if (value > 31)
        return qreal(whole / 16 * 16);
    if (value > 23 && value < 31)
        return qreal(whole / 8 * 8);
    return qreal(whole / 4 * 4);
}

QSizeF NSScaledImageButton::fittedSize(const QImage& image) const
{
    if (image.isNull())
        return {};
    qreal w = width();
    qreal h = height();
    if (bordered_) {
        w -= 4;
        h -= 4;
    }
    if (customBackGround())
        h -= 2;
    if (imagePosition_ == ImageBelow || imagePosition_ == ImageAbove)
        h -= font().pointSizeF() > 0 ? font().pointSizeF() + 1 : 12;
    const qreal fittedHeight = calcLineSize(h);
    const qreal fittedWidth = calcLineSize(w);
    const QSizeF own = image.deviceIndependentSize();
    const qreal keptWidth = own.height() > 0 ? fittedHeight * own.width() / own.height() : 0;
    const qreal width = std::min(fittedWidth, keptWidth);
    if (width <= 0 || fittedHeight <= 0)
        return {0, 0};
    return {width, fittedHeight};
}

QObject* NSScaledImageButton::actionReceiver() const
{
    if (action_.isEmpty())
        return nullptr;
    if (target_)
        return target_;
    for (QWidget* ancestor = parentWidget(); ancestor; ancestor = ancestor->parentWidget()) {
        if (respondsTo(ancestor, action_))
            return ancestor;
    }
    return nullptr;
}

void NSScaledImageButton::ValidateButton()
{
    QObject* receiver = actionReceiver();
    if (!respondsTo(receiver, action_)) {
        setEnabled(false);
        return;
    }
    if (auto* validator = dynamic_cast<NSValidatedScaledImageButton*>(receiver))
        setEnabled(validator->validateScaledImageButton(*this));
    else
        setEnabled(true);
}

void NSScaledImageButton::MyValidateScaledImageNotify(const platform::Notification& notification)
{
    if (notification.sender && notification.sender != static_cast<const void*>(target_.data()))
        return;
    const QVariant delay = notification.userInfo.value(QLatin1String(kValidateScaledImageDelayKey));
    const double seconds = delay.isValid() ? delay.toDouble() : 0.0;
    if (seconds > 0) {
        platform::runloop::performAfterDelay(this, QLatin1String(kDelayedValidation), seconds,
                                             [this] { DelayValidateButton(); }, this);
    } else if (seconds < 0) {
        setEnabled(false);
    } else {
        ValidateButton();
    }
}

void NSScaledImageButton::sendAction()
{
    QObject* receiver = actionReceiver();
    if (!receiver)
        return;
    const QMetaObject* meta = receiver->metaObject();
    const int withButton = meta->indexOfMethod(signatureWithButton(action_));
    if (withButton >= 0) {
        meta->method(withButton).invoke(receiver, Qt::DirectConnection, Q_ARG(NSScaledImageButton*, this));
        return;
    }
    const int plain = meta->indexOfMethod(signatureWithoutArgument(action_));
    if (plain >= 0)
        meta->method(plain).invoke(receiver, Qt::DirectConnection);
}

void NSScaledImageButton::awakeFromNib()
{
    UpdateTheButton();
    ValidateButton();
}

QSize NSScaledImageButton::sizeHint() const
{
    const QFontMetrics metrics(font());
    int w = 32;
    int h = 32;
    if (!text().isEmpty()) {
        w = std::max(w, metrics.horizontalAdvance(text()) + 12);
        if (imagePosition_ == ImageBelow || imagePosition_ == ImageAbove)
            h += metrics.height();
    }
    if (bordered_) {
        w += 4;
        h += 4;
    }
    return {w, h};
}

void NSScaledImageButton::resizeEvent(QResizeEvent* event)
{
    UpdateTheButton();
    QAbstractButton::resizeEvent(event);
}

bool NSScaledImageButton::event(QEvent* event)
{
    // An image-only button is announced by its tool tip.
    if (event->type() == QEvent::ToolTipChange && text().isEmpty())
        setAccessibleName(toolTip());
    return QAbstractButton::event(event);
}

void NSScaledImageButton::drawBackGround(QPainter&)
{
}

void NSScaledImageButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    drawBackGround(painter);

    QRectF content = rect();
    if (bordered_) {
        const QRectF frame = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
        painter.setPen(QColor(150, 150, 150));
        painter.setBrush(isDown() ? QColor(200, 200, 200) : QColor(240, 240, 240));
        painter.drawRoundedRect(frame, 4, 4);
        content.adjust(2, 2, -2, -2);
    }

    // The stored images are drawn; dimming happens here only.
    const bool pressedImage = isDown() && !alternateImage_.isNull();
    const QImage& picture = pressedImage ? alternateImage_ : image_;
    const QSizeF size = pressedImage ? alternateImageSize_ : imageSize_;

    QRectF titleArea;
    const int textHeight = fontMetrics().height();
    if (!text().isEmpty() && imagePosition_ != ImageOnly) {
        if (imagePosition_ == ImageBelow) {
            titleArea = QRectF(content.left(), content.top(), content.width(), textHeight);
            content.setTop(titleArea.bottom());
        } else if (imagePosition_ == ImageAbove) {
            titleArea = QRectF(content.left(), content.bottom() - textHeight, content.width(), textHeight);
            content.setBottom(titleArea.top());
        } else {
            titleArea = content;
        }
    }
    if (!picture.isNull() && !size.isEmpty() && imagePosition_ != NoImage) {
        QRectF target(QPointF(), size);
        target.moveCenter(content.center());
        if (!isEnabled() && !customBackGround())
            painter.setOpacity(0.5);
        painter.drawImage(target, picture);
        painter.setOpacity(1.0);
    }
    if (!titleArea.isEmpty()) {
        painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
        painter.drawText(titleArea, Qt::AlignCenter, text());
    }
    if (hasFocus()) {
        painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 4, 4);
    }
}
