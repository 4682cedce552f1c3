#pragma once

#include <QString>
#include <QVariant>
#include <QVariantMap>
#include <memory>

class MFDevice;
class MFDeviceInfo;
class QVDeviceCallback;

// The common base of every connection to a phone. Holds the callback of the
// job now running; the open, close, job and query operations are overridden
// by the concrete connections. Asynchronous operations answer 0 when they
// started (the callback will be ended exactly once on the main thread) or a
// status when nothing started (the caller still owns its callback).
class DZDeviceConnection {
public:
    // devInfo gives the phone model's identification; it is read here only.
    DZDeviceConnection(MFDevice* device, void* delegate, const MFDeviceInfo* devInfo = nullptr);
    virtual ~DZDeviceConnection();
    DZDeviceConnection(const DZDeviceConnection&) = delete;
    DZDeviceConnection& operator=(const DZDeviceConnection&) = delete;

    const QString& deviceIdentifier() const { return _deviceIdentifier; }
    MFDevice* mfDevice() const { return _mfDevice; }
    void setDelegate(void* delegate) { _delegate = delegate; }
    void* delegate() const { return _delegate; }

    virtual int openConnection(const std::shared_ptr<QVDeviceCallback>& callback);
    virtual int closeConnection(const std::shared_ptr<QVDeviceCallback>& callback);
    virtual int killJobs(bool all, const std::shared_ptr<QVDeviceCallback>& callback);

    virtual bool hasConnection() const { return _isOpen; }
    virtual bool isInProgress() const { return _isInProgress; }
    virtual bool isBusy() const { return false; }
    virtual bool isNokiaPCSuite() const { return false; }
    // The connection type ("Bluetooth", "USB-Serial", "USB-MassStorage"...);
    // empty for a connection that has none.
    virtual QString getConnectionType() const { return QString(); }
    bool isBluetooth() const;
    bool isUSB() const;
    static bool isConnectionAvailable(const QVariantMap& connectionDict);

    // Makes callback the active one. A different callback still active is
    // ended with kIOReturnError on the main thread, so its job ends.
    std::shared_ptr<QVDeviceCallback> storeCallback(const std::shared_ptr<QVDeviceCallback>& callback);
    // Forgets the active callback and hands it over.
    std::shared_ptr<QVDeviceCallback> freeCallback();
    // End the active job, after releasing the connection's hold on it.
    void finishWithError(int status);
    void finishWithResultObject(const QVariant& resultObject);
    const std::shared_ptr<QVDeviceCallback>& activeCallback() const { return _activeCallback; }

protected:
    MFDevice* _mfDevice = nullptr;
    bool _isOpen = false;
    bool _isInProgress = false;
    std::shared_ptr<QVDeviceCallback> _activeCallback;
    void* _delegate = nullptr;
    QString _deviceIdentifier;
};
