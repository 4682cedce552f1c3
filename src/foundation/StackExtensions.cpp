#include "foundation/StackExtensions.h"

void pushItem(QVariantList& stack, const QVariant& item)
{
    if (item.isValid())
        stack.append(item);
}

QVariant popItem(QVariantList& stack)
{
    if (stack.isEmpty())
        return QVariant();
    return stack.takeLast();
}

QVariant topItem(const QVariantList& stack)
{
    if (stack.isEmpty())
        return QVariant();
    return stack.last();
}
