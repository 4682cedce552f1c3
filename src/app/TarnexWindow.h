#pragma once

#include "platform/Clock.h"
#include "widgets/BlackToolWindow.h"

#include <QAbstractButton>

#include <functional>

// The main window: frameless and black, without the base's close button (its
// content view draws its own), a normal window that takes the keyboard. It
// starts fully transparent and is faded in once shown: 0.1 more opacity every
// 0.04 s. Closing it from the window manager asks the quit protocol.
class TarnexWindow : public BlackToolWindow {
    Q_OBJECT

public:
    explicit TarnexWindow(QWidget* parent = nullptr);

    static constexpr double kFadeInterval = 0.04;
    static constexpr double kFadeInStep = 0.1;
    static constexpr double kFadeInSeconds = 10 * kFadeInterval;

    QColor getBackGroundColor(qreal alpha) const override;
    // Centres the window, shows it and fades it in from transparent; done
    // runs once it is opaque.
    void showAndFadeIn(std::function<void()> done = {});
    bool isFadingIn() const { return fadeTimer_.isActive(); }

Q_SIGNALS:
    void closeRequested();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void fadeWindowIn();

    platform::Timer fadeTimer_;
    qreal fadeAlpha_ = 0;
    std::function<void()> fadeDone_;
};
