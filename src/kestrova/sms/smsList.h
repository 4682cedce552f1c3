#pragma once

#include "kestrova/sms/sms.h"

#include <list>
#include <memory>
#include <vector>

namespace kestrova {

// The messages of a listing, in order, with a cursor. Owns its messages.
class smsList {
public:
    using Node = std::list<std::unique_ptr<sms>>::iterator;

    int appendItem(std::unique_ptr<sms> item);
    void resetPos() { m_cursor = m_items.begin(); }
    bool isEnd() const { return m_cursor != m_items.end(); } // true while on an element
    // 23 at the end, else 0 and the element (cursor advances).
    int nextItemP(sms*& item);
    sms* nextItem();
    sms* getNextP() { return nextItem(); }
    sms* currentP() const { return m_cursor == m_items.end() ? nullptr : m_cursor->get(); }

    // Unlinks an element (the cursor moves past it when it stood on it).
    std::unique_ptr<sms> removeListItem(sms* item);
    void appendListItem(std::unique_ptr<sms> item) { appendItem(std::move(item)); }

    // The first entry that a decoded part of a concatenated message joins
    // (sms::acceptsPart); none when there is no such entry. Always 0. Walks
    // the list: a listing joins its parts through SmsJoinIndex.
    int searchMultiPart(const sms& part, sms*& entry) const;

    // Removes from `other` every message equal to one of this list; the
    // messages of this list without a counterpart are marked unread, unlinked
    // and handed back (their number in counter).
    std::vector<std::unique_ptr<sms>> syncListTo(smsList& other, int& counter);

    auto begin() const { return m_items.cbegin(); }
    auto end() const { return m_items.cend(); }
    qsizetype length() const { return qsizetype(m_items.size()); }
    bool isEmpty() const { return m_items.empty(); }

private:
    std::list<std::unique_ptr<sms>> m_items;
    Node m_cursor = m_items.end();
};

} // namespace kestrova
