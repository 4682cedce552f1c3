#include "app/TarnexRollOverButton.h"

#include "app/TarnexImages.h"

#include <QEnterEvent>

TarnexRollOverButton::TarnexRollOverButton(QWidget* parent)
    : QPushButton(parent)
{
    setFlat(true);
    setStyleSheet(QStringLiteral("QPushButton { border: none; background: transparent; }"
                                 "QPushButton:focus { border: 1px solid #7fa7e0; border-radius: 4px; }"));
}

void TarnexRollOverButton::setImageNamed(const QString& normal, const QString& alternate)
{
    if (!normal.isEmpty()) {
        normalName_ = normal;
        leave_ = tarnex::image(normal);
    }
    if (!alternate.isEmpty()) {
        alternateName_ = alternate;
        enter_ = tarnex::image(alternate);
    }
    showPicture(mouseEntered_);
}

void TarnexRollOverButton::showPicture(bool entered)
{
    mouseEntered_ = entered;
    const QImage& picture = shownImage();
    setIcon(picture.isNull() ? QIcon() : QIcon(QPixmap::fromImage(picture)));
    if (!picture.isNull())
        setIconSize(picture.deviceIndependentSize().toSize());
}

void TarnexRollOverButton::enterEvent(QEnterEvent* event)
{
    if (isEnabled() && isVisible())
        showPicture(true);
    QPushButton::enterEvent(event);
}

void TarnexRollOverButton::leaveEvent(QEvent* event)
{
    showPicture(false);
    QPushButton::leaveEvent(event);
}

void TarnexRollOverButton::mousePressEvent(QMouseEvent* event)
{
    showPicture(false);
    QPushButton::mousePressEvent(event);
}

void TarnexRollOverButton::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::EnabledChange && !isEnabled())
        showPicture(false);
    QPushButton::changeEvent(event);
}

void TarnexRollOverButton::hideEvent(QHideEvent* event)
{
    showPicture(false);
    QPushButton::hideEvent(event);
}
