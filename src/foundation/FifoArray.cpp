#include "foundation/FifoArray.h"

FifoArray::FifoArray(quint32 maxItems)
    : m_maxItems(maxItems)
{
}

void FifoArray::insertElem(const QVariant& element)
{
    if (quint32(m_data.size()) >= m_maxItems)
        removeLastElem();
    m_data.prepend(element);
}

int FifoArray::count() const
{
    return int(m_data.size());
}

QVariant FifoArray::objectAtIndex(int index) const
{
    if (index < 0 || index >= m_data.size())
        return QVariant();
    return m_data.at(index);
}

void FifoArray::removeLastElem()
{
    if (!m_data.isEmpty())
        m_data.removeLast();
}
