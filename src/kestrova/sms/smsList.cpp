#include "kestrova/sms/smsList.h"

namespace kestrova {

namespace {
constexpr qint64 kJoinWindowSeconds = 180;
}

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
    const QByteArray tag = sms::multiPartTag(part.getMultiPartMR(), part.getPartCount(),
                                             part.getPartNumber()).toLatin1();
    const qint64 partTime = part.createTimeType();
    for (const auto& candidate : m_items) {
        const sms& c = *candidate;
        if (!c.isMultiPart() || c.getAddress() != part.getAddress()
            || c.getMultiPartMR() != part.getMultiPartMR()
            || c.getPartCount() != part.getPartCount() || c.getTP_DCS() != part.getTP_DCS()
            || qAbs(c.createTimeType() - partTime) >= kJoinWindowSeconds
            || c.getSmsMemory() != part.getSmsMemory()
            || c.getPartNumber() == part.getPartNumber() || !c.joinText().contains(tag)) {
            continue;
        }
        entry = candidate.get();
        return 0;
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
