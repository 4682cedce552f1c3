#include "RecordingLookup.h"

#include "syncmodel/QVSyncEngineElem.h"

#include "platform/Exception.h"
#include "platform/SyncChange.h"

#include <QDateTime>
#include <QMap>
#include <QUrl>

#include <gtest/gtest.h>

namespace {

const QString kLG = QStringLiteral("Protocol LG Test");
const QString kOther = QStringLiteral("Protocol Series 40");
const QString kCombi10 = QStringLiteral("Protocol Combi 10");
const QString kCombi5 = QStringLiteral("Protocol Combi 5");

class FakeLimits : public SyncDeviceLimits {
public:
    FakeLimits(QString protocol, long maxLastName, bool combi)
        : m_protocol(std::move(protocol)), m_maxLastName(maxLastName), m_combi(combi) {}
    QString protocol() const override { return m_protocol; }
    long nonNilValueFromDescription(const QString& key) const override
    {
        return key == QStringLiteral("SyncML.MaxLen_LastName") ? m_maxLastName : 0;
    }
    bool firstLastCombi() const override { return m_combi; }

private:
    QString m_protocol;
    long m_maxLastName;
    bool m_combi;
};

// An item class of the kind the contact and calendar items are: sub-records
// by id, field names that show the record's type, and a text rendering.
class TestElem : public QVSyncEngineElem {
public:
    using QVSyncEngineElem::QVSyncEngineElem;

    QString rendering;      // what the item renders for the phone (null: nothing)
    QString identity = QStringLiteral("id");
    int merges = 0;

    QVariantMap* getOrCreateDictForUUID(const QString& uuid) override
    {
        if (uuid == elemUUID())
            return QVSyncEngineElem::getOrCreateDictForUUID(uuid);
        if (!uuid.startsWith(QStringLiteral("Tarnex:sub")))
            return nullptr;
        QVariant& slot = vxDict()->otherDict()[uuid];
        if (slot.typeId() != QMetaType::QVariantMap)
            slot = QVariantMap();
        return static_cast<QVariantMap*>(slot.data());
    }
    QString getFieldName(const QVariantMap& record, const QString& key) const override
    {
        return QString(key + u':' + record.value(QStringLiteral("type")).toString());
    }
    QVariant getFormattedString(const QVariant& value, const QString& fieldName) const override
    {
        if (fieldName.startsWith(QStringLiteral("value:")))
            return QString(value.toString() + u'@' + fieldName);
        return value;
    }
    QString mainDictFieldForCommandType(const QString& listKey) const override { return listKey; }
    QVariant vxDataForDevice(const std::shared_ptr<SyncDeviceLimits>&) override
    {
        return rendering.isNull() ? QVariant() : QVariant(rendering);
    }
    QString getIdentityString() const override { return identity; }
    void mergeElement(QVSyncEngineElem&, SyncElemLookup*) override { ++merges; }
};

using Lookup = RecordingLookup;

QVariantMap setChange(const QString& name, const QVariant& value)
{
    return platform::SyncChange::setChange(name, value);
}

class SyncElemTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SyncDeviceLimits::setResolver([](const QString& protocol) -> std::shared_ptr<SyncDeviceLimits> {
            static const QMap<QString, std::shared_ptr<SyncDeviceLimits>> known{
                {kLG, std::make_shared<FakeLimits>(kLG, 0, false)},
                {kOther, std::make_shared<FakeLimits>(kOther, 0, false)},
                {kCombi10, std::make_shared<FakeLimits>(kCombi10, 10, true)},
                {kCombi5, std::make_shared<FakeLimits>(kCombi5, 5, true)},
            };
            return known.value(protocol);
        });
    }
    void TearDown() override { SyncDeviceLimits::setResolver({}); }

    std::shared_ptr<TestElem> item(const QString& protocol, const QString& uuid = QStringLiteral("Tarnex:main"))
    {
        return std::make_shared<TestElem>(nullptr, uuid, QStringLiteral("5"), protocol, QStringLiteral("Phone"),
                                          QString());
    }
};

} // namespace

TEST_F(SyncElemTest, OnDeviceStates)
{
    const std::pair<QString, bool> cases[] = {
        {QStringLiteral("T-5"), false}, {QStringLiteral("5"), true}, {QString(), false}, {QStringLiteral("T"), true}};
    for (const auto& [id, onDevice] : cases) {
        const auto raw = QVSyncElem::elemWithData(QStringLiteral("x"), id, QString(), QString(), QString());
        EXPECT_EQ(raw->isOnDevice(), onDevice) << id.toStdString();
        EXPECT_EQ(raw->isOnPhone(), onDevice);
        const auto engine = QVSyncEngineElem::elemWithDict(nullptr, QString(), id, QString(), QString(), QString());
        EXPECT_EQ(engine->isOnDevice(), onDevice) << id.toStdString();
    }
    const auto raw = QVSyncElem::elemWithData(QStringLiteral("x"), QStringLiteral("7"), QString(), QString(), QString());
    raw->setStateToNew(QStringLiteral("T-9"));
    EXPECT_FALSE(raw->isOnDevice());
    EXPECT_EQ(QVSyncElem::elemForDeletion(QStringLiteral("7"))->sourceURI(), QStringLiteral("7"));
    EXPECT_EQ(raw->description(), QStringLiteral("<QVSyncElem> SourceURI = T-9"));
    raw->resetItem();
    EXPECT_EQ(raw->description(), QStringLiteral("<QVSyncElem> SourceURI = --"));
}

TEST_F(SyncElemTest, ChangedFlagFollowsTheItemForm)
{
    auto elem = item(kOther);
    EXPECT_FALSE(elem->isChanged());
    elem->setChanged();
    EXPECT_TRUE(elem->isChanged());
    EXPECT_TRUE(elem->vxDict()->objectForKey(VXDictionary::kModified).toBool());
    elem->clearChanged();
    EXPECT_FALSE(elem->isChanged());
    EXPECT_FALSE(elem->vxDict()->realDictionary().contains(VXDictionary::kModified));

    VXDictionary modified;
    modified.setObject(true, VXDictionary::kModified);
    EXPECT_TRUE(QVSyncEngineElem::elemWithDict(&modified, QString(), QString(), QString(), QString(), QString())->isChanged());
}

TEST_F(SyncElemTest, SourceURIAndRecordIds)
{
    auto elem = item(kOther);
    EXPECT_EQ(elem->elemUUID(), QStringLiteral("Tarnex:main"));
    elem->setSourceURI(QStringLiteral("12"));
    EXPECT_EQ(elem->vxDict()->sourceURI(), QStringLiteral("12"));
    elem->setSourceURI(QString());
    EXPECT_FALSE(elem->vxDict()->realDictionary().contains(VXDictionary::kSourceURI));
    EXPECT_TRUE(elem->sourceURI().isNull());

    elem->setSourceURI(QStringLiteral("12"));
    elem->vxDict()->deviceDict().insert(QStringLiteral("X-A"), 1);
    elem->vxDict()->rememberSent(QStringLiteral("Tarnex:sub1"));
    elem->removeDeviceRelations();
    EXPECT_FALSE(elem->isOnDevice());
    EXPECT_FALSE(elem->vxDict()->deviceObjectForKey(QStringLiteral("X-A")).isValid());
    EXPECT_FALSE(elem->vxDict()->wasUUIDsent(QStringLiteral("Tarnex:sub1")));

    const auto zombie = QVSyncElem::elemWithData(QVariant(), QStringLiteral("44"), QString(), QString(), QString());
    elem->inheritedFromZombie(*zombie);
    EXPECT_EQ(elem->sourceURI(), QStringLiteral("44"));

    elem->resetItem();
    EXPECT_TRUE(elem->sourceURI().isNull());
    EXPECT_NE(elem->elemUUID(), QStringLiteral("Tarnex:main"));
    EXPECT_EQ(elem->elemUUID().size(), 43);
    EXPECT_EQ(elem->vxDict()->objectForKey(VXDictionary::kUUID).toString(), elem->elemUUID());
    elem->setElemUUID(QString());
    EXPECT_FALSE(elem->vxDict()->realDictionary().contains(VXDictionary::kUUID));
}

TEST_F(SyncElemTest, IdentCopyKeepsIdsAndIsDeep)
{
    auto elem = QVSyncEngineElem::elemWithDict(nullptr, QStringLiteral("Tarnex:A"), QStringLiteral("3"), kOther,
                                               QStringLiteral("Phone"), QStringLiteral("P"));
    elem->mainDict()->insert(QStringLiteral("first name"), QStringLiteral("Ann"));
    auto copy = std::dynamic_pointer_cast<QVSyncEngineElem>(elem->identCopy());
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->elemUUID(), QStringLiteral("Tarnex:A"));
    EXPECT_EQ(copy->sourceURI(), QStringLiteral("3"));
    EXPECT_EQ(copy->sourceParentURI(), QStringLiteral("P"));
    copy->mainDict()->insert(QStringLiteral("first name"), QStringLiteral("Bob"));
    EXPECT_EQ(elem->mainDict()->value(QStringLiteral("first name")).toString(), QStringLiteral("Ann"));
    EXPECT_EQ(elem->description(), QStringLiteral("<QVSyncEngineElem> SourceURI = 3"));
}

TEST_F(SyncElemTest, LGAlarmDurationsAreStepped)
{
    const std::pair<int, int> cases[] = {{-1000, -1800}, {-900, -900}, {700000, 604800}, {0, 0}, {1, 900}};
    for (const auto& [given, stored] : cases) {
        auto lg = item(kLG);
        EXPECT_TRUE(lg->processSyncEngineChange(QStringLiteral("Tarnex:main"),
                                                setChange(QStringLiteral("triggerduration"), given)));
        EXPECT_EQ(lg->mainDict()->value(QStringLiteral("triggerduration")).toInt(), stored) << given;
    }
    auto other = item(kOther);
    other->processSyncEngineChange(QStringLiteral("Tarnex:main"), setChange(QStringLiteral("triggerduration"), -1000));
    EXPECT_EQ(other->mainDict()->value(QStringLiteral("triggerduration")).toInt(), -1000);
}

TEST_F(SyncElemTest, LGTriggerDateKeepsItsSide)
{
    const QDateTime start(QDate(2026, 3, 1), QTime(10, 0), Qt::UTC);
    const std::pair<qint64, qint64> cases[] = {{-1000, -1800}, {-60, -900}, {100, 900}, {-700000, -604800}, {0, 0}};
    for (const auto& [given, stored] : cases) {
        auto lg = item(kLG);
        lg->mainDict()->insert(QStringLiteral("start date"), start);
        lg->processSyncEngineChange(QStringLiteral("Tarnex:main"),
                                    setChange(QStringLiteral("triggerdate"), start.addSecs(given)));
        EXPECT_EQ(lg->mainDict()->value(QStringLiteral("triggerdate")).toDateTime(), start.addSecs(stored)) << given;
    }
    // Without a start the value stays; a value that is no date becomes the start.
    auto noStart = item(kLG);
    noStart->processSyncEngineChange(QStringLiteral("Tarnex:main"),
                                     setChange(QStringLiteral("triggerdate"), start.addSecs(-1000)));
    EXPECT_EQ(noStart->mainDict()->value(QStringLiteral("triggerdate")).toDateTime(), start.addSecs(-1000));
    auto notDate = item(kLG);
    notDate->mainDict()->insert(QStringLiteral("start date"), start);
    notDate->processSyncEngineChange(QStringLiteral("Tarnex:main"), setChange(QStringLiteral("triggerdate"), 5));
    EXPECT_EQ(notDate->mainDict()->value(QStringLiteral("triggerdate")).toDateTime(), start);
}

TEST_F(SyncElemTest, DateOnlyDueDateReturnsToMidnight)
{
    const QDateTime noon(QDate(2026, 4, 2), QTime(12, 0), Qt::LocalTime);
    const QDateTime halfPast(QDate(2026, 4, 2), QTime(12, 30), Qt::LocalTime);
    struct Case {
        bool dateOnly;
        QDateTime given;
        QDateTime stored;
    };
    const Case cases[] = {
        {true, noon, noon.addSecs(-12 * 3600)},
        {true, halfPast, halfPast},        // a task due at 12:30 keeps its time
        {false, noon, noon},               // a timed task due at noon keeps it
    };
    for (const Case& c : cases) {
        auto task = item(kOther);
        platform::SyncChange change(platform::SyncChange::Modify, QStringLiteral("Tarnex:main"),
                                    {setChange(QStringLiteral("due date"), c.given),
                                     setChange(QStringLiteral("due date is date only"), c.dateOnly)});
        EXPECT_EQ(task->processISyncChange(change, true), 0);
        EXPECT_EQ(task->mainDict()->value(QStringLiteral("due date")).toDateTime(), c.stored)
            << c.dateOnly << " " << c.given.toString().toStdString();
    }
    // The flag already stored in the item counts as well.
    auto stored = item(kOther);
    stored->mainDict()->insert(QStringLiteral("due date is date only"), true);
    stored->processSyncEngineChange(QStringLiteral("Tarnex:main"), setChange(QStringLiteral("due date"), noon));
    EXPECT_EQ(stored->mainDict()->value(QStringLiteral("due date")).toDateTime(), noon.addSecs(-12 * 3600));
}

TEST_F(SyncElemTest, SetAndClearChanges)
{
    auto elem = item(kOther);
    elem->mainDict()->insert(QStringLiteral("notes"), QStringLiteral("n"));
    const QVariantMap nilValue = platform::SyncChange::propertyChange(platform::ISyncChangePropertySet, QStringLiteral("notes"));
    EXPECT_FALSE(elem->processSyncEngineChange(QStringLiteral("Tarnex:main"), nilValue));
    EXPECT_EQ(elem->mainDict()->value(QStringLiteral("notes")).toString(), QStringLiteral("n"));
    EXPECT_FALSE(elem->isChanged());
    QVariantMap noName{{platform::ISyncChangePropertyActionKey, platform::ISyncChangePropertyClear}};
    EXPECT_FALSE(elem->processSyncEngineChange(QStringLiteral("Tarnex:main"), noName));

    EXPECT_TRUE(elem->processSyncEngineChange(QStringLiteral("Tarnex:main"),
                                              platform::SyncChange::clearChange(QStringLiteral("notes"))));
    EXPECT_FALSE(elem->mainDict()->contains(QStringLiteral("notes")));
    EXPECT_TRUE(elem->isChanged());

    // A change for a sub-record the item does not know changes nothing.
    EXPECT_FALSE(elem->processSyncEngineChange(QStringLiteral("Tarnex:unknown"), setChange(QStringLiteral("x"), 1)));

    EXPECT_TRUE(elem->processSyncEngineChange(QStringLiteral("Tarnex:main"),
                                              setChange(QStringLiteral("URL"), QUrl(QStringLiteral("http://a.b/c d")))));
    EXPECT_EQ(elem->mainDict()->value(QStringLiteral("URL")).toUrl(), QUrl(QStringLiteral("http://a.b/c d")));
    EXPECT_TRUE(elem->processSyncEngineChange(QStringLiteral("Tarnex:main"), setChange(QStringLiteral("n"), 3)));
    EXPECT_EQ(elem->mainDict()->value(QStringLiteral("n")).toInt(), 3);
}

TEST_F(SyncElemTest, ValueChangesComeAfterTheType)
{
    auto elem = item(kOther);
    platform::SyncChange change(platform::SyncChange::Modify, QStringLiteral("Tarnex:sub1"),
                                {setChange(QStringLiteral("value"), QStringLiteral("555")),
                                 setChange(QStringLiteral("type"), QStringLiteral("mobile"))});
    EXPECT_EQ(elem->processISyncChange(change, true), 0);
    const QVariantMap sub = elem->otherItem(QStringLiteral("Tarnex:sub1")).toMap();
    EXPECT_EQ(sub.value(QStringLiteral("type")).toString(), QStringLiteral("mobile"));
    EXPECT_EQ(sub.value(QStringLiteral("value")).toString(), QStringLiteral("555@value:mobile"));
    EXPECT_FALSE(elem->isChanged());
    elem->processISyncChange(platform::SyncChange(platform::SyncChange::Modify, QStringLiteral("Tarnex:main"), {}), false);
    EXPECT_TRUE(elem->isChanged());
}

TEST_F(SyncElemTest, FirstAndLastNameShareOneField)
{
    struct Case {
        QString protocol;
        QVariant firstAfter;
    };
    const Case cases[] = {
        {kCombi10, QStringLiteral("Alexa")},
        {kCombi5, QVariant()},
        {kOther, QStringLiteral("Alexander")},
    };
    for (const Case& c : cases) {
        auto elem = item(c.protocol);
        elem->processSyncEngineChange(QStringLiteral("Tarnex:main"), setChange(QStringLiteral("first name"), QStringLiteral("Alexander")));
        elem->processSyncEngineChange(QStringLiteral("Tarnex:main"), setChange(QStringLiteral("last name"), QStringLiteral("Smith")));
        EXPECT_EQ(elem->mainDict()->value(QStringLiteral("first name")), c.firstAfter) << c.protocol.toStdString();
        EXPECT_EQ(elem->mainDict()->value(QStringLiteral("last name")).toString(), QStringLiteral("Smith"));
    }
}

TEST_F(SyncElemTest, RenderingsCompareLineByLineInAnyOrder)
{
    auto a = item(kOther);
    auto b = item(kOther);
    a->rendering = QStringLiteral("BEGIN:VCARD\r\nN:x\r\nTEL:1\r\nEND:VCARD");
    b->rendering = QStringLiteral("BEGIN:VCARD\r\nTEL:1\r\nN:x\r\nEND:VCARD");
    EXPECT_FALSE(a->isDifferent(*b, nullptr));
    b->rendering = QStringLiteral("BEGIN:VCARD\r\nTEL:1\r\nN:x\r\nTEL:2\r\nEND:VCARD");
    EXPECT_TRUE(a->isDifferent(*b, nullptr));
    b->rendering = QString();
    EXPECT_TRUE(a->isDifferent(*b, nullptr));

    const auto raw1 = QVSyncElem::elemWithData(QStringLiteral("x"), QString(), QString(), QString(), QString());
    const auto raw2 = QVSyncElem::elemWithData(QStringLiteral("x"), QString(), QString(), QString(), QString());
    EXPECT_FALSE(raw1->isDifferent(*raw2, nullptr));
}

TEST_F(SyncElemTest, DisplayDataIdentityAndSearch)
{
    auto elem = QVSyncEngineElem::elemWithDict(nullptr, QString(), QString(), QString(), QString(), QString());
    QStringList labels{QStringLiteral("old")};
    QStringList contents;
    QList<quint32> codes;
    EXPECT_TRUE(elem->getFullDisplayData(labels, contents, codes));
    EXPECT_EQ(labels, QStringList{QStringLiteral("Type")});
    EXPECT_EQ(contents, QStringList{QStringLiteral("QVSyncEngineElem-Item")});
    EXPECT_EQ(codes, QList<quint32>{0x656C656Du});
    try {
        (void)elem->getIdentityString();
        ADD_FAILURE() << "no exception";
    } catch (const platform::Exception& e) {
        EXPECT_EQ(e.name(), QStringLiteral("Unimplemented function error"));
        EXPECT_TRUE(e.reason().startsWith(QStringLiteral("### You must implement")));
    }
    EXPECT_FALSE(elem->satisfiesSearchString(QStringLiteral("a")));
}

TEST_F(SyncElemTest, SubItemsAndGroups)
{
    auto elem = item(kOther);
    const QString phones = QStringLiteral("phone numbers");
    elem->addSubItem({{QStringLiteral("value"), QStringLiteral("1")}}, QStringLiteral("Tarnex:sub1"), phones);
    elem->addSubItem({{QStringLiteral("value"), QStringLiteral("2")}}, QStringLiteral("Tarnex:sub2"), phones);
    elem->addSubItem({{QStringLiteral("value"), QStringLiteral("2b")}}, QStringLiteral("Tarnex:sub2"), phones);
    EXPECT_EQ(elem->mainDict()->value(phones).toList().size(), 2);
    EXPECT_EQ(elem->getSubItems(phones).toList().size(), 2);
    EXPECT_FALSE(elem->getSubItems(QStringLiteral("URLs")).isValid());
    EXPECT_EQ(elem->recordForUUID(QStringLiteral("Tarnex:sub2")).toMap().value(QStringLiteral("value")).toString(),
              QStringLiteral("2b"));

    elem->adjustSubList(phones, QVariantList{QStringLiteral("Tarnex:sub2")});
    EXPECT_FALSE(elem->otherItem(QStringLiteral("Tarnex:sub1")).isValid());
    EXPECT_TRUE(elem->otherItem(QStringLiteral("Tarnex:sub2")).isValid());
    EXPECT_TRUE(elem->isChanged());

    elem->otherDict()->insert(QStringLiteral("Tarnex:sub3"),
                              QVariantMap{{platform::ISyncRecordEntityNameKey, platform::entity::URL}});
    EXPECT_TRUE(elem->removeItemsForEntity(platform::entity::URL));
    EXPECT_FALSE(elem->removeItemsForEntity(platform::entity::URL));

    elem->clearChanged();
    elem->deleteGroupRelation(QStringLiteral("G1"));
    EXPECT_FALSE(elem->isChanged());                // no group list: nothing
    elem->addGroupRelation(QStringLiteral("G1"));
    elem->addGroupRelation(QStringLiteral("G1"));
    EXPECT_EQ(elem->vxDict()->objectForKey(VXDictionary::kGroups).toList().size(), 1);
    EXPECT_TRUE(elem->isChanged());
    elem->setProperty(0);
    elem->clearGroupsOrCalendar();
    EXPECT_TRUE(elem->vxDict()->objectForKey(VXDictionary::kGroups).toList().isEmpty());

    QVariantList records;
    elem->addRecordToList(records);
    ASSERT_EQ(records.size(), 1);
    EXPECT_EQ(records[0].toMap().value(QStringLiteral("Record-ID")).toString(), QStringLiteral("Tarnex:main"));
    EXPECT_EQ(elem->getAllElementUUIDs(), QStringList{QStringLiteral("Tarnex:main")});
}

TEST_F(SyncElemTest, FillingMergesIntoAnItemOfTheSameIdentity)
{
    VXDictionary form;
    form.setObject(QStringLiteral("Tarnex:F"), VXDictionary::kUUID);
    form.mainDict().insert(QStringLiteral("first name"), QStringLiteral("Ann"));

    Lookup lookup;
    auto fresh = item(kOther, QString());
    std::shared_ptr<QVSyncElem> result;
    EXPECT_TRUE(fresh->fillFromVXDictionary(form, &lookup, QStringLiteral("9"), QString(), true, &result));
    EXPECT_EQ(result, fresh);
    EXPECT_EQ(fresh->sourceURI(), QStringLiteral("9"));
    EXPECT_EQ(fresh->elemUUID(), QStringLiteral("Tarnex:F"));

    auto existing = item(kOther, QStringLiteral("Tarnex:E"));
    existing->identity = QStringLiteral("ID");
    lookup.found = existing;
    auto second = item(kOther, QString());
    EXPECT_FALSE(second->fillFromVXDictionary(form, &lookup, QString(), QString(), true, &result));
    EXPECT_EQ(result, existing);
    EXPECT_EQ(existing->merges, 1);
    auto third = item(kOther, QString());
    EXPECT_TRUE(third->fillFromVXDictionary(form, &lookup, QString(), QString(), false, &result));
    EXPECT_EQ(result, third);
}
