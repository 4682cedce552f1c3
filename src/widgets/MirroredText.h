#pragma once

#include "widgets/BlendGradient.h"

#include <QLabel>

// A text field that draws its text and, 4 points below the text line, a
// mirrored white copy fading into black.
class MirroredText : public QLabel {
    Q_OBJECT

public:
    explicit MirroredText(QWidget* parent = nullptr);

    // Where the text line and its mirror image go.
    QRectF textLineRect() const;
    QRectF mirrorRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    BlendGradient gradient_;
};
