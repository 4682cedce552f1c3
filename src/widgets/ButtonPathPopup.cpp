#include "widgets/ButtonPathPopup.h"

#include "widgets/PathMenu.h"

#include <QMenu>

ButtonPathPopup::ButtonPathPopup(QWidget* parent) : ButtonPopup(parent)
{
}

void ButtonPathPopup::awakeFromNib()
{
    pathMenu_ = findChild<QMenu*>(QString(), Qt::FindDirectChildrenOnly);
    if (!pathMenu_) {
        pathMenu_ = new QMenu(this);
        pathMenu_->addAction(text());
    }
}

void ButtonPathPopup::setPath(const QString& path)
{
    pathmenu::setPath(pathMenu_, path);
}

QString ButtonPathPopup::getPathUntil(const QAction* item) const
{
    return pathmenu::pathUntil(pathMenu_, item);
}
