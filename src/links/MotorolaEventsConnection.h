#pragma once

#include "links/DZExternalConnection.h"

// The calendar service of a phone with the Motorola AT organizer commands.
class MotorolaEventsConnection : public DZExternalConnection {
public:
    static constexpr const char* kConnectionName = "MotoEvents";

    MotorolaEventsConnection(MFDeviceLinkOwner& owner, const QVariantMap& connectionDict);
};
