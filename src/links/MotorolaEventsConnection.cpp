#include "links/MotorolaEventsConnection.h"

MotorolaEventsConnection::MotorolaEventsConnection(MFDeviceLinkOwner& owner, const QVariantMap& connectionDict)
    : DZExternalConnection(owner, connectionDict, QLatin1String(kConnectionName))
{
}
