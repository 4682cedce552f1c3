#pragma once

#include <QString>
#include <QVariant>

#include <memory>

class ObexSyncMLDelegate;
class ObjectPushCommand;
class QVDeviceCallback;

// What a sync session reads of its phone: the settings that find its sync
// description, the serial number, and the anchors of the last sync.
class SyncMLConnectionDevice {
public:
    virtual ~SyncMLConnectionDevice() = default;

    // The device setting under key ("Common.qvDeviceID"); invalid when absent.
    virtual QVariant deviceSetting(const QString& key) const = 0;
    // Null when unknown.
    virtual QString serialNumber() const = 0;
    virtual QVariant lastSyncTimeDevice(int property) const = 0;
    virtual QVariant lastSyncTimeDZ(int property) const = 0;
};

// The calls a sync session makes on its SyncML service connection. The OBEX
// SyncML connection serves them for a phone; tests give a fake.
class SyncMLConnection {
public:
    virtual ~SyncMLConnection() = default;

    virtual QString deviceIdentifier() const = 0;
    // The phone the connection belongs to; null when it has none.
    virtual SyncMLConnectionDevice* mfDevice() const = 0;
    virtual void setDelegate(ObexSyncMLDelegate* delegate) = 0;
    // 0: closing was scheduled and the callback ends once closed; non-zero:
    // the connection is closing already and no callback follows.
    virtual int closeConnection(const std::shared_ptr<QVDeviceCallback>& callback) = 0;
    // Runs the command (0 Put WBXML, 1 Put notification, 2 Get WBXML, 4 answer
    // the phone's Get) and ends it with finishCommand().
    virtual int executeCommandSync(const std::shared_ptr<ObjectPushCommand>& command) = 0;
    // The next SyncML session id: "1", "3", "5" ...
    virtual QString newSessionID() = 0;
    virtual int sendSwitchCommandForProperty(int property, bool forceSlow) = 0;
};
