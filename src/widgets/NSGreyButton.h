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
    // Panel fades hold the buttons' look while they run: YES raises a
    // process-wide counter, NO lowers it (never below 0).
    static void doBlockInterior(bool block);
    static int blockCount();

    bool drawsEnabled() const override;
};
