#pragma once

#include "platform/gui/Animation.h"
#include "widgets/BlackToolWindow.h"

#include <QAbstractButton>

// The main window: frameless and black, without the base's close button (its
// content view draws its own), a normal window that takes the keyboard. It
// starts fully transparent and is faded in once shown. Closing it from the
// window manager asks the quit protocol.
class TarnexWindow : public BlackToolWindow {
    Q_OBJECT

public:
    explicit TarnexWindow(QWidget* parent = nullptr);

    static constexpr double kFadeInSeconds = 0.3;

    QColor getBackGroundColor(qreal alpha) const override;
    // Shows the window and fades it in from transparent.
    void showAndFadeIn();

Q_SIGNALS:
    void closeRequested();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    platform::gui::Animation fadeIn_;
};
