#pragma once

#include "phone/OrganizerStorage.h"

#include <QDateTime>
#include <QImage>
#include <QMetaType>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>

#include <memory>
#include <optional>

class QVSyncElem;

// The phone an item left: the settings "Common.DeviceName",
// "Common.qvDeviceID" and "Common.Identifier" (empty when absent).
struct TrashPhone {
    QString deviceName;
    QString deviceID;
    QString deviceIdentifier;

    static TrashPhone fromSettings(const QVariantMap& settings);
};

// One entry of the organizer trash: a copy of the item that left a phone's
// contacts or calendar, the phone, when it was trashed and whether it lost a
// conflict. Property 0 is a contact, 1 an event or task, -1 anything else
// (such an entry keeps no item).
class TrashElem : public TrashedItem {
public:
    struct FieldsAndContents {
        QStringList fields;
        QStringList contents;
    };

    TrashElem(std::shared_ptr<QVSyncElem> elem, const TrashPhone& phone, bool isConflict, const QDateTime& trashedDate);

    static std::shared_ptr<TrashElem> trashElemListFromSyncElemAndDevice(std::shared_ptr<QVSyncElem> elem,
                                                                         const TrashPhone& phone,
                                                                         bool reasonWasConflict);
    // An entry of the trash file; null (why says which key) when a key is
    // missing or of the wrong type, or when a contact's or event's text
    // gives no item.
    static std::shared_ptr<TrashElem> trashElemFromDictionary(const QVariantMap& entry, QString* why = nullptr);

    // The entry of the trash file; none without an item.
    std::optional<QVariantMap> dictionaryForArchive() const;

    const std::shared_ptr<QVSyncElem>& syncElem() const { return _syncElem; }
    QString deviceName() const { return _phone.deviceName; }
    QString deviceID() const { return _phone.deviceID; }
    QString deviceIdentifier() const { return _phone.deviceIdentifier; }
    const TrashPhone& phone() const { return _phone; }
    QDateTime trashedDate() const { return _trashedDate; }
    bool isConflict() const { return _isConflict; }
    int getType() const { return _property; }
    // The item's text; null without an item.
    QString vxData() const;
    // "dd. MMM yy, HH:mm" in local time with the user's locale.
    QString formattedDate() const;
    // The item's description; "???" without an item.
    QString getTitleForList() const;
    std::optional<FieldsAndContents> getFieldsAndContents() const;
    // Made on first use and kept; null when there is none.
    QImage getPhoneIcon();
    QImage getItemIcon();
    // For sorting: "title", "type" (the conflict flag), "date", "phone";
    // invalid for other keys.
    QVariant valueForKey(const QString& key) const;

    // TrashedItem
    int organizerType() const override { return _property; }
    void setSourceURI(const QString& uri) override;

    // The file's date text: "YYYY-MM-DD HH:MM:SS +ZZZZ" in local time.
    static QString dateDescription(const QDateTime& date);
    static QDateTime dateFromDescription(const QString& text);
    // Property of an item by its class: contact 0, event or task 1, else -1.
    static int propertyOf(const QVSyncElem* elem);

private:
    TrashElem() = default;

    std::shared_ptr<QVSyncElem> _syncElem;
    TrashPhone _phone;
    QDateTime _trashedDate;
    bool _isConflict = false;
    int _property = -1;
    std::optional<QImage> _deviceIcon;
    std::optional<QImage> _itemIcon;
};

using TrashElemPtr = std::shared_ptr<TrashElem>;
Q_DECLARE_METATYPE(TrashElemPtr)
