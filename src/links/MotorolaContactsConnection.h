#pragma once

#include "links/SMSKitAsyncConnection.h"

// The contacts service of a phone with the Motorola AT organizer commands.
class MotorolaContactsConnection : public SMSKitAsyncConnection {
public:
    static constexpr const char* kConnectionName = "MotoContacts";

    MotorolaContactsConnection(MFDeviceLinkOwner& owner, const QVariantMap& connectionDict);
};
