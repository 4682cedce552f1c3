#pragma once

#include <QPushButton>

class QMenu;

// A button that opens a menu over itself when clicked, or on Space or
// Alt+Down. The menu does not block: it closes when an item is chosen or the
// user clicks elsewhere.
class ButtonPopup : public QPushButton {
    Q_OBJECT
public:
    explicit ButtonPopup(QWidget* parent = nullptr);

    // The menu it opens (not owned unless its parent is the button).
    virtual QMenu* popupMenu() const { return menu_; }
    void setPopupMenu(QMenu* menu) { menu_ = menu; }
    // Opens the menu below the button; false without a menu.
    bool popUpMenu();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QMenu* menu_ = nullptr;
};
