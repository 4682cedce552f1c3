#include "syncmodel/SmsRecords.h"
#include "ListTestDevice.h"
#include "syncmodel/QVSmsElem.h"
#include "syncmodel/QVSyncElemList.h"

#include <QTimeZone>
#include <gtest/gtest.h>

using namespace smsrecord;

namespace {

QVariantMap kitSmsMessage(const QVariant& date, const QString& memory = QStringLiteral("SM"),
                          const QString& indexes = QStringLiteral("3"))
{
    QVariantMap m{{QStringLiteral("name"), QStringLiteral("noch kein Name")},
                  {QStringLiteral("message"), QStringLiteral("Hi \"%@\" %1\t\u00e4\u20ac")},
                  {QStringLiteral("number"), QStringLiteral("+123")},
                  {QStringLiteral("memory"), memory},
                  {QStringLiteral("memIndexes"), indexes},
                  {QStringLiteral("specialChars"), true}};
    if (date.isValid())
        m.insert(QStringLiteral("date"), date);
    return m;
}

QString smsCounterKey()
{
    return ReadCounter::shared().nextNoDateKey({});
}

class SmsRecordsTest : public ::testing::Test {
protected:
    void SetUp() override { ReadCounter::shared().resetForTests(); }
    ListTestDevice device;
    QVSyncElemList storage{4, &device};
};

} // namespace

TEST_F(SmsRecordsTest, KitMessagesBecomeRecordsOrAreDropped)
{
    // 12:34:00 at UTC-5 is 17:34:00 GMT.
    const QDateTime stamped(QDate(2026, 12, 10), QTime(12, 34), QTimeZone(-5 * 3600));
    const auto record = recordFromKitMessage(kitSmsMessage(stamped), QStringLiteral("inbox"), smsCounterKey);
    ASSERT_TRUE(record);
    EXPECT_EQ(*record,
              (QVariantMap{{QStringLiteral("SMS-Type"), QStringLiteral("inbox")},
                           {QStringLiteral("name"), QStringLiteral("noch kein Name")},
                           {QStringLiteral("Text"), QStringLiteral("Hi \"%@\" %1\t\u00e4\u20ac")},
                           {QStringLiteral("Number"), QStringLiteral("+123")},
                           {QStringLiteral("memory"), QStringLiteral("SM")},
                           {QStringLiteral("memIndexes"), QStringLiteral("3")},
                           {QStringLiteral("specialChars"), true},
                           {QStringLiteral("Date"), QStringLiteral("20261210T173400Z")},
                           {QStringLiteral("IsOnPhone"), true}}));

    for (const char* missing : {"name", "message", "number", "memory", "memIndexes"}) {
        QVariantMap m = kitSmsMessage(stamped);
        m.remove(QString::fromLatin1(missing));
        EXPECT_FALSE(recordFromKitMessage(m, QStringLiteral("inbox"), smsCounterKey)) << missing;
        m.insert(QString::fromLatin1(missing), 42);
        EXPECT_FALSE(recordFromKitMessage(m, QStringLiteral("inbox"), smsCounterKey)) << missing << " not a text";
    }

    struct Case {
        const char* what;
        QVariant date;
        QString memory, indexes;
        QVariant special;
        QString key;
        bool specialChars;
    };
    const Case cases[] = {
        {"no date, memory and indexes", {}, "ME", "4,5", true, "NO-DATE-ME(4,5)", true},
        {"a date that is no date", QStringLiteral("yesterday"), "SM", "7", 1, "NO-DATE-SM(7)", false},
        {"invalid date, empty memory", QDateTime(), "", "7", QStringLiteral("YES"), "NO-DATE-0000", false},
        {"no date, empty indexes", {}, "SM", "", {}, "NO-DATE-0001", false},
    };
    for (const Case& c : cases) {
        QVariantMap m = kitSmsMessage(c.date, c.memory, c.indexes);
        m.remove(QStringLiteral("specialChars"));
        if (c.special.isValid())
            m.insert(QStringLiteral("specialChars"), c.special);
        const auto r = recordFromKitMessage(m, QStringLiteral("draft"), smsCounterKey);
        ASSERT_TRUE(r) << c.what;
        EXPECT_EQ(r->value(QStringLiteral("Date")).toString(), c.key) << c.what;
        EXPECT_EQ(r->value(QStringLiteral("specialChars")), QVariant(c.specialChars)) << c.what;
    }
}

TEST_F(SmsRecordsTest, DatelessKeysSkipKeysTheStorageHolds)
{
    QVariantMap stored = draftCopy(QStringLiteral("d"), {numberRecipient("0171", "0171")}, "x", false);
    stored.insert(QStringLiteral("Date"), QStringLiteral("NO-DATE-0000"));
    QVariantMap local = localCopy(stored, QStringLiteral("Work"));
    local.insert(QStringLiteral("SMSSourceUIDKey"), QStringLiteral("NO-DATE-0002"));
    local.insert(QStringLiteral("Date"), QStringLiteral("20261210T173400Z"));
    storage.enterSMS(QVariantList{stored, local});

    const auto taken = [this](const QString& key) { return storageHoldsKey(storage, key); };
    EXPECT_EQ(ReadCounter::shared().nextNoDateKey(taken), QStringLiteral("NO-DATE-0001"));
    EXPECT_EQ(ReadCounter::shared().nextNoDateKey(taken), QStringLiteral("NO-DATE-0003"));
    EXPECT_EQ(ReadCounter::shared().nextNoDateKey({}), QStringLiteral("NO-DATE-0004"));
}

TEST_F(SmsRecordsTest, BoxEntriesAndFolderNumbers)
{
    EXPECT_EQ(newBoxEntry(QStringLiteral("inbox"), 1),
              (QVariantMap{{QStringLiteral("SMS-Type"), QStringLiteral("_SMSBoxList_")},
                           {QStringLiteral("name"), QStringLiteral("inbox")},
                           {QStringLiteral("_BoxIsLocal_"), QVariant::fromValue<uint>(1)},
                           {QStringLiteral("IsOnPhone"), false},
                           {QStringLiteral("Date"), QStringLiteral("NO-DATE-inbox-0001")}}));
    // The same key from read to read.
    EXPECT_EQ(newBoxEntry(QStringLiteral("inbox"), 1), newBoxEntry(QStringLiteral("inbox"), 1));
    const QString outbox = newBoxEntry(QStringLiteral("outbox"), 100).value(QStringLiteral("Date")).toString();
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^outbox-\\d{8}T\\d{6}Z-0$")).match(outbox).hasMatch())
        << outbox.toStdString();

    const std::pair<const char*, unsigned> numbers[] = {{"inbox", 1},    {"sent", 2},     {"draft", 3}, {"trash", 4},
                                                        {"outbox", 100}, {"drafts", 100}, {"", 100}};
    for (const auto& [box, number] : numbers)
        EXPECT_EQ(folderNumber(QString::fromLatin1(box)), number) << box;

    const QVariantMap folder = newLocalFolderEntry(QStringLiteral("Work"));
    EXPECT_EQ(folder.value(QStringLiteral("_BoxIsLocal_")).toUInt(), 100u);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d{8}T\\d{6}Z-\\d+$"))
                    .match(folder.value(QStringLiteral("Date")).toString())
                    .hasMatch());
    EXPECT_NE(newLocalKey(), newLocalKey());
}

TEST_F(SmsRecordsTest, FoldersCopiesAndRequests)
{
    storage.enterSMS(QVariantList{newLocalFolderEntry(QStringLiteral("Work")), newBoxEntry(QStringLiteral("trash"), 4),
                                  newLocalFolderEntry(QStringLiteral("Work-1")),
                                  newBoxEntry(QStringLiteral("inbox"), 1), newLocalFolderEntry(QString())});
    EXPECT_EQ(uniqueFolderName(storage, QStringLiteral("Work")), QStringLiteral("Work-2"));
    EXPECT_EQ(uniqueFolderName(storage, QStringLiteral("Home")), QStringLiteral("Home"));
    EXPECT_EQ(uniqueFolderName(storage, QString()), QString());

    QStringList tree;
    for (const auto& box : boxEntries(storage))
        tree.append(box->typeName());
    EXPECT_EQ(tree, (QStringList{"inbox", "trash", "", "Work", "Work-1"}));

    // A draft to a typed number: its recipient has only display string and number.
    const QVariantList recipients{numberRecipient(QStringLiteral("0171 555"), QStringLiteral("0171555")),
                                  personRecipient("uid-1", "Anna", "+4930", 1)};
    const QVariantMap draft = draftCopy(QStringLiteral("Plan"), recipients, QStringLiteral("Text"), true);
    EXPECT_EQ(recipients.first().toMap().keys(), (QStringList{"Last", "Phone"}));
    EXPECT_EQ(recipients.last().toMap().value(QStringLiteral("IndexPhoneProperty")), QVariant(1));
    EXPECT_EQ(draft.value(QStringLiteral("SMS-Type")), QVariant(QStringLiteral("draft")));
    EXPECT_EQ(draft.value(QStringLiteral("name")), QVariant(QStringLiteral("Plan")));
    EXPECT_EQ(draft.value(QStringLiteral("Number")), QVariant(QStringLiteral("0171555")));
    EXPECT_EQ(draft.value(QStringLiteral("reciptions")), QVariant(recipients));
    EXPECT_EQ(draft.value(QStringLiteral("IsOnPhone")), QVariant(false));
    const QVariantMap sent = sentCopy(recipients, QStringLiteral("Text"), false);
    EXPECT_FALSE(sent.contains(QStringLiteral("name")));
    EXPECT_EQ(sent.value(QStringLiteral("SMS-Type")), QVariant(QStringLiteral("sent")));

    const auto item = QVSmsElem::elemWithRecord(*recordFromKitMessage(kitSmsMessage({}), "inbox", smsCounterKey));
    const QVariantMap drag = item->getDragDictionary();
    EXPECT_EQ(drag.value(QStringLiteral("SMSSelfKey")).typeId(), QMetaType::ULongLong);
    EXPECT_EQ(drag.value(QStringLiteral("SMSSelfKey")).toULongLong(), item->hash());
    EXPECT_NE(item->hash(), QVSmsElem::elemWithRecord(item->record())->hash());
    const QVariantMap copy = localCopy(drag, QStringLiteral("Work"));
    EXPECT_FALSE(copy.contains(QStringLiteral("SMSSelfKey")));
    EXPECT_EQ(copy.value(QStringLiteral("SMS-Type")), QVariant(QStringLiteral("Work")));
    EXPECT_EQ(copy.value(QStringLiteral("IsOnPhone")), QVariant(false));
    EXPECT_EQ(copy.value(QStringLiteral("Date")), item->record().value(QStringLiteral("Date")));
    EXPECT_FALSE(copy.value(QStringLiteral("SMSSourceUIDKey")).toString().isEmpty());
    EXPECT_EQ(deleteRequest({drag}, QStringLiteral("trash")),
              (QVariantMap{{QStringLiteral("DelMsgList"), QVariantList{drag}},
                           {QStringLiteral("DelBoxName"), QStringLiteral("trash")}}));
}

TEST_F(SmsRecordsTest, TheStorageKeepsOneItemPerRecordWithItsState)
{
    const QDateTime stamped(QDate(2026, 12, 10), QTime(17, 34), QTimeZone::utc());
    storage.enterSMS(QVariantList{
        *recordFromKitMessage(kitSmsMessage(stamped), "inbox", smsCounterKey), QStringLiteral("not a record"),
        *recordFromKitMessage(kitSmsMessage({}, ""), "inbox", smsCounterKey), newBoxEntry(QStringLiteral("inbox"), 1)});
    storage.enterSMS(QStringLiteral("no list"));
    ASSERT_EQ(storage.count(), 3);
    auto first = std::dynamic_pointer_cast<QVSmsElem>(storage.objectAtIndex(0));
    ASSERT_TRUE(first);
    EXPECT_EQ(first->typeString(), QStringLiteral("inbox"));
    EXPECT_EQ(first->typeName(), QStringLiteral("noch kein Name"));
    EXPECT_EQ(first->smsNumber(), QStringLiteral("+123"));
    EXPECT_EQ(first->memIndexes(), QStringLiteral("3"));
    EXPECT_EQ(first->dateString(), QStringLiteral("20261210T173400Z"));
    EXPECT_TRUE(first->isOnPhone());
    EXPECT_EQ(first->formattedDateString(), QLocale().toString(stamped.toLocalTime(), QLocale::ShortFormat));
    EXPECT_EQ(std::dynamic_pointer_cast<QVSmsElem>(storage.objectAtIndex(1))->formattedDateString(), QString());
    EXPECT_EQ(std::dynamic_pointer_cast<QVSmsElem>(storage.objectAtIndex(2))->intBoxIsLocal(), 1);
    EXPECT_FALSE(storage.objectAtIndex(3));
    EXPECT_EQ(folderEntries(storage, QStringLiteral("inbox")).size(), 2u);

    first->setMarkedRead(true);
    first->setOldMessage(true);
    first->setDisplayNameBuffer(QStringLiteral("Anna"));
    first->moveToBox(QStringLiteral("Work"));
    EXPECT_EQ(first->typeString(), QStringLiteral("Work"));
    EXPECT_FALSE(first->record().contains(QStringLiteral("SMSMarkedRead")));

    // The stored form brings the read mark and the old-message state back,
    // never the display name.
    QVSyncElemList reloaded(4, &device);
    reloaded.enterSMS(storedRecords(storage));
    ASSERT_EQ(reloaded.count(), 3);
    auto again = std::dynamic_pointer_cast<QVSmsElem>(reloaded.objectAtIndex(0));
    EXPECT_TRUE(again->isMarkedRead());
    EXPECT_TRUE(again->isOldMessage());
    EXPECT_EQ(again->displayNameBuffer(), QString());
    EXPECT_EQ(again->record(), first->record());
    auto second = std::dynamic_pointer_cast<QVSmsElem>(reloaded.objectAtIndex(1));
    EXPECT_FALSE(second->isMarkedRead());
    EXPECT_FALSE(second->isOldMessage());
}
