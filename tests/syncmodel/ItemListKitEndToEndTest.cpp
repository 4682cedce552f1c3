// The item list against the simulated LG and Motorola phones: phonebooks
// read through the organizer kit are merged, desktop changes go back as the
// write dictionary, the kit's answers give the new items their slots, and a
// second read merges to nothing.
#include "ListTestDevice.h"
#include "RecordingKitCallback.h"
#include "VirtualTime.h"

#include "device/QVSyncDeviceDescription.h"
#include "device/qvDeviceDB.h"
#include "kestrova/core/Kestrova.h"
#include "kestrova/vendors/VendorChains.h"
#include "platform/SyncChange.h"
#include "syncmodel/QVSyncElemList.h"
#include "syncmodel/QVSyncEngineElem.h"

#include "PhoneSession.h"
#include "PhoneSimulator.h"

#include <gtest/gtest.h>

#include <ctime>

using platform::SyncChange;
using testing_support::OutsideInputScope;
using testing_support::runUntil;

namespace {

using KitListCallback = RecordingKitCallback;

QVariantMap kitField(const char* value, const char* type)
{
    return {{QStringLiteral("value"), QLatin1String(value)}, {QStringLiteral("type"), QLatin1String(type)}};
}

QVariantMap kitContact(const char* first, const char* number)
{
    return {{QStringLiteral("firstname"), QLatin1String(first)},
            {QStringLiteral("phone"), QVariantList{kitField(number, "mobile")}}};
}

struct KitPhone {
    const char* profile;
    const char* protocol;
};

class ItemListKitEndToEndTest : public ::testing::TestWithParam<KitPhone> {
protected:
    void SetUp() override
    {
        kestrova::vendors::registerVendorChains();
        auto shipped = std::make_shared<qvDeviceDB>();
        ASSERT_TRUE(shipped->openDB(qvDeviceDB::defaultDatabasePath()));
        device.description = std::make_shared<QVSyncDeviceDescription>(shipped);
        ASSERT_EQ(device.description->setupFromProtocol(QLatin1String(GetParam().protocol)), 0);
        device.motorola = true;
        sim = std::make_unique<phonesim::PhoneSimulator>(
            *phonesim::PhoneProfile::named(QLatin1String(GetParam().profile)));
        sim->modifySession([](phonesim::PhoneSession& s) { s.motorola.lastSlot = 10; });
        ASSERT_TRUE(sim->start()) << sim->errorString().toStdString();
        kit.setCallback(&callback);
        kit.setFilename(sim->slavePath());
        kit.setFamily(QLatin1String(GetParam().profile));
    }
    void TearDown() override
    {
        kit.fullStop();
        kit.setCallback(nullptr);
    }
    std::optional<QVariantMap> read(void (Kestrova::*ask)() = &Kestrova::getPhonebookEntries)
    {
        const qsizetype before = callback.reads.size();
        (kit.*ask)();
        if (!runUntil([&] { return callback.reads.size() > before; }, 300.0, 0.25))
            return std::nullopt;
        return callback.reads.last();
    }
    std::optional<QVariantMap> write(const QVariantMap& entries,
                                     void (Kestrova::*ask)(const QVariantMap&) = &Kestrova::writePhonebookEntries)
    {
        const qsizetype before = callback.writes.size();
        (kit.*ask)(entries);
        if (!runUntil([&] { return callback.writes.size() > before; }, 300.0, 0.25))
            return std::nullopt;
        return callback.writes.last();
    }
    std::shared_ptr<QVSyncElem> byFirstName(const QString& first)
    {
        for (const auto& elem : list.allElems()) {
            auto* engine = dynamic_cast<QVSyncEngineElem*>(elem.get());
            if (engine && engine->vxDict()
                && engine->vxDict()->mainObjectForKey(QStringLiteral("first name")).toString() == first)
                return elem;
        }
        return nullptr;
    }
    static QString keyOf(const QVariantMap& phonebook, const QString& first)
    {
        for (auto it = phonebook.cbegin(); it != phonebook.cend(); ++it)
            if (it.value().toMap().value(QStringLiteral("firstname")).toString() == first)
                return it.key();
        return {};
    }

    OutsideInputScope outside{0.05};
    ListTestDevice device;
    QVSyncElemList list{0, &device};
    std::unique_ptr<phonesim::PhoneSimulator> sim;
    KitListCallback callback;
    Kestrova kit;
};

} // namespace

TEST_P(ItemListKitEndToEndTest, ReadMergedChangesWrittenAndTheSecondReadMergesToNothing)
{
    ASSERT_TRUE(read().has_value()); // the phonebook is read once before writing
    ASSERT_TRUE(write({{QStringLiteral("T-1"), kitContact("Anna", "0301234")},
                       {QStringLiteral("T-2"), kitContact("Bert", "040")}})
                    .has_value());
    const auto first = read();
    ASSERT_TRUE(first.has_value());
    ASSERT_EQ(first->size(), 2);

    QVariantMap raw;
    const auto nothing = list.processMotorolaData(*first, false, raw);
    ASSERT_TRUE(nothing.has_value());
    EXPECT_TRUE(nothing->isEmpty());
    ASSERT_EQ(list.allCount(), 2);
    const auto anna = byFirstName(QStringLiteral("Anna"));
    ASSERT_NE(anna, nullptr);
    const QString annaSlot = anna->sourceURI();
    EXPECT_EQ(annaSlot, keyOf(*first, QStringLiteral("Anna")));

    // The desktop renames Anna and adds Cleo.
    const QString annaId = dynamic_cast<QVSyncEngineElem*>(anna.get())->elemUUID();
    list.processOneSyncEngineChange(
        SyncChange(SyncChange::Modify, annaId, {SyncChange::setChange(QStringLiteral("first name"), "Anne")}), nullptr,
        false);
    const QString cleoId = QStringLiteral("Tarnex:cleo");
    list.processOneSyncEngineChange(
        SyncChange(SyncChange::Add, cleoId,
                   {SyncChange::setChange(platform::ISyncRecordEntityNameKey, platform::entity::Contact),
                    SyncChange::setChange(QStringLiteral("first name"), "Cleo")},
                   {{platform::ISyncRecordEntityNameKey, platform::entity::Contact},
                    {QStringLiteral("first name"), QStringLiteral("Cleo")}}),
        nullptr, false);
    const QVariantMap number{{platform::ISyncRecordEntityNameKey, platform::entity::PhoneNumber},
                             {QStringLiteral("contact"), QVariantList{cleoId}},
                             {QStringLiteral("type"), QStringLiteral("mobile")},
                             {QStringLiteral("value"), QStringLiteral("0175555")}};
    QVariantList numberChanges;
    for (auto it = number.cbegin(); it != number.cend(); ++it)
        numberChanges.append(SyncChange::setChange(it.key(), it.value()));
    list.processOneSyncEngineChange(SyncChange(SyncChange::Add, QStringLiteral("Tarnex:cleo-1"), numberChanges, number),
                                    nullptr, false);
    const auto cleo = list.objectForUUID(cleoId);
    ASSERT_NE(cleo, nullptr);
    EXPECT_FALSE(cleo->isOnDevice());

    const auto entries = list.getMotorolaWriteData(raw);
    ASSERT_TRUE(entries.has_value());
    ASSERT_EQ(entries->size(), 2) << entries->keys().join(u' ').toStdString();
    EXPECT_TRUE(entries->contains(annaSlot));
    EXPECT_TRUE(entries->contains(QStringLiteral("T-0")));
    const auto answers = write(*entries);
    ASSERT_TRUE(answers.has_value());
    EXPECT_EQ(callback.writeCodes.last(), 0);
    list.finishMotorolaSession(*answers, callback.writeCodes.last(), raw);
    EXPECT_EQ(device.finished.back(), (std::pair<int, int>{0, 0}));

    // The phone holds the change and the new entry; the list the new slot.
    const auto second = read();
    ASSERT_TRUE(second.has_value());
    ASSERT_EQ(second->size(), 3);
    EXPECT_EQ(keyOf(*second, QStringLiteral("Anne")), annaSlot);
    const QString cleoSlot = keyOf(*second, QStringLiteral("Cleo"));
    ASSERT_FALSE(cleoSlot.isEmpty());
    EXPECT_EQ(cleo->sourceURI(), cleoSlot);
    EXPECT_FALSE(anna->isChanged());

    // The second read merges to nothing.
    const auto again = list.processMotorolaData(*second, false, raw);
    ASSERT_TRUE(again.has_value());
    EXPECT_TRUE(again->isEmpty()) << again->keys().join(u' ').toStdString();
    EXPECT_EQ(list.allCount(), 3);
    for (const auto& elem : list.allElems()) {
        EXPECT_TRUE(elem->isOnDevice()) << elem->sourceURI().toStdString();
        EXPECT_FALSE(elem->isChanged()) << elem->sourceURI().toStdString();
    }
}

TEST_P(ItemListKitEndToEndTest, CalendarReadMergedChangesWrittenAndTheSecondReadMergesToNothing)
{
    const QByteArray oldZone = qgetenv("TZ");
    qputenv("TZ", "Europe/Berlin");
    tzset();
    QVSyncElemList calendar(1, &device);
    const QDateTime start(QDate(2030, 3, 12), QTime(9, 0), Qt::LocalTime);
    const auto kitEvent = [&](const char* summary, int days) {
        return QVariantMap{{QStringLiteral("event"),
                            QVariantMap{{QStringLiteral("start date"), start.addDays(days)},
                                        {QStringLiteral("end date"), start.addDays(days).addSecs(3600)},
                                        {QStringLiteral("summary"), QLatin1String(summary)}}}};
    };
    ASSERT_TRUE(read(&Kestrova::getCalendarEntries).has_value());
    ASSERT_TRUE(write({{QStringLiteral("T-1"), kitEvent("Fair", 0)}, {QStringLiteral("T-2"), kitEvent("Dentist", 3)}},
                      &Kestrova::writeCalendarEntries)
                    .has_value());
    const auto first = read(&Kestrova::getCalendarEntries);
    ASSERT_TRUE(first.has_value());
    ASSERT_EQ(first->size(), 2);
    QVariantMap raw;
    ASSERT_TRUE(calendar.processMotorolaData(*first, false, raw).value_or(QVariantMap{{"x", 1}}).isEmpty());
    ASSERT_EQ(calendar.allCount(), 2);

    // The desktop renames the fair and adds a meeting.
    std::shared_ptr<QVSyncElem> fair;
    for (const auto& elem : calendar.allElems())
        if (auto* engine = dynamic_cast<QVSyncEngineElem*>(elem.get());
            engine && engine->vxDict()->mainObjectForKey(QStringLiteral("summary")) == QVariant(QStringLiteral("Fair")))
            fair = elem;
    ASSERT_NE(fair, nullptr);
    const QString fairSlot = fair->sourceURI();
    calendar.processOneSyncEngineChange(SyncChange(SyncChange::Modify,
                                                   dynamic_cast<QVSyncEngineElem*>(fair.get())->elemUUID(),
                                                   {SyncChange::setChange(QStringLiteral("summary"), "Book fair")}),
                                        nullptr, false);
    const QVariantMap meeting{{platform::ISyncRecordEntityNameKey, platform::entity::Event},
                              {QStringLiteral("summary"), QStringLiteral("Meeting")},
                              {QStringLiteral("start date"), start.addDays(5)},
                              {QStringLiteral("end date"), start.addDays(5).addSecs(1800)}};
    QVariantList meetingChanges;
    for (auto it = meeting.cbegin(); it != meeting.cend(); ++it)
        meetingChanges.append(SyncChange::setChange(it.key(), it.value()));
    calendar.processOneSyncEngineChange(
        SyncChange(SyncChange::Add, QStringLiteral("Tarnex:meeting"), meetingChanges, meeting), nullptr, false);
    const auto added = calendar.objectForUUID(QStringLiteral("Tarnex:meeting"));
    ASSERT_NE(added, nullptr);

    const auto entries = calendar.getMotorolaWriteData(raw);
    ASSERT_TRUE(entries.has_value());
    EXPECT_EQ(entries->size(), 2) << entries->keys().join(u' ').toStdString();
    const auto answers = write(*entries, &Kestrova::writeCalendarEntries);
    ASSERT_TRUE(answers.has_value());
    calendar.finishMotorolaSession(*answers, callback.writeCodes.last(), raw);

    const auto second = read(&Kestrova::getCalendarEntries);
    ASSERT_TRUE(second.has_value());
    ASSERT_EQ(second->size(), 3);
    EXPECT_EQ(second->value(fairSlot).toMap().value("event").toMap().value("summary"), QVariant("Book fair"));
    EXPECT_TRUE(added->isOnDevice()) << added->sourceURI().toStdString();
    EXPECT_TRUE(second->contains(added->sourceURI()));
    const auto again = calendar.processMotorolaData(*second, false, raw);
    ASSERT_TRUE(again.has_value());
    EXPECT_TRUE(again->isEmpty()) << again->keys().join(u' ').toStdString();
    EXPECT_EQ(calendar.allCount(), 3);

    if (oldZone.isNull())
        qunsetenv("TZ");
    else
        qputenv("TZ", oldZone);
    tzset();
}

INSTANTIATE_TEST_SUITE_P(Phonebooks, ItemListKitEndToEndTest,
                         ::testing::Values(KitPhone{"lg", "Protocol LG"},
                                           KitPhone{"motorola", "Protocol Motorola V3 Series"}),
                         [](const auto& info) { return std::string(info.param.profile); });
