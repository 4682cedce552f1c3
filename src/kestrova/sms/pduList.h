#pragma once

#include "kestrova/sms/pdu.h"

#include <list>
#include <memory>

namespace kestrova {

// PDUs in order, with a cursor. Owns its PDUs.
class pduList {
public:
    int appendItem(std::unique_ptr<pdu> item);
    void resetPos() { m_cursor = m_items.begin(); }
    bool isEnd() const { return m_cursor != m_items.end(); } // true while on an element
    pdu* nextItem();
    // Number of PDUs; leaves the cursor on the head.
    qsizetype length();
    // Releases every PDU.
    void clear()
    {
        m_items.clear();
        m_cursor = m_items.end();
    }

    auto begin() const { return m_items.begin(); }
    auto end() const { return m_items.end(); }

private:
    std::list<std::unique_ptr<pdu>> m_items;
    std::list<std::unique_ptr<pdu>>::iterator m_cursor = m_items.end();
};

} // namespace kestrova
