#include "app/TarnexWindow.h"

#include <QCloseEvent>

TarnexWindow::TarnexWindow(QWidget* parent)
    : BlackToolWindow(parent, false)
{
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_ShowWithoutActivating, false);
    setAttribute(Qt::WA_TranslucentBackground, false);
    setBackAlphaValue(1.0);
    setWindowOpacity(0.0);
    // The window itself takes the keyboard first, so no title-bar button
    // shows a focus ring until Tab reaches it.
    setFocusPolicy(Qt::StrongFocus);
    fadeIn_.setDuration(kFadeInSeconds);
    fadeIn_.setProgressHandler([this](double progress) { setWindowOpacity(progress); });
}

void TarnexWindow::showAndFadeIn()
{
    setWindowOpacity(0.0);
    show();
    raise();
    activateWindow();
    setFocus(Qt::ActiveWindowFocusReason);
    fadeIn_.start();
}

QColor TarnexWindow::getBackGroundColor(qreal alpha) const
{
    return QColor::fromRgbF(0, 0, 0, alpha);
}

void TarnexWindow::closeEvent(QCloseEvent* event)
{
    event->ignore();
    Q_EMIT closeRequested();
}
