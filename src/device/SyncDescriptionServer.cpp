#include "device/SyncDescriptionServer.h"

#include "device/DeviceLog.h"
#include "device/QVSyncDeviceDescription.h"
#include "device/qvDeviceDB.h"
#include "platform/Exception.h"

#include <QDebug>

namespace {
constexpr const char kKeySyncMLProtocol[] = "Dorvanti.SyncMLProtocol";
}

SyncDescriptionServer& SyncDescriptionServer::sharedSyncDescriptionServer()
{
    static SyncDescriptionServer shared;
    return shared;
}

SyncDescriptionServer::SyncDescriptionServer() : _generation(qvDeviceDB::sharedGeneration())
{
    _descriptions.reserve(4);
}

std::shared_ptr<QVSyncDeviceDescription> SyncDescriptionServer::syncDeviceFromProtocol(const QString& protocol)
{
    if (protocol.isEmpty())
        return nullptr;
    if (qvDeviceDB::sharedDatabaseChanged(_generation))
        reset();
    const auto cached = _descriptions.constFind(protocol);
    if (cached != _descriptions.constEnd())
        return cached.value();
    auto description = QVSyncDeviceDescription::initFromProtocol(protocol);
    if (description)
        _descriptions.insert(protocol, description);
    return description;
}

std::shared_ptr<QVSyncDeviceDescription> SyncDescriptionServer::fromSettings(const QVariantMap& settings)
{
    const QVariant protocol = settings.value(QLatin1String(kKeySyncMLProtocol));
    if (!protocol.isValid())
        return nullptr;
    return syncDeviceFromProtocol(protocol.toString());
}

std::shared_ptr<QVSyncDeviceDescription>
SyncDescriptionServer::syncDeviceFromDeviceIdentifier(const QString& identification)
{
    if (identification.isNull())
        return nullptr;
    auto db = qvDeviceDB::sharedDeviceDB();
    if (!db)
        return nullptr;
    try {
        return fromSettings(db->getSettingsForIdentification(identification));
    } catch (const platform::Exception& e) {
        qCWarning(lcDevice).noquote() << e.reason();
        return nullptr;
    }
}

std::shared_ptr<QVSyncDeviceDescription> SyncDescriptionServer::syncDeviceFromDevID(const QVariant& deviceID)
{
    auto db = qvDeviceDB::sharedDeviceDB();
    if (!db)
        return nullptr;
    try {
        return fromSettings(db->getSettingsForDeviceByID(deviceID));
    } catch (const platform::Exception& e) {
        qCWarning(lcDevice).noquote() << e.reason();
        return nullptr;
    }
}

void SyncDescriptionServer::reset()
{
    _descriptions.clear();
}
