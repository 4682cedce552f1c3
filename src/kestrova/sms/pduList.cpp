#include "kestrova/sms/pduList.h"

namespace kestrova {

int pduList::appendItem(std::unique_ptr<pdu> item)
{
    m_items.push_back(std::move(item));
    if (m_items.size() == 1)
        m_cursor = m_items.begin();
    return 0;
}

pdu* pduList::nextItem()
{
    if (m_cursor == m_items.end())
        return nullptr;
    return (m_cursor++)->get();
}

qsizetype pduList::length()
{
    m_cursor = m_items.begin();
    return qsizetype(m_items.size());
}

} // namespace kestrova
