#pragma once

// Shared set-up of the shared client's tests: a hub over a store in a
// temporary folder, the shared client's folder beside it, a second client
// ("desktop") that stands for the other side of the hub, and the XT log.

#include "SyncEngineFixture.h"
#include "VirtualTime.h"
#include "foundation/NamedLog.h"
#include "sync/GeneralSyncInfo.h"

#include <QFile>

namespace general_sync_test {

using namespace syncengine_test;

inline const QStringList kSharedEntities{entity::Group, entity::BookmarkFolder, entity::Calendar};

inline QVariantMap calendarRecord(const QString& title)
{
    return {{platform::ISyncRecordEntityNameKey, entity::Calendar}, {QStringLiteral("title"), title}};
}

inline QVariantMap groupRecord(const QString& name)
{
    return {{platform::ISyncRecordEntityNameKey, entity::Group},
            {QStringLiteral("name"), name},
            {QStringLiteral("members"), QVariantList()}};
}

class GeneralSyncFixture : public SyncEngineFixture {
protected:
    void SetUp() override
    {
        SyncEngineFixture::SetUp();
        ASSERT_TRUE(QVLogCreateAndOpen(QLatin1String(qvlog::kXT)));
        ASSERT_TRUE(QVLogCreateAndOpen(QLatin1String(qvlog::kSE)));
        logStart = logText().size();
        seStart = logText(QStringLiteral("SE.log")).size();
    }
    void TearDown() override
    {
        info.reset();
        SyncEngineFixture::TearDown();
    }

    QString supportFolder() const { return folder() + QStringLiteral("/support"); }
    QString filePath() const { return supportFolder() + QStringLiteral("/GlobalSyncInfo.plist"); }
    GeneralSyncInfo& make()
    {
        info.reset();
        info = std::make_unique<GeneralSyncInfo>(manager(), supportFolder());
        return *info;
    }
    // Active, its first trickle run to the end.
    GeneralSyncInfo& makeActive()
    {
        GeneralSyncInfo& shared = make();
        shared.functionalityRequired();
        EXPECT_TRUE(shared.isActive());
        EXPECT_TRUE(testing_support::runUntil([&] { return !shared.isBusy(); }));
        return shared;
    }
    bool runEnds()
    {
        return testing_support::runUntil([this] { return !info->isBusy(); });
    }

    // The other side of the hub.
    std::shared_ptr<ISyncClient> desktop()
    {
        if (!m_desktop) {
            m_desktop = registerClient(QStringLiteral("desktop"), kSharedEntities);
            sync(m_desktop, {}, {}, kSharedEntities);
        }
        return m_desktop;
    }
    Pulled syncDesktop(const std::function<void(ISyncSession&)>& fn = {})
    {
        return sync(desktop(), fn, {}, kSharedEntities);
    }

    static QByteArray logText(const QString& name = QStringLiteral("XT.log"))
    {
        QFile log(QVPathForLogFile(name));
        return log.open(QIODevice::ReadOnly) ? log.readAll() : QByteArray();
    }
    // How often text stands in the XT (or SE) log since the test began.
    int logged(const QString& text) const { return int(logText().mid(logStart).count(text.toUtf8())); }
    int loggedSE(const QString& text) const
    {
        return int(logText(QStringLiteral("SE.log")).mid(seStart).count(text.toUtf8()));
    }

    std::unique_ptr<GeneralSyncInfo> info;
    qsizetype logStart = 0;
    qsizetype seStart = 0;

private:
    std::shared_ptr<ISyncClient> m_desktop;
};

} // namespace general_sync_test
