#pragma once

#include <QDialog>

class FancyPanelDelegate;

// A borderless panel, shown as a window-modal sheet on its parent window,
// that offers its key presses and left or right clicks to its delegate
// first. Its own background is clear: its content draws the artwork.
class NSFancyPanel : public QDialog {
    Q_OBJECT
public:
    explicit NSFancyPanel(QWidget* parent = nullptr);

    void setDelegate(FancyPanelDelegate* delegate) { delegate_ = delegate; }
    FancyPanelDelegate* delegate() const { return delegate_; }

protected:
    bool event(QEvent* event) override;

private:
    FancyPanelDelegate* delegate_ = nullptr;
    bool wasActive_ = false;
};
