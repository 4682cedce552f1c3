#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>

#include <array>
#include <optional>

class QVSyncDeviceDescription;
class VXDictionary;

// The phonebook entry dictionary of a Motorola or LG phone for one contact, as
// the organizer kit takes it back (the keys of MotorolaContactReader.h). The
// item form's sent list is emptied first and then holds every field and
// sub-record written; the parameter lists of the sub-records written are kept
// as their relations so that the next write puts each number back into the
// phone's slot of its type. Logs the result to "SyncML".
QVariantMap createMotoDictForVXDict(VXDictionary* vxDict, const QVSyncDeviceDescription& description);

// Writes one phone entry; lives for one createMotoDictForVXDict call. The
// event and task generators build on its fields, addDeviceSpecifics and the
// produce step.
//
// Limits ("SyncML.MaxNo_...", absent is 0: an empty list) and unique-type
// switches ("SyncML.Unique_...") come from the description; LG phones are
// those whose protocol begins "Protocol LG".
class MotorolaContactGenerator {
public:
    MotorolaContactGenerator(const QVSyncDeviceDescription& description, VXDictionary* vxDict);
    virtual ~MotorolaContactGenerator() = default;
    MotorolaContactGenerator(const MotorolaContactGenerator&) = delete;
    MotorolaContactGenerator& operator=(const MotorolaContactGenerator&) = delete;

    virtual QVariantMap produceMotoDict();

    // The main record's text value; empty when missing or no text.
    QString nonNilMainObject(const QString& key) const;

    // One entry appended unless the list's limit is reached; false then.
    bool appendPhone(const QVariantMap& entry);
    bool appendEmail(const QVariantMap& entry);
    bool appendURL(const QVariantMap& entry);
    bool appendAddress(const QVariantMap& entry);

    // The next sub-record id of the list not yet taken, of the type (any type
    // when allowed), marked taken; ids with an empty value are taken and
    // passed over. Null when none is left.
    QString getNextPhoneForType(const QString& type, bool allowOtherTypes);
    QString getNextEmailForType(const QString& type, bool allowOtherTypes);
    QString getNextURLForType(const QString& type, bool allowOtherTypes);
    QString getNextStreetAddressForType(const QString& type, bool allowOtherTypes);

    // Entries from a stored parameter list. The "type" values are joined, each
    // after a ";" (a phone's "CELL" as "MOBILE"), and mapped to the entry's
    // "type"; every other parameter with one value is copied under its name.
    // generatePhone fills outDict and returns the joined type text; the e-mail
    // and URL variants append the entry when told to and return the type word
    // in upper case; the address variant always appends.
    QString generatePhone(const QVariantList& params, const QString& value, QVariantMap& outDict) const;
    QString generateEmail(const QVariantList& params, const QString& value, bool doAdding);
    QString generateURL(const QVariantList& params, const QString& value, bool doAdding);
    void generateStreetAddress(const QVariantList& params, const QVariantMap& itemDict);

    void addPhones();
    void addEmails();
    void addURLs();
    void addStreetAddresses();
    // The item's phone-side values, except those under keys the dictionary
    // already holds.
    virtual void addDeviceSpecifics();

    // "FAX" fax, "HOME" home, "WORK" work, "MAIN"/"PREF" main,
    // "CELL"/"MOBILE" mobile, "PAGER" pager, "VIDEOCALL" videocall (tested in
    // this order as parts of the text), else "other".
    static QString vCardTypeToMotorolaType(const QString& typeText);
    // "HOME" home, "WORK" work, else "other".
    static QString vCardAddrTypeToMotorolaType(const QString& typeText);
    static QString typeString(const QString& word) { return word; }
    // The vCard 2.1 type text of a sub-record ("HOME;FAX").
    static QString typeStringForItem(const QVariant& subRecord);
    // The street, city, state, zip and country of an address sub-record.
    void addAddressData(const QVariantMap& address, QVariantMap& addrDict) const;

protected:
    enum class ListKind { Phone, Email, URL, Address };

    const QVSyncDeviceDescription& _syncDescription;
    VXDictionary* _vxDict;
    QVariantMap _curDict;
    QStringList _addedUUIDs;
    bool _isLG;

private:
    struct Slot;
    struct ListRun;

    bool append(ListKind kind, const QVariantMap& entry);
    // The item's ids of the list, each once.
    const QStringList& listIds(ListKind kind);
    QString nextForType(ListKind kind, const QString& type, bool allowOtherTypes);
    QVariantMap subRecord(const QString& uuid) const;
    QString valueText(const QVariantMap& subRecord) const;
    QVariantMap entryFromParams(const QVariantList& params, const QString& value, bool isPhone,
                                QString* joinedTypes) const;
    QString generateTyped(ListKind kind, const QVariantList& params, const QString& value, bool doAdding);
    // Whether a remembered entry with these type parameters gets a "type".
    bool writesType(ListKind kind, const QString& joinedTypes) const;
    QVariantMap freshEntry(ListKind kind, const QVariantMap& sub, const QString& type) const;
    void addList(ListKind kind);
    void writeRemembered(ListRun& run);
    void writeRememberedByType(ListRun& run, const QStringList& remembered);
    void writeTaken(ListRun& run, const QString& uuid, const QVariantMap& entry, const QVariantList* relation);
    void writePlain(ListRun& run);
    void writeUnique(ListRun& run);
    bool isDone(const ListRun& run) const;
    void remember(const char* key);

    // Per list kind, from the description.
    std::array<long, 4> _limits{};
    std::array<bool, 4> _unique{};
    // The ids of each list of the item, read on first use.
    std::array<std::optional<QStringList>, 4> _listIds;
};
