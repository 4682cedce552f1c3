#pragma once

#include "syncmodel/QVSyncElem.h"

#include <QString>
#include <QVariantMap>

// One item of a phone's SMS storage: a message record or a folder entry
// (smsrecord keys). Its phone id is the record's key ("Date"). The read mark
// and the old-message state belong to the item and go with its stored form
// (storedRecord); the display name is a cache that is never stored.
class QVSmsElem : public QVSyncElem {
public:
    explicit QVSmsElem(const QVariantMap& record);

    // An item from a record or from its stored form (the state keys are taken
    // out of the record).
    static std::shared_ptr<QVSmsElem> elemWithRecord(const QVariantMap& record);
    std::shared_ptr<QVSyncElem> copy() const override;

    QVariantMap record() const { return _vxData.toMap(); }
    QVariantMap storedRecord() const;

    QString typeString() const;
    QString typeName() const;
    int intBoxIsLocal() const;
    // Folder entries by number, then by name.
    int boxIsLocalComparisation(const QVSmsElem& other) const;
    QString smsNumber() const;
    QString smsString() const;
    QString dateString() const;
    QString memIndexes() const;
    // The time of a dated key in local time, short form; empty without one.
    QString formattedDateString() const;
    // The record's "IsOnPhone" (the base class's isOnPhone means "has a
    // phone id").
    bool isOnPhone() const;
    bool isMarkedRead() const { return _markedRead; }
    void setMarkedRead(bool read) { _markedRead = read; }
    // NO while the message waits to be announced as new.
    bool isOldMessage() const { return _oldMessage; }
    void setOldMessage(bool old) { _oldMessage = old; }
    // The record with "SMSSelfKey" = hash().
    QVariantMap getDragDictionary() const;
    void moveToBox(const QString& box);
    const QString& displayNameBuffer() const { return _displayNameBuffer; }
    void setDisplayNameBuffer(const QString& name) { _displayNameBuffer = name; }
    // Identifies the item among all items while the program runs.
    quint64 hash() const { return _hash; }

    QString getIdentityString() const override;
    int defaultComparisation(const QVSyncElem& other) const override;
    int smsComparisation(const QVSyncElem& other) const override;
    int dateComparisation(const QVSyncElem& other) const override;
    bool isSyncingElement() const override { return false; }
    QString allContentString() const override;
    QString description() const override;

protected:
    QString className() const override { return QStringLiteral("QVSmsElem"); }

private:
    QString field(const char* key) const;

    bool _markedRead = false;
    bool _oldMessage = false;
    QString _displayNameBuffer;
    quint64 _hash;
};
