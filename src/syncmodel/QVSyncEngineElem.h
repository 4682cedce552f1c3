#pragma once

#include "platform/SyncChange.h"
#include "syncmodel/QVSyncElem.h"
#include "formats/VXDictionary.h"

#include <optional>

class SyncElemLookup;

// An item of a property that is synchronised with the desktop sync engine: it
// adds the item form (VXDictionary) and the item's record id, applies the
// engine's changes to the item, and compares items by their rendering for the
// phone. The contact and the event/task items derive from it.
class QVSyncEngineElem : public QVSyncElem {
public:
    // Field names this class works with.
    static const QString kFirstName;            // "first name"
    static const QString kLastName;             // "last name"
    static const QString kDueDate;              // "due date"
    static const QString kDueDateIsDateOnly;    // "due date is date only"
    static const QString kStartDate;            // "start date"
    static const QString kTriggerDate;          // "triggerdate"
    static const QString kTriggerDuration;      // "triggerduration"
    static const QString kTypeField;            // "type"
    static const QString kValueField;           // "value"
    static const QString kCalendarField;        // "calendar"
    static const QString kRecordDict;           // "Record-Dict"
    static const QString kRecordID;             // "Record-ID"
    static const QString kMaxLenLastName;       // "SyncML.MaxLen_LastName"
    static const QString kExportProtocol21;     // "Export-2.1"

    // A raw item: no item form, no record id.
    QVSyncEngineElem(const QVariant& data, const QString& sourceURI, const QString& protocol, const QString& device,
                     const QString& parent);
    // From an item form (deep-copied) or, with none, an empty one; a given
    // record id is stored under "UUID".
    QVSyncEngineElem(const VXDictionary* dict, const QString& uuid, const QString& sourceURI,
                     const QString& protocol, const QString& device, const QString& parent);

    static std::shared_ptr<QVSyncEngineElem> elemWithDict(const VXDictionary* dict, const QString& uuid,
                                                          const QString& sourceURI, const QString& protocol,
                                                          const QString& device, const QString& parent);

    // Same record id and phone id, a deep copy of the item form.
    std::shared_ptr<QVSyncElem> copy() const override;
    std::shared_ptr<QVSyncElem> identCopy() const override { return copy(); }
    // A fresh item of the same class read from the item's export text.
    std::shared_ptr<QVSyncElem> similarCopy() const override;

    void setChanged() override;
    void clearChanged() override;
    void setSourceURI(const QString& sourceURI) override;
    QString sourceURI() const override;
    QString elemUUID() const;
    void setElemUUID(const QString& uuid);
    void resetItem() override;
    void removeDeviceRelations() override;
    virtual void inheritedFromZombie(const QVSyncElem& zombie);

    // Null when the item has no item form.
    VXDictionary* vxDict() { return _vxDict ? &*_vxDict : nullptr; }
    const VXDictionary* vxDict() const { return _vxDict ? &*_vxDict : nullptr; }
    QVariantMap* mainDict() { return _vxDict ? &_vxDict->mainDict() : nullptr; }
    QVariantMap* otherDict() { return _vxDict ? &_vxDict->otherDict() : nullptr; }
    QVariant otherItem(const QString& uuid) const;
    // The sub-records of a list field in list order; invalid when none is found.
    QVariant getSubItems(const QString& listKey) const;
    QVariant recordForUUID(const QString& uuid) const;
    virtual QStringList getAllElementUUIDs() const;
    virtual void addRecordToList(QVariantList& list) const;
    // The main fields of the item's class that formatting and change
    // detection walk; none here.
    virtual QStringList getMainSyncItems() const { return {}; }

    // The record a change of this record id goes to: the main record for the
    // item's own id; subclasses find or create sub-records. Null when unknown.
    // The pointer is valid until the item form is changed otherwise.
    virtual QVariantMap* getOrCreateDictForUUID(const QString& uuid);
    virtual QString getFieldName(const QVariantMap& record, const QString& fieldKey) const;
    virtual QVariant getFormattedString(const QVariant& value, const QString& fieldName) const;
    virtual QString mainDictFieldForCommandType(const QString& listKey) const;

    virtual void mergeElement(QVSyncEngineElem& other, SyncElemLookup* elemList);
    virtual void acceptParamChangesForElem(QVSyncEngineElem& other);
    // The desktop changes that bring the stored item to a newly read version;
    // empty when nothing changed.
    virtual QList<platform::SyncChange> acceptChangesForElem(QVSyncEngineElem& other);
    virtual QList<platform::SyncChange> acceptMotoChangesForElem(QVSyncEngineElem& other)
    {
        return acceptChangesForElem(other);
    }
    virtual void formatAllEntries();

    // Fills this fresh item from an item form; YES when the result is this
    // item (the caller adds it), NO when an item of the same identity in the
    // list merged it (the result is that item).
    bool fillFromVXDictionary(const VXDictionary& dict, SyncElemLookup* elemList, const QString& sourceURI,
                              const QString& uuid, bool allowMerge, std::shared_ptr<QVSyncElem>* resultingElement);

    // Applies an engine change (non-"value" fields first); always 0.
    virtual int processISyncChange(const platform::SyncChange& change, bool fromSyncML);
    virtual bool processSyncEngineChange(const QString& recordId, const QVariantMap& change);
    // Fits first and last name into one phone field of MaxLen_LastName.
    void checkFirstLastName(QVariantMap& record) const;

    // Sub-records.
    void addSubItem(const QVariantMap& subRecord, const QString& uuid, const QString& listKey);
    virtual void deleteSubItem(const QString& uuid);
    void adjustSubList(const QString& listKey, const QVariant& newValue);
    virtual bool removeItemsForEntity(const QString& entityName);

    // Groups (contacts) and calendars (calendar items).
    void addGroupRelation(const QString& groupId);
    void deleteGroupRelation(const QString& groupId);
    void clearGroupsOrCalendar();
    bool belongsTo(const QStringList& requested, SyncElemLookup* elemList);
    virtual bool isMemberOfRequestedGroups(const QStringList&) { return true; }
    virtual bool isMemberOfRequestedCalendars(const QStringList&) { return true; }
    // No item class keeps bookmarks in folders of their own: every bookmark counts.
    virtual bool isChildOfRequestedFather(const QStringList&, SyncElemLookup*) { return true; }

    // Renderings for the phone compared line by line, in any order.
    bool isDifferent(QVSyncElem& other, const std::shared_ptr<SyncDeviceLimits>& description) override;

    QString description() const override;

protected:
    QString className() const override { return QStringLiteral("QVSyncEngineElem"); }
    // A new item of this class made from raw data / from an item form.
    virtual std::shared_ptr<QVSyncEngineElem> newElemWithData(const QVariant& data, const QString& sourceURI,
                                                              const QString& protocol, const QString& device,
                                                              const QString& parent) const;
    virtual std::shared_ptr<QVSyncEngineElem> newElemWithDict(const VXDictionary* dict, const QString& uuid,
                                                              const QString& sourceURI, const QString& protocol,
                                                              const QString& device, const QString& parent) const;
    // Event and task items check their type and mark tasks date-only here.
    virtual void prepareFilledItem() {}

    std::optional<VXDictionary> _vxDict;
    mutable QString _elemUUID;

private:
    QVariant steppedAlarmValue(const QString& name, const QVariant& value) const;
    bool isDateOnlyTask() const;

    // "due date is date only" as set by the change being applied, if it sets it.
    std::optional<bool> _pendingDateOnly;
};
