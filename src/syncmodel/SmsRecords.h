#pragma once

#include "syncmodel/SmsRecordKeys.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QVSmsElem;
class QVSyncElemList;

// The SMS records: every message and every mailbox folder is a dictionary
// kept as one item of the phone's SMS storage. These helpers make them and
// their keys; the item that wraps one is QVSmsElem.
namespace smsrecord {

// A time as a record key ("%Y%m%dT%H%M%SZ" in GMT); null for no valid time.
QString gmtKey(const QDateTime& time);
// 1 inbox, 2 sent, 3 draft, 4 trash, 100 any other folder.
unsigned folderNumber(const QString& box);

// The process-wide counter of a read: dateless message keys and the keys of
// phone boxes numbered 100 take its values in turn (from 0). A dateless key
// skips the values whose key isTaken says a storage already holds.
class ReadCounter {
public:
    static ReadCounter& shared();
    int next() { return _value++; }
    // "NO-DATE-%.4d" with the next free value.
    QString nextNoDateKey(const std::function<bool(const QString&)>& isTaken);
    void resetForTests() { _value = 0; }

private:
    int _value = 0;
};

// A phone box's entry: phone boxes numbered up to 99 are keyed
// "NO-DATE-<name>-%.4d" with their number, others "<name>-<GMT now>-<counter>".
QVariantMap newBoxEntry(const QString& name, unsigned number);

// The record of one message the kit read from a box; none (with a log line)
// when one of "name", "message", "number", "memory" or "memIndexes" is missing
// or not a text. noDateKey gives the key of a message without a usable date
// and without memory and indexes.
std::optional<QVariantMap> recordFromKitMessage(const QVariantMap& kitMessage, const QString& box,
                                                const std::function<QString()>& noDateKey);

// A new local key: "<GMT now>-<n>" with the mailbox's own counter.
QString newLocalKey();
// A local folder's entry (numbered 100, keyed with a new local key).
QVariantMap newLocalFolderEntry(const QString& name);

// Recipient records.
QVariantMap personRecipient(const QString& uid, const QString& displayString, const QString& phone, int phoneIndex);
QVariantMap numberRecipient(const QString& displayString, const QString& number);

// Copies made on the computer.
QVariantMap draftCopy(const QString& draftName, const QVariantList& recipients, const QString& text, bool specialChars);
QVariantMap sentCopy(const QVariantList& recipients, const QString& text, bool specialChars);
// A message's drag dictionary moved or copied into a local folder.
QVariantMap localCopy(const QVariantMap& dragDictionary, const QString& folder);
QVariantMap deleteRequest(const QVariantList& dragDictionaries, const QString& boxName);

// The storage's items of one folder, in storage order.
std::vector<std::shared_ptr<QVSmsElem>> folderEntries(const QVSyncElemList& storage, const QString& folder);
// The folder entries of the tree: the "_SMSBoxList_" entries sorted by
// number, then the trashed local folders in storage order.
std::vector<std::shared_ptr<QVSmsElem>> boxEntries(const QVSyncElemList& storage);
// The typed name, or "<typed>-1", "<typed>-2", ... until no non-empty folder
// entry has that name.
QString uniqueFolderName(const QVSyncElemList& storage, const QString& typed);
QString uniqueFolderName(const QStringList& taken, const QString& typed);
// Whether an item of the storage is keyed so ("Date" or its local key).
bool storageHoldsKey(const QVSyncElemList& storage, const QString& key);
// The records of the storage in their stored form (with each item's read
// mark and old-message state), which enterSMS reads back.
QVariantList storedRecords(const QVSyncElemList& storage);

} // namespace smsrecord
