#pragma once

#include "widgets/WhiteButton.h"

// A button with a grey title (white at 0.69 opacity) that draws as disabled
// while its window is not fully opaque (a panel fading in or out), so it
// never looks ready to click half-way through a fade.
class NSGreyButton : public WhiteButton {
    Q_OBJECT

public:
    explicit NSGreyButton(QWidget* parent = nullptr);

    QColor titleColor() const override;
    // The main window's panel fades count their runs here: YES raises a
    // process-wide counter, NO lowers it (never below 0). The look follows
    // the window's opacity and the button's own state alone, so a disabled
    // button never draws as enabled, blocked or not.
    static void doBlockInterior(bool block);
    static int blockCount();

    bool drawsEnabled() const override;
};
