#include "syncmodel/SmsRecords.h"

#include "syncmodel/QVSmsElem.h"
#include "syncmodel/QVSyncElemList.h"
#include "syncmodel/SyncModelLog.h"

#include <QTimeZone>
#include <algorithm>

namespace smsrecord {

namespace {

QString k(const char* name)
{
    return QString::fromLatin1(name);
}

// The mailbox's counter of local keys.
int g_localKeyCounter = 0;

// A kit text field; none when absent or not a text.
std::optional<QString> kitText(const QVariantMap& message, const char* name)
{
    const QVariant value = message.value(k(name));
    if (value.typeId() != QMetaType::QString)
        return std::nullopt;
    return value.toString();
}

QString nowKey()
{
    return gmtKey(QDateTime::currentDateTimeUtc());
}

std::shared_ptr<QVSmsElem> smsItem(const QVSyncElemList::Elem& elem)
{
    return std::dynamic_pointer_cast<QVSmsElem>(elem);
}

} // namespace

QString gmtKey(const QDateTime& time)
{
    if (!time.isValid())
        return QString();
    return time.toTimeZone(QTimeZone::utc()).toString(k(kGmtKeyFormat));
}

unsigned folderNumber(const QString& box)
{
    if (box == k(kInbox))
        return kInboxNumber;
    if (box == k(kSent))
        return kSentNumber;
    if (box == k(kDraft))
        return kDraftNumber;
    if (box == k(kTrash))
        return kTrashNumber;
    return kLocalNumber;
}

ReadCounter& ReadCounter::shared()
{
    static ReadCounter counter;
    return counter;
}

QString ReadCounter::nextNoDateKey(const std::function<bool(const QString&)>& isTaken)
{
    for (;;) {
        const QString key = k(kNoDatePrefix) + QStringLiteral("%1").arg(next(), 4, 10, QLatin1Char('0'));
        if (!isTaken || !isTaken(key))
            return key;
    }
}

QVariantMap newBoxEntry(const QString& name, unsigned number)
{
    QString date;
    if (number <= kLastPhoneNumber) {
        date = k(kNoDatePrefix) + QStringLiteral("%1-%2").arg(name).arg(number, 4, 10, QLatin1Char('0'));
    } else {
        const QString now = nowKey();
        const int value = ReadCounter::shared().next();
        date = now.isEmpty() ? k(kNoDatePrefix) + QStringLiteral("%1-%2").arg(name).arg(value, 4, 10, QLatin1Char('0'))
                             : QStringLiteral("%1-%2-%3").arg(name, now).arg(value);
    }
    return {{k(kType), k(kBoxListType)},
            {k(kName), name},
            {k(kBoxIsLocal), QVariant::fromValue<uint>(number)},
            {k(kIsOnPhone), false},
            {k(kDate), date}};
}

std::optional<QVariantMap> recordFromKitMessage(const QVariantMap& kitMessage, const QString& box,
                                                const std::function<QString()>& noDateKey)
{
    static const std::pair<const char*, const char*> copied[] = {
        {"name", kName}, {"message", kText}, {"number", kNumber}, {"memory", kMemory}, {"memIndexes", kMemIndexes}};
    QVariantMap record;
    record.insert(k(kType), box);
    for (const auto& [from, to] : copied) {
        const std::optional<QString> value = kitText(kitMessage, from);
        if (!value) {
            qCWarning(lcSyncModel).noquote()
                << "SMS record: a message of the box" << box << "without a text \"" << from << "\" is dropped";
            return std::nullopt;
        }
        record.insert(k(to), *value);
    }
    const QVariant special = kitMessage.value(k(kSpecialChars));
    record.insert(k(kSpecialChars), special.typeId() == QMetaType::Bool && special.toBool());
    const QVariant date = kitMessage.value(QStringLiteral("date"));
    QString key = date.typeId() == QMetaType::QDateTime ? gmtKey(date.toDateTime()) : QString();
    if (key.isEmpty()) {
        const QString memory = record.value(k(kMemory)).toString();
        const QString indexes = record.value(k(kMemIndexes)).toString();
        key = !memory.isEmpty() && !indexes.isEmpty() ? k(kNoDatePrefix) + QStringLiteral("%1(%2)").arg(memory, indexes)
                                                      : noDateKey();
    }
    record.insert(k(kDate), key);
    record.insert(k(kIsOnPhone), true);
    return record;
}

QString newLocalKey()
{
    return QStringLiteral("%1-%2").arg(nowKey()).arg(g_localKeyCounter++);
}

QVariantMap newLocalFolderEntry(const QString& name)
{
    return {{k(kType), k(kBoxListType)},
            {k(kName), name},
            {k(kBoxIsLocal), QVariant::fromValue<uint>(kLocalNumber)},
            {k(kIsOnPhone), false},
            {k(kDate), newLocalKey()}};
}

QVariantMap personRecipient(const QString& uid, const QString& displayString, const QString& phone, int phoneIndex)
{
    return {{k(kABUIDProperty), uid},
            {k(kABLastNameProperty), displayString},
            {k(kABPhoneProperty), phone},
            {k(kIndexPhoneProperty), phoneIndex}};
}

QVariantMap numberRecipient(const QString& displayString, const QString& number)
{
    return {{k(kABLastNameProperty), displayString}, {k(kABPhoneProperty), number}};
}

QVariantMap sentCopy(const QVariantList& recipients, const QString& text, bool specialChars)
{
    const QVariant first = recipients.isEmpty() ? QVariant() : recipients.first();
    return {{k(kType), k(kSent)},
            {k(kIsOnPhone), false},
            {k(kDate), newLocalKey()},
            {k(kNumber), first.toMap().value(k(kABPhoneProperty)).toString()},
            {k(kReciptions), recipients},
            {k(kText), text},
            {k(kSpecialChars), specialChars}};
}

QVariantMap draftCopy(const QString& draftName, const QVariantList& recipients, const QString& text, bool specialChars)
{
    QVariantMap draft = sentCopy(recipients, text, specialChars);
    draft.insert(k(kType), k(kDraft));
    draft.insert(k(kName), draftName);
    return draft;
}

QVariantMap localCopy(const QVariantMap& dragDictionary, const QString& folder)
{
    QVariantMap copy = dragDictionary;
    copy.remove(k(kSelfKey));
    copy.insert(k(kType), folder);
    copy.insert(k(kIsOnPhone), false);
    copy.insert(k(kSourceUIDKey), newLocalKey());
    return copy;
}

QVariantMap deleteRequest(const QVariantList& dragDictionaries, const QString& boxName)
{
    return {{k(kDelMsgList), dragDictionaries}, {k(kDelBoxName), boxName}};
}

std::vector<std::shared_ptr<QVSmsElem>> folderEntries(const QVSyncElemList& storage, const QString& folder)
{
    std::vector<std::shared_ptr<QVSmsElem>> entries;
    for (const auto& elem : storage.elemsList())
        if (auto sms = smsItem(elem); sms && sms->typeString() == folder)
            entries.push_back(sms);
    return entries;
}

std::vector<std::shared_ptr<QVSmsElem>> boxEntries(const QVSyncElemList& storage)
{
    auto boxes = folderEntries(storage, k(kBoxListType));
    std::stable_sort(boxes.begin(), boxes.end(),
                     [](const auto& a, const auto& b) { return a->boxIsLocalComparisation(*b) < 0; });
    const auto trashed = folderEntries(storage, k(kBoxListTrashedType));
    boxes.insert(boxes.end(), trashed.begin(), trashed.end());
    return boxes;
}

QString uniqueFolderName(const QStringList& taken, const QString& typed)
{
    QString name = typed;
    for (int n = 1; taken.contains(name); ++n)
        name = QStringLiteral("%1-%2").arg(typed).arg(n);
    return name;
}

QString uniqueFolderName(const QVSyncElemList& storage, const QString& typed)
{
    QStringList taken;
    for (const auto& box : folderEntries(storage, k(kBoxListType)))
        if (!box->typeName().isEmpty())
            taken.append(box->typeName());
    return uniqueFolderName(taken, typed);
}

bool storageHoldsKey(const QVSyncElemList& storage, const QString& key)
{
    const QString local = k(kSourceUIDKey);
    return std::any_of(storage.elemsList().begin(), storage.elemsList().end(), [&](const auto& elem) {
        const auto sms = smsItem(elem);
        return sms && (sms->dateString() == key || sms->record().value(local).toString() == key);
    });
}

QVariantList storedRecords(const QVSyncElemList& storage)
{
    QVariantList records;
    for (const auto& elem : storage.elemsList())
        if (const auto sms = smsItem(elem))
            records.append(sms->storedRecord());
    return records;
}

} // namespace smsrecord
