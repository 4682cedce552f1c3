#include "links/MotorolaContactsConnection.h"

MotorolaContactsConnection::MotorolaContactsConnection(MFDeviceLinkOwner& owner, const QVariantMap& connectionDict)
    : SMSKitAsyncConnection(owner, connectionDict, QLatin1String(kConnectionName))
{
}
