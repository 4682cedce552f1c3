#include "formats/VXDictionary.h"

#include "platform/SyncChange.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QTimeZone>

#include <gtest/gtest.h>

TEST(VXDictionary, QuorvalisPrimaryKeys)
{
    const QRegularExpression form(QStringLiteral("^Tarnex:[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$"));
    const QString a = createQuorvalisPrimaryKey();
    const QString b = createQuorvalisPrimaryKey();
    EXPECT_EQ(a.size(), 43);
    EXPECT_TRUE(form.match(a).hasMatch()) << a.toStdString();
    EXPECT_TRUE(form.match(b).hasMatch()) << b.toStdString();
    EXPECT_NE(a, b);
    EXPECT_TRUE(createPrefixedPrimaryKey(QStringLiteral("X")).startsWith(QStringLiteral("X:")));
}

TEST(VXDictionary, StoredFormIsReadBackWithoutTemporaryFlagsAndIndependent)
{
    QVariantMap main{{QStringLiteral("phone numbers"), QVariantList{QStringLiteral("Tarnex:1")}}};
    QVariantMap stored{{VXDictionary::kMainDict, main},
                       {VXDictionary::kTempChangedFlag, true},
                       {VXDictionary::kTempDeletedFlag, false},
                       {VXDictionary::kUUID, QStringLiteral("Tarnex:A")}};
    VXDictionary vx = VXDictionary::vxDictionaryFromDict(stored);
    EXPECT_FALSE(vx.realDictionary().contains(VXDictionary::kTempChangedFlag));
    EXPECT_FALSE(vx.realDictionary().contains(VXDictionary::kTempDeletedFlag));
    EXPECT_FALSE(vx.hasChangedFlag());
    EXPECT_EQ(vx.count(), 2);

    QVariantMap& mainDict = vx.mainDict();
    QVariantList list = mainDict.value(QStringLiteral("phone numbers")).toList();
    list.append(QStringLiteral("Tarnex:2"));
    mainDict.insert(QStringLiteral("phone numbers"), list);
    EXPECT_EQ(vx.mainObjectForKey(QStringLiteral("phone numbers")).toList().size(), 2);
    EXPECT_EQ(stored.value(VXDictionary::kMainDict).toMap().value(QStringLiteral("phone numbers")).toList().size(), 1);

    // A copy is just as independent of its source.
    VXDictionary copy(vx);
    copy.mainDict().remove(QStringLiteral("phone numbers"));
    EXPECT_TRUE(vx.mainObjectForKey(QStringLiteral("phone numbers")).isValid());

    vx.createChangedFlag();
    EXPECT_TRUE(vx.hasChangedFlag());
    vx.removeChangedFlag();
    EXPECT_FALSE(vx.hasChangedFlag());
}

TEST(VXDictionary, SectionReferenceNeverReachesACopy)
{
    VXDictionary vx;
    vx.setMainObject(1, QStringLiteral("a"));
    QVariantMap& main = vx.mainDict();
    VXDictionary constructed(vx);
    VXDictionary assigned;
    assigned = vx;
    main.insert(QStringLiteral("b"), 2);
    EXPECT_TRUE(vx.mainObjectForKey(QStringLiteral("b")).isValid());
    for (VXDictionary* copy : {&constructed, &assigned}) {
        EXPECT_FALSE(copy->mainObjectForKey(QStringLiteral("b")).isValid());
        EXPECT_EQ(copy->mainObjectForKey(QStringLiteral("a")), QVariant(1));
    }
    // Nor does one taken from a copy reach its source.
    constructed.mainDict().insert(QStringLiteral("c"), 3);
    EXPECT_FALSE(vx.mainObjectForKey(QStringLiteral("c")).isValid());
}

TEST(VXDictionary, SectionsAreCreatedOnceAndNilRemoves)
{
    VXDictionary vx;
    EXPECT_EQ(vx.count(), 0);
    vx.mainDict().insert(QStringLiteral("first name"), QStringLiteral("Ann"));
    EXPECT_EQ(vx.count(), 1);
    EXPECT_EQ(vx.mainDict().value(QStringLiteral("first name")).toString(), QStringLiteral("Ann"));
    vx.otherDict();
    vx.deviceDict().insert(QStringLiteral("X-LG-ID"), 4);
    EXPECT_EQ(vx.count(), 3);
    EXPECT_EQ(vx.deviceObjectForKey(QStringLiteral("X-LG-ID")).toInt(), 4);
    vx.removeDeviceSpecifics();
    EXPECT_FALSE(vx.deviceObjectForKey(QStringLiteral("X-LG-ID")).isValid());

    // A damaged stored section that is no dictionary becomes an empty one.
    vx.setObject(QStringLiteral("junk"), VXDictionary::kOtherItems);
    EXPECT_TRUE(vx.otherDict().isEmpty());

    vx.setObject(QStringLiteral("17"), VXDictionary::kSourceURI);
    EXPECT_EQ(vx.sourceURI(), QStringLiteral("17"));
    EXPECT_TRUE(vx.description().contains(QStringLiteral("<SourceURI> = ")));
    vx.setObject(QVariant(), VXDictionary::kSourceURI);
    EXPECT_FALSE(vx.realDictionary().contains(VXDictionary::kSourceURI));
    EXPECT_TRUE(vx.sourceURI().isNull());

    vx.setMainObject(QVariant(), QStringLiteral("first name"));     // never stores nil
    EXPECT_EQ(vx.mainObjectForKey(QStringLiteral("first name")).toString(), QStringLiteral("Ann"));
    vx.removeMainObjectForKey(QStringLiteral("first name"));
    EXPECT_FALSE(vx.mainObjectForKey(QStringLiteral("first name")).isValid());
    // The description lists the keys present, and only those.
    EXPECT_TRUE(vx.description().contains(QStringLiteral("<Main-Dict> = ")));
    EXPECT_FALSE(vx.description().contains(QStringLiteral("SourceURI")));
}

TEST(VXDictionary, SentItems)
{
    VXDictionary vx;
    EXPECT_FALSE(vx.wasUUIDsent(QStringLiteral("a")));
    EXPECT_FALSE(vx.sentItems().isValid());
    vx.rememberSent(QStringLiteral("a"));
    vx.rememberSent(QStringLiteral("a"));
    EXPECT_EQ(vx.sentItems().toList().size(), 1);
    EXPECT_TRUE(vx.wasUUIDsent(QStringLiteral("a")));
    vx.resetSentItems();
    EXPECT_TRUE(vx.sentItems().isValid());
    EXPECT_TRUE(vx.sentItems().toList().isEmpty());
    EXPECT_FALSE(vx.wasUUIDsent(QStringLiteral("a")));
}

TEST(VXDictionary, Relations)
{
    VXDictionary vx;
    const QString phones = QStringLiteral("phone numbers");
    const QVariantList params{
        QVariantMap{{VXDictionary::kRelationKey, QStringLiteral("TYPE")}, {VXDictionary::kRelationValues, QVariantList{QStringLiteral("CELL")}}},
        QVariantMap{{VXDictionary::kRelationKey, QStringLiteral("CHARSET")}, {VXDictionary::kRelationValues, QVariantList{QStringLiteral("UTF-8")}}},
        QVariantMap{{VXDictionary::kRelationKey, QStringLiteral("encoding")}, {VXDictionary::kRelationValues, QVariantList{QStringLiteral("8BIT")}}},
        QStringLiteral("UTF-8"),
        QStringLiteral("HOME"),
    };
    vx.setRelation(params, phones, QStringLiteral("Tarnex:1"));
    vx.setRelation({}, QStringLiteral("URLs"), QStringLiteral("Tarnex:2"));
    const QVariantList stored = vx.getTheRelation(phones, QStringLiteral("Tarnex:1")).toList();
    ASSERT_EQ(stored.size(), 2);
    EXPECT_EQ(stored[0].toMap().value(VXDictionary::kRelationKey).toString(), QStringLiteral("TYPE"));
    EXPECT_EQ(stored[1].toMap().value(VXDictionary::kRelationKey).toString(), QStringLiteral("type"));
    EXPECT_EQ(stored[1].toMap().value(VXDictionary::kRelationValues).toList(), QVariantList{QStringLiteral("HOME")});
    EXPECT_TRUE(vx.realDictionary().contains(QStringLiteral("XXX-Relations-phone numbers")));
    EXPECT_FALSE(vx.getTheRelation(phones, QStringLiteral("Tarnex:9")).isValid());
    EXPECT_FALSE(vx.getRelations(QStringLiteral("email addresses")).isValid());

    // The list key alone names no section: nothing changes.
    vx.removeRelationForSubItem(QStringLiteral("Tarnex:1"), phones);
    EXPECT_TRUE(vx.getTheRelation(phones, QStringLiteral("Tarnex:1")).isValid());
    vx.removeRelationForSubItem(QStringLiteral("Tarnex:1"), QString());
    vx.removeRelationForSubItem(QStringLiteral("Tarnex:1"), QStringLiteral("XXX-Relations-phone numbers"));
    EXPECT_FALSE(vx.getTheRelation(phones, QStringLiteral("Tarnex:1")).isValid());

    vx.deleteRelation(QStringLiteral("email addresses"), QStringLiteral("x"));    // no section: nothing
    EXPECT_FALSE(vx.realDictionary().contains(QStringLiteral("XXX-Relations-email addresses")));

    vx.setOtherObject(QVariantMap{{QStringLiteral("value"), QStringLiteral("1")}}, QStringLiteral("Tarnex:1"));
    vx.deleteAllRelations();
    EXPECT_FALSE(vx.realDictionary().contains(QStringLiteral("XXX-Relations-phone numbers")));
    EXPECT_FALSE(vx.realDictionary().contains(QStringLiteral("XXX-Relations-URLs")));
    EXPECT_TRUE(vx.otherObjectForKey(QStringLiteral("Tarnex:1")).isValid());
}

TEST(VXDictionary, ChangesForRecordSetBirthdayAtNoonGMT)
{
    const QDateTime birthday(QDate(1970, 5, 3), QTime(0, 0), Qt::LocalTime);
    const QVariantMap record{{QStringLiteral("first name"), QStringLiteral("Ann")},
                             {QStringLiteral("birthday"), birthday},
                             {QStringLiteral("nothing"), QVariant()}};
    const QVariantList changes = makeChangesForRecord(record);
    ASSERT_EQ(changes.size(), 2);
    QVariantMap byName;
    for (const QVariant& change : changes) {
        const QVariantMap map = change.toMap();
        EXPECT_EQ(map.value(platform::ISyncChangePropertyActionKey).toString(), platform::ISyncChangePropertySet);
        byName.insert(map.value(platform::ISyncChangePropertyNameKey).toString(),
                      map.value(platform::ISyncChangePropertyValueKey));
    }
    EXPECT_EQ(byName.value(QStringLiteral("first name")).toString(), QStringLiteral("Ann"));
    EXPECT_EQ(byName.value(QStringLiteral("birthday")).toDateTime(),
              QDateTime(QDate(1970, 5, 3), QTime(12, 0), QTimeZone::utc()));
}

TEST(VXDictionary, LGAlarmOffsetSteps)
{
    const std::pair<long, long> cases[] = {
        {-5, -5}, {0, 0}, {1, 900}, {900, 900}, {901, 1800}, {1800, 1800}, {1801, 3600}, {3600, 3600},
        {3601, 86400}, {86400, 86400}, {86401, 259200}, {259200, 259200}, {259201, 604800}, {9999999, 604800},
    };
    for (const auto& [wanted, offered] : cases)
        EXPECT_EQ(lgAlarmOffset(wanted), offered) << wanted;
}
