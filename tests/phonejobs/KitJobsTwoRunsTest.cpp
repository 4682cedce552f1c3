// Contacts and calendars of LG and Motorola phones synced both ways across
// two runs, end to end: the data manager's job, the device and its pipe, the
// organizer bridge, the shared kit library and phonesim on a pseudo-terminal.
// Between the runs the phone changes one entry and loses another while the
// desktop changes an item of its own.
#include "PhoneJobsTestSupport.h"
#include "ArchivedPtyPhoneFixture.h"

#include "device/QVSyncDeviceDescription.h"
#include "formats/MotorolaCalendarConverter.h"
#include "formats/VCalendarConversion.h"
#include "formats/VXDictionary.h"
#include "kestrova/vendors/LgCalendarRecord.h"
#include "kestrova/vendors/LgPhonebookRecord.h"
#include "kestrova/vendors/LgTaskRecord.h"
#include "phone/DZDataManager.h"
#include "phone/FilesMirror.h"
#include "phone/OrganizerArchive.h"
#include "phonejobs/FileJobMakers.h"
#include "syncmodel/QVSyncElemList.h"
#include "syncmodel/QVSyncEngineElem.h"

#include "LgCalendar.h"
#include "LgPhonebook.h"
#include "MotorolaCalendar.h"
#include "PhoneSession.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace phonejobs_test;

namespace {

// The texts of an item's main record, joined.
QString twoRunsItemText(const QVSyncElemList::Elem& elem)
{
    auto* item = dynamic_cast<QVSyncEngineElem*>(elem.get());
    if (!item || !item->mainDict())
        return {};
    QStringList texts;
    const QVariantMap& main = *item->mainDict();
    for (auto it = main.cbegin(); it != main.cend(); ++it)
        if (it.value().typeId() == QMetaType::QString)
            texts << it.value().toString();
    return texts.join('|');
}

// Every item of the list that is not deleted, as "uri: texts".
QStringList twoRunsListed(QVSyncElemList& list)
{
    QStringList listed;
    for (const auto& elem : list.allElems())
        if (!elem->isDeleted())
            listed << elem->sourceURI() + QStringLiteral(": ") + twoRunsItemText(elem);
    return listed;
}

QString twoRunsDescribe(const QVariant& value)
{
    QString text;
    QDebug(&text) << value;
    return text;
}

// How many listed items hold the text.
int twoRunsCount(const QStringList& listed, const QString& text)
{
    return int(listed.filter(text).size());
}

// Whether a stored LG record holds the text (UTF-16LE, as the records keep it).
bool twoRunsLgHolds(const QByteArray& body, const QString& text)
{
    QByteArray units;
    kestrova::lg::appendUtf16(units, text);
    return body.contains(units);
}

void twoRunsSetFirstName(const QVSyncElemList::Elem& elem, const QString& first)
{
    auto* item = dynamic_cast<QVSyncEngineElem*>(elem.get());
    ASSERT_TRUE(item && item->mainDict());
    item->mainDict()->insert(QVSyncEngineElem::kFirstName, first);
    item->setChanged();
}

void twoRunsSetSummary(const QVSyncElemList::Elem& elem, const QString& summary)
{
    auto* item = dynamic_cast<QVSyncEngineElem*>(elem.get());
    ASSERT_TRUE(item && item->mainDict());
    ASSERT_TRUE(item->mainDict()->contains(QStringLiteral("summary"))) << twoRunsItemText(elem).toStdString();
    item->mainDict()->insert(QStringLiteral("summary"), summary);
    item->setChanged();
}

QVariantMap twoRunsLgContact(const QString& first, const QString& number)
{
    return {{QStringLiteral("firstname"), first},
            {QStringLiteral("lastname"), QStringLiteral("Phone")},
            {QStringLiteral("phone"), QVariantList{QVariantMap{{QStringLiteral("value"), number},
                                                               {QStringLiteral("type"), QStringLiteral("mobile")}}}}};
}

QByteArray twoRunsLgContactBody(const QString& first, const QString& number)
{
    return kestrova::lg::lgViewtyPhonebookCreateRawDataForDict(twoRunsLgContact(first, number), 0).mid(4);
}

const QDateTime kTwoRunsDay(QDate(2030, 4, 9), QTime(10, 0));

QByteArray twoRunsLgEventBody(const phonesim::LgCalendar& calendar, const QString& summary, int day)
{
    const QDateTime start = kTwoRunsDay.addDays(day);
    const QVariantMap event{{QStringLiteral("event"),
                             QVariantMap{{QStringLiteral("summary"), summary},
                                         {QStringLiteral("start date"), start},
                                         {QStringLiteral("end date"), start.addSecs(3600)}}}};
    return calendar.bodyFromWrite(phonesim::LgCalendar::kCalendar,
                                  QByteArray::fromHex("FF12830000000000FF03")
                                      + kestrova::lg::lgViewtyCalendarCreateRawDataForDict(event, 1));
}

QByteArray twoRunsLgTaskBody(const phonesim::LgCalendar& calendar, const QString& summary)
{
    const QVariantMap task{{QStringLiteral("task"),
                            QVariantMap{{QStringLiteral("summary"), summary},
                                        {QStringLiteral("priority"), 1},
                                        {QStringLiteral("status"), QStringLiteral("processing")}}}};
    return calendar.bodyFromWrite(phonesim::LgCalendar::kTasks,
                                  QByteArray::fromHex("FF13830000000000FF03")
                                      + kestrova::lg::lgViewtyTaskCreateRawDataForDict(task, 1));
}

// A Motorola date book record in the extended layout: slot, summary, start
// and end on the day's 10:00 and 11:00.
phonesim::MotorolaCalendarEvent twoRunsMotoEvent(int slot, const QString& summary, int day)
{
    const QString date = kTwoRunsDay.addDays(day).toString(QStringLiteral("MM-dd-yyyy"));
    phonesim::MotorolaCalendarEvent e;
    e.slot = slot;
    e.fields = QStringList{QString::number(slot),
                           summary,
                           QStringLiteral("1"),
                           QStringLiteral("0"),
                           QStringLiteral("10:00"),
                           date,
                           QString(),
                           QStringLiteral("06:28"),
                           QStringLiteral("02-06-2088"),
                           QStringLiteral("0"),
                           QStringLiteral("11:00"),
                           date,
                           QString(),
                           QStringLiteral("3"),
                           QString(),
                           QString(),
                           QStringLiteral("501"),
                           QStringLiteral("0"),
                           QStringLiteral("0"),
                           QString(),
                           QStringLiteral("00-00-2000")};
    return e;
}

QString twoRunsVCalendar(const QString& summary, int day)
{
    const QDateTime start = kTwoRunsDay.addDays(day);
    const QString format = QStringLiteral("yyyyMMdd'T'HHmmss");
    return QStringLiteral("BEGIN:VCALENDAR\r\nVERSION:1.0\r\nBEGIN:VEVENT\r\nSUMMARY:%1\r\nDTSTART:%2\r\n"
                          "DTEND:%3\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n")
        .arg(summary, start.toString(format), start.addSecs(3600).toString(format));
}

const QString kTwoRunsVCard =
    QStringLiteral("BEGIN:VCARD\r\nVERSION:2.1\r\nN:Desk;Dora\r\nTEL;CELL:0309999\r\nEND:VCARD\r\n");

class KitJobsTwoRunsTest : public ArchivedPtyPhoneFixture {
protected:
    // The phone of the profile with the program's data manager, mirror and
    // archive.
    void open(const char* profile, const char* syncProtocol)
    {
        openArchived(profile, profile, profile, syncProtocol);
    }
    // One sync of the property as the data manager makes it; its end code.
    int sync(int property)
    {
        auto* manager = dynamic_cast<DZDataManager*>(device->dataManager());
        EXPECT_TRUE(manager);
        if (!manager)
            return -999;
        auto job = manager->actionToUpdateOrganizerDataOfType(property, 0, false);
        EXPECT_TRUE(job);
        if (!job)
            return -999;
        std::optional<int> end;
        follow(job, [&end](const platform::Notification& note) {
            const QVariant code = note.userInfo.value(QStringLiteral("QVFeedEndActionKey"));
            if (code.isValid())
                end = code.toInt();
        });
        EXPECT_TRUE(device->addAction(job));
        EXPECT_TRUE(runUntil([&] { return end.has_value(); }, 120.0));
        return end.value_or(-999);
    }
    // A new desktop item.
    QVSyncElemList::Elem addOnDesktop(int property, const QString& text)
    {
        QVSyncElemList* list = archive->storage(property);
        const auto fresh = list->createNewElem(text, QStringLiteral("T-1"), QString(), {}, {});
        EXPECT_TRUE(fresh) << text.toStdString();
        if (!fresh)
            return nullptr;
        fresh->setProperty(property);
        list->addObject(fresh);
        return fresh;
    }

    testing_support::OutsideInputScope fasterInput{0.002};
};

} // namespace

TEST_F(KitJobsTwoRunsTest, LGContactsSyncBothWaysAcrossTwoRuns)
{
    open("lg", "Protocol LG");
    sim->modifyLgPhonebook([](phonesim::LgPhonebook& pb) {
        pb.entries.insert(3, twoRunsLgContactBody(QStringLiteral("Ann"), QStringLiteral("+4712")));
        pb.entries.insert(9, twoRunsLgContactBody(QStringLiteral("Bo"), QStringLiteral("+4713")));
    });
    const auto desk = addOnDesktop(0, kTwoRunsVCard);
    ASSERT_TRUE(desk);

    ASSERT_EQ(sync(0), 0);
    QVSyncElemList& list = *archive->storage(0);
    QStringList listed = twoRunsListed(list);
    EXPECT_EQ(listed.size(), 3) << listed.join('\n').toStdString();
    EXPECT_EQ(twoRunsCount(listed.filter(QStringLiteral("3: ")), QStringLiteral("Ann")), 1) << listed.join('\n').toStdString();
    EXPECT_EQ(twoRunsCount(listed.filter(QStringLiteral("9: ")), QStringLiteral("Bo")), 1) << listed.join('\n').toStdString();
    const QString deskSlot = desk->sourceURI();
    ASSERT_FALSE(deskSlot.startsWith(QStringLiteral("T-"))) << deskSlot.toStdString();
    QMap<int, QByteArray> phone;
    sim->modifyLgPhonebook([&](phonesim::LgPhonebook& pb) { phone = pb.entries; });
    ASSERT_EQ(phone.size(), 3);
    EXPECT_TRUE(twoRunsLgHolds(phone.value(deskSlot.toInt()), QStringLiteral("Dora")));

    // The phone renames Ann and loses Bo; the desktop renames its Dora.
    sim->modifyLgPhonebook([](phonesim::LgPhonebook& pb) {
        pb.entries.insert(3, twoRunsLgContactBody(QStringLiteral("Anne"), QStringLiteral("+4712")));
        pb.entries.remove(9);
    });
    twoRunsSetFirstName(desk, QStringLiteral("Dorit"));

    ASSERT_EQ(sync(0), 0);
    listed = twoRunsListed(list);
    EXPECT_EQ(listed.size(), 2) << listed.join('\n').toStdString();
    EXPECT_EQ(twoRunsCount(listed, QStringLiteral("Anne")), 1) << listed.join('\n').toStdString();
    EXPECT_EQ(twoRunsCount(listed, QStringLiteral("Bo")), 0) << listed.join('\n').toStdString();
    EXPECT_FALSE(list.objectForURI(QStringLiteral("9")));
    EXPECT_EQ(desk->sourceURI(), deskSlot);
    EXPECT_EQ(twoRunsCount(listed, QStringLiteral("Dorit")), 1) << listed.join('\n').toStdString();
    sim->modifyLgPhonebook([&](phonesim::LgPhonebook& pb) { phone = pb.entries; });
    EXPECT_EQ(phone.size(), 2);
    EXPECT_TRUE(twoRunsLgHolds(phone.value(deskSlot.toInt()), QStringLiteral("Dorit")));
    EXPECT_FALSE(device->isConnectionOpen(QString::fromLatin1(MFDevice::kServiceLGContacts)));
}

TEST_F(KitJobsTwoRunsTest, LGCalendarAndTasksSyncBothWaysAcrossTwoRuns)
{
    open("lg3", "Protocol LG");
    ASSERT_TRUE(device->syncDescription() && device->syncDescription()->hasTasks());
    sim->modifyLgCalendar([](phonesim::LgCalendar& c) {
        c.events.insert(1, twoRunsLgEventBody(c, QStringLiteral("Dentist"), 0));
        c.events.insert(2, twoRunsLgEventBody(c, QStringLiteral("Barber"), 1));
        c.tasks.insert(1, twoRunsLgTaskBody(c, QStringLiteral("Call back")));
    });
    const auto desk = addOnDesktop(1, twoRunsVCalendar(QStringLiteral("Planning"), 2));
    ASSERT_TRUE(desk);

    ASSERT_EQ(sync(1), 0);
    QVSyncElemList& list = *archive->storage(1);
    QStringList listed = twoRunsListed(list);
    EXPECT_EQ(listed.size(), 4) << listed.join('\n').toStdString();
    EXPECT_EQ(twoRunsCount(listed, QStringLiteral("Dentist")), 1) << listed.join('\n').toStdString();
    EXPECT_EQ(twoRunsCount(listed, QStringLiteral("Barber")), 1) << listed.join('\n').toStdString();
    EXPECT_EQ(twoRunsCount(listed, QStringLiteral("Call back")), 1) << listed.join('\n').toStdString();
    const QString deskId = desk->sourceURI();
    ASSERT_FALSE(deskId.startsWith(QStringLiteral("T-"))) << deskId.toStdString();
    QMap<int, QByteArray> events;
    QMap<int, QByteArray> tasks;
    sim->modifyLgCalendar([&](phonesim::LgCalendar& c) { events = c.events, tasks = c.tasks; });
    ASSERT_EQ(events.size(), 3);
    EXPECT_EQ(tasks.size(), 1);
    int deskSlot = 0;
    for (auto it = events.cbegin(); it != events.cend(); ++it)
        if (twoRunsLgHolds(it.value(), QStringLiteral("Planning")))
            deskSlot = it.key();
    ASSERT_NE(deskSlot, 0);

    // The phone renames its task and loses the barber; the desktop renames
    // its planning.
    sim->modifyLgCalendar([](phonesim::LgCalendar& c) {
        c.tasks.insert(1, twoRunsLgTaskBody(c, QStringLiteral("Call Bo back")));
        c.events.remove(2);
    });
    twoRunsSetSummary(desk, QStringLiteral("Review"));

    ASSERT_EQ(sync(1), 0);
    listed = twoRunsListed(list);
    EXPECT_EQ(listed.size(), 3) << listed.join('\n').toStdString();
    EXPECT_EQ(twoRunsCount(listed, QStringLiteral("Dentist")), 1) << listed.join('\n').toStdString();
    EXPECT_EQ(twoRunsCount(listed, QStringLiteral("Barber")), 0) << listed.join('\n').toStdString();
    EXPECT_EQ(twoRunsCount(listed, QStringLiteral("Call Bo back")), 1) << listed.join('\n').toStdString();
    EXPECT_EQ(twoRunsCount(listed, QStringLiteral("Review")), 1) << listed.join('\n').toStdString();
    EXPECT_EQ(desk->sourceURI(), deskId);
    sim->modifyLgCalendar([&](phonesim::LgCalendar& c) { events = c.events, tasks = c.tasks; });
    EXPECT_EQ(events.size(), 2);
    EXPECT_EQ(tasks.size(), 1);
    EXPECT_TRUE(twoRunsLgHolds(events.value(deskSlot), QStringLiteral("Review")));
    EXPECT_FALSE(device->isConnectionOpen(QString::fromLatin1(MFDevice::kServiceLGEvents)));
}

TEST_F(KitJobsTwoRunsTest, MotorolaCalendarSyncsBothWaysAcrossTwoRuns)
{
    open("motorola", "Protocol Motorola V3 Series");
    sim->modifySession([](phonesim::PhoneSession& s) {
        s.characterSet.offered = {"GSM", "UCS2"};
        s.motorolaCalendar.slotCount = 10;
        s.motorolaCalendar.events.insert(0, twoRunsMotoEvent(0, QStringLiteral("Dentist"), 0));
        s.motorolaCalendar.events.insert(1, twoRunsMotoEvent(1, QStringLiteral("Barber"), 1));
    });
    const auto desk = addOnDesktop(1, twoRunsVCalendar(QStringLiteral("Planning"), 2));
    ASSERT_TRUE(desk);

    ASSERT_EQ(sync(1), 0);
    QVSyncElemList& list = *archive->storage(1);
    QStringList listed = twoRunsListed(list);
    EXPECT_EQ(listed.size(), 3) << listed.join('\n').toStdString();
    EXPECT_EQ(twoRunsCount(listed, QStringLiteral("Dentist")), 1) << listed.join('\n').toStdString();
    EXPECT_EQ(twoRunsCount(listed, QStringLiteral("Barber")), 1) << listed.join('\n').toStdString();
    const QString deskSlot = desk->sourceURI();
    ASSERT_FALSE(deskSlot.startsWith(QStringLiteral("T-"))) << deskSlot.toStdString();
    QMap<int, phonesim::MotorolaCalendarEvent> phone = sim->session().motorolaCalendar.events;
    ASSERT_EQ(phone.size(), 3);
    EXPECT_EQ(phone.value(deskSlot.toInt()).fields.value(1), QStringLiteral("Planning"));

    sim->modifySession([](phonesim::PhoneSession& s) {
        s.motorolaCalendar.events[0].fields[1] = QStringLiteral("Dentist moved");
        s.motorolaCalendar.events.remove(1);
    });
    twoRunsSetSummary(desk, QStringLiteral("Review"));

    ASSERT_EQ(sync(1), 0);
    listed = twoRunsListed(list);
    EXPECT_EQ(listed.size(), 2) << listed.join('\n').toStdString();
    EXPECT_EQ(twoRunsCount(listed, QStringLiteral("Dentist moved")), 1) << listed.join('\n').toStdString();
    EXPECT_EQ(twoRunsCount(listed, QStringLiteral("Barber")), 0) << listed.join('\n').toStdString();
    EXPECT_EQ(twoRunsCount(listed, QStringLiteral("Review")), 1) << listed.join('\n').toStdString();
    EXPECT_EQ(desk->sourceURI(), deskSlot);
    phone = sim->session().motorolaCalendar.events;
    EXPECT_EQ(phone.size(), 2);
    EXPECT_EQ(phone.value(deskSlot.toInt()).fields.value(1), QStringLiteral("Review"));
    EXPECT_FALSE(device->isConnectionOpen(QString::fromLatin1(MFDevice::kServiceMotoEvents)));

    // A third run with nothing changed on either side changes nothing.
    ASSERT_EQ(sync(1), 0);
    EXPECT_EQ(twoRunsListed(list), listed);
    EXPECT_FALSE(desk->isChanged());
    EXPECT_EQ(sim->session().motorolaCalendar.events.size(), 2);
}

// A yearly rule on the second Tuesday of March, as the desktop's item form
// holds it, written by the calendar job: both phones' records hold the
// weekday of the month (the Motorola record as repeat code 5 with its
// weekday-of-month value, the LG record as code 105, the start's weekday and
// week), and the kit reads it back whole.
TEST_F(KitJobsTwoRunsTest, AWeekdayOfTheMonthReachesBothPhones)
{
    const struct {
        const char* profile;
        const char* protocol;
    } cases[] = {{"motorola", "Protocol Motorola V3 Series"}, {"lg", "Protocol LG"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.profile);
        const bool motorola = QLatin1String(c.profile) == QLatin1String("motorola");
        open(c.profile, c.protocol);
        if (motorola)
            sim->modifySession([](phonesim::PhoneSession& s) {
                s.characterSet.offered = {"GSM", "UCS2"};
                s.motorolaCalendar.slotCount = 10;
            });
        const QDateTime start(QDate(2030, 3, 12), QTime(9, 0), Qt::LocalTime);
        const QVariantMap kitEntry{
            {QStringLiteral("event"), QVariantMap{{QStringLiteral("start date"), start},
                                                  {QStringLiteral("end date"), start.addSecs(3600)},
                                                  {QStringLiteral("summary"), QStringLiteral("Fair")}}},
            {QStringLiteral("recurrence"), QVariantMap{{QStringLiteral("frequency"), QStringLiteral("yearly")},
                                                       {QStringLiteral("interval"), 1},
                                                       {QStringLiteral("bydaydays"), QVariantList{QStringLiteral("tuesday")}},
                                                       {QStringLiteral("bydayfreq"), QVariantList{2}},
                                                       {QStringLiteral("byMonth"), QVariantList{3}}}}};
        const auto parsed = vCalendarDictionaryForMotorolaEventOrTask(kitEntry, true);
        ASSERT_TRUE(parsed);
        const VXDictionary form = vCalendarDictionary2VXDictionary(parsed->map(), QStringLiteral("T-1"));
        QVSyncElemList* list = archive->storage(1);
        const auto fresh = list->addVXDictItem(QStringLiteral("T-1"), form, false, QString());
        ASSERT_TRUE(fresh);

        ASSERT_EQ(sync(1), 0);
        const QString slot = fresh->sourceURI();
        ASSERT_FALSE(slot.startsWith(QStringLiteral("T-"))) << slot.toStdString();
        if (motorola) {
            const QStringList fields = sim->session().motorolaCalendar.events.value(slot.toInt()).fields;
            ASSERT_EQ(fields.size(), 21) << fields.join(',').toStdString();
            EXPECT_EQ(fields.at(9), QStringLiteral("5")) << fields.join(',').toStdString();
            // Tuesday (2) times eight plus the second week.
            EXPECT_EQ(fields.at(18), QStringLiteral("18")) << fields.join(',').toStdString();
            continue;
        }
        QByteArray body;
        sim->modifyLgCalendar([&](phonesim::LgCalendar& calendar) { body = calendar.events.value(slot.section('-', 0, 0).toInt()); });
        ASSERT_FALSE(body.isEmpty()) << slot.toStdString();
        // The phone sends a record body from offset 15 of its reply.
        const auto read = kestrova::lg::lgExtractCalendarData(QByteArray(15, '\0') + body);
        ASSERT_TRUE(read);
        const QVariantMap rule = read->value(QStringLiteral("recurrence")).toMap();
        EXPECT_EQ(rule.value(QStringLiteral("frequency")).toString(), QStringLiteral("yearly"));
        EXPECT_EQ(rule.value(QStringLiteral("bydaydays")).toList(), QVariantList{QStringLiteral("tuesday")});
        EXPECT_EQ(rule.value(QStringLiteral("bydayfreq")).toList(), QVariantList{2}) << twoRunsDescribe(rule).toStdString();
        EXPECT_EQ(rule.value(QStringLiteral("byMonth")).toList(), QVariantList{3}) << twoRunsDescribe(rule).toStdString();
    }
}
