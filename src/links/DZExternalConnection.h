#pragma once

#include "links/DZDeviceConnection.h"

#include <QString>
#include <QVariantMap>

class MFDeviceLinkOwner;
class QVAction;

// A connection whose service the organizer-kit library carries out over a
// link of its own. It moves no data: it gives the service its name, its
// registration with the device and the open and close bookkeeping of the
// base; every job is unsupported.
class DZExternalConnection : public DZDeviceConnection {
public:
    ~DZExternalConnection() override;

    // Always kIOReturnUnsupported.
    int executeJob(QVAction* job);
    QString getConnectionType() const override { return _connType; }

protected:
    // Registers serviceName with the owner ("Bluetooth": the phone's
    // Dial-up Networking channel when the address names a usable device;
    // "USB-Serial": channel 0; other types nothing).
    DZExternalConnection(MFDeviceLinkOwner& owner, const QVariantMap& connectionDict, const QString& serviceName);

private:
    QString _connType;
};
