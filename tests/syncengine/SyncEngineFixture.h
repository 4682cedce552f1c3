#pragma once

// Shared set-up of the sync hub tests: a hub over a store in a temporary
// folder, clients registered from description files written there, and one
// call per kind of run (push, pull) so each test reads as the story it tells.

#include "VirtualTime.h"
#include "platform/Exception.h"
#include "platform/PropertyList.h"
#include "platform/SyncChange.h"
#include "syncengine/ISyncClient.h"
#include "syncengine/ISyncManager.h"
#include "syncengine/ISyncSession.h"
#include "syncengine/SyncEngineNames.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace syncengine_test {

using platform::ISyncClient;
using platform::ISyncManager;
using platform::ISyncSession;
using platform::SyncChange;
namespace entity = platform::entity;

inline const QStringList kContactEntities{entity::Contact, entity::PhoneNumber, entity::EmailAddress};

// A contact record with its entity name.
inline QVariantMap contact(const QString& firstName, const QString& lastName = {})
{
    QVariantMap record{{platform::ISyncRecordEntityNameKey, entity::Contact}, {QStringLiteral("first name"), firstName}};
    if (!lastName.isEmpty())
        record.insert(QStringLiteral("last name"), lastName);
    return record;
}

// A phone number sub-record of the contact with id owner.
inline QVariantMap phoneNumber(const QString& owner, const QString& value)
{
    return {{platform::ISyncRecordEntityNameKey, entity::PhoneNumber},
            {QStringLiteral("contact"), QVariantList{owner}},
            {QStringLiteral("value"), value}};
}

// An add of a whole record as a change.
inline SyncChange addChange(const QString& id, const QVariantMap& record)
{
    QVariantList changes;
    for (auto it = record.cbegin(); it != record.cend(); ++it)
        changes.append(SyncChange::setChange(it.key(), it.value()));
    return SyncChange(SyncChange::Add, id, changes);
}

inline SyncChange modifyChange(const QString& id, const QString& name, const QVariant& value)
{
    return SyncChange(SyncChange::Modify, id,
                      {value.isValid() ? SyncChange::setChange(name, value) : SyncChange::clearChange(name)});
}

// What a pull handed over, in a form that compares in test output.
struct Pulled {
    QList<SyncChange> changes;
    bool replaced = false;

    // "add:id", "modify:id", "delete:id" in delivery order.
    QStringList summary() const
    {
        static const char* const kTypes[] = {"?", "add", "modify", "delete"};
        QStringList lines;
        for (const SyncChange& c : changes)
            lines.append(QString::fromLatin1(kTypes[c.type()]) + QLatin1Char(':') + c.recordIdentifier());
        return lines;
    }
    const SyncChange* find(const QString& id) const
    {
        for (const SyncChange& c : changes) {
            if (c.recordIdentifier() == id)
                return &c;
        }
        return nullptr;
    }
};

class SyncEngineFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_manager = std::make_unique<ISyncManager>(storePath());
    }

    QString storePath() const { return m_dir.filePath(QStringLiteral("store/SyncEngine.db")); }
    QString folder() const { return m_dir.path(); }
    ISyncManager& manager() { return *m_manager; }

    // A description file naming the entities.
    QString description(const QString& name, const QStringList& entities)
    {
        const QString path = m_dir.filePath(name + QStringLiteral(".plist"));
        QVariantList list;
        for (const QString& e : entities)
            list.append(e);
        EXPECT_TRUE(platform::plist::writeFile(path, QVariantMap{{platform::ISyncClientDescriptionEntitiesKey, list}}));
        return path;
    }

    std::shared_ptr<ISyncClient> registerClient(const QString& id, const QStringList& entities = kContactEntities)
    {
        return m_manager->registerClientWithIdentifier(id, description(id, entities));
    }

    // Drops the hub, which closes the store and gives up its lock.
    void closeStore() { m_manager.reset(); }
    void openStore() { m_manager = std::make_unique<ISyncManager>(storePath()); }
    // As a new process would see it.
    void restart()
    {
        closeStore();
        openStore();
    }

    // A foreground session pushing through fn, then finished.
    void push(const std::shared_ptr<ISyncClient>& client, const std::function<void(ISyncSession&)>& fn,
              const QStringList& entities = kContactEntities)
    {
        const std::shared_ptr<ISyncSession> session = ISyncSession::beginSessionWithClient(client, entities, {});
        ASSERT_TRUE(session);
        fn(*session);
        session->finishSyncing();
    }

    // A background session up to its pull: pushes through fn, prepares the
    // pull and answers the session once the pull callback came.
    std::shared_ptr<ISyncSession> openPull(const std::shared_ptr<ISyncClient>& client,
                                           const std::function<void(ISyncSession&)>& fn = {},
                                           const QStringList& entities = kContactEntities)
    {
        std::shared_ptr<ISyncSession> started;
        ISyncSession::beginSessionInBackgroundWithClient(
            client, entities, [&](const std::shared_ptr<ISyncClient>&, const std::shared_ptr<ISyncSession>& s) {
                started = s;
            });
        EXPECT_TRUE(testing_support::runUntil([&] { return started != nullptr; }));
        if (!started)
            return nullptr;
        if (fn)
            fn(*started);
        bool ready = false;
        started->prepareToPullChangesInBackgroundForEntityNames(
            entities, [&](const std::shared_ptr<ISyncClient>&, const std::shared_ptr<ISyncSession>&) { ready = true; });
        EXPECT_TRUE(testing_support::runUntil([&] { return ready; }));
        return started;
    }

    // A whole run: push through fn, pull, accept what accept allows (all by
    // default), commit and finish.
    Pulled sync(const std::shared_ptr<ISyncClient>& client, const std::function<void(ISyncSession&)>& fn = {},
                const std::function<bool(const SyncChange&)>& accept = {},
                const QStringList& entities = kContactEntities)
    {
        Pulled pulled;
        const std::shared_ptr<ISyncSession> session = openPull(client, fn, entities);
        if (!session)
            return pulled;
        pulled.replaced = session->shouldReplaceAllRecordsOnClientForEntityName(entity::Contact);
        pulled.changes = session->changeEnumeratorForEntityNames(entities);
        for (const SyncChange& change : pulled.changes) {
            if (!accept || accept(change))
                session->clientAcceptedChangesForRecordWithIdentifier(change.recordIdentifier(), {}, {});
        }
        session->clientCommittedAcceptedChanges();
        session->finishSyncing();
        return pulled;
    }

    // The store's current record, as a client that replaces everything sees it.
    std::optional<QVariantMap> storedRecord(const QString& id)
    {
        const auto reader = m_manager->clientWithIdentifier(QStringLiteral("reader"))
                                ? m_manager->clientWithIdentifier(QStringLiteral("reader"))
                                : registerClient(QStringLiteral("reader"));
        reader->setShouldReplaceClientRecords(true, kContactEntities);
        const Pulled all = sync(reader);
        if (const SyncChange* c = all.find(id))
            return c->record();
        return std::nullopt;
    }

private:
    QTemporaryDir m_dir;
    std::unique_ptr<ISyncManager> m_manager;
};

} // namespace syncengine_test
