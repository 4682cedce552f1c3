#include "widgets/CollectionExtras.h"

namespace collections {

namespace {

bool isString(const QVariant& value)
{
    return value.typeId() == QMetaType::QString;
}

} // namespace

qsizetype findEqualObject(const QVariantList& list, const QVariant& object,
                          const std::function<bool(const QVariant&, const QVariant&)>& matches)
{
    if (!object.isValid() || !matches)
        return -1;
    for (const QVariant& element : list)
        if (matches(element, object))
            return list.indexOf(element);
    return -1;
}

bool containsNoCaseObject(const QVariantList& list, const QVariant& object)
{
    if (!object.isValid())
        return false;
    for (const QVariant& element : list) {
        if (isString(object) && isString(element)) {
            if (object.toString().compare(element.toString(), Qt::CaseInsensitive) == 0)
                return true;
        } else if (isString(object) == isString(element) && element == object) {
            return true;
        }
    }
    return false;
}

} // namespace collections
