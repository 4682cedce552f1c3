#pragma once

#include <QList>
#include <QString>
#include <QVariant>
#include <memory>

// One item of an outline: a group (a description and its child items) or a
// leaf (any value; its description is the value itself). Items are held by
// shared pointer, so the same object can sit in several places and be found
// again by identity.
class TreeItem;
using TreeItemRef = std::shared_ptr<TreeItem>;
using TreeItemList = QList<TreeItemRef>;

class TreeItem {
public:
    static TreeItemRef makeLeaf(const QVariant& value);
    static TreeItemRef makeGroup(const QString& description, const TreeItemList& entries = {});

    bool isGroup() const { return group_; }
    // A leaf's value; a group's description as a string.
    const QVariant& value() const { return value_; }
    void setValue(const QVariant& value) { value_ = value; }
    // A group's children (always empty for a leaf).
    TreeItemList& entries() { return entries_; }
    const TreeItemList& entries() const { return entries_; }

private:
    TreeItem(bool group, const QVariant& value, const TreeItemList& entries);

    bool group_;
    QVariant value_;
    TreeItemList entries_;
};
