#include "CalendarTestSupport.h"

#include "formats/CalendarOccurrences.h"
#include "foundation/FormattingUtil.h"

#include <QUrl>

using namespace calendartest;

namespace {

class CalendarItemTest : public CalendarTest {};

const QString kSummaryKey = QStringLiteral("summary");
const QString kStartKey = QStringLiteral("start date");
const QString kEndKey = QStringLiteral("end date");

TEST_F(CalendarItemTest, IdentityByDayAndHour)
{
    auto morning = fromText(vcal(QStringLiteral("SUMMARY:Meeting\r\nDTSTART:20071005T090000\r\n")));
    auto afternoon = fromText(vcal(QStringLiteral("SUMMARY:Meeting\r\nDTSTART:20071005T140000\r\n")));
    ASSERT_TRUE(morning->vxDict());
    EXPECT_EQ(morning->getIdentityString(), QStringLiteral("Event-20071005+-Meeting"));
    EXPECT_EQ(afternoon->getIdentityString(), QStringLiteral("Event-20071005+-Meeting"));
    EXPECT_EQ(morning->getIdentityStringWithHours(), QStringLiteral("Event-20071005-090000+-Meeting"));
    EXPECT_EQ(afternoon->getIdentityStringWithHours(), QStringLiteral("Event-20071005-140000+-Meeting"));

    // A deleted item's keys end "-" (once the caches are dropped).
    afternoon->setDeleted();
    afternoon->setChanged();
    EXPECT_EQ(afternoon->getIdentityString(), QStringLiteral("Event-20071005--Meeting"));

    // A phone that shifts old years: the key with the year moved.
    auto shifted = fromText(vcal(QStringLiteral("SUMMARY:Meeting\r\nDTSTART:19950704T181500\r\n")), "Shifted");
    EXPECT_EQ(shifted->getIdentityString(), QStringLiteral("Event-20000704-181500+-Meeting"));
    EXPECT_EQ(shifted->getIdentityStringWithHours(), QStringLiteral("Event-20000704-181500+-Meeting"));

    // A task is named by its due day; a changed summary gives a new identity.
    auto task = fromText(vcal(QStringLiteral("SUMMARY:Taxes\r\nDUE:20240430T120000\r\n"), "VTODO"));
    ASSERT_TRUE(task->isToDo());
    EXPECT_EQ(task->getIdentityString(), QStringLiteral("Task-20240430+-Taxes"));
    EXPECT_EQ(task->eventTypeString(), QStringLiteral("120240430+"));
    EXPECT_EQ(morning->eventTypeString(), QStringLiteral("020071005+"));
    task->mainDict()->insert(kSummaryKey, QStringLiteral("Rent"));
    task->setChanged();
    EXPECT_EQ(task->getIdentityString(), QStringLiteral("Task-20240430+-Rent"));
}

TEST_F(CalendarItemTest, DisplayTexts)
{
    struct Case {
        const char* name;
        QVariantMap main;
        QString (QVVCalendarElem::*text)() const;
        QString expected;
    };
    const QVariantMap memo{{QStringLiteral("description"), QStringLiteral("Buy milk and bread today")}};
    const QVariantMap allDay{{kStartKey, local(2024, 3, 3)}, {kEndKey, local(2024, 3, 6)},
                             {QStringLiteral("all day"), true}};
    const QVariantMap oneDay{{kStartKey, local(2024, 3, 3)}, {kEndKey, local(2024, 3, 4)},
                             {QStringLiteral("all day"), true}};
    const QVariantMap sameDay{{kStartKey, local(2024, 3, 3, 9)}, {kEndKey, local(2024, 3, 3, 10, 30)}};
    const QVariantMap twoDays{{kStartKey, local(2024, 3, 3, 9)}, {kEndKey, local(2024, 3, 4, 10, 30)}};
    const QVariantMap noDate{{kStartKey, local(2065, 1, 1, 9)}};
    const Case cases[] = {
        {"all day over three days", allDay, &QVVCalendarElem::dateString,
         QStringLiteral("Sun. 03. Mar 2024 - Tue. 05. Mar 2024")},
        {"all day, one day", oneDay, &QVVCalendarElem::dateString, QStringLiteral("Sun. 03. Mar 2024")},
        {"short all day", oneDay, &QVVCalendarElem::shortDateString, QStringLiteral("03.03.24")},
        {"timed", sameDay, &QVVCalendarElem::dateString, QStringLiteral("Sun. 03. Mar 2024, 09:00")},
        {"from-to on one day", sameDay, &QVVCalendarElem::fromToString,
         QStringLiteral("Sun. 03. Mar 2024, 09:00 - 10:30")},
        {"from-to across days", twoDays, &QVVCalendarElem::fromToString,
         QStringLiteral("03.03.24, 09:00 - 04.03.24, 10:30")},
        {"end", twoDays, &QVVCalendarElem::shortEndString, QStringLiteral("04.03.24, 10:30")},
        {"no start", memo, &QVVCalendarElem::fromToString, QStringLiteral("")},
        {"2065 is no date", noDate, &QVVCalendarElem::dateString, QStringLiteral("  -  ")},
        {"2065 without end", noDate, &QVVCalendarElem::fromToString, QStringLiteral("")},
        {"raw day key", sameDay, &QVVCalendarElem::rawDateString, QStringLiteral("20240303-090000")},
        {"no alarm", sameDay, &QVVCalendarElem::getAlarmInfo, QString()},
    };
    for (const Case& c : cases) {
        const auto item = fromFields(c.main);
        EXPECT_EQ((item.get()->*c.text)(), c.expected) << c.name;
    }

    // A memo without summary shows the start of its description.
    auto memoItem = fromFields(memo);
    memoItem->vxDict()->deviceDict().insert(QStringLiteral("CATEGORIES"), QVariantList{QStringLiteral("MEMO")});
    memoItem->checkType();
    EXPECT_TRUE(memoItem->isMemo());
    EXPECT_EQ(memoItem->descriptionString(), QStringLiteral("Buy milk and bre..."));

    const auto task = fromFields({{platform::ISyncRecordEntityNameKey, platform::entity::Task},
                                  {kSummaryKey, QStringLiteral("Taxes")},
                                  {QStringLiteral("due date"), local(2024, 4, 30)},
                                  {QStringLiteral("due date is date only"), true}});
    EXPECT_EQ(task->dueString(), QStringLiteral("Tue. 30. Apr 2024"));
    EXPECT_EQ(task->elemDescription(), QStringLiteral("Taxes\n30.04.24"));

    const QVariantMap alarm{{QStringLiteral("triggerduration"), -900}};
    EXPECT_EQ(fromFields(sameDay, {{QStringLiteral("audio alarms"), {alarm}}})->getAlarmInfo(),
              QStringLiteral("Audio"));
    EXPECT_EQ(fromFields(sameDay, {{QStringLiteral("display alarms"), {alarm}}})->getAlarmInfo(),
              QStringLiteral("Display"));
}

TEST_F(CalendarItemTest, RawItemAnswersFromItsText)
{
    const QString broken = QStringLiteral("BEGIN:VCALENDAR\r\nVERSION:1.0\r\nBEGIN:VEVENT\r\n"
                                          "SUMMARY:Lunch\r\nLOCATION:Cafe\r\nDTSTART:20240303T120000\r\n"
                                          "END:VTODO\r\nEND:VCALENDAR\r\n");
    auto raw = fromText(broken);
    EXPECT_FALSE(raw->vxDict());
    EXPECT_TRUE(raw->elemUUID().startsWith(QStringLiteral("Tarnex:")));
    EXPECT_EQ(raw->descriptionString(), QStringLiteral("Lunch"));
    EXPECT_EQ(raw->locationString(), QStringLiteral("Cafe"));
    EXPECT_EQ(raw->vxDataForDescription(nullptr), QVariant(broken));
    EXPECT_TRUE(raw->foreignVCalendarRepresentation20().contains(QStringLiteral("VERSION:2.0\r\n")));
    EXPECT_EQ(raw->vxDataForDescription(limits("VERSION2.0")).toString(), raw->foreignVCalendarRepresentation20());
    QStringList labels;
    QStringList contents;
    QList<quint32> codes;
    EXPECT_TRUE(raw->getFullDisplayData(labels, contents, codes));
    EXPECT_TRUE(contents.contains(QStringLiteral("Lunch")));

    // Without a summary: "?"; the copy is raw as well.
    auto nameless = fromText(QStringLiteral("BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nEND:VCALENDAR\r\n"));
    EXPECT_EQ(nameless->descriptionString(), QStringLiteral("?"));
    const auto copy = std::dynamic_pointer_cast<QVVCalendarElem>(nameless->copy());
    ASSERT_TRUE(copy);
    EXPECT_FALSE(copy->vxDict());
    EXPECT_EQ(copy->vxData(), nameless->vxData());

    // Text that holds nothing readable at all.
    auto garbage = fromText(QStringLiteral("\x01\x02 not a calendar"));
    EXPECT_FALSE(garbage->vxDict());
    EXPECT_EQ(garbage->descriptionString(), QStringLiteral("?"));
    EXPECT_NE(garbage->elemUUID(), raw->elemUUID());
}

TEST_F(CalendarItemTest, ForeignRepresentations)
{
    // An item of the desktop engine has no raw text: its export rendering.
    const auto engine = QVVCalendarElem::vCalendarWithDict(nullptr, createQuorvalisPrimaryKey(), QString(),
                                                           QString(), QString(), QString());
    engine->mainDict()->insert(platform::ISyncRecordEntityNameKey, platform::entity::Event);
    engine->mainDict()->insert(kSummaryKey, QStringLiteral("Café"));
    engine->mainDict()->insert(QStringLiteral("description"), QStringLiteral("line 1\r\nline 2"));
    engine->mainDict()->insert(kStartKey, local(2024, 3, 3, 9));
    const QString v20 = engine->foreignVCalendarRepresentation20();
    EXPECT_TRUE(v20.contains(QStringLiteral("VERSION:2.0"))) << v20.toStdString();
    EXPECT_TRUE(v20.contains(QStringLiteral("SUMMARY:Café\r\n"))) << v20.toStdString();
    // Every line keeps its CR LF.
    EXPECT_EQ(v20.count(u'\n'), v20.count(QStringLiteral("\r\n"))) << v20.toStdString();
    EXPECT_TRUE(v20.contains(QStringLiteral("DESCRIPTION:line 1\\nline 2"))) << v20.toStdString();
    const QString v10 = engine->foreignVCalendarRepresentation10();
    EXPECT_TRUE(v10.contains(QStringLiteral("VERSION:1.0")));
    EXPECT_TRUE(v10.contains(QStringLiteral("SUMMARY;ENCODING=QUOTED-PRINTABLE:Caf=C3=A9"))) << v10.toStdString();
    const QString block = engine->foreignVCalendarItem();
    EXPECT_TRUE(block.startsWith(QStringLiteral("BEGIN:VEVENT"))) << block.toStdString();
    EXPECT_FALSE(block.contains(QStringLiteral("END:VCALENDAR")));
    EXPECT_EQ(engine->getVCardCalDictionary().toMap().value(kSummaryKey), QVariant(QStringLiteral("Café")));
    // The export rendering is not kept as the phone's rendering.
    EXPECT_TRUE(engine->vxDataForDevice(limits("Phone")).toString().contains(QStringLiteral("SUMMARY")));
}

TEST_F(CalendarItemTest, InspectorRows)
{
    const auto task = fromFields({{platform::ISyncRecordEntityNameKey, platform::entity::Task},
                                  {kSummaryKey, QStringLiteral("Taxes")},
                                  {QStringLiteral("priority"), 1},
                                  {QStringLiteral("due date"), local(2024, 4, 30, 17)},
                                  {QStringLiteral("description"), QStringLiteral("forms\rreceipts")}});
    QStringList labels;
    QStringList contents;
    QList<quint32> codes;
    ASSERT_TRUE(task->getFullDisplayData(labels, contents, codes));
    EXPECT_EQ(labels, (QStringList{QStringLiteral("Type:"), QString(), QStringLiteral("Due:"),
                                   QStringLiteral("Priority:"), QStringLiteral("Notes:"), QString()}));
    EXPECT_EQ(contents, (QStringList{QStringLiteral("Task"), QStringLiteral("Taxes"),
                                     QStringLiteral("Tue. 30. Apr 2024, 17:00"), QStringLiteral("1"),
                                     QStringLiteral("forms"), QStringLiteral("receipts")}));
    EXPECT_EQ(codes.size(), labels.size());

    const auto repeating =
        fromFields({{kSummaryKey, QStringLiteral("Gym")}, {kStartKey, local(2024, 3, 3, 9)},
                    {QStringLiteral("priority"), 0}, {QStringLiteral("url"), QUrl(QStringLiteral("http://x.org"))}},
                   {{QStringLiteral("recurrences"),
                     {QVariantMap{{QStringLiteral("frequency"), QStringLiteral("weekly")},
                                  {QStringLiteral("interval"), 2}}}},
                    {QStringLiteral("audio alarms"), {QVariantMap{{QStringLiteral("triggerduration"), -900}}}}});
    labels.clear();
    contents.clear();
    codes.clear();
    ASSERT_TRUE(repeating->getFullDisplayData(labels, contents, codes));
    EXPECT_EQ(labels, (QStringList{QStringLiteral("Type:"), QString(), QStringLiteral("Date:"),
                                   QStringLiteral("Repeating:"), QStringLiteral("Audio alarm:"),
                                   QStringLiteral("URL:")}));
    EXPECT_EQ(contents.value(0), QStringLiteral("Calendar event"));
    EXPECT_EQ(contents.value(3), QStringLiteral("weekly, every 2"));
    EXPECT_EQ(contents.value(4), FormattingUtil::displayableTimeDifference(-900));
    EXPECT_EQ(contents.value(5), QStringLiteral("http://x.org"));
    EXPECT_EQ(repeating->getRepeatingInfo(), QStringLiteral("YES"));
}

TEST_F(CalendarItemTest, PulledChangesRefreshTextsAndType)
{
    auto item = fromText(vcal(QStringLiteral("SUMMARY:Old\r\nDESCRIPTION:first notes\r\nDTSTART:20240303T090000\r\n")));
    ASSERT_TRUE(item->vxDict());
    EXPECT_TRUE(item->allContentString().contains(QStringLiteral("Old")));
    const platform::SyncChange change(platform::SyncChange::Modify, item->elemUUID(),
                                      {platform::SyncChange::setChange(kSummaryKey, QStringLiteral("New")),
                                       platform::SyncChange::setChange(QStringLiteral("description"),
                                                                       QStringLiteral("second notes"))});
    // Applied during a phone session: the item is not marked changed.
    EXPECT_EQ(item->processISyncChange(change, true), 0);
    EXPECT_FALSE(item->isChanged());
    EXPECT_TRUE(item->allContentString().contains(QStringLiteral("New")));
    EXPECT_TRUE(item->allContentString().contains(QStringLiteral("second notes")));
    EXPECT_FALSE(item->allContentString().contains(QStringLiteral("Old")));
    EXPECT_TRUE(item->vxDataForDevice(limits("Phone")).toString().contains(QStringLiteral("SUMMARY:New")));

    // A task filled in by the item list: its due date counts as a day.
    VXDictionary taskForm;
    taskForm.setMainObject(platform::entity::Task, platform::ISyncRecordEntityNameKey);
    taskForm.setMainObject(local(2024, 4, 30), QStringLiteral("due date"));
    auto filled = QVVCalendarElem::vCalendarWithDict(nullptr, QString(), QString(), QStringLiteral("Phone"),
                                                     QString(), QString());
    EXPECT_TRUE(filled->fillFromVXDictionary(taskForm, nullptr, QStringLiteral("5"), QString(), false, nullptr));
    EXPECT_TRUE(filled->isToDo());
    EXPECT_EQ(filled->mainDict()->value(QStringLiteral("due date is date only")), QVariant(true));
    EXPECT_EQ(filled->sourceURI(), QStringLiteral("5"));

    // The entity name decides the task flag.
    EXPECT_FALSE(item->isToDo());
    item->processISyncChange(platform::SyncChange(platform::SyncChange::Modify, item->elemUUID(),
                                                  {platform::SyncChange::setChange(platform::ISyncRecordEntityNameKey,
                                                                                   platform::entity::Task)}),
                             false);
    EXPECT_TRUE(item->isToDo());
}

TEST_F(CalendarItemTest, SubRecordsFromTheEngineAndLimits)
{
    auto item = fromText(vcal(QStringLiteral("SUMMARY:A summary far longer than thirty characters\r\n"
                                             "DTSTART:20240303T090000\r\nAALARM:20240303T084500\r\n"
                                             "RRULE:W1 #3\r\n")));
    ASSERT_TRUE(item->vxDict());
    EXPECT_EQ(item->getFormattedString(QStringLiteral("A summary far longer than thirty characters"), kSummaryKey),
              QVariant(QStringLiteral("A summary far longer than thir")));
    EXPECT_EQ(item->getFormattedString(QStringLiteral("x"), QStringLiteral("url")), QVariant(QStringLiteral("x")));
    EXPECT_EQ(item->lastOccurrence(), local(2024, 3, 17, 9));
    EXPECT_EQ(item->mainDictFieldForCommandType(QStringLiteral("AudioAlarm")), QStringLiteral("audio alarms"));
    EXPECT_TRUE(item->mainDictFieldForCommandType(QStringLiteral("Phone")).isNull());

    QVariantList records;
    item->addRecordToList(records);
    EXPECT_EQ(records.size(), 3); // the item, its alarm, its rule

    // The engine removes every alarm: the list goes too.
    EXPECT_TRUE(item->removeItemsForEntity(platform::entity::AudioAlarm));
    EXPECT_TRUE(item->getAudioAlarms().toList().isEmpty());
    EXPECT_TRUE(item->getRecurrences().isValid());

    EXPECT_TRUE(item->isMemberOfRequestedCalendars({}));
    EXPECT_FALSE(item->isMemberOfRequestedCalendars({QStringLiteral("C1")}));
    item->mainDict()->insert(QStringLiteral("calendar"), QVariantList{QStringLiteral("C1")});
    EXPECT_TRUE(item->isMemberOfRequestedCalendars({QStringLiteral("C1")}));

    // A change for an unknown sub-record creates it.
    QVariantMap* sub = item->getOrCreateDictForUUID(QStringLiteral("Tarnex:new"));
    ASSERT_TRUE(sub);
    EXPECT_TRUE(sub->isEmpty());
    EXPECT_EQ(item->getOrCreateDictForUUID(item->elemUUID()), item->mainDict());
}

} // namespace
