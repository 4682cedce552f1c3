#pragma once

#include <QImage>
#include <QWidget>

// A panel that paints one background picture at its own size (the status area).
class TarnexActionView : public QWidget {
    Q_OBJECT

public:
    explicit TarnexActionView(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage background_;
};
