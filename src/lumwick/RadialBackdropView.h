#pragma once

#include <QWidget>

// A backdrop filled from its centre outwards with the selected grey gradient;
// areas 50 points high or less stay undrawn.
class RadialBackdropView : public QWidget {
public:
    explicit RadialBackdropView(QWidget* parent = nullptr) : QWidget(parent) {}
    static bool drawsArea(const QRect& area) { return area.height() > 50; }

protected:
    void paintEvent(QPaintEvent* event) override;
};
