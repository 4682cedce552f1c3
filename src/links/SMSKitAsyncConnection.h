#pragma once

#include "links/DZExternalConnection.h"

// The SMS service of the organizer-kit library ("SMSKitAsync"); the base of
// the Motorola contacts connection.
class SMSKitAsyncConnection : public DZExternalConnection {
public:
    static constexpr const char* kConnectionName = "SMSKitAsync";

    SMSKitAsyncConnection(MFDeviceLinkOwner& owner, const QVariantMap& connectionDict);

protected:
    SMSKitAsyncConnection(MFDeviceLinkOwner& owner, const QVariantMap& connectionDict, const QString& serviceName);
};
