#pragma once

#include <QImage>
#include <QWidget>

// A light grey panel with soft shadows along its left, top and right edges.
class TarnexSyncView : public QWidget {
    Q_OBJECT

public:
    explicit TarnexSyncView(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage left_;
    QImage top_;
    QImage corner_;
    QImage right_;
};
