#pragma once

#include "links/ObexServiceConnection.h"
#include "links/ObexSwitchSettings.h"

#include <QString>
#include <QVariantMap>
#include <memory>

class MFDeviceLinkOwner;
class ObexSyncMLConnection;

namespace links {

// The SyncML connection of a phone (for an IrMC protocol class the IrMC
// connection the IrMC session runs on), on the transport its class and link
// call for; registered as "SyncML/IrMC" with the channel it opens, so it
// shares that link's pipe.
// nullptr when the class and link have no OBEX transport.
std::unique_ptr<ObexSyncMLConnection> makeSyncMLConnection(MFDeviceLinkOwner& owner, const ObexSwitchSettings& settings,
                                                           const QString& protocolClass,
                                                           const QVariantMap& connectionDict,
                                                           ObexServiceConnection::DeviceHooks hooks);

} // namespace links
