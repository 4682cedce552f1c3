#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>

// The intermediate form of one organizer item (contact, event, task) in the
// shape of the desktop sync engine's records: the main record, its sub-records
// under their own record ids, the phone-side parameters of each sub-record
// (its relation), the values only the phone knows and a few bookkeeping keys.
// The content is a plain property-list tree, stored as it is.
//
// Values are held by value. Copies build fresh containers, so a section
// reference (mainDict(), ...) taken from one item form never reaches a copy.
class VXDictionary {
public:
    // Top-level keys.
    static const QString kMainDict;         // "Main-Dict"
    static const QString kOtherItems;       // "XXX-OtherItems"
    static const QString kDeviceItems;      // "XXX-DeviceItems"
    static const QString kRelationsPrefix;  // "XXX-Relations-"
    static const QString kSentItems;        // "XXX-SentItems"
    static const QString kUUID;             // "UUID"
    static const QString kSourceURI;        // "SourceURI"
    static const QString kModified;         // "Modified"
    static const QString kGroups;           // "XXX-Groups"
    static const QString kTempChangedFlag;  // "TEMP_CHANGED_FLAG"
    static const QString kTempDeletedFlag;  // "TEMP_DELETED_FLAG"
    // Keys of one relation entry.
    static const QString kRelationKey;      // "Key"
    static const QString kRelationValues;   // "Values"

    VXDictionary() = default;
    // initWithDictionary: a deep copy of the argument.
    explicit VXDictionary(const QVariantMap& dictionary);
    VXDictionary(const VXDictionary& other);
    VXDictionary& operator=(const VXDictionary& other);
    VXDictionary(VXDictionary&&) noexcept = default;
    VXDictionary& operator=(VXDictionary&&) noexcept = default;

    // A stored item form read back: the temporary changed and deleted flags go.
    static VXDictionary vxDictionaryFromDict(const QVariantMap& stored);

    const QVariantMap& realDictionary() const { return _realDict; }
    QVariantMap& realDictionary() { return _realDict; }

    // Dictionary primitives. setObject with an invalid value removes the key.
    qsizetype count() const { return _realDict.size(); }
    QVariant objectForKey(const QString& key) const { return _realDict.value(key); }
    QStringList allKeys() const { return _realDict.keys(); }
    void removeObjectForKey(const QString& key) { _realDict.remove(key); }
    void setObject(const QVariant& value, const QString& key);
    QString description() const;

    // Sections, created empty when missing (never absent afterwards).
    QVariantMap& mainDict() { return section(kMainDict); }
    QVariantMap& otherDict() { return section(kOtherItems); }
    QVariantMap& deviceDict() { return section(kDeviceItems); }

    QVariant mainObjectForKey(const QString& key) const;
    void setMainObject(const QVariant& value, const QString& key);
    void removeMainObjectForKey(const QString& key);
    QVariant otherObjectForKey(const QString& uuid) const;
    void setOtherObject(const QVariant& subRecord, const QString& uuid);
    void removeOtherObjectForKey(const QString& uuid);
    QVariant deviceObjectForKey(const QString& key) const;
    void removeDeviceSpecifics() { _realDict.remove(kDeviceItems); }
    // Null when the item is not on the phone.
    QString sourceURI() const;

    // Changed marker of the stored copy.
    void createChangedFlag() { _realDict.insert(kTempChangedFlag, true); }
    void removeChangedFlag() { _realDict.remove(kTempChangedFlag); }
    bool hasChangedFlag() const { return _realDict.contains(kTempChangedFlag); }

    // Relations: the phone-side parameter list of each sub-record, one section
    // per list ("XXX-Relations-phone numbers", ...). The getters answer an
    // invalid value when the section or the entry is missing. setRelation
    // stores the list as formatRelation makes it (VCardRelations.h) and
    // removes the entry when nothing of it remains.
    void setRelation(const QVariantList& params, const QString& listKey, const QString& uuid);
    QVariant getRelations(const QString& listKey) const;
    QVariant getTheRelation(const QString& listKey, const QString& uuid) const;
    void deleteRelation(const QString& listKey, const QString& uuid);
    void removeDeviceRelationsFortype(const QString& listKey);
    // sectionKey is the whole top-level key ("XXX-Relations-phone numbers").
    void removeRelationForSubItem(const QString& uuid, const QString& sectionKey);
    void deleteAllRelations();

    // Sub-records written for the phone by the last generator run.
    void resetSentItems();
    void rememberSent(const QString& uuid);
    bool wasUUIDsent(const QString& uuid) const;
    // The list, invalid when there is none.
    QVariant sentItems() const;

    bool operator==(const VXDictionary& other) const { return _realDict == other._realDict; }

private:
    QVariantMap& section(const QString& key);

    QVariantMap _realDict;
};

// Record ids.
QString createNewPrimaryKey();                          // canonical upper-case UUID
QString createPrefixedPrimaryKey(const QString& prefix);  // "<prefix>:<UUID>"
QString createQuorvalisPrimaryKey();                    // "Tarnex:<UUID>", 43 characters

// Deep mutable copy of a property-list value: maps and lists are rebuilt level
// by level (a string list comes back as a variant list), any other value is
// returned as it is.
QVariant mutableObjectFor(const QVariant& object);

// The property changes that set every field of a record, in key order; a
// "birthday" becomes the same day at 12:00:00 GMT.
QVariantList makeChangesForRecord(const QVariantMap& record);

// The alarm offset an LG phone offers for a wanted offset in seconds: 0 or
// less unchanged, else the next of 900, 1800, 3600, 86400, 259200, 604800.
long lgAlarmOffset(long seconds);
