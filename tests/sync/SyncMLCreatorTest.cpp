#include "SyncMLCreatorTestSupport.h"

#include <QRegularExpression>
#include <QXmlStreamReader>

namespace {

using syncmltest::childTags;
using syncmltest::FakeSyncMLSession;
using syncmltest::textItem;

QString creatorTestText(const SyncMLCreatorNode* node)
{
    return node ? node->textContent() : QStringLiteral("<missing>");
}

TEST(SyncMLCreator, ChunksCarryTheSizeFirstAndMoreDataUntilTheLast)
{
    FakeSyncMLSession session;
    const auto item = textItem(QString(3000, QLatin1Char('x')));
    struct Case {
        long start;
        long requested;
        long taken;
        bool size;
        bool moreData;
    };
    const Case cases[] = {
        {0, 1000, 1000, true, true}, {1000, 1000, 1000, false, true}, {2000, 1500, 1000, false, false}};
    for (const Case& c : cases) {
        long chunk = c.requested;
        const auto add = session.creator.createPartialAddReplaceCommand(*item, c.start, chunk, QStringLiteral("7"), 0,
                                                                        true, 3000);
        ASSERT_TRUE(add) << c.start;
        EXPECT_EQ(chunk, c.taken) << c.start;
        EXPECT_EQ(childTags(*add), (QStringList{"CmdID", "Meta", "Item"})) << c.start;
        const SyncMLCreatorNode* element = add->child(QStringLiteral("Item"));
        EXPECT_EQ(element->find(QStringLiteral("Meta/Size")) != nullptr, c.size) << c.start;
        if (c.size)
            EXPECT_EQ(creatorTestText(element->find(QStringLiteral("Meta/Size"))), QStringLiteral("3000"));
        EXPECT_EQ(element->child(QStringLiteral("MoreData")) != nullptr, c.moreData) << c.start;
        EXPECT_EQ(creatorTestText(element->child(QStringLiteral("Data"))).size(), c.taken);
        EXPECT_EQ(creatorTestText(element->find(QStringLiteral("Source/LocURI"))), QStringLiteral("7"));
    }
    EXPECT_EQ(item->sourceURI(), QStringLiteral("7"));

    // A chunk never ends between the two halves of a character outside the
    // basic plane: it ends before the character.
    const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80");
    const auto wide = textItem(QString(3, QLatin1Char('x')) + emoji + QStringLiteral("yy"));
    long chunk = 4;
    const auto first = session.creator.createPartialAddReplaceCommand(*wide, 0, chunk, QStringLiteral("8"), 0, true, 7);
    ASSERT_TRUE(first);
    EXPECT_EQ(chunk, 3);
    EXPECT_EQ(creatorTestText(first->find(QStringLiteral("Item/Data"))), QStringLiteral("xxx"));
    chunk = 4;
    const auto second = session.creator.createPartialAddReplaceCommand(*wide, 3, chunk, QStringLiteral("8"), 0, true, 7);
    ASSERT_TRUE(second);
    EXPECT_EQ(creatorTestText(second->find(QStringLiteral("Item/Data"))), emoji + QStringLiteral("yy"));
}

TEST(SyncMLCreator, SyncAlertsCarryLastOnlyAfterAnEarlierSyncAndNextBecomesThisAnchor)
{
    FakeSyncMLSession session;
    const auto first = session.creator.createAlertSyncSlow(0);
    EXPECT_EQ(creatorTestText(first->child(QStringLiteral("Data"))), QStringLiteral("201"));
    const SyncMLCreatorNode* anchor = first->find(QStringLiteral("Item/Meta/Anchor"));
    ASSERT_TRUE(anchor);
    EXPECT_EQ(childTags(*anchor), QStringList{"Next"});
    EXPECT_EQ(anchor->attribute(QStringLiteral("xmlns")), QStringLiteral("syncml:metinf"));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d{8}T\\d{6}Z$")).match(session.thisDZTime).hasMatch())
        << session.thisDZTime.toStdString();
    EXPECT_EQ(creatorTestText(anchor->child(QStringLiteral("Next"))), session.thisDZTime);
    EXPECT_EQ(creatorTestText(first->find(QStringLiteral("Item/Meta/Type"))), QStringLiteral("text/x-vcard"));

    session.lastDZTime = QStringLiteral("20260101T101010Z");
    const auto again = session.creator.createAlertSyncFast(0);
    EXPECT_EQ(creatorTestText(again->child(QStringLiteral("Data"))), QStringLiteral("200"));
    const SyncMLCreatorNode* both = again->find(QStringLiteral("Item/Meta/Anchor"));
    EXPECT_EQ(childTags(*both), (QStringList{"Last", "Next"}));
    EXPECT_EQ(creatorTestText(both->child(QStringLiteral("Last"))), session.lastDZTime);
}

TEST(SyncMLCreator, NumberOfChangesOnlyWhenThePhoneTakesItAndChangesAreCounted)
{
    struct Case {
        const char* protocol;
        long changes;
        const char* expected; // null: no element
    };
    const Case cases[] = {
        {"Plain Test", -1, nullptr}, {"Plain Test", 0, "0"}, {"Plain Test", 12, "12"}, {"Old Test", 12, nullptr}};
    for (const Case& c : cases) {
        FakeSyncMLSession session{QLatin1String(c.protocol)};
        const auto sync = session.creator.createSyncNothing(c.changes, 0);
        const SyncMLCreatorNode* number = sync->child(QStringLiteral("NumberOfChanges"));
        if (c.expected)
            EXPECT_EQ(creatorTestText(number), QLatin1String(c.expected)) << c.protocol << c.changes;
        else
            EXPECT_FALSE(number) << c.protocol << c.changes;
        EXPECT_EQ(creatorTestText(sync->find(QStringLiteral("Target/LocURI"))), QStringLiteral("./contacts"));
    }
    FakeSyncMLSession session;
    const auto tasks = session.creator.createSyncNothing(1, 6);
    EXPECT_EQ(creatorTestText(tasks->find(QStringLiteral("Target/LocURI"))), QStringLiteral("dev-6"));
    EXPECT_EQ(creatorTestText(tasks->find(QStringLiteral("Source/LocURI"))), QStringLiteral("my-6"));
}

TEST(SyncMLCreator, MessagesNameTheirVersionAndHeaderInOrder)
{
    for (const auto& [protocol, xmlns, version] :
         {std::tuple{"Old Test", "syncml:SYNCML1.1", "1.1"}, std::tuple{"Plain Test", "syncml:SYNCML1.2", "1.2"}}) {
        FakeSyncMLSession session{QLatin1String(protocol)};
        const auto message = session.creator.createNewMessage();
        const SyncMLCreatorNode* syncML = message->child(QStringLiteral("SyncML"));
        ASSERT_TRUE(syncML);
        EXPECT_EQ(syncML->attribute(QStringLiteral("xmlns")), QLatin1String(xmlns));
        EXPECT_EQ(childTags(*syncML), (QStringList{"SyncHdr", "SyncBody"}));
        const SyncMLCreatorNode* header = syncML->child(QStringLiteral("SyncHdr"));
        EXPECT_EQ(childTags(*header), (QStringList{"VerDTD", "VerProto", "SessionID", "MsgID", "Target", "Source"}));
        EXPECT_EQ(creatorTestText(header->child(QStringLiteral("VerProto"))), QStringLiteral("SyncML/") + version);
        EXPECT_EQ(creatorTestText(header->child(QStringLiteral("MsgID"))), QStringLiteral("1"));
        EXPECT_TRUE(message->xmlData().startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?><SyncML xmlns=\""));
    }
}

TEST(SyncMLCreator, DeviceInformationListsTheDataStoresThePhoneUses)
{
    struct Case {
        const char* protocol;
        int property;
        QStringList stores;
        int ctCaps;
    };
    const Case cases[] = {
        {"Plain Test", -1, {"Calendar", "Contacts", "Notes", "Bookmarks", "sms"}, 0},
        {"Protocol Series 40 Test", -1, {"Calendars", "Contacts", "Notes", "Bookmarks", "sms"}, 5},
        {"Protocol Series 40 Test", 1, {"Calendars"}, 1},
        {"Samsung Test", -1, {"Events", "Tasks", "Contacts", "Notes", "Bookmarks", "sms"}, 5},
        {"Samsung Test", 1, {}, 1},
        {"Samsung Test", 6, {"Tasks"}, 1},
    };
    for (const Case& c : cases) {
        FakeSyncMLSession session{QLatin1String(c.protocol)};
        const auto put = session.creator.createDeviceInfoPut(QStringLiteral("./devinf12"), c.property);
        EXPECT_EQ(creatorTestText(put->find(QStringLiteral("Meta/Type"))),
                  QStringLiteral("application/vnd.syncml-devinf+wbxml"));
        const SyncMLCreatorNode* devInf = put->find(QStringLiteral("Item/Data/DevInf"));
        ASSERT_TRUE(devInf);
        EXPECT_EQ(creatorTestText(devInf->child(QStringLiteral("Man"))), QStringLiteral("quorvalis"));
        EXPECT_EQ(creatorTestText(devInf->child(QStringLiteral("Mod"))), QStringLiteral("Dorvanti"));
        EXPECT_EQ(creatorTestText(devInf->child(QStringLiteral("DevTyp"))), QStringLiteral("Server"));
        QStringList stores;
        for (const SyncMLCreatorNode* store : devInf->childrenNamed(QStringLiteral("DataStore"))) {
            stores << creatorTestText(store->child(QStringLiteral("SourceRef")));
            EXPECT_EQ(childTags(*store), (QStringList{"SourceRef", "DisplayName", "Rx-Pref", "Tx-Pref", "SyncCap"}));
            EXPECT_EQ(childTags(*store->child(QStringLiteral("SyncCap"))),
                      (QStringList{"SyncType", "SyncType", "SyncType"}));
        }
        EXPECT_EQ(stores, c.stores) << c.protocol << " " << c.property;
        EXPECT_EQ(int(devInf->childrenNamed(QStringLiteral("CTCap")).size()), c.ctCaps) << c.protocol << c.property;
    }
    FakeSyncMLSession samsung(QStringLiteral("Samsung Test"));
    const auto notes = samsung.creator.createDeviceInfoResult(QStringLiteral("3"), QStringLiteral("./devinf12"), 2);
    EXPECT_EQ(childTags(*notes), (QStringList{"CmdID", "MsgRef", "CmdRef", "Meta", "Item"}));
    const SyncMLCreatorNode* ctCap = notes->find(QStringLiteral("Item/Data/DevInf/CTCap"));
    ASSERT_TRUE(ctCap);
    EXPECT_EQ(creatorTestText(ctCap->child(QStringLiteral("CTType"))), QStringLiteral("text/vnote"));
    EXPECT_EQ(childTags(*ctCap).mid(0, 4), (QStringList{"CTType", "PropName", "ValEnum", "DisplayName"}));
}

TEST(SyncMLCreator, ServerAlertedNotificationsComeFromTheTable)
{
    FakeSyncMLSession session;
    const QByteArray contacts = session.creator.createSanMessage(0);
    const QByteArray expected = QByteArray(16, '\0')
        + QByteArray::fromHex("0318000000"
                              "0100"
                              "05")
        + "iSync"
        + QByteArray::fromHex("10"
                              "60000007"
                              "08")
        + "Contacts";
    EXPECT_EQ(contacts.size(), 43);
    EXPECT_EQ(contacts.toHex(), expected.toHex());

    const QByteArray sms = session.creator.createSanMessage(4);
    EXPECT_EQ(sms.right(4).toHex(), QByteArray(QByteArray("\x03") + "SMS").toHex());
    const QByteArray calendar = session.creator.createSanMessage(1);
    EXPECT_EQ(calendar.mid(29).toHex(),
              QByteArray(QByteArray::fromHex("20"
                                             "60000006"
                                             "06")
                         + "Events"
                         + QByteArray::fromHex("60000006"
                                               "05")
                         + "Tasks")
                  .toHex());
    EXPECT_TRUE(session.creator.createSanMessage(7).isEmpty());

    session.serverName = QStringLiteral("xSync");
    EXPECT_EQ(session.creator.createSanMessage(0).mid(24, 5), QByteArray("xSync"));

    FakeSyncMLSession series40(QStringLiteral("Protocol Series 40 Test"));
    EXPECT_EQ(series40.creator.createSanMessage(0).mid(16, 2).toHex(), QByteArray("0310"));
    EXPECT_EQ(series40.creator.createSanMessage(2).mid(16, 2).toHex(), QByteArray("0318"));
}

TEST(SyncMLCreator, ItemTextComesBackUnchangedThroughTheXml)
{
    // (An XML reader turns CR LF into LF; the WBXML keeps them, see WBXMLConverterTest.)
    const QString note = QStringLiteral("BEGIN:VNOTE\nBODY:a]]>b <c> & \u00e9 ]]]]> end\nEND:VNOTE");
    FakeSyncMLSession session;
    auto message = session.creator.createNewMessage();
    const auto item = textItem(note);
    SyncMLCreatorNode* body = message->find(QStringLiteral("SyncML/SyncBody"));
    body->addChild(session.creator.createAddReplaceCommand(*item, QStringLiteral("T-0"), 2, true));

    QXmlStreamReader reader(message->xmlData());
    QString data;
    while (!reader.atEnd())
        if (reader.readNext() == QXmlStreamReader::StartElement && reader.name() == QLatin1String("Data"))
            data = reader.readElementText();
    EXPECT_FALSE(reader.hasError()) << reader.errorString().toStdString();
    EXPECT_EQ(data, note);
}

TEST(SyncMLCreator, ControlCharactersXmlCannotCarryAreLeftOut)
{
    const QString note = QStringLiteral("BEGIN:VNOTE\nBODY:a\u0001b\u001bc\td\r\nEND:VNOTE");
    FakeSyncMLSession session;
    auto message = session.creator.createNewMessage();
    SyncMLCreatorNode* body = message->find(QStringLiteral("SyncML/SyncBody"));
    body->addChild(session.creator.createAddReplaceCommand(*textItem(note), QStringLiteral("T-0"), 2, true));

    QXmlStreamReader reader(message->xmlData());
    QString data;
    while (!reader.atEnd())
        if (reader.readNext() == QXmlStreamReader::StartElement && reader.name() == QLatin1String("Data"))
            data = reader.readElementText();
    EXPECT_FALSE(reader.hasError()) << reader.errorString().toStdString();
    EXPECT_EQ(data, QStringLiteral("BEGIN:VNOTE\nBODY:abc\td\nEND:VNOTE")); // the reader turns CR LF into LF
}

TEST(SyncMLCreator, AddAndReplaceNameTheItemWhereThePhoneExpectsIt)
{
    FakeSyncMLSession plain;
    const auto item = textItem(QStringLiteral("BEGIN:VCARD"), QStringLiteral("42"));
    const auto replace = plain.creator.createAddReplaceCommand(*item, item->sourceURI(), 0, false);
    EXPECT_EQ(replace->tag(), QStringLiteral("Replace"));
    EXPECT_EQ(childTags(*replace->child(QStringLiteral("Item"))), (QStringList{"Target", "Meta", "Data"}));
    EXPECT_FALSE(plain.creator.createAddReplaceCommand(*textItem(QString()), QStringLiteral("T-1"), 0, true));

    FakeSyncMLSession samsung(QStringLiteral("Samsung Test"));
    const auto add = samsung.creator.createAddReplaceCommand(*item, QStringLiteral("T-3"), 2, true);
    EXPECT_EQ(childTags(*add), (QStringList{"CmdID", "Meta", "Item"}));
    EXPECT_EQ(creatorTestText(add->find(QStringLiteral("Meta/Type"))), QStringLiteral("text/vnote"));
    EXPECT_EQ(childTags(*add->child(QStringLiteral("Item"))), (QStringList{"Source", "Data"}));
    EXPECT_EQ(item->sourceURI(), QStringLiteral("T-3"));

    const auto deletion = plain.creator.createDeleteCommand(*item, 0);
    EXPECT_EQ(creatorTestText(deletion->find(QStringLiteral("Item/Target/LocURI"))), QStringLiteral("T-3"));
}

TEST(SyncMLCreator, PackageZeroAlertsEachCalendarDatabaseAndRemembersThem)
{
    FakeSyncMLSession session(QStringLiteral("Samsung Test"));
    const auto message = session.creator.createAlarmPacket0(206, 1);
    const SyncMLCreatorNode* body = message->find(QStringLiteral("SyncML/SyncBody"));
    EXPECT_EQ(childTags(*body), (QStringList{"Alert", "Alert", "Final"}));
    EXPECT_EQ(session.remembered.size(), 2);
    EXPECT_EQ(creatorTestText(body->find(QStringLiteral("Alert/Item/Target/LocURI"))), QStringLiteral("Events"));

    const auto samsung = session.creator.createAlarmPacket0Samsung(206, 1);
    const SyncMLCreatorNode* alert = samsung->find(QStringLiteral("SyncML/SyncBody/Alert"));
    EXPECT_EQ(childTags(*alert), (QStringList{"CmdID", "Data", "Item", "Item"}));
    EXPECT_EQ(session.remembered.size(), 3);
}

} // namespace
