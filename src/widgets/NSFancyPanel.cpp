#include "widgets/NSFancyPanel.h"

#include "widgets/FancyPanelDelegate.h"

#include <QKeyEvent>
#include <QMouseEvent>

NSFancyPanel::NSFancyPanel(QWidget* parent) : QDialog(parent, Qt::Sheet | Qt::FramelessWindowHint)
{
    setWindowModality(Qt::WindowModal);
    setAttribute(Qt::WA_TranslucentBackground);
    setFocusPolicy(Qt::StrongFocus);
}

bool NSFancyPanel::event(QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::ShortcutOverride:
        if (delegate_ && event->type() == QEvent::KeyPress
            && delegate_->handlesKeyDown(*static_cast<QKeyEvent*>(event), *this))
            return true;
        if (delegate_ && event->type() == QEvent::ShortcutOverride) {
            event->accept(); // every key comes here as a key press, no shortcut takes it
            return true;
        }
        break;
    case QEvent::MouseButtonPress: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (delegate_ && (mouse->button() == Qt::LeftButton || mouse->button() == Qt::RightButton)
            && delegate_->handlesMouseDown(*mouse, *this))
            return true;
        break;
    }
    case QEvent::WindowActivate:
        wasActive_ = true;
        break;
    case QEvent::WindowDeactivate:
        if (std::exchange(wasActive_, false) && delegate_)
            delegate_->panelDidResignMain(*this);
        break;
    default:
        break;
    }
    return QDialog::event(event);
}
