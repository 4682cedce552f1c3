#pragma once

#include <QImage>
#include <QPointer>
#include <QWidget>

class QAbstractButton;

// The main window's content: a painted title bar with the program's title,
// the round close and minimise buttons at its left, the black body and a
// coloured line 49 points above the bottom. The title bar drags the window.
class TarnexMainView : public QWidget {
    Q_OBJECT

public:
    static constexpr int kButtonSize = 16;
    static constexpr int kButtonTop = 6;
    static constexpr int kCloseX = 6;
    static constexpr int kMinimiseX = 28;
    static constexpr qreal kLineBottom = 49;

    explicit TarnexMainView(QWidget* parent = nullptr);

    QAbstractButton* closeButton() const { return closeButton_; }
    QAbstractButton* minimiseButton() const { return minimiseButton_; }

    qreal titleBarHeight() const;
    QRectF leftTitleRect() const;
    // Where the title text goes (inset 19 points from both ends of the bar).
    QRectF titleTextRect() const;
    // The title the pane machine set, else the program's label.
    QString title() const;
    void setTitle(const QString& title);
    // The coloured line's rectangle in widget coordinates.
    QRectF colourLineRect() const;
    bool isLeftTitleActive() const { return leftActive_; }

Q_SIGNALS:
    void closeRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QString title_;
    QAbstractButton* addButton(int x, const QString& objectName, const QString& name);
    void setLeftTitleActive(bool active);
    void closeWindow();
    void minimizeWindow();

    QImage left_;
    QImage leftActiveImage_;
    QImage middle_;
    QImage right_;
    QImage line_;
    bool leftActive_ = false;
    QPointer<QAbstractButton> closeButton_;
    QPointer<QAbstractButton> minimiseButton_;
};
