#include "devicewindow/queue/ActionBusyIndicator.h"

#include "platform/gui/Images.h"

#include <QPainter>

namespace {

// The mark when the bundle has no "ActionBusy" picture: a short bar fading
// towards the back of its run.
QImage drawnBusyMark()
{
    QImage mark(12, 6, QImage::Format_ARGB32_Premultiplied);
    mark.fill(Qt::transparent);
    QPainter painter(&mark);
    QLinearGradient fade(0, 0, 12, 0);
    fade.setColorAt(0, QColor(90, 90, 90, 40));
    fade.setColorAt(1, QColor(90, 90, 90, 230));
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(fade);
    painter.setPen(Qt::NoPen);
    painter.drawRoundedRect(QRectF(0, 0, 12, 6), 3, 3);
    return mark;
}

} // namespace

ActionBusyIndicator::ActionBusyIndicator(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("scheduledMark"));
    setAccessibleName(tr("Waiting"));
    ticks_.setCallback([this] { heartBeat(); });
    hide();
}

const QImage& ActionBusyIndicator::backwardImage()
{
    static const QImage image = platform::gui::hasImage(QStringLiteral("program"), QStringLiteral("ActionBusy"))
                                    ? platform::gui::image(QStringLiteral("program"), QStringLiteral("ActionBusy"))
                                    : drawnBusyMark();
    return image;
}

const QImage& ActionBusyIndicator::forwardImage()
{
    static const QImage image = backwardImage().mirrored(true, false);
    return image;
}

void ActionBusyIndicator::heartBeat()
{
    const double now = platform::Clock::instance().now();
    if (blockAnimation_ || now < nextSpin_)
        return;
    nextSpin_ = now + kSpinInterval;
    const int room = std::max(0, width() - forwardImage().width());
    xPos_ += forward_ ? kStep : -kStep;
    if (xPos_ >= room) {
        xPos_ = room;
        forward_ = false;
    } else if (xPos_ <= 0) {
        xPos_ = 0;
        forward_ = true;
    }
    update();
}

void ActionBusyIndicator::startBusyAnimation(bool start)
{
    setVisible(start);
    if (start)
        ticks_.start(kSpinInterval, true);
    else
        ticks_.stop();
}

void ActionBusyIndicator::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QImage& mark = forward_ ? forwardImage() : backwardImage();
    painter.drawImage(QPoint(xPos_, (height() - mark.height()) / 2), mark);
}
