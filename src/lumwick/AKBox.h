#pragma once

#include <QFrame>

// The wizard window's pane area: a frame whose inside is white.
class AKBox : public QFrame {
public:
    explicit AKBox(QWidget* parent = nullptr) : QFrame(parent) {}

    // The rectangle painted white: the frame inset by one point on every side.
    QRect whiteRect() const { return rect().adjusted(1, 1, -1, -1); }

protected:
    void paintEvent(QPaintEvent* event) override;
};
