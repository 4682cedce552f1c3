#pragma once

#include <QFrame>

// The translucent dark rounded panel inside a busy overlay.
class BasisOverlayFrame : public QFrame {
    Q_OBJECT
public:
    static constexpr qreal kRadius = 25;

    explicit BasisOverlayFrame(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};
