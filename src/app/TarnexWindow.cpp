#include "app/TarnexWindow.h"

#include <QCloseEvent>
#include <QScreen>

#include <cmath>

TarnexWindow::TarnexWindow(QWidget* parent)
    : BlackToolWindow(parent, false)
{
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_ShowWithoutActivating, false);
    setAttribute(Qt::WA_TranslucentBackground, false);
    // Built as a tool window first, it lost its say in when the program's
    // last window closed: while it shows, closing another window (the
    // preferences, the manual) must not end the program.
    setAttribute(Qt::WA_QuitOnClose, true);
    setBackAlphaValue(1.0);
    setWindowOpacity(0.0);
    // The window itself takes the keyboard first, so no title-bar button
    // shows a focus ring until Tab reaches it.
    setFocusPolicy(Qt::StrongFocus);
    fadeTimer_.setCallback([this] { fadeWindowIn(); });
}

void TarnexWindow::showAndFadeIn(std::function<void()> done)
{
    if (QScreen* screen = this->screen()) {
        QRect frame = geometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    fadeAlpha_ = 0;
    fadeDone_ = std::move(done);
    setWindowOpacity(0.0);
    show();
    raise();
    activateWindow();
    setFocus(Qt::ActiveWindowFocusReason);
    fadeTimer_.start(kFadeInterval, true);
}

void TarnexWindow::fadeWindowIn()
{
    // Counted in tenths, so ten steps end exactly at 1.
    fadeAlpha_ = std::min(1.0, std::round((fadeAlpha_ + kFadeInStep) * 10) / 10);
    setWindowOpacity(fadeAlpha_);
    if (fadeAlpha_ < 1.0)
        return;
    fadeTimer_.stop();
    setBackAlphaValue(1.0);
    if (std::function<void()> done = std::exchange(fadeDone_, {}))
        done();
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
