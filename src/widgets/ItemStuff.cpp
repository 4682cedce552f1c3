#include "widgets/ItemStuff.h"

#include <algorithm>

namespace items {

namespace {

bool validIndex(const TreeItemRef& item, qsizetype index)
{
    return item && item->isGroup() && index >= 0 && index < item->entries().size();
}

} // namespace

TreeItemRef childItemAtIndex(const TreeItemRef& item, qsizetype index)
{
    return validIndex(item, index) ? item->entries().at(index) : nullptr;
}

void insertChildItem(const TreeItemRef& item, const TreeItemRef& child, qsizetype index)
{
    if (item && item->isGroup() && child && index >= 0 && index <= item->entries().size())
        item->entries().insert(index, child);
}

void removeChildItem(const TreeItemRef& item, const TreeItemRef& child)
{
    if (item && item->isGroup())
        item->entries().removeAll(child);
}

void replaceChildAtIndex(const TreeItemRef& item, qsizetype index, const TreeItemRef& child)
{
    if (validIndex(item, index) && child)
        item->entries()[index] = child;
}

qsizetype indexOfChildItem(const TreeItemRef& item, const TreeItemRef& child)
{
    return item && item->isGroup() ? item->entries().indexOf(child) : -1;
}

qsizetype numberOfChildItems(const TreeItemRef& item)
{
    return item && item->isGroup() ? item->entries().size() : 0;
}

QVariant itemDescription(const TreeItemRef& item)
{
    return item ? item->value() : QVariant();
}

void setItemDescription(const TreeItemRef& item, const QString& description)
{
    if (item && (item->isGroup() || item->value().typeId() == QMetaType::QString))
        item->setValue(description);
}

bool isExpandable(const TreeItemRef& item)
{
    return item && item->isGroup();
}

bool isLeaf(const TreeItemRef& item)
{
    return !isExpandable(item);
}

TreeItemList itemsByFlattening(const TreeItemRef& item)
{
    if (!item)
        return {};
    if (!item->isGroup())
        return {item};
    TreeItemList flat{TreeItem::makeLeaf(item->value())};
    flat += itemsByFlattening(item->entries());
    return flat;
}

TreeItemList itemsByFlattening(const TreeItemList& list)
{
    TreeItemList flat;
    for (const TreeItemRef& item : list)
        flat += itemsByFlattening(item);
    return flat;
}

int compareEntries(const TreeItemRef& a, const TreeItemRef& b)
{
    const int order = itemDescription(a).toString().compare(itemDescription(b).toString());
    return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

void sortRecursively(const TreeItemRef& item, bool deep)
{
    if (!item || !item->isGroup())
        return;
    std::stable_sort(item->entries().begin(), item->entries().end(),
                     [](const TreeItemRef& a, const TreeItemRef& b) { return compareEntries(a, b) < 0; });
    if (deep)
        for (const TreeItemRef& child : item->entries())
            sortRecursively(child, true);
}

TreeItemRef deepMutableCopy(const TreeItemRef& item)
{
    if (!item)
        return nullptr;
    if (!item->isGroup())
        return TreeItem::makeLeaf(item->value());
    TreeItemList children;
    for (const TreeItemRef& child : item->entries())
        children.append(deepMutableCopy(child));
    return TreeItem::makeGroup(item->value().toString(), children);
}

TreeItemRef newGroup()
{
    return TreeItem::makeGroup(QStringLiteral("New Group"));
}

TreeItemRef newLeaf()
{
    return TreeItem::makeLeaf(QStringLiteral("New Leaf"));
}

TreeItemRef newGroupFromLeaf(const TreeItemRef& leaf)
{
    return TreeItem::makeGroup(itemDescription(leaf).toString());
}

} // namespace items
