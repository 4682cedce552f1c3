#include "widgets/PathPopup.h"

#include "widgets/PathMenu.h"

#include <QMenu>

PathPopup::PathPopup(QWidget* parent) : ButtonPopup(parent), ownMenu_(new QMenu(this))
{
    ownMenu_->addAction(QString())->setCheckable(true);
    setPopupMenu(ownMenu_);
    connect(ownMenu_, &QMenu::triggered, this, [this](QAction* item) {
        selectItem(item);
        Q_EMIT itemSelected(item);
    });
}

void PathPopup::selectItem(QAction* item)
{
    if (item && !ownMenu_->actions().contains(item))
        return;
    if (selected_)
        selected_->setChecked(false);
    selected_ = item;
    if (selected_)
        selected_->setChecked(true);
    setText(item ? item->text() : QString());
    setIcon(item ? item->icon() : QIcon());
}

void PathPopup::setPath(const QString& path)
{
    // The first item is the template of the new ones: none of them starts checked.
    if (!ownMenu_->actions().isEmpty())
        ownMenu_->actions().first()->setChecked(false);
    selected_ = nullptr;
    pathmenu::setPath(ownMenu_, path);
    selectItem(ownMenu_->actions().value(0));
}

QString PathPopup::getPathUntilSelectedItem() const
{
    return pathmenu::pathUntil(ownMenu_, selected_);
}
