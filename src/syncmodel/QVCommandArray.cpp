#include "syncmodel/QVCommandArray.h"

#include "syncmodel/QVSyncElem.h"

QVCommandArray::QVCommandArray()
{
    _elems.reserve(32);
    _commands.reserve(32);
}

void QVCommandArray::addObject(const Elem& elem, const QString& command)
{
    if (!elem)
        return;
    _elems.push_back(elem);
    _commands.append(command);
}

void QVCommandArray::insertDeleteObject(const Elem& elem)
{
    if (!elem)
        return;
    _elems.insert(_elems.begin(), QVSyncElem::elemForDeletion(elem->sourceURI()));
    _commands.prepend(kDelete);
}

QVCommandArray::Elem QVCommandArray::elemAtIndex(int index) const
{
    return index >= 0 && index < count() ? _elems[size_t(index)] : nullptr;
}

QString QVCommandArray::commandAtIndex(int index) const
{
    return index >= 0 && index < count() ? _commands[index] : QString();
}

bool QVCommandArray::containsElem(const Elem& elem) const
{
    if (!elem)
        return false;
    const QString uri = elem->sourceURI();
    for (const auto& present : _elems)
        if (present->sourceURI() == uri)
            return true;
    return false;
}

void QVCommandArray::removeElemAndCommandAtIndex(int index)
{
    if (index < 0 || index >= count())
        return;
    _elems.erase(_elems.begin() + index);
    _commands.removeAt(index);
}

void QVCommandArray::removeAllObjects()
{
    _elems.clear();
    _commands.clear();
}

QString QVCommandArray::description() const
{
    if (_elems.empty())
        return QStringLiteral("empty <QVCommandArray>");
    QStringList items;
    for (const auto& elem : _elems)
        items.append(elem->description());
    return QStringLiteral("<QVCommandArray: %1 entries> = (%2)\n(%3)")
        .arg(count())
        .arg(_commands.join(QStringLiteral(", ")), items.join(QStringLiteral(",\n")));
}
