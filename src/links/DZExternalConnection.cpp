#include "links/DZExternalConnection.h"

#include "links/ConnectionRegistration.h"
#include "links/LinkCodes.h"
#include "links/MFDeviceLinkOwner.h"

DZExternalConnection::DZExternalConnection(MFDeviceLinkOwner& owner, const QVariantMap& connectionDict,
                                           const QString& serviceName)
    : DZDeviceConnection(owner.linkDevice(), nullptr, owner.linkDeviceInfo())
    , _connType(owner.connType())
{
    links::registerWithOwner(owner, serviceName, connectionDict);
}

DZExternalConnection::~DZExternalConnection() = default;

int DZExternalConnection::executeJob(QVAction*)
{
    return links::kIOReturnUnsupported;
}
