#include "kestrova/sms/smsList.h"

namespace kestrova {

int smsList::appendItem(std::unique_ptr<sms> item)
{
    m_items.push_back(std::move(item));
    if (m_items.size() == 1)
        m_cursor = m_items.begin();
    return 0;
}

int smsList::nextItemP(sms*& item)
{
    if (m_cursor == m_items.end()) {
        item = nullptr;
        return kSmsErrorEndOfList;
    }
    item = (m_cursor++)->get();
    return 0;
}

sms* smsList::nextItem()
{
    sms* item = nullptr;
    nextItemP(item);
    return item;
}

std::unique_ptr<sms> smsList::removeListItem(sms* item)
{
    for (auto it = m_items.begin(); it != m_items.end(); ++it) {
        if (it->get() != item)
            continue;
        if (m_cursor == it)
            ++m_cursor;
        std::unique_ptr<sms> owned = std::move(*it);
        m_items.erase(it);
        return owned;
    }
    return nullptr;
}

int smsList::searchMultiPart(const sms& part, sms*& entry) const
{
    entry = nullptr;
    for (const auto& candidate : m_items) {
        if (candidate->acceptsPart(part)) {
            entry = candidate.get();
            break;
        }
    }
    return 0;
}

std::vector<std::unique_ptr<sms>> smsList::syncListTo(smsList& other, int& counter)
{
    std::vector<std::unique_ptr<sms>> unmatched;
    counter = 0;
    for (auto it = m_items.begin(); it != m_items.end();) {
        sms* match = nullptr;
        for (const auto& candidate : other.m_items) {
            if ((*it)->isEqualToSms(*candidate)) {
                match = candidate.get();
                break;
            }
        }
        if (match) {
            other.removeListItem(match);
            ++it;
            continue;
        }
        (*it)->setSmsStatusToUnread();
        if (m_cursor == it)
            ++m_cursor;
        unmatched.push_back(std::move(*it));
        it = m_items.erase(it);
        ++counter;
    }
    return unmatched;
}

} // namespace kestrova
