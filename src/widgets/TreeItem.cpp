#include "widgets/TreeItem.h"

TreeItem::TreeItem(bool group, const QVariant& value, const TreeItemList& entries)
    : group_(group)
    , value_(value)
    , entries_(entries)
{
}

TreeItemRef TreeItem::makeLeaf(const QVariant& value)
{
    return TreeItemRef(new TreeItem(false, value, {}));
}

TreeItemRef TreeItem::makeGroup(const QString& description, const TreeItemList& entries)
{
    return TreeItemRef(new TreeItem(true, description, entries));
}
