#pragma once

#include "platform/gui/Interface.h"
#include "widgets/WindowDrag.h"

#include <QImage>
#include <QPainterPath>
#include <QPoint>
#include <QPointer>
#include <QWidget>

class BlackToolWindow;
class QAbstractButton;

// Asked before a dark tool window hides on its close button or Close.
class BlackToolWindowDelegate {
public:
    virtual ~BlackToolWindowDelegate() = default;
    virtual bool windowShouldClose(BlackToolWindow& window) = 0;
};

// The dark, translucent, frameless floating window (heads-up display style):
// a rounded dark body under a lighter 19-point title bar with the title in
// white, an optional small close button at the top left, kept above its
// parent window and moved by dragging its background. Closing hides it.
class BlackToolWindow : public QWidget, public platform::gui::NibAwakening {
    Q_OBJECT
    Q_PROPERTY(bool closable READ isClosable WRITE setClosable)
    Q_PROPERTY(qreal backAlphaValue READ backAlphaValue WRITE setBackAlphaValue)

public:
    static constexpr int kTitleBarHeight = 19;
    static constexpr qreal kCornerRadius = 6;
    static constexpr int kCloseButtonSize = 13;
    static constexpr int kCloseButtonInset = 3;   // from the left and top edges
    static constexpr qreal kDefaultBackAlpha = 0.75;

    explicit BlackToolWindow(QWidget* parent = nullptr, bool closable = true);

    bool isClosable() const { return closeBox_; }
    // A closable window carries exactly one close button; turning it off
    // takes the button away.
    void setClosable(bool closable);
    // Adds the close button to a closable window that has none yet.
    void addCloseButton();
    QAbstractButton* closeButton() const { return closeButton_; }

    // Hides the window unless the delegate says no.
    void closeWindow();
    void performClose() { closeWindow(); }
    void setDelegate(BlackToolWindowDelegate* delegate) { delegate_ = delegate; }

    // Opacity of the drawn background (not of the window).
    qreal backAlphaValue() const { return backAlpha_; }
    void setBackAlphaValue(qreal alpha);
    // Opacity of the whole window.
    void setAlphaValue(qreal alpha);
    // The body colour at that opacity; subclasses change the body here.
    virtual QColor getBackGroundColor(qreal alpha) const;

    // The background for the current size: body, title bar and title.
    QImage sizedBlackToolWindowBackGround() const;
    QPainterPath bodyPath() const;
    QPainterPath titleBarPath() const;
    // Where the title goes, and the title as drawn (elided at its end).
    QRectF titleRect() const;
    QString displayedTitle() const;

    void awakeFromNib() override { addCloseButton(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void rebuildBackground();
    QFont titleFont() const;

    bool closeBox_;
    qreal backAlpha_ = kDefaultBackAlpha;
    QImage background_;
    QPointer<QAbstractButton> closeButton_;
    BlackToolWindowDelegate* delegate_ = nullptr;
    WindowDrag drag_;
};
