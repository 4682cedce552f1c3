#pragma once

#include "kestrova/sms/smsList.h"

#include <QHash>
#include <memory>
#include <vector>

namespace kestrova {

// Appends decoded messages to a list and joins the parts of concatenated
// messages on the way. The entries a part may join are found through an index
// on sender, reference, part count, coding and memory, so a listing costs
// time in proportion to its size. Among the entries of one key the first
// that accepts the part takes it (sms::acceptsPart), as a walk of the list
// would find it; complete messages leave the index.
class SmsJoinIndex {
public:
    // Indexes the incomplete concatenated messages already in `list`.
    explicit SmsJoinIndex(smsList& list);

    void append(std::unique_ptr<sms> message);

private:
    struct Key {
        QString address;
        QString memory;
        int addressType;
        int reference;
        int partCount;
        int dcs;
        bool operator==(const Key& other) const = default;
        friend size_t qHash(const Key& key, size_t seed = 0)
        {
            return qHashMulti(seed, key.address, key.memory, key.addressType, key.reference,
                              key.partCount, key.dcs);
        }
    };
    static Key keyOf(const sms& message);
    void index(sms* entry);

    smsList& m_list;
    QHash<Key, std::vector<sms*>> m_open;
};

} // namespace kestrova
