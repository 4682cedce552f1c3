#include "widgets/ItemStuff.h"
#include "widgets/ClassName.h"
#include "widgets/CollectionExtras.h"
#include "widgets/OutlineViewExtras.h"
#include "widgets/PerformExtras.h"

#include <QSet>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace {

QStringList descriptions(const TreeItemList& list)
{
    QStringList texts;
    for (const TreeItemRef& item : list)
        texts.append(items::itemDescription(item).toString());
    return texts;
}

TEST(ItemStuffTest, FlatteningGivesGroupDescriptionsAndLeavesInOrder)
{
    TreeItemRef leaf = TreeItem::makeLeaf(QStringLiteral("Leaf"));
    TreeItemRef inner = TreeItem::makeGroup(QStringLiteral("Inner"));
    TreeItemRef outer = TreeItem::makeGroup(QStringLiteral("Outer"), {leaf, inner});

    const TreeItemList flat = items::itemsByFlattening(outer);
    EXPECT_EQ(descriptions(flat), QStringList({"Outer", "Leaf", "Inner"}));
    EXPECT_EQ(flat.at(1), leaf); // the leaf itself, not a copy
    EXPECT_EQ(descriptions(items::itemsByFlattening(TreeItemList{leaf, outer})),
              QStringList({"Leaf", "Outer", "Leaf", "Inner"}));
}

TEST(ItemStuffTest, ChildrenAreFoundAndRemovedByIdentity)
{
    TreeItemRef twice = TreeItem::makeLeaf(QStringLiteral("Same"));
    TreeItemRef equal = TreeItem::makeLeaf(QStringLiteral("Same"));
    TreeItemRef group = TreeItem::makeGroup(QStringLiteral("G"), {twice, equal, twice});

    EXPECT_EQ(items::indexOfChildItem(group, equal), 1);
    items::removeChildItem(group, twice);
    ASSERT_EQ(items::numberOfChildItems(group), 1);
    EXPECT_EQ(items::childItemAtIndex(group, 0), equal);
    EXPECT_EQ(items::indexOfChildItem(group, twice), -1);

    // Leaves have no children and ignore changes to them.
    items::insertChildItem(equal, twice, 0);
    EXPECT_EQ(items::numberOfChildItems(equal), 0);
    EXPECT_EQ(items::childItemAtIndex(equal, 0), nullptr);
    EXPECT_EQ(items::childItemAtIndex(group, 5), nullptr);
    EXPECT_TRUE(items::isLeaf(equal));
    EXPECT_TRUE(items::isExpandable(group));
}

TEST(ItemStuffTest, NewItemsAndRenaming)
{
    TreeItemRef group = items::newGroup();
    EXPECT_EQ(items::itemDescription(group).toString(), "New Group");
    items::setItemDescription(group, QStringLiteral("Renamed"));
    EXPECT_EQ(items::itemDescription(group).toString(), "Renamed");

    TreeItemRef leaf = items::newLeaf();
    items::setItemDescription(leaf, QStringLiteral("Changed"));
    EXPECT_EQ(items::itemDescription(leaf).toString(), "Changed");
    TreeItemRef number = TreeItem::makeLeaf(7);
    items::setItemDescription(number, QStringLiteral("x"));
    EXPECT_EQ(items::itemDescription(number).toInt(), 7);

    TreeItemRef fromLeaf = items::newGroupFromLeaf(leaf);
    EXPECT_EQ(items::itemDescription(fromLeaf).toString(), "Changed");
    EXPECT_EQ(items::numberOfChildItems(fromLeaf), 0);
}

TEST(ItemStuffTest, SortsShallowOrDeepAndCopiesDeep)
{
    TreeItemRef inner = TreeItem::makeGroup(
        QStringLiteral("b"), {TreeItem::makeLeaf(QStringLiteral("z")), TreeItem::makeLeaf(QStringLiteral("y"))});
    TreeItemRef root = TreeItem::makeGroup(
        QStringLiteral("root"),
        {TreeItem::makeLeaf(QStringLiteral("c")), inner, TreeItem::makeLeaf(QStringLiteral("a"))});
    TreeItemRef copy = items::deepMutableCopy(root);

    items::sortRecursively(root, false);
    EXPECT_EQ(descriptions(root->entries()), QStringList({"a", "b", "c"}));
    EXPECT_EQ(descriptions(inner->entries()), QStringList({"z", "y"}));
    items::sortRecursively(root, true);
    EXPECT_EQ(descriptions(inner->entries()), QStringList({"y", "z"}));

    // The copy is new objects all the way down and kept its order.
    EXPECT_EQ(descriptions(items::itemsByFlattening(copy)), QStringList({"root", "c", "b", "z", "y", "a"}));
    EXPECT_NE(copy->entries().at(1), inner);
}

TEST(CollectionExtrasTest, NoCaseSearchMatchesOnlyStringsWithStrings)
{
    const QVariantList list{QStringLiteral("ABC"), QStringLiteral("1"), 2};
    struct Case {
        QVariant object;
        bool found;
    } cases[] = {
        {QStringLiteral("abc"), true},
        {QStringLiteral("AbC"), true},
        {1, false},
        {QStringLiteral("2"), false},
        {2, true},
        {QVariant(), false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(collections::containsNoCaseObject(list, c.object), c.found) << c.object.toString().toStdString();
}

TEST(CollectionExtrasTest, FindEqualIdenticalAndInsert)
{
    const QVariantList list{1, 5, 3, 5};
    auto greater = [](const QVariant& element, const QVariant& object) { return element.toInt() > object.toInt(); };
    EXPECT_EQ(collections::findEqualObject(list, 4, greater), 1);
    EXPECT_EQ(collections::findEqualObject(list, 9, greater), -1);
    EXPECT_EQ(collections::findEqualObject(list, QVariant(), greater), -1);
    EXPECT_EQ(collections::findEqualObject(list, 4, {}), -1);

    auto a = std::make_shared<int>(1);
    auto b = std::make_shared<int>(1);
    EXPECT_TRUE(collections::containsObjectIdenticalTo(QList{a}, a));
    EXPECT_FALSE(collections::containsObjectIdenticalTo(QList{a}, b));

    QList<int> numbers{1, 4};
    collections::insertObjectsFromArray(numbers, {2, 3}, 1);
    EXPECT_EQ(numbers, QList<int>({1, 2, 3, 4}));
}

TEST(OutlineViewExtrasTest, SelectsInRowOrderAndSkipsForeignItems)
{
    QTreeWidget view;
    view.setSelectionMode(QAbstractItemView::ExtendedSelection);
    QList<QTreeWidgetItem*> rows;
    for (const char* name : {"one", "two", "three"})
        rows.append(new QTreeWidgetItem(&view, QStringList(QLatin1String(name))));
    QTreeWidgetItem foreign(QStringList(QStringLiteral("elsewhere")));

    EXPECT_EQ(outline::selectedItem(&view), nullptr);
    outline::selectItems(&view, {rows[2], &foreign, rows[0]}, false);
    EXPECT_EQ(outline::allSelectedItems(&view), QList<QTreeWidgetItem*>({rows[0], rows[2]}));
    outline::selectItems(&view, {rows[1]}, true);
    EXPECT_EQ(outline::allSelectedItems(&view).size(), 3);
    outline::selectItems(&view, {rows[1]}, false);
    EXPECT_EQ(outline::selectedItem(&view), rows[1]);
}

TEST(PerformExtrasTest, CallsOncePerElementAndNamesClasses)
{
    struct Collector {
        QList<int> seen;
        void take(int value) { seen.append(value); }
    } collector;
    perform::withEachObject(collector, &Collector::take, QList<int>{3, 1, 2});
    EXPECT_EQ(collector.seen, QList<int>({3, 1, 2}));
    perform::withEachObject(collector, &Collector::take, QSet<int>{9});
    EXPECT_EQ(collector.seen.last(), 9);

    QTreeWidget view;
    EXPECT_EQ(className(static_cast<QObject&>(view)), "QTreeWidget");
    EXPECT_TRUE(className(collector).endsWith(QLatin1String("::Collector")));
}

} // namespace
