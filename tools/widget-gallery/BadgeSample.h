#pragma once

#include <QWidget>

// Count badges as the windows draw them: a filled badge, then the count.
class BadgeSample : public QWidget {
    Q_OBJECT
public:
    explicit BadgeSample(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};
