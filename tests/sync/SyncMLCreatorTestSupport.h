#pragma once

// A SyncML session as the message builder and the outgoing queue see it,
// over the sync descriptions of a small test device database.
#include "DeviceDBTestSupport.h"

#include "device/QVSyncDeviceDB.h"
#include "device/QVSyncDeviceDescription.h"
#include "device/SyncDescriptionServer.h"
#include "device/qvDeviceDB.h"
#include "foundation/NamedLog.h"
#include "sync/QVSyncObjectsSession.h"
#include "sync/SyncMLCreator.h"
#include "sync/SyncMLCreatorSession.h"
#include "syncmodel/QVSyncElem.h"

#include <QFile>
#include <QStringList>

#include <gtest/gtest.h>

#include <memory>

namespace syncmltest {

inline const char kSyncMLRows[] = R"SQL(
INSERT INTO SyncML (SyncMLProtocol, SyncMLVersion, SyncMLNumberOfChangesSupport, ContactDatabase, CalendarDatabase,
    NotesDatabase, SMSDatabase)
    VALUES ('Plain Test', '1.2', '1', './contacts', './calendar', './notes', './sms');
INSERT INTO SyncML (SyncMLProtocol, SyncMLVersion, ContactDatabase) VALUES ('Old Test', '1.1', './pb');
INSERT INTO SyncML (SyncMLProtocol, SyncMLVersion, SyncMLSendCTCap, ContactDatabase, CalendarDatabase)
    VALUES ('Protocol Series 40 Test', '1.1', '1', 'Contacts', 'Calendar');
INSERT INTO SyncML (SyncMLProtocol, SyncMLVersion, vxFormat, syncEvents, syncTasks, EventsDatabase, TasksDatabase,
    SyncMLSendCTCap, SyncMLNumberOfChangesSupport, NoEmptyFinalSync)
    VALUES ('Samsung Test', '1.2', 'Samsung', '1', '1', 'Events', 'Tasks', '1', '1', '1');
INSERT INTO Dorvanti (DEVICE_ID, Identification, Model, SyncMLProtocol)
    VALUES ('20001', 'Test+ByID', 'ByID', 'Plain Test');
INSERT INTO Dorvanti (DEVICE_ID, Identification, Model, SyncMLProtocol)
    VALUES ('20002', 'Test+ByIdentifier', 'ByIdentifier', 'Old Test');
)SQL";

inline QString& syncMLTestDBPath()
{
    static QString path;
    return path;
}

// Builds the database once per test program.
inline QString syncMLTestDB()
{
    QString& path = syncMLTestDBPath();
    if (path.isEmpty())
        path = buildTestDeviceDB(QStringLiteral("syncml"), QString::fromUtf8(kSyncMLRows));
    return path;
}

inline std::shared_ptr<QVSyncDeviceDescription> describeProtocol(const QString& protocol)
{
    QVSyncDeviceDB::sharedSyncDeviceDB().reset();
    auto db = std::make_shared<qvDeviceDB>();
    if (!db->openDB(syncMLTestDB()))
        return nullptr;
    auto description = std::make_shared<QVSyncDeviceDescription>(db);
    if (description->setupFromProtocol(protocol) != 0)
        return nullptr;
    return description;
}

class FakeSyncMLSession : public SyncMLCreatorSession, public QVSyncObjectsSession {
public:
    explicit FakeSyncMLSession(const QString& protocol = QStringLiteral("Plain Test"))
        : description(describeProtocol(protocol))
        , creator(*this)
    {
    }

    // SyncMLCreatorSession
    QString syncMLVersionString() const override { return description->syncMLVersionString(); }
    int syncMLVersion() const override { return description->syncMLVersion(); }
    QString currentSessionID() const override { return QStringLiteral("1"); }
    long newMessageID() override { return ++messageID; }
    long newCommandID() override { return ++commandID; }
    QString deviceURI() const override { return QStringLiteral("IMEI:350000000000001"); }
    QString myURI() const override { return QStringLiteral("iSync"); }
    QString myDB(int property) const override { return QStringLiteral("my-%1").arg(property); }
    QString deviceDB(int property) const override { return QStringLiteral("dev-%1").arg(property); }
    QString targetDatabase(int property) const override { return description->targetDatabase(property); }
    QString currentDBName() const override { return QStringLiteral("Contacts"); }
    QString currentDeviceDBName() const override { return QStringLiteral("./contacts"); }
    QString currentProcessedMessageID() const override { return QStringLiteral("4"); }
    QString syncServerName() const override { return serverName; }
    bool syncMLNumberOfChangesSupport() const override { return description->syncMLNumberOfChangesSupport(); }
    void setDZSyncTime(const QString& time) override { thisDZTime = time; }
    QString lastSyncDZTime() const override { return lastDZTime; }
    void rememberCommandForStatus(const QString& cmdID, const QString& cmdName) override
    {
        remembered << cmdName + QLatin1Char(':') + cmdID;
    }
    const QVSyncDeviceDescription& syncDescription() const override { return *description; }
    std::shared_ptr<SyncDeviceLimits> itemDescription() const override { return nullptr; }

    // QVSyncObjectsSession
    SyncMLCreator& syncMLCreator() override { return creator; }
    int property() const override { return sessionProperty; }
    const SyncMLCreatorNode* currentAnswerDocument() const override { return answer.get(); }
    int syncMLMaxMsgSize() const override { return maxMsgSize; }
    int syncMLMaxSyncCMDNbInEncodedMsg() const override { return maxCommands; }
    int getDeviceRelationIndex(int) const override { return 0; }
    QVariantList syncReplies() const override
    {
        return {QVariantMap{{QStringLiteral("myDBName"), QStringLiteral("Contacts")},
                            {QStringLiteral("deviceDBName"), QStringLiteral("./contacts")}}};
    }

    std::shared_ptr<QVSyncDeviceDescription> description;
    SyncMLCreator creator;
    long messageID = 0;
    long commandID = 0;
    QString serverName = QStringLiteral("iSync");
    QString lastDZTime;
    QString thisDZTime;
    QStringList remembered;
    int sessionProperty = 0;
    std::unique_ptr<SyncMLCreatorNode> answer;
    int maxMsgSize = 32000;
    int maxCommands = 30;
};

inline std::shared_ptr<QVSyncElem> textItem(const QString& text, const QString& uri = QString())
{
    return QVSyncElem::elemWithData(text, uri, QStringLiteral("Plain Test"), QString(), QString());
}

// What the named log holds so far.
inline QString syncMLLogText(const char* name)
{
    QFile file(QVPathForLogFile(QString::fromLatin1(name) + QStringLiteral(".log")));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// The tags of the element children, in order.
inline QStringList childTags(const SyncMLCreatorNode& node)
{
    QStringList tags;
    for (const auto& child : node.children())
        if (child->kind() == SyncMLCreatorNode::Kind::Element)
            tags << child->tag();
    return tags;
}

} // namespace syncmltest
