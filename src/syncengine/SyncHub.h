#pragma once

#include "syncengine/SyncStore.h"

#include <QHash>
#include <QSet>
#include <QString>

#include <memory>

namespace platform {
class ISyncClient;
}

namespace platform::syncengine {

// The shared state behind one manager: the store (opened on first use, and
// again after a failure), the client objects handed out, and which clients
// have a session running. Clients and sessions hold it weakly: once the
// manager is gone their calls raise ISyncSessionUnavailableException.
class SyncHub : public std::enable_shared_from_this<SyncHub> {
public:
    explicit SyncHub(QString storePath);

    // The open store; raises ISyncSessionUnavailableException when it cannot
    // be opened.
    SyncStore& store();

    std::shared_ptr<ISyncClient> client(const QString& identifier);
    std::shared_ptr<ISyncClient> registerClient(const QString& identifier, const QString& descriptionFilePath);
    void unregisterClient(const QString& identifier);

    // One session per client at a time. A claim answers a token; releasing
    // with a stale token (the client was unregistered and has a new session)
    // does nothing.
    quint64 claimSession(const QString& identifier);
    void releaseSession(const QString& identifier, quint64 token);

    // Queues mightWantToSyncEntityNames for every other client with an alert
    // handler that is enabled for one of the changed entities.
    void alertOthers(const QString& identifier, const QSet<QString>& changedEntities);

private:
    QString m_path;
    std::unique_ptr<SyncStore> m_store;
    QHash<QString, std::shared_ptr<ISyncClient>> m_clients;
    QHash<QString, quint64> m_running;
    quint64 m_lastToken = 0;
};

} // namespace platform::syncengine
