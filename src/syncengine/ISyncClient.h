#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace platform {

namespace syncengine {
class SyncHub;
}

// One client of the hub. Its settings live in the store; the alert handler
// lives in this object (one object per identifier and manager).
class ISyncClient : public std::enable_shared_from_this<ISyncClient> {
public:
    using AlertHandler =
        std::function<void(const std::shared_ptr<ISyncClient>& client, const QStringList& entityNames)>;

    // Made by the manager.
    ISyncClient(std::weak_ptr<syncengine::SyncHub> hub, QString identifier);

    const QString& clientIdentifier() const { return m_identifier; }

    // Entities named by the description file.
    QStringList supportedEntityNames() const;
    bool isEnabledForEntityName(const QString& entityName) const;
    // Disabling stops pushes, pulls and alerts of the entities; enabling them
    // again makes their next sync slow.
    void setEnabled(bool enabled, const QStringList& entityNames);

    QString displayName() const;
    void setDisplayName(const QString& name);
    QString imagePath() const;
    void setImagePath(const QString& path);

    // Called on a later pass of the event loop when another client's finished
    // session changed records of entities this client is enabled for. An
    // empty handler removes it.
    void setSyncAlertHandler(AlertHandler handler);
    const AlertHandler& syncAlertHandler() const { return m_alertHandler; }

    // When the client last finished a session with the entity (invalid when
    // never); syncDateText() gives its stable text.
    QDateTime lastSyncDateForEntityName(const QString& entityName) const;

    // The next pull of the entities replaces every record on the client (and
    // the next push is slow).
    void setShouldReplaceClientRecords(bool replace, const QStringList& entityNames);

    // Set by the manager when the client is unregistered: every call then
    // raises ISyncInvalidArgumentsException.
    void markUnregistered() { m_unregistered = true; }

private:
    friend class ISyncSession;
    std::shared_ptr<syncengine::SyncHub> hub() const;

    std::weak_ptr<syncengine::SyncHub> m_hub;
    QString m_identifier;
    AlertHandler m_alertHandler;
    bool m_unregistered = false;
};

} // namespace platform
