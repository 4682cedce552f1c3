#include "widgets/ButtonPopup.h"

#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>

ButtonPopup::ButtonPopup(QWidget* parent) : QPushButton(parent)
{
}

bool ButtonPopup::popUpMenu()
{
    QMenu* menu = popupMenu();
    if (!menu)
        return false;
    menu->popup(mapToGlobal(QPoint(0, height())));
    return true;
}

void ButtonPopup::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && isEnabled() && popUpMenu()) {
        event->accept();
        return;
    }
    QPushButton::mousePressEvent(event);
}

void ButtonPopup::keyPressEvent(QKeyEvent* event)
{
    const bool space = event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier;
    const bool altDown = event->key() == Qt::Key_Down && (event->modifiers() & Qt::AltModifier);
    if ((space || altDown) && isEnabled() && popUpMenu()) {
        event->accept();
        return;
    }
    QPushButton::keyPressEvent(event);
}
