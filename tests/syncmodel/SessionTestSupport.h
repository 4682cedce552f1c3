#pragma once

// Item lists in phone sessions: a contacts list over a small test device
// database, a trash that records what it is given, the "SE" log and the
// list's activity notifications.
#include "DeviceDBTestSupport.h"
#include "ListTestDevice.h"

#include "device/QVSyncDeviceDB.h"
#include "device/QVSyncDeviceDescription.h"
#include "device/qvDeviceDB.h"
#include "foundation/NamedLog.h"
#include "platform/NotificationCenter.h"
#include "syncmodel/DeviceDescriptionLimits.h"
#include "syncmodel/ItemTrash.h"
#include "syncmodel/QVSyncElemList.h"
#include "syncmodel/QVSyncEngineElem.h"

#include <QFile>
#include <QMap>

#include <gtest/gtest.h>

namespace sessiontest {

inline const char kSessionRows[] = R"SQL(
INSERT INTO SyncML (SyncMLProtocol, ProtocolClass, VCardVersion, Charset)
    VALUES ('Export-2.1', 'Export', '2.1', 'UTF-8');
INSERT INTO SyncML (SyncMLProtocol, VCardVersion, Charset, MaxNo_PhoneNumbers, MaxNo_Emails, MaxLen_TaskSummary)
    VALUES ('Phone', '2.1', 'UTF-8', '3', '2', '20');
INSERT INTO SyncML (SyncMLProtocol, VCardVersion, Charset, MaxNo_PhoneNumbers, vxFormat)
    VALUES ('Giga', '2.1', 'UTF-8', '3', 'Gigaset');
INSERT INTO SyncML (SyncMLProtocol, VCardVersion, MaxNo_PhoneNumbers, MaxNo_Emails, MaxNo_URLs, MaxNo_Addresses,
    Unique_PhoneNumberType, Unique_EmailType, Unique_AddressType, MaxLen_TaskSummary)
    VALUES ('Protocol LG Test', '2.1', '5', '2', '1', '2', '1', '1', '1', '20');
INSERT INTO SyncML (SyncMLProtocol, VCardVersion, Charset, MaxNo_PhoneNumbers)
    VALUES ('NoTasks', '2.1', 'UTF-8', '3');
)SQL";

class SessionTrash : public ItemTrash {
public:
    std::vector<std::pair<std::shared_ptr<QVSyncElem>, bool>> put;
    void putItemToTrash(const std::shared_ptr<QVSyncElem>& elem, const QString&, bool conflict) override
    {
        put.emplace_back(elem, conflict);
    }
    QVariantList getList() override { return {}; }
    void setList(const QVariantList&) override { }
};

class SessionTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_path = buildTestDeviceDB(QStringLiteral("item-sessions"), QString::fromUtf8(kSessionRows));
        ASSERT_FALSE(s_path.isEmpty());
    }
    void SetUp() override
    {
        QVSyncDeviceDB::sharedSyncDeviceDB().reset();
        m_db = std::make_shared<qvDeviceDB>();
        ASSERT_TRUE(m_db->openDB(s_path));
        auto db = m_db;
        auto known = std::make_shared<QMap<QString, std::shared_ptr<SyncDeviceLimits>>>();
        SyncDeviceLimits::setResolver([db, known](const QString& protocol) -> std::shared_ptr<SyncDeviceLimits> {
            auto& limits = (*known)[protocol];
            if (!limits) {
                auto description = std::make_shared<QVSyncDeviceDescription>(db);
                if (description->setupFromProtocol(protocol) != 0)
                    return nullptr;
                limits = std::make_shared<DeviceDescriptionLimits>(description);
            }
            return limits;
        });
        device.description = describe("Phone");
        list.setTrash(&trash);
        QVLogCreateAndOpen(QString::fromLatin1(qvlog::kSE));
        m_logStart = logText().size();
        m_token = platform::NotificationCenter::defaultCenter().addObserver(
            this, QStringLiteral("DZ-SyncElemListActive"), nullptr,
            [this](const platform::Notification& n) { active.append(n.userInfo); });
    }
    void TearDown() override
    {
        platform::NotificationCenter::defaultCenter().removeObserver(m_token);
        SyncDeviceLimits::setResolver({});
        QVSyncDeviceDB::sharedSyncDeviceDB().reset();
    }

    std::shared_ptr<QVSyncDeviceDescription> describe(const char* protocol)
    {
        auto description = std::make_shared<QVSyncDeviceDescription>(m_db);
        EXPECT_EQ(description->setupFromProtocol(QString::fromLatin1(protocol)), 0);
        return description;
    }
    static QString vcard(const QString& first, const QString& number = QStringLiteral("+4930111"))
    {
        return QStringLiteral("BEGIN:VCARD\r\nVERSION:2.1\r\nN:Tester;%1\r\nTEL;CELL:%2\r\nEND:VCARD\r\n")
            .arg(first, number);
    }
    static QVariantMap entry(const QString& uri, const QVariant& text, const QString& action = {})
    {
        QVariantMap map{{QStringLiteral("SourceURI"), uri}, {QStringLiteral("vx-Data"), text}};
        if (!action.isEmpty())
            map.insert(QStringLiteral("Action"), action);
        return map;
    }
    static QVariantMap syncInfo(const QVariantList& items)
    {
        return {{QStringLiteral("Items"), items},
                {QStringLiteral("SyncML-Protocol"), QStringLiteral("Phone")},
                {QStringLiteral("SyncML-Device"), QStringLiteral("Phone")}};
    }
    // A contact on the phone under uri, in the list.
    std::shared_ptr<QVSyncElem> onPhone(const QString& uri, const QString& first,
                                        const QString& number = QStringLiteral("+4930111"))
    {
        auto elem = list.createNewElem(vcard(first, number), uri, QStringLiteral("Phone"), QString(), QString());
        EXPECT_NE(elem, nullptr);
        if (elem) {
            elem->setProperty(0);
            list.addObject(elem);
        }
        return elem;
    }
    static QString firstName(const std::shared_ptr<QVSyncElem>& elem)
    {
        const auto* engine = dynamic_cast<const QVSyncEngineElem*>(elem.get());
        return engine && engine->vxDict() ? engine->vxDict()->mainObjectForKey(QStringLiteral("first name")).toString()
                                          : QString();
    }
    QStringList uris() const
    {
        QStringList result;
        for (const auto& elem : list.allElems())
            result.append(elem->sourceURI());
        result.sort();
        return result;
    }
    static QString logText()
    {
        QFile file(QVPathForLogFile(QString::fromLatin1(qvlog::kSE) + QStringLiteral(".log")));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }
    // What the "SE" log got since the test began.
    QString newLog() const { return logText().mid(m_logStart); }

    ListTestDevice device;
    SessionTrash trash;
    QVSyncElemList list{0, &device};
    QList<QVariantMap> active;
    std::shared_ptr<qvDeviceDB> m_db;
    static inline QString s_path;

private:
    qsizetype m_logStart = 0;
    platform::NotificationCenter::Token m_token = 0;
};

} // namespace sessiontest
