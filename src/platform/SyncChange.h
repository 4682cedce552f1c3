#pragma once

#include <QString>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>

// The change record of the desktop sync engine: one record added, modified or
// deleted, with its property changes. A property change is a dictionary under
// the keys below: the action ("set" or "clear"), the field name and, for a
// "set", the value. List fields are always set whole.
namespace platform {

// Key of a record's entity name inside the record.
inline const QString ISyncRecordEntityNameKey = QStringLiteral("com.apple.syncservices.RecordEntityName");

// Keys and actions of one property change.
inline const QString ISyncChangePropertyActionKey = QStringLiteral("action");
inline const QString ISyncChangePropertyNameKey = QStringLiteral("name");
inline const QString ISyncChangePropertyValueKey = QStringLiteral("value");
inline const QString ISyncChangePropertySet = QStringLiteral("set");
inline const QString ISyncChangePropertyClear = QStringLiteral("clear");

// Entity names of the records the program exchanges.
namespace entity {
inline const QString Contact = QStringLiteral("com.apple.contacts.Contact");
inline const QString Group = QStringLiteral("com.apple.contacts.Group");
inline const QString PhoneNumber = QStringLiteral("com.apple.contacts.Phone Number");
inline const QString EmailAddress = QStringLiteral("com.apple.contacts.Email Address");
inline const QString StreetAddress = QStringLiteral("com.apple.contacts.Street Address");
inline const QString URL = QStringLiteral("com.apple.contacts.URL");
inline const QString Calendar = QStringLiteral("com.apple.calendars.Calendar");
inline const QString Event = QStringLiteral("com.apple.calendars.Event");
inline const QString Task = QStringLiteral("com.apple.calendars.Task");
inline const QString AudioAlarm = QStringLiteral("com.apple.calendars.AudioAlarm");
inline const QString DisplayAlarm = QStringLiteral("com.apple.calendars.DisplayAlarm");
inline const QString Recurrence = QStringLiteral("com.apple.calendars.Recurrence");
inline const QString Note = QStringLiteral("com.apple.notes.Note");
inline const QString Bookmark = QStringLiteral("com.apple.bookmarks.Bookmark");
inline const QString BookmarkFolder = QStringLiteral("com.apple.bookmarks.Folder");
} // namespace entity

class SyncChange {
public:
    enum Type { Add = 1, Modify = 2, Delete = 3 };

    SyncChange() = default;
    SyncChange(Type type, QString recordIdentifier, QVariantList changes = {}, QVariantMap record = {});

    Type type() const { return m_type; }
    const QString& recordIdentifier() const { return m_recordIdentifier; }
    // The property changes, each a dictionary under the keys above.
    const QVariantList& changes() const { return m_changes; }
    // The whole record after the change (empty for a delete).
    const QVariantMap& record() const { return m_record; }

    // One property change; a "set" without a valid value carries no value key.
    static QVariantMap propertyChange(const QString& action, const QString& name, const QVariant& value = {});
    static QVariantMap setChange(const QString& name, const QVariant& value)
    {
        return propertyChange(ISyncChangePropertySet, name, value);
    }
    static QVariantMap clearChange(const QString& name) { return propertyChange(ISyncChangePropertyClear, name); }

    // The stored form: {"type": 1-3, "recordIdentifier", "changes"}. Reading
    // answers false and leaves change alone for anything not of that form.
    QVariantMap storedDictionary() const;
    static bool fromStoredDictionary(const QVariant& stored, SyncChange& change);

private:
    Type m_type = Modify;
    QString m_recordIdentifier;
    QVariantList m_changes;
    QVariantMap m_record;
};

} // namespace platform
