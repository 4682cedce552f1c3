#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <optional>
#include <utility>

namespace phonesim {

// The organizer records of a Samsung phone behind its "MOBEX" OBEX service:
// contacts in sub-database 1, calendar in 1 (events), 7 (tasks) and 8
// (memos), each with a capacity. It answers the Get and Put requests whose
// Type begins "m-obex/" (count, info, load, read, delete, write, create);
// every answer carries App-Parameters 00 and a one-byte status and its data
// in End-of-Body. Load answers one block of records (2-byte index, 2-byte
// length, text) per request, status 2 while more blocks follow.
class MobexStore {
public:
    enum Fault {
        None = 0,
        ShortCount = 1,      // count answers 3 bytes
        RecordPastBlock = 2, // the first load block's last record runs past it
        WriteStatus = 4,     // write, create and delete answer status 4
        RejectGet = 8,       // every Get is answered 0xC0
        CreateWithoutIndex = 16,
    };
    // Key of a record: (property 0/1, sub-database) and index.
    using Key = std::pair<int, int>;

    MobexStore();

    void setCapacity(int property, int subType, int capacity) { _capacity[{property, subType}] = capacity; }
    void setBlockSize(int records) { _blockSize = std::max(1, records); }
    void setFaults(int faults) { _faults = faults; }
    // Where a create starts looking for a free index.
    void setFirstCreateIndex(int index) { _firstCreateIndex = index; }
    void put(int property, int subType, int index, const QByteArray& text)
    {
        _records[{property, subType}][index] = text;
    }
    bool remove(int property, int subType, int index) { return _records[{property, subType}].remove(index) > 0; }
    QMap<int, QByteArray> records(int property, int subType) const { return _records.value({property, subType}); }
    // The limits an info request of the contacts answers (24 values).
    void setContactLimits(const QList<int>& limits) { _contactLimits = limits; }

    // The answer to one OBEX request; nullopt when it is none of this
    // store's (no "m-obex/" Type and no multi-part answer under way).
    std::optional<QByteArray> answer(const QByteArray& request, int room);
    // count contacts "Contact<i>" with number "+4917<i>" at indexes 0..count-1.
    static void fillContacts(MobexStore& store, int count);
    void reset();

private:
    QByteArray handle(const QByteArray& type, const QByteArray& params, const QByteArray& body, bool isGet);
    QByteArray reply(int status, const QByteArray& data) const;
    QByteArray nextPart(int room);

    QMap<Key, QMap<int, QByteArray>> _records;
    QMap<Key, int> _capacity;
    QList<int> _contactLimits;
    int _blockSize = 8;
    int _faults = None;
    int _firstCreateIndex = 0;
    // A Put under way.
    bool _putOpen = false;
    QByteArray _putType;
    QByteArray _putParams;
    QByteArray _putBody;
    // A Get answer under way: parameters and data still to send.
    std::optional<QByteArray> _getParams;
    QByteArray _getRest;
    bool _getSent = false;
};

} // namespace phonesim
