#include "syncengine/ISyncManager.h"

#include "platform/Exception.h"
#include "platform/Paths.h"
#include "syncengine/ISyncClient.h"
#include "syncengine/SyncEngineNames.h"
#include "syncengine/SyncHub.h"

#include <QDir>

namespace platform {

ISyncManager& ISyncManager::sharedManager()
{
    static ISyncManager manager(QDir(paths::applicationSupportDirectory()).filePath(kSyncStoreFileName));
    return manager;
}

ISyncManager::ISyncManager(const QString& storePath)
    : m_hub(std::make_shared<syncengine::SyncHub>(storePath))
{
}

ISyncManager::~ISyncManager() = default;

bool ISyncManager::isEnabled()
{
    try {
        m_hub->store();
        return true;
    } catch (const Exception&) {
        return false;
    }
}

std::shared_ptr<ISyncClient> ISyncManager::clientWithIdentifier(const QString& identifier)
{
    return m_hub->client(identifier);
}

std::shared_ptr<ISyncClient> ISyncManager::registerClientWithIdentifier(const QString& identifier,
                                                                      const QString& descriptionFilePath)
{
    return m_hub->registerClient(identifier, descriptionFilePath);
}

void ISyncManager::unregisterClient(const std::shared_ptr<ISyncClient>& client)
{
    if (client)
        m_hub->unregisterClient(client->clientIdentifier());
}

bool ISyncManager::registerSchemaWithBundlePath(const QString&)
{
    return true;
}

} // namespace platform
