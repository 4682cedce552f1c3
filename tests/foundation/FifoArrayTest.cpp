#include "foundation/FifoArray.h"
#include "foundation/StackExtensions.h"

#include <gtest/gtest.h>

TEST(FifoArray, FullListDropsTheOldest)
{
    FifoArray fifo(2);
    for (const char* element : { "x", "y", "z" })
        fifo.insertElem(QString::fromLatin1(element));
    ASSERT_EQ(fifo.count(), 2);
    EXPECT_EQ(fifo.objectAtIndex(0).toString(), QStringLiteral("z"));
    EXPECT_EQ(fifo.objectAtIndex(1).toString(), QStringLiteral("y"));
    EXPECT_FALSE(fifo.objectAtIndex(2).isValid());

    fifo.removeLastElem();
    ASSERT_EQ(fifo.count(), 1);
    EXPECT_EQ(fifo.objectAtIndex(0).toString(), QStringLiteral("z"));
    fifo.removeLastElem();
    fifo.removeLastElem();
    EXPECT_EQ(fifo.count(), 0);
}

TEST(StackExtensions, PushPopTop)
{
    QVariantList stack;
    EXPECT_FALSE(popItem(stack).isValid());
    EXPECT_FALSE(topItem(stack).isValid());
    pushItem(stack, 1);
    pushItem(stack, QVariant());
    pushItem(stack, 2);
    ASSERT_EQ(stack.size(), 2) << "nil is not pushed";
    EXPECT_EQ(topItem(stack).toInt(), 2);
    EXPECT_EQ(popItem(stack).toInt(), 2);
    EXPECT_EQ(popItem(stack).toInt(), 1);
    EXPECT_TRUE(stack.isEmpty());
}
