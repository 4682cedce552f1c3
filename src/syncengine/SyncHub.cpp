#include "syncengine/SyncHub.h"

#include "platform/Exception.h"
#include "platform/PropertyList.h"
#include "platform/RunLoop.h"
#include "syncengine/ISyncClient.h"
#include "syncengine/SyncEngineLog.h"
#include "syncengine/SyncEngineNames.h"

#include <QDir>
#include <QFileInfo>

namespace platform::syncengine {

namespace {

constexpr int kMaxEntities = 256;

[[noreturn]] void refuseDescription(const QString& path, const QString& why)
{
    const QString message = QStringLiteral("Client description %1 refused: %2").arg(path, why);
    logLine(message);
    throw Exception(ISyncInvalidArgumentsException, message);
}

QStringList entitiesOfDescription(const QVariantMap& description, const QString& path)
{
    const QVariant value = description.value(ISyncClientDescriptionEntitiesKey);
    QStringList names;
    if (value.typeId() == QMetaType::QVariantMap) {
        names = value.toMap().keys();
    } else if (value.typeId() == QMetaType::QVariantList) {
        for (const QVariant& name : value.toList()) {
            if (name.typeId() != QMetaType::QString)
                refuseDescription(path, QStringLiteral("an entity name is no string"));
            if (!names.contains(name.toString()))
                names.append(name.toString());
        }
    }
    names.removeAll(QString());
    if (names.isEmpty())
        refuseDescription(path, QStringLiteral("it names no entity"));
    if (names.size() > kMaxEntities)
        refuseDescription(path, QStringLiteral("it names more than %1 entities").arg(kMaxEntities));
    return names;
}

} // namespace

SyncHub::SyncHub(QString storePath)
    : m_path(std::move(storePath))
{
}

SyncStore& SyncHub::store()
{
    if (!m_store)
        m_store = std::make_unique<SyncStore>(m_path);
    return *m_store;
}

std::shared_ptr<ISyncClient> SyncHub::client(const QString& identifier)
{
    if (const auto it = m_clients.constFind(identifier); it != m_clients.cend())
        return *it;
    if (!store().client(identifier))
        return nullptr;
    auto made = std::make_shared<ISyncClient>(weak_from_this(), identifier);
    m_clients.insert(identifier, made);
    return made;
}

std::shared_ptr<ISyncClient> SyncHub::registerClient(const QString& identifier, const QString& descriptionFilePath)
{
    if (identifier.isEmpty())
        throw Exception(ISyncInvalidArgumentsException, QStringLiteral("a client needs an identifier"));
    QString error;
    const QVariant description = plist::readFile(descriptionFilePath, &error);
    if (description.typeId() != QMetaType::QVariantMap)
        refuseDescription(descriptionFilePath, error.isEmpty() ? QStringLiteral("no dictionary") : error);
    const QVariantMap map = description.toMap();

    ClientRow row;
    row.id = identifier;
    row.descriptionPath = descriptionFilePath;
    row.entities = entitiesOfDescription(map, descriptionFilePath);
    if (const std::optional<ClientRow> known = store().client(identifier)) {
        row.displayName = known->displayName;
        row.imagePath = known->imagePath;
    } else {
        row.displayName = map.value(ISyncClientDescriptionDisplayNameKey, identifier).toString();
        const QString image = map.value(ISyncClientDescriptionImagePathKey).toString();
        if (!image.isEmpty())
            row.imagePath = QFileInfo(descriptionFilePath).absoluteDir().absoluteFilePath(image);
    }
    store().saveClient(row);
    return client(identifier);
}

void SyncHub::unregisterClient(const QString& identifier)
{
    store().removeClient(identifier);
    if (const std::shared_ptr<ISyncClient> gone = m_clients.take(identifier))
        gone->markUnregistered();
    m_running.remove(identifier);
}

quint64 SyncHub::claimSession(const QString& identifier)
{
    store();
    if (m_running.contains(identifier))
        throw Exception(ISyncSessionUnavailableException,
                        QStringLiteral("a session of client %1 is already running").arg(identifier));
    m_running.insert(identifier, ++m_lastToken);
    return m_lastToken;
}

void SyncHub::releaseSession(const QString& identifier, quint64 token)
{
    if (m_running.value(identifier) == token)
        m_running.remove(identifier);
}

void SyncHub::alertOthers(const QString& identifier, const QSet<QString>& changedEntities)
{
    if (changedEntities.isEmpty())
        return;
    for (auto it = m_clients.cbegin(); it != m_clients.cend(); ++it) {
        if (it.key() == identifier || !(*it)->syncAlertHandler())
            continue;
        QStringList names;
        for (const QString& entity : (*it)->supportedEntityNames()) {
            if (changedEntities.contains(entity) && store().entityState(it.key(), entity).enabled)
                names.append(entity);
        }
        if (names.isEmpty())
            continue;
        runloop::performOnMainThread([weak = std::weak_ptr<ISyncClient>(*it), names] {
            const std::shared_ptr<ISyncClient> client = weak.lock();
            if (client && client->syncAlertHandler())
                client->syncAlertHandler()(client, names);
        });
    }
}

} // namespace platform::syncengine
