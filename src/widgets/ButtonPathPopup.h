#pragma once

#include "platform/gui/Interface.h"
#include "widgets/ButtonPopup.h"

#include <QMenu>
#include <QPointer>

// A button that shows a folder path on the phone as a menu (see PathMenu.h)
// and turns a chosen item back into a path.
class ButtonPathPopup : public ButtonPopup, public platform::gui::NibAwakening {
    Q_OBJECT
public:
    explicit ButtonPathPopup(QWidget* parent = nullptr);

    // Takes the menu the form gave the button (its first child menu) as the
    // path menu; makes one with a single template item when there is none.
    void awakeFromNib() override;

    QMenu* pathMenu() const { return pathMenu_; }
    void setPathMenu(QMenu* menu) { pathMenu_ = menu; }
    QMenu* popupMenu() const override { return pathMenu_; }

    void setPath(const QString& path);
    QString getPathUntil(const QAction* item) const;

private:
    QPointer<QMenu> pathMenu_;
};
