#include "syncengine/ISyncClient.h"

#include "platform/Exception.h"
#include "syncengine/SyncEngineNames.h"
#include "syncengine/SyncHub.h"

namespace platform {

ISyncClient::ISyncClient(std::weak_ptr<syncengine::SyncHub> hub, QString identifier)
    : m_hub(std::move(hub))
    , m_identifier(std::move(identifier))
{
}

std::shared_ptr<syncengine::SyncHub> ISyncClient::hub() const
{
    if (m_unregistered)
        throw Exception(ISyncInvalidArgumentsException,
                        QStringLiteral("client %1 is no longer registered").arg(m_identifier));
    std::shared_ptr<syncengine::SyncHub> hub = m_hub.lock();
    if (!hub)
        throw Exception(ISyncSessionUnavailableException, QStringLiteral("the sync hub is gone"));
    return hub;
}

namespace {

syncengine::ClientRow clientRow(syncengine::SyncHub& hub, const QString& identifier)
{
    std::optional<syncengine::ClientRow> row = hub.store().client(identifier);
    if (!row)
        throw Exception(ISyncInvalidArgumentsException, QStringLiteral("client %1 is not registered").arg(identifier));
    return *row;
}

void saveClientRow(syncengine::SyncHub& hub, const QString& identifier,
                   const std::function<void(syncengine::ClientRow&)>& change)
{
    syncengine::ClientRow row = clientRow(hub, identifier);
    change(row);
    hub.store().saveClient(row);
}

} // namespace

QStringList ISyncClient::supportedEntityNames() const
{
    return clientRow(*hub(), m_identifier).entities;
}

bool ISyncClient::isEnabledForEntityName(const QString& entityName) const
{
    return hub()->store().entityState(m_identifier, entityName).enabled;
}

void ISyncClient::setEnabled(bool enabled, const QStringList& entityNames)
{
    hub()->store().setEntitiesEnabled(m_identifier, entityNames, enabled);
}

QString ISyncClient::displayName() const
{
    return clientRow(*hub(), m_identifier).displayName;
}

void ISyncClient::setDisplayName(const QString& name)
{
    saveClientRow(*hub(), m_identifier, [&](syncengine::ClientRow& row) { row.displayName = name; });
}

QString ISyncClient::imagePath() const
{
    return clientRow(*hub(), m_identifier).imagePath;
}

void ISyncClient::setImagePath(const QString& path)
{
    saveClientRow(*hub(), m_identifier, [&](syncengine::ClientRow& row) { row.imagePath = path; });
}

void ISyncClient::setSyncAlertHandler(AlertHandler handler)
{
    m_alertHandler = std::move(handler);
}

QDateTime ISyncClient::lastSyncDateForEntityName(const QString& entityName) const
{
    return hub()->store().entityState(m_identifier, entityName).lastSync;
}

void ISyncClient::setShouldReplaceClientRecords(bool replace, const QStringList& entityNames)
{
    hub()->store().setEntitiesReplace(m_identifier, entityNames, replace);
}

} // namespace platform
