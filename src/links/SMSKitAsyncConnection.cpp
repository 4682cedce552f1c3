#include "links/SMSKitAsyncConnection.h"

SMSKitAsyncConnection::SMSKitAsyncConnection(MFDeviceLinkOwner& owner, const QVariantMap& connectionDict)
    : SMSKitAsyncConnection(owner, connectionDict, QLatin1String(kConnectionName))
{
}

SMSKitAsyncConnection::SMSKitAsyncConnection(MFDeviceLinkOwner& owner, const QVariantMap& connectionDict,
                                             const QString& serviceName)
    : DZExternalConnection(owner, connectionDict, serviceName)
{
}
