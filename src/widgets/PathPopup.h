#pragma once

#include "widgets/ButtonPopup.h"

class QAction;
class QMenu;

// A pop-up button over a folder path on the phone (see PathMenu.h): it shows
// its selected item, opens its own menu, and a chosen item becomes the
// selected one.
class PathPopup : public ButtonPopup {
    Q_OBJECT
public:
    explicit PathPopup(QWidget* parent = nullptr);

    QMenu* menu() const { return ownMenu_; }
    QAction* selectedItem() const { return selected_; }
    void selectItem(QAction* item);

    // Rebuilds the menu; the deepest folder becomes the selected item.
    void setPath(const QString& path);
    QString getPathUntilSelectedItem() const;

Q_SIGNALS:
    void itemSelected(QAction* item);

private:
    QMenu* ownMenu_;
    QAction* selected_ = nullptr;
};
