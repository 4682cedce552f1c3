#pragma once

#include <QList>

class QTreeWidget;
class QTreeWidgetItem;

// Selection helpers for outline lists.
namespace outline {

// The item of the current selection (the first selected row), null without one.
QTreeWidgetItem* selectedItem(const QTreeWidget* view);
// The items of all selected rows, in row order.
QList<QTreeWidgetItem*> allSelectedItems(const QTreeWidget* view);
// Unless extending, clears the selection first; then selects every item of
// the list that belongs to the view.
void selectItems(QTreeWidget* view, const QList<QTreeWidgetItem*>& items, bool byExtendingSelection);

} // namespace outline
