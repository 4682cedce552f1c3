#pragma once

#include <QString>

#include <memory>

namespace platform {

class ISyncClient;
namespace syncengine {
class SyncHub;
}

// The desktop sync hub's entry point: a persistent local truth store that every
// client (the desktop store, each phone, the shared groups) pushes its changes
// to and pulls the others' changes from.
class ISyncManager {
public:
    // The program's hub, its store in the application support folder.
    static ISyncManager& sharedManager();

    // A hub over the store file at storePath (opened on first use).
    explicit ISyncManager(const QString& storePath);
    ~ISyncManager();
    ISyncManager(const ISyncManager&) = delete;
    ISyncManager& operator=(const ISyncManager&) = delete;

    // Whether the hub can be used: its store opens (another process holding
    // it, or a damaged file, answers false).
    bool isEnabled();

    // The registered client, or none.
    std::shared_ptr<ISyncClient> clientWithIdentifier(const QString& identifier);
    // Registers (or re-registers) a client from its description file, a
    // property list naming its entities (see SyncEngineNames.h). A file that
    // cannot be read or names no entity raises ISyncInvalidArgumentsException.
    std::shared_ptr<ISyncClient> registerClientWithIdentifier(const QString& identifier,
                                                              const QString& descriptionFilePath);
    // Forgets the client, its positions and pending pulls; a running session
    // of it is cancelled.
    void unregisterClient(const std::shared_ptr<ISyncClient>& client);
    // Schemas are built in: does nothing.
    bool registerSchemaWithBundlePath(const QString& path);

private:
    std::shared_ptr<syncengine::SyncHub> m_hub;
};

} // namespace platform
