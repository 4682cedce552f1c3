#pragma once

#include "syncmodel/SyncDeviceLimits.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>
#include <vector>

class SyncElemLookup;

// One record of a phone property (contact, event, task, note, bookmark,
// message) as its item list holds it: the record as the phone delivered it,
// its id on the phone, its parent id, the protocol and device it came from,
// and the changed and deleted flags.
class QVSyncElem : public std::enable_shared_from_this<QVSyncElem> {
public:
    // Temporary phone ids of items not yet on the phone begin so.
    static const QString kTemporaryIdPrefix;        // "T-"
    // Type code of the base row of the full display data ("elem").
    static constexpr quint32 kElemTypeCode = 0x656C656D;

    QVSyncElem(const QVariant& data, const QString& sourceURI, const QString& protocol, const QString& device,
               const QString& parent);
    virtual ~QVSyncElem() = default;

    QVSyncElem(const QVSyncElem&) = delete;
    QVSyncElem& operator=(const QVSyncElem&) = delete;

    static std::shared_ptr<QVSyncElem> elemWithData(const QVariant& data, const QString& sourceURI,
                                                    const QString& protocol, const QString& device,
                                                    const QString& parent);
    // An item that carries only its phone id, for "Delete" commands.
    static std::shared_ptr<QVSyncElem> elemForDeletion(const QString& sourceURI);

    // A new item of the same class with the same data, ids, protocol and
    // device; flags and property are not copied.
    virtual std::shared_ptr<QVSyncElem> copy() const;
    virtual std::shared_ptr<QVSyncElem> identCopy() const { return copy(); }
    virtual std::shared_ptr<QVSyncElem> similarCopy() const { return copy(); }

    const QVariant& vxData() const { return _vxData; }
    virtual QString sourceURI() const { return _sourceURI; }
    QString sourceParentURI() const { return _sourceParentURI; }
    QString protocol() const { return _protocol; }
    QString device() const { return _device; }
    int property() const { return _property; }
    void setProperty(int property) { _property = property; }
    // The text the organizer's search looks through; null when the class has none.
    virtual QString allContentString() const { return _allContentString; }
    bool isChanged() const { return _changedFlag; }
    bool isDeleted() const { return _deletedFlag; }
    const std::shared_ptr<SyncDeviceLimits>& syncDescription() const { return _syncDescription; }
    // The value cut to the phone model's limit under key (none when 0).
    QString deviceFormattedString(const QString& value, const QString& key) const;

    virtual void setSourceURI(const QString& sourceURI)
    {
        _sourceURI = sourceURI;
        keysMayHaveChanged();
    }
    void setSourceParentURI(const QString& parent) { _sourceParentURI = parent; }

    virtual void setChanged()
    {
        _changedFlag = true;
        keysMayHaveChanged();
    }
    virtual void clearChanged() { _changedFlag = false; }
    void setDeleted() { _deletedFlag = true; }
    void setUndeleted() { _deletedFlag = false; }

    bool isOnDevice() const;
    bool isOnPhone() const { return isOnDevice(); }
    virtual bool isSyncingElement() const { return true; }
    void setStateToNew(const QString& temporaryId) { setSourceURI(temporaryId); }

    virtual void resetItem();
    virtual void removeDeviceRelations() {}

    // The item's text for a phone model (the raw data here); the first
    // description asked for is remembered.
    virtual QVariant vxDataForDevice(const std::shared_ptr<SyncDeviceLimits>& description);
    // The raw data when the description is null or of the item's protocol.
    virtual QVariant vxDataForDescription(const std::shared_ptr<SyncDeviceLimits>& description);
    // Whether the two items differ for the phone (description of its model).
    virtual bool isDifferent(QVSyncElem& other, const std::shared_ptr<SyncDeviceLimits>& description);

    // The identity used for duplicate detection; every item class has its own.
    virtual QString getIdentityString() const;
    virtual int defaultComparisation(const QVSyncElem& other) const;
    // The sort comparisons of the organizer tables; a class without one of
    // them answers with its default comparison.
    virtual int titleComparisation(const QVSyncElem& other) const { return defaultComparisation(other); }
    virtual int urlComparisation(const QVSyncElem& other) const { return defaultComparisation(other); }
    virtual int dateComparisation(const QVSyncElem& other) const { return defaultComparisation(other); }
    virtual int descriptionComparisation(const QVSyncElem& other) const { return defaultComparisation(other); }
    virtual int eventTypeComparisation(const QVSyncElem& other) const { return defaultComparisation(other); }
    virtual int firstComparisation(const QVSyncElem& other) const { return defaultComparisation(other); }
    virtual int lastComparisation(const QVSyncElem& other) const { return defaultComparisation(other); }
    virtual int locationComparisation(const QVSyncElem& other) const { return defaultComparisation(other); }
    virtual int noteComparisation(const QVSyncElem& other) const { return defaultComparisation(other); }
    virtual int numberComparisation(const QVSyncElem& other) const { return defaultComparisation(other); }
    virtual int orgComparisation(const QVSyncElem& other) const { return defaultComparisation(other); }
    virtual int smsComparisation(const QVSyncElem& other) const { return defaultComparisation(other); }
    virtual int typeComparisation(const QVSyncElem& other) const { return defaultComparisation(other); }
    virtual int onPhoneComparisation(const QVSyncElem& other) const { return defaultComparisation(other); }
    // Bookmark order inside a folder: the position, -1 when the item has none.
    virtual int positionComparisation(const QVSyncElem& other) const;
    virtual int positionNumber() const { return -1; }
    virtual void setNewPosition(int position, SyncElemLookup* elemList) { (void)position, (void)elemList; }
    // Bookmark folders are items too; no item class here is one.
    virtual bool isFolder() const { return false; }
    virtual QVariant getVCardCalDictionary() const { return {}; }
    bool satisfiesSearchString(const QString& text) const;

    virtual QString description() const;
    virtual QString elemDescription() const;

    // The item lists that index this item by its ids and identity hear when
    // one of them may have changed (a new phone id or record id, an identity
    // cache dropped). Observers remove themselves before they go.
    class KeyObserver {
    public:
        virtual void elemKeysMayHaveChanged(QVSyncElem* elem) = 0;

    protected:
        ~KeyObserver() = default;
    };
    void addKeyObserver(KeyObserver* observer);
    void removeKeyObserver(KeyObserver* observer);
    // One row: label "Type", content elemDescription(), type code "elem".
    virtual bool getFullDisplayData(QStringList& labels, QStringList& contents, QList<quint32>& typeCodes) const;

protected:
    virtual QString className() const { return QStringLiteral("QVSyncElem"); }
    void keysMayHaveChanged();

    QVariant _vxData;
    QString _sourceURI;
    QString _sourceParentURI;
    QString _protocol;
    QString _device;
    QString _allContentString;      // null until a subclass builds it
    bool _changedFlag = false;
    bool _deletedFlag = false;
    std::shared_ptr<SyncDeviceLimits> _syncDescription;
    int _property = -1;

private:
    std::vector<KeyObserver*> _keyObservers;
};
