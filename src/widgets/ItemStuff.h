#pragma once

#include "widgets/TreeItem.h"

// The tree-item operations of outline windows, on groups and leaves alike: a
// leaf answers as an item without children and ignores changes to them.
namespace items {

TreeItemRef childItemAtIndex(const TreeItemRef& item, qsizetype index);
void insertChildItem(const TreeItemRef& item, const TreeItemRef& child, qsizetype index);
// Removes every occurrence of that very object (identity, not equality).
void removeChildItem(const TreeItemRef& item, const TreeItemRef& child);
void replaceChildAtIndex(const TreeItemRef& item, qsizetype index, const TreeItemRef& child);
// Index of that very object among the children, or -1.
qsizetype indexOfChildItem(const TreeItemRef& item, const TreeItemRef& child);
qsizetype numberOfChildItems(const TreeItemRef& item);

// A group's description, or the leaf's value.
QVariant itemDescription(const TreeItemRef& item);
// Renames a group (new groups included); a string leaf takes the text as its
// value; other leaves stay as they are.
void setItemDescription(const TreeItemRef& item, const QString& description);
bool isExpandable(const TreeItemRef& item);
bool isLeaf(const TreeItemRef& item);

// A leaf: itself. A group: its description (as a leaf), then the flattened
// items of all its children, in order.
TreeItemList itemsByFlattening(const TreeItemRef& item);
TreeItemList itemsByFlattening(const TreeItemList& items);

// Sorts a group's children by their descriptions; deep sorts the child
// groups as well.
void sortRecursively(const TreeItemRef& item, bool deep);
// The order of two items by their descriptions (-1, 0, 1).
int compareEntries(const TreeItemRef& a, const TreeItemRef& b);

// A copy of the item and all its children, each a new object.
TreeItemRef deepMutableCopy(const TreeItemRef& item);
// "New Group" without children; the string leaf "New Leaf"; a group named
// after the leaf's description.
TreeItemRef newGroup();
TreeItemRef newLeaf();
TreeItemRef newGroupFromLeaf(const TreeItemRef& leaf);

} // namespace items
