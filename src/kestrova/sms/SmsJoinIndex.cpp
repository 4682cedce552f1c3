#include "kestrova/sms/SmsJoinIndex.h"

namespace kestrova {

namespace {

// Incomplete messages of one sender, reference, part count, coding and memory
// that a part is tried against. Only a hostile listing has more open at once;
// the limit keeps its cost linear: past it the oldest leaves the index (it
// stays in the list with its tags).
constexpr size_t kMaxCandidates = 64;

} // namespace

SmsJoinIndex::SmsJoinIndex(smsList& list) : m_list(list)
{
    for (const auto& entry : list) {
        if (entry->isMultiPart() && !entry->hasAllParts())
            index(entry.get());
    }
}

SmsJoinIndex::Key SmsJoinIndex::keyOf(const sms& message)
{
    return {message.getAddressDigits(), message.getSmsMemory(), message.getAddressType(),
            message.getConcatReference(), message.getPartCount(), message.getTP_DCS()};
}

void SmsJoinIndex::index(sms* entry)
{
    std::vector<sms*>& entries = m_open[keyOf(*entry)];
    if (entries.size() == kMaxCandidates)
        entries.erase(entries.begin());
    entries.push_back(entry);
}

void SmsJoinIndex::append(std::unique_ptr<sms> message)
{
    if (!message->isMultiPart()) {
        m_list.appendItem(std::move(message));
        return;
    }
    const auto open = m_open.find(keyOf(*message));
    if (open != m_open.end()) {
        std::vector<sms*>& entries = *open;
        for (auto it = entries.begin(); it != entries.end(); ++it) {
            sms* entry = *it;
            if (!entry->acceptsPart(*message) || entry->insertMultiPart(*message) != 0)
                continue;
            if (entry->hasAllParts())
                entries.erase(it);
            return;
        }
    }
    message->setMultiPartTags();
    sms* entry = message.get();
    m_list.appendItem(std::move(message));
    if (!entry->hasAllParts())
        index(entry);
}

} // namespace kestrova
