#pragma once

#include <QList>
#include <QVariant>
#include <functional>
#include <memory>

// Small helpers on lists.
namespace collections {

// Whether that very object (the same shared object, not an equal one) is an
// element.
template <class T>
bool containsObjectIdenticalTo(const QList<std::shared_ptr<T>>& list, const std::shared_ptr<T>& object)
{
    return object && list.contains(object);
}

// Asks matches(element, object) of each element in order; at the first yes,
// answers the index of the first element equal to that element. -1 when the
// object or the test is missing or nothing matches.
qsizetype findEqualObject(const QVariantList& list, const QVariant& object,
                          const std::function<bool(const QVariant& element, const QVariant& object)>& matches);

// Strings match ignoring case (a string never matches a non-string, such as
// the number 1 and the string "1"); other pairs match when equal. False for
// an invalid object.
bool containsNoCaseObject(const QVariantList& list, const QVariant& object);

// Inserts the elements of items at index, index + 1, ... in their order.
template <class T>
void insertObjectsFromArray(QList<T>& list, const QList<T>& items, qsizetype index)
{
    index = std::clamp<qsizetype>(index, 0, list.size());
    for (const T& item : items)
        list.insert(index++, item);
}

} // namespace collections
