#include "links/SyncMLConnectionMaker.h"

#include "links/ConnectionRegistration.h"
#include "links/MFDeviceLinkOwner.h"
#include "links/CommonObexIrMCConnection.h"
#include "links/ObexServiceTransport.h"

namespace links {

namespace {
constexpr const char* kServiceName = "SyncML/IrMC";
}

std::unique_ptr<ObexSyncMLConnection> makeSyncMLConnection(MFDeviceLinkOwner& owner, const ObexSwitchSettings& settings,
                                                           const QString& protocolClass,
                                                           const QVariantMap& connectionDict,
                                                           ObexServiceConnection::DeviceHooks hooks)
{
    const QString connType = owner.connType();
    const ObexServiceTransport choice = ObexServiceTransport::choose(protocolClass, settings.isGigaset, connType,
                                                                     connectionDict);
    if (choice.kind == ObexServiceTransport::Kind::None)
        return nullptr;
    MFDevice* device = owner.linkDevice();
    std::unique_ptr<ObexSyncMLConnection> connection = choice.irmc
        ? std::make_unique<CommonObexIrMCConnection>(device, nullptr, std::move(hooks))
        : std::make_unique<ObexSyncMLConnection>(device, nullptr, std::move(hooks));
    connection->setTransportFactory([choice, device, settings, connectionDict, connType] {
        return choice.make(device, settings, connectionDict, connType);
    });
    std::optional<QVariantMap> specification = registrationSpecification(connType, connectionDict);
    if (specification) {
        if (choice.kind == ObexServiceTransport::Kind::PlainSession)
            specification->insert(QStringLiteral("channel"), QVariant::fromValue(short(choice.channel)));
        owner.registerConnection(QLatin1String(kServiceName), *specification);
    }
    return connection;
}

} // namespace links
