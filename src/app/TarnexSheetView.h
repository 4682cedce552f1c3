#pragma once

#include <QImage>
#include <QWidget>

// The background of the main window's sheets: black, a title bar with
// "Marvesto", a grey frame and a soft gradient down both sides.
class TarnexSheetView : public QWidget {
    Q_OBJECT

public:
    explicit TarnexSheetView(QWidget* parent = nullptr);

    static QString sheetTitle() { return QStringLiteral("Marvesto"); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage title_;
    QImage gradient_;
};
