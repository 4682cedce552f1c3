#include "widgets/OutlineViewExtras.h"

#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

namespace outline {

QTreeWidgetItem* selectedItem(const QTreeWidget* view)
{
    const QList<QTreeWidgetItem*> items = allSelectedItems(view);
    return items.isEmpty() ? nullptr : items.first();
}

QList<QTreeWidgetItem*> allSelectedItems(const QTreeWidget* view)
{
    QList<QTreeWidgetItem*> items;
    if (!view)
        return items;
    // Walked in row order; selectedItems() answers in the order of selecting.
    for (QTreeWidgetItemIterator it(const_cast<QTreeWidget*>(view), QTreeWidgetItemIterator::Selected); *it; ++it)
        items.append(*it);
    return items;
}

void selectItems(QTreeWidget* view, const QList<QTreeWidgetItem*>& items, bool byExtendingSelection)
{
    if (!view)
        return;
    if (!byExtendingSelection)
        view->clearSelection();
    for (QTreeWidgetItem* item : items)
        if (item && item->treeWidget() == view)
            item->setSelected(true);
}

} // namespace outline
