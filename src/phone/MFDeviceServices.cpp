// The device object's answers about its model, its services and slots, the
// callbacks it keeps, the SyncML session hand-out, shutdown, the heart beat,
// USB presence and the battery and SMS stamps.

#include "phone/MFDevice.h"

#include "device/DZUSBSerialDevice.h"
#include "device/MFDeviceInfo.h"
#include "device/QVSyncDeviceDescription.h"
#include "foundation/NamedLog.h"
#include "jobs/QVActionMachine.h"
#include "links/BTObexObjectPushConnection.h"
#include "links/CommonObexATSwitchTransportLayer.h"
#include "links/CommonSerialConnection.h"
#include "links/DZDeviceConnection.h"
#include "links/FileTransferConnection.h"
#include "links/LinkCodes.h"
#include "links/ObexSyncMLConnection.h"
#include "links/QVDeviceCallback.h"
#include "links/QVEmbeddedCallback.h"
#include "links/SerialATChannel.h"
#include "phone/DeviceDataManager.h"
#include "phone/DeviceGUINotificator.h"
#include "phone/MFDeviceSupport.h"
#include "phone/PhoneLog.h"
#include "phone/SharedSyncInfo.h"
#include "phone/DeviceSyncEngineHandler.h"
#include "phone/SyncEnvironment.h"
#include "platform/NotificationCenter.h"
#include "platform/RunLoop.h"
#include "platform/UsbRegistry.h"
#include "platform/bluetooth/BluetoothAddress.h"
#include "platform/bluetooth/BluetoothStack.h"
#include "platform/bluetooth/QuorBluetoothExtensions.h"
#include "usbdevice/DZDeviceProperties.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QThread>
#include <algorithm>

namespace {

constexpr int kSerialDeviceUnavailable = -203;

MFDevice::SyncSessionMaker& serverSyncSessionMaker()
{
    static MFDevice::SyncSessionMaker maker;
    return maker;
}

} // namespace

using mfdevice::logConn;
using mfdevice::logXT;
using mfdevice::now;

void MFDevice::setServerSyncSessionMaker(SyncSessionMaker maker)
{
    serverSyncSessionMaker() = std::move(maker);
}

QString MFDevice::dbName(int organizerType) const
{
    static const char* const names[] = {"Contacts", "Calendar", "Notes", "Bookmarks", "SMS", "Events", "Tasks"};
    if (organizerType < 0 || organizerType >= int(std::size(names)))
        return QStringLiteral("ERROR");
    return QString::fromLatin1(names[organizerType]);
}

std::shared_ptr<QVariantMap> MFDevice::mDeviceDict() const
{
    return _devInfo->mDeviceDict();
}

QString MFDevice::getDeviceName() const
{
    return _devInfo->getTheDeviceName();
}

bool MFDevice::isIdenticalTo(const QString& serialNumber) const
{
    const QVariant stored = _devInfo->objectForKey(QStringLiteral("Common.SerialNo"));
    return stored.isValid() && stored.toString() == serialNumber;
}

bool MFDevice::usesMotorolaATConnections() const
{
    return _syncDescription && _syncDescription->usesMotorolaATConnections();
}

bool MFDevice::usesSamsungATConnections() const
{
    return _syncDescription && _syncDescription->usesSamsungATConnections();
}

bool MFDevice::usesLGATConnections() const
{
    return _syncDescription && _syncDescription->usesLGATConnections();
}

bool MFDevice::usesAnyATConnections() const
{
    return _syncDescription && _syncDescription->usesAnyATConnections();
}

QString MFDevice::syncProtocol() const
{
    return _syncDescription ? _syncDescription->protocol() : QString();
}

bool MFDevice::usesSyncMLForSMS() const
{
    return _syncDescription && _syncDescription->usesSyncMLForSMS();
}

bool MFDevice::canProcessDB(int organizerType) const
{
    return organizerType >= 0 && organizerType < int(_canProcessDB.size()) && _canProcessDB[organizerType];
}

QString MFDevice::getConnectionType() const
{
    return _ftpConnection ? _ftpConnection->getConnectionType() : QString();
}

bool MFDevice::usesDUNForSMS() const
{
    const bool syncsSMS = _syncDescription && _syncDescription->nonNilBOOLFromDescription(QStringLiteral("SyncML.syncSMS"));
    const bool smsOverSyncML = _syncDescription && _syncDescription->usesSyncMLForProperty(4);
    return (syncsSMS || _devInfo->canSendSMS()) && !smsOverSyncML;
}

bool MFDevice::useDUNSMSChannel() const
{
    return _devInfo->deviceProtocol().startsWith(QLatin1String("nokia")) || usesDUNForSMS();
}

bool MFDevice::wantsBackupNow() const
{
    return _devInfo->wantsBackup() && (_devInfo->wantsBackupAutomatic() || _inBackupMode);
}

void MFDevice::setNokiaPCSuitePushConnection(std::unique_ptr<DZDeviceConnection> connection)
{
    _nokiaPCSuitePushConnection = std::move(connection);
}

bool MFDevice::hasFTPServices() const
{
    return _isHistory ? !_stateInHistoryFiles.isEmpty() : bool(_ftpConnection);
}

bool MFDevice::hasSyncMLServices() const
{
    return _isHistory ? !_organizerInHistoryFiles.isEmpty() : bool(_syncMLConnection);
}

bool MFDevice::hasPushServices() const
{
    return (_usbObjectPushRegistered || _btObjectPushRegistered) && _objectPushConnection;
}

DZDeviceConnection* MFDevice::slotForService(const QString& name) const
{
    if (name == QLatin1String(kServiceFTP))
        return _ftpConnection.get();
    if (name == QLatin1String(kServicePush))
        return _objectPushConnection.get();
    if (name == QLatin1String(kServicePCSuite))
        return _nokiaPCSuitePushConnection.get();
    if (name == QLatin1String(kServiceSyncML))
        return _syncMLConnection.get();
    if (name == QLatin1String(kServiceSerial))
        return _dunConnection.get();
    if (name == QLatin1String(kServiceSMSKitAsync))
        return _smsKitAsyncConnection.get();
    if (name == QLatin1String(kServiceMotoContacts))
        return _motoContactsConnection.get();
    if (name == QLatin1String(kServiceMotoEvents))
        return _motoEventsConnection.get();
    if (name == QLatin1String(kServiceSamsungATItems))
        return _tarnexConnection.get();
    if (name == QLatin1String(kServiceLGContacts) || name == QLatin1String(kServiceLGEvents))
        return usesLGATConnections() ? _smsKitAsyncConnection.get() : _tarnexConnection.get();
    return nullptr;
}

bool MFDevice::isConnectionOpen(const QString& name) const
{
    const DZDeviceConnection* connection = slotForService(name);
    return connection && connection->hasConnection();
}

bool MFDevice::isConnectionInProgress(const QString& name) const
{
    const DZDeviceConnection* connection = slotForService(name);
    return connection && connection->isInProgress();
}

bool MFDevice::hasService(const QString& name) const
{
    if (name == QLatin1String(kServiceFTP))
        return hasFTPServices();
    if (name == QLatin1String(kServicePush))
        return hasPushServices();
    if (name == QLatin1String(kServiceSyncML))
        return hasSyncMLServices();
    if (name == QLatin1String(kServiceSerial))
        return hasDUNServices();
    if (name == QLatin1String(kServiceSMSKitAsync))
        return hasSMSKitAsyncConnection();
    if (name == QLatin1String(kServiceMotoContacts))
        return hasMotoContactsConnection();
    if (name == QLatin1String(kServiceMotoEvents))
        return hasMotoEventsConnection();
    if (name == QLatin1String(kServiceLGContacts) || name == QLatin1String(kServiceLGEvents))
        return usesLGATConnections() && hasSMSKitAsyncConnection();
    return false;
}

int MFDevice::requestService(const QString& name, const std::shared_ptr<QVDeviceCallback>& callback)
{
    if (name == QLatin1String(kServicePCSuite))
        return kServiceUnavailable;
    if (name == QLatin1String(kServiceLGEvents) && !usesLGATConnections())
        return kServiceUnavailable;
    return requestSlot(slotForService(name), name == QLatin1String(kServiceSyncML), callback);
}

int MFDevice::requestPushServicesPCSuite(const std::shared_ptr<QVDeviceCallback>& callback)
{
    return requestSlot(_nokiaPCSuitePushConnection.get(), false, callback);
}

int MFDevice::requestSlot(DZDeviceConnection* connection, bool isSyncML, const std::shared_ptr<QVDeviceCallback>& callback)
{
    if (!connection)
        return kServiceUnavailable;
    if (!isSyncML) {
        // A channel parked by this phone's last OBEX session holds its tty or
        // RFCOMM channel: free it, the next OBEX open makes a fresh one.
        if (SerialATChannel* parked = parkedChannel(); parked && parked->mfDevice() == this)
            freeParkedChannel();
    }
    if (connection->hasConnection()) {
        callback->finishSuccessfullyInMainThread(QVariant());
        return kServiceAlreadyOpen;
    }
    const auto embedded = QVEmbeddedCallback::embeddedObject(
        this, [](QVDeviceCallback& finished) { static_cast<QVEmbeddedCallback&>(finished).finishHigherCallback(); },
        {}, QVariant(), callback);
    rememberCallback(embedded);
    const int result = connection->openConnection(embedded);
    if (result == 0)
        return kServiceOpening;
    // Nothing started: the open callback will never end, so it leaves the pool.
    _callbackPool.removeAll(embedded);
    if (isSyncML && result == links::kIOReturnExclusiveAccess)
        return kServiceExclusive;
    if (isSyncML && result == kSerialDeviceUnavailable)
        return kServiceNoSerialDevice;
    return kServiceUnavailable;
}

int MFDevice::requestConnectionClose(const QString& name, const std::shared_ptr<QVDeviceCallback>& callback)
{
    QVLOG(qvlog::kXT, QStringLiteral("closeCurrentConnection requested for:%1").arg(name));
    static const char* const closable[] = {kServiceFTP, kServicePush, kServicePCSuite, kServiceSyncML, kServiceSerial};
    if (std::none_of(std::begin(closable), std::end(closable), [&](const char* c) { return name == QLatin1String(c); }))
        return links::kIOReturnUnsupported;
    DZDeviceConnection* connection = slotForService(name);
    if (!connection || !connection->hasConnection())
        return links::kIOReturnNotOpen;
    return connection->closeConnection(callback);
}

void MFDevice::rememberCallback(const std::shared_ptr<QVDeviceCallback>& callback)
{
    callback->setDelegate(this);
    _callbackPool.append(callback);
}

bool MFDevice::qvDeviceCallbackProgress(QVDeviceCallback&)
{
    return false;
}

void MFDevice::qvDeviceCallbackFinished(QVDeviceCallback& callback)
{
    _callbackPool.removeIf([&](const std::shared_ptr<QVDeviceCallback>& pooled) { return pooled.get() == &callback; });
}

std::shared_ptr<void> MFDevice::requestSyncSession(QVSessionUser* notifier)
{
    if (_isSyncMLActive || !_syncMLConnection || !_syncMLConnection->hasConnection())
        return nullptr;
    std::shared_ptr<void> session;
    if (_syncDescription && _syncDescription->protocolClass().contains(QLatin1String("ATObexServer"))
        && serverSyncSessionMaker())
        session = serverSyncSessionMaker()(*_syncMLConnection, notifier);
    // A claim without a session would refuse every later session for good.
    _isSyncMLActive = bool(session);
    return session;
}

void MFDevice::releaseSyncSession(std::shared_ptr<void> session, const std::shared_ptr<QVDeviceCallback>& callback)
{
    session.reset();
    const auto embedded = QVEmbeddedCallback::embeddedObject(
        this, [this](QVDeviceCallback& finished) { releaseSyncSessionStep2(finished); }, {}, QVariant(now()), callback);
    rememberCallback(embedded);
    const bool obex = syncMLHasObexConnection();
    if (!obex) {
        _isSyncMLActive = false;
        finishSyncRelease(embedded);
        return;
    }
    if (syncMLIsServer()) {
        platform::runloop::performAfterDelay(this, QStringLiteral("delayedCloseSyncML"), 0.05,
                                             [this, embedded] { delayedCloseSyncML(embedded); });
        return;
    }
    if (_syncMLConnection->closeConnection(embedded) != 0)
        finishSyncRelease(embedded);
}

bool MFDevice::syncMLHasObexConnection() const
{
    if (const auto* obex = dynamic_cast<const ObexSyncMLConnection*>(_syncMLConnection.get()))
        return obex->hasObexConnection();
    return _syncMLConnection && _syncMLState.hasObexConnection && _syncMLState.hasObexConnection();
}

bool MFDevice::syncMLIsServer() const
{
    if (const auto* obex = dynamic_cast<const ObexSyncMLConnection*>(_syncMLConnection.get()))
        return obex->isServer();
    return _syncMLState.isServer && _syncMLState.isServer();
}

void MFDevice::finishSyncRelease(const std::shared_ptr<QVEmbeddedCallback>& callback)
{
    qvDeviceCallbackFinished(*callback);
    releaseSyncSessionStep2(*callback);
}

void MFDevice::delayedCloseSyncML(const std::shared_ptr<QVEmbeddedCallback>& callback)
{
    if (!syncMLHasObexConnection()) {
        logXT(QStringLiteral("No [_syncMLConnection closeConnection] necessary, SyncML client did it"));
        finishSyncRelease(callback);
        return;
    }
    const QVariant started = QVEmbeddedCallback::getUserInfo(*callback);
    const double t0 = started.isValid() ? started.toDouble() : now() - 10.0;
    const double elapsed = now() - t0;
    if (elapsed < kServerSyncMLCloseDelay) {
        logXT(QStringLiteral("repost delayedCloseSyncML (elapsed = %1").arg(elapsed, 0, 'f', 6));
        platform::runloop::performAfterDelay(this, QStringLiteral("delayedCloseSyncML"), kWaitSlice,
                                             [this, callback] { delayedCloseSyncML(callback); });
        return;
    }
    logXT(QStringLiteral("Executing syncMLConnection from SyncML SERVER!"));
    if (_syncMLConnection->closeConnection(callback) != 0)
        finishSyncRelease(callback);
}

void MFDevice::releaseSyncSessionStep2(QVDeviceCallback& callback)
{
    _isSyncMLActive = false;
    int status = callback.returnStatus();
    const auto higher = QVEmbeddedCallback::getHigherCallback(callback);
    if (status == 0 && higher)
        status = higher->userInfo().toInt();
    // Every wanted type came over: the phone holds the ids it gave the new
    // items, so the program's own item ids start again.
    if (status == 0 && everyWantedTypeSynced()) {
        _highestUsedContactRefNum = 0;
        _devInfo->setObject(QString::number(_highestUsedContactRefNum), QStringLiteral("Common.NextFreeT-ID"));
    }
    if (higher)
        higher->finishWithResult(status, QVariant());
}

bool MFDevice::everyWantedTypeSynced() const
{
    for (int type = 0; type < int(_canProcessDB.size()); ++type) {
        if (canProcessDB(type) && wantsToBackupOrganizerType(type) && !wasDatabaseSynced(type))
            return false;
    }
    return true;
}

double MFDevice::delayUntilTime() const
{
    return std::max(0.0, _waitUntil - now());
}

void MFDevice::waitForTime(double seconds)
{
    _waitUntil = std::max(_waitUntil, now() + seconds);
}

bool MFDevice::addAction(const std::shared_ptr<QVAction>& action)
{
    return _actionMachine && _actionMachine->addAction(action);
}

void MFDevice::closeAllConnections()
{
    _openConnectionsForCloseCount = 0;
    DZDeviceConnection* const connections[] = {
        _ftpConnection.get(),  _objectPushConnection.get(),   _nokiaPCSuitePushConnection.get(),
        _syncMLConnection.get(), _dunConnection.get(),        _smsKitAsyncConnection.get(),
        _motoContactsConnection.get(), _tarnexConnection.get(),
    };
    for (DZDeviceConnection* connection : connections) {
        if (!connection || !connection->hasConnection())
            continue;
        ++_openConnectionsForCloseCount;
        const auto callback = QVDeviceCallback::commandObject(
            this, [this](QVDeviceCallback&) { --_openConnectionsForCloseCount; }, {});
        if (connection->closeConnection(callback) != 0)
            --_openConnectionsForCloseCount;   // nothing started: no report will come
    }
}

void MFDevice::releaseAllConnections()
{
    platform::runloop::waitUntil([this] { return _openConnectionsForCloseCount == 0; }, kWaitSlice,
                                 kReleaseWaitPasses);
    _ftpConnection.reset();
    _objectPushConnection.reset();
    _nokiaPCSuitePushConnection.reset();
    _syncMLConnection.reset();
    _dunConnection.reset();
    _smsKitAsyncConnection.reset();
    _motoContactsConnection.reset();
    _motoEventsConnection.reset();
    _tarnexConnection.reset();
}

void MFDevice::announceQuit()
{
    _aboutToQuit = true;
    logConn(QStringLiteral("[MFDevice announceQuit] called"));
    _heartBeat.stop();
    if (_actionMachine)
        _actionMachine->announceQuit();
    if (_ftpConnection && _ftpConnection->isBluetooth() && _dataManager)
        _dataManager->saveFinderState();
    if (_dataGUIManager)
        _dataGUIManager->announceQuit();
    cleanUpChangesForSyncEngine();
    closeAllConnections();
    bool told = false;
    platform::runloop::waitUntil(
        [this, &told] {
            const SharedSyncInfo* general = _makers.generalSyncInfo ? _makers.generalSyncInfo() : nullptr;
            if ((!_syncEngineHandler || !_syncEngineHandler->isBusy()) && !(general && general->isBusy()))
                return true;
            if (!told) {
                told = true;
                platform::NotificationCenter::defaultCenter().post(QLatin1String(kNotifySyncEngineActive), this,
                                                                   {{QStringLiteral("Active"), true}});
            }
            return false;
        },
        kWaitSlice, kQuitSyncEngineWaitPasses);
    stopTimer();
}

void MFDevice::startHeartBeat()
{
    if (!_heartBeat.isActive())
        _heartBeat.start(kHeartBeatInterval, true);
}

bool MFDevice::isHeartBeatRunning() const
{
    return _heartBeat.isActive();
}

void MFDevice::heartBeatTimer()
{
    if (_aboutToQuit) {
        _heartBeat.stop();
        return;
    }
    if (_connType == QLatin1String(kUSBSerial) && _usbStateHasChanged) {
        _usbStateHasChanged = false;
        checkUSBAvailability();
    }
}

bool MFDevice::checkUSBAvailability()
{
    const QVariantMap stored{
        {QLatin1String(DZDeviceProperties::kVendorIDKey), _devInfo->objectForKey(QStringLiteral("USB.VendorID"))},
        {QLatin1String(DZDeviceProperties::kProductIDKey), _devInfo->objectForKey(QStringLiteral("USB.ProductID"))},
        {QLatin1String(DZDeviceProperties::kSerialNumberKey), _devInfo->objectForKey(QStringLiteral("Common.SerialNo"))},
    };
    if (const auto device = DZUSBSerialDevice::deviceWithDict(stored)) {
        for (const QVariantMap& entry : device->getUSBDevices().value_or(QList<QVariantMap>())) {
            const QString port = entry.value(QLatin1String(DZDeviceProperties::kPortNameKey)).toString();
            if (port.isEmpty())
                continue;
            if (_usbPortName.isEmpty()) {
                _usbPortName = port;
                return true;
            }
            if (port == _usbPortName)
                return true;
        }
    }
    platform::NotificationCenter::defaultCenter().post(QStringLiteral("kNotifyMobileDeviceDisconnected"), this);
    return false;
}

void MFDevice::deviceAdded(const QString&)
{
    qCInfo(lcPhone) << "Device added";
}

void MFDevice::deviceRemoved()
{
    qCInfo(lcPhone) << "Device removed";
    // The next beat checks; without a heart beat the check runs at once. One
    // change is reported once.
    _usbStateHasChanged = true;
    if (!_heartBeat.isActive()) {
        _usbStateHasChanged = false;
        checkUSBAvailability();
    }
}

void MFDevice::setLastBatteryValue(std::pair<unsigned, unsigned> value)
{
    _lastBatteryValue = value;
    platform::NotificationCenter::defaultCenter().post(QStringLiteral("NotifyMobileDeviceBatteryChanged"), this);
}

int MFDevice::lastBatteryValue() const
{
    const unsigned level = _lastBatteryValue.second;
    if (level >= 65536)
        return -1;
    const long maximum = _devInfo->getBatteryMax();
    if (maximum <= 0)
        return -1;
    return int(long(std::min(level, 100u)) * 100 / maximum);
}

void MFDevice::batteryChecked()
{
    _lastBatteryCheck = now();
    if (lastBatteryValue() == -1)
        _lastBatteryCheck -= 267.1;
}

void MFDevice::smsSynced()
{
    _lastSMSSync = now();
}
