#include "devicewindow/TeachInTabView.h"

#include <QTabBar>

TeachInTabView::TeachInTabView(QWidget* parent)
    : AnimatingTabView(parent)
{
    awakeFromNib();
}

void TeachInTabView::awakeFromNib()
{
    AnimatingTabView::awakeFromNib();
    tabBar()->hide();
    tabBar()->setFocusPolicy(Qt::NoFocus);
    setDocumentMode(false);
    setAutoFillBackground(true);
    setStyleSheet(QStringLiteral("TeachInTabView::pane { border: 1px solid palette(mid); }"));
}

int TeachInTabView::indexOfTabViewItemWithIdentifier(const QString& identifier) const
{
    for (int index = 0; index < count(); ++index) {
        if (widget(index) && widget(index)->objectName() == identifier)
            return index;
    }
    return -1;
}

QString TeachInTabView::identifierAt(int index) const
{
    const QWidget* page = index >= 0 ? widget(index) : nullptr;
    return page ? page->objectName() : QString();
}

bool TeachInTabView::selectTabViewItemWithIdentifier(const QString& identifier)
{
    const int index = indexOfTabViewItemWithIdentifier(identifier);
    if (index < 0)
        return false;
    setCurrentIndex(index);
    return true;
}
