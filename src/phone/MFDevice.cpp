// The device object: its makers, its start from the settings and the
// sync description, the registration of its connections, and its teardown.

#include "phone/MFDevice.h"

#include "device/MFDeviceInfo.h"
#include "device/QVSyncDeviceDescription.h"
#include "device/SyncDescriptionServer.h"
#include "foundation/NamedLog.h"
#include "jobs/QVActionMachine.h"
#include "links/BTObexObjectPushConnection.h"
#include "links/CommonObexATSwitchTransportLayer.h"
#include "links/CommonSerialConnection.h"
#include "links/ConnectionRegistration.h"
#include "links/DZDeviceConnection.h"
#include "links/FileTransferConnection.h"
#include "links/LinkCodes.h"
#include "links/MotorolaContactsConnection.h"
#include "links/MotorolaEventsConnection.h"
#include "links/ObexFileTransferConnection.h"
#include "links/ObexSwitchSettings.h"
#include "links/ObexSyncMLConnection.h"
#include "links/QVDeviceCallback.h"
#include "links/SMSKitAsyncConnection.h"
#include "links/SamsungATConnection.h"
#include "links/SerialATChannel.h"
#include "links/SyncMLConnectionMaker.h"
#include "phone/BackupRules.h"
#include "phone/DeviceDataManager.h"
#include "phone/DeviceGUINotificator.h"
#include "phone/MFDeviceSupport.h"
#include "phone/PhoneFolderRules.h"
#include "phone/PhoneFolders.h"
#include "phone/SharedSyncInfo.h"
#include "phone/DeviceSyncEngineHandler.h"
#include "phone/SyncEnvironment.h"
#include "phone/SyncEnvironmentRules.h"
#include "platform/NotificationCenter.h"
#include "platform/PropertyList.h"
#include "platform/RunLoop.h"
#include "platform/UsbRegistry.h"
#include "platform/bluetooth/BluetoothAddress.h"
#include "platform/bluetooth/BluetoothStack.h"
#include "platform/bluetooth/QuorBluetoothExtensions.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QThread>
#include <algorithm>

using mfdevice::describe;
using mfdevice::logConn;
using mfdevice::now;

namespace {

const QString kType = QStringLiteral("type");
const QString kChannel = QStringLiteral("channel");
const QString kName = QStringLiteral("name");

constexpr double kBasebandSettle = 0.1;

MFDevice::Makers& defaultMakers()
{
    static MFDevice::Makers makers;
    return makers;
}

// A stored number or numeric string; nullopt (with a log line) for anything
// else, so the caller takes its fallback.
std::optional<float> storedSeconds(const QVariant& value, const QString& key)
{
    bool ok = false;
    float seconds = 0;
    switch (value.typeId()) {
    case QMetaType::QString:
        seconds = value.toString().trimmed().toFloat(&ok);
        return ok ? seconds : 0.0f;   // text that is no number reads as 0
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Bool:
        return value.toFloat();
    default:
        logConn(QStringLiteral("[MFDevice setupWaitTimes] ignoring %1 of type %2").arg(key, QString::fromLatin1(value.typeName())));
        return std::nullopt;
    }
}

// Busy-overlay percentages of the start.
constexpr int kProgressSyncEngine = 30;
constexpr int kProgressHandler = 40;
constexpr int kProgressConnections = 50;
constexpr int kProgressCapabilities = 60;
constexpr int kProgressVolumes = 70;

} // namespace


void MFDevice::setDefaultMakers(Makers makers)
{
    defaultMakers() = std::move(makers);
}

MFDevice::MFDevice(const QString& connType, std::shared_ptr<QVariantMap> deviceDict, bool* isNewDevice)
    : MFDevice(connType, std::move(deviceDict), QVariantMap(), nullptr, defaultMakers(), isNewDevice)
{
}

MFDevice::MFDevice(const QString& connType, std::shared_ptr<QVariantMap> deviceDict, QVariantMap deviceDBEntry,
                   std::shared_ptr<QVSyncDeviceDescription> description, Makers makers, bool* isNewDevice)
    : _makers(std::move(makers))
    , _connType(connType)
{
    const double start = now();
    _waitUntil = start;
    _lastSMSSync = start;
    _lastBatteryCheck = start - 276.0 + 9.0;
    _heartBeat.setCallback([this] { heartBeatTimer(); });
    _syncEngineTimer.setCallback([this] {
        // A tick brought forward goes back to the regular interval.
        if (_syncEngineTimer.interval() != kSyncEngineInterval)
            _syncEngineTimer.start(kSyncEngineInterval, true);
        useSyncEngineTime();
    });
    logConn(QStringLiteral("++++ [MFDevice initWithDictAndType] called (%1) ++++").arg(connType));

    const bool history = connType == QLatin1String(kHistory);
    _isHistory = history;
    if (!deviceDict)
        deviceDict = std::make_shared<QVariantMap>();
    if (deviceDBEntry.isEmpty())
        _devInfo = std::make_unique<MFDeviceInfo>(deviceDict, this, history);
    else
        _devInfo = std::make_unique<MFDeviceInfo>(deviceDict, std::move(deviceDBEntry), this, history);

    _syncDescription = description ? std::move(description)
                                   : SyncDescriptionServer::sharedSyncDescriptionServer().syncDeviceFromProtocol(
                                         _devInfo->getSyncMLProtocol().toString());
    if (!_syncDescription)
        logConn(QStringLiteral("[MFDevice initWithDictAndType] no sync description for \"%1\"")
                    .arg(_devInfo->getSyncMLProtocol().toString()));

    if (_makers.dataManager)
        _dataManager = _makers.dataManager(*this);
    if (_dataManager && _makers.guiNotificator)
        _dataGUIManager = _makers.guiNotificator(*_dataManager);
    _environment = std::make_unique<SyncEnvironment>(*this);
    if (_makers.syncEnvironment)
        _syncEnvironment = _makers.syncEnvironment(*this);
    _folders = std::make_unique<PhoneFolders>(*this, _makers.directoryListing, _makers.mediaFormats);
    _backup = std::make_unique<BackupRules>(*this, _makers.mediaFormats);
    if (_makers.phoneFolders)
        _phoneFolders = _makers.phoneFolders(*this);

    setupWaitTimes();

    for (int type = 0; type < 5; ++type) {
        const QString name = dbName(type);
        const auto copy = [&](const char* from, const char* to) {
            const QVariant value = _devInfo->objectForKey(QStringLiteral("%1-%2").arg(QLatin1String(from), name));
            if (value.isValid())
                _syncAnchors.insert(QStringLiteral("%1-%2").arg(QLatin1String(to), name), value);
        };
        copy("Common.LastSyncTimeDevice", "LastSyncTime (Device)");
        copy("Common.LastSyncTimeDZ", "LastSyncTime (DZ)");
    }
    const QVariant nextFree = _devInfo->objectForKey(QStringLiteral("Common.NextFreeT-ID"));
    if (nextFree.isValid()) {
        bool ok = false;
        const long counter = nextFree.toString().trimmed().toLong(&ok);
        if (ok)
            _highestUsedContactRefNum = counter;
        else
            logConn(QStringLiteral("[MFDevice initWithDictAndType] ignoring Common.NextFreeT-ID \"%1\" of type %2")
                        .arg(nextFree.toString(), QString::fromLatin1(nextFree.typeName())));
    }

    auto& center = platform::NotificationCenter::defaultCenter();
    center.addObserver(this, QLatin1String(kNotifySyncEngineActive), nullptr,
                       [this](const platform::Notification& note) {
                           environmentRules().syncEngineDeviceActive(note.userInfo);
                       });
    center.addObserver(this, QLatin1String(kNotifyAppDidBecomeActive), nullptr,
                       [this](const platform::Notification&) { appHasBecomeActive(); });
    center.addObserver(this, QLatin1String(kNotifyAppWillResignActive), nullptr,
                       [this](const platform::Notification&) { appWillBecomeInactive(); });

    if (_syncDescription) {
        _canProcessDB[0] = _syncDescription->nonNilBOOLFromDescription(QStringLiteral("SyncML.syncContacts"));
        _canProcessDB[1] = _syncDescription->hasCalendar();
        _canProcessDB[2] = _syncDescription->nonNilBOOLFromDescription(QStringLiteral("SyncML.syncNotes"));
        _canProcessDB[3] = _syncDescription->nonNilBOOLFromDescription(QStringLiteral("SyncML.syncBookmarks"));
        _canProcessDB[4] = _syncDescription->nonNilBOOLFromDescription(QStringLiteral("SyncML.syncSMS"));
    }

    if (!history) {
        setupSyncEvironment();
        const bool useEngine = wantsToUseSyncEngineAtAll();
        if (useEngine)
            createSyncEngineHandler();
        progress(kProgressSyncEngine);
        if (useEngine && _syncEngineHandler)
            _syncEngineHandler->updateEnabledEntities();
        progress(kProgressHandler);
        if (useEngine)
            startTimer();
    }

    applySMSDefaults();

    const QVariantMap dict = *deviceDict;
    if (connType == QLatin1String(kBluetooth)) {
        const auto available = _makers.bluetoothAvailable ? _makers.bluetoothAvailable : isBTConnectionAvailable;
        if (available(dict))
            registerBluetoothDevice(dict);
    } else if (connType == QLatin1String(kUSBSerial)) {
        registerUSBDevice(dict);
        _usbChangeToken = platform::UsbRegistry::addChangeHandler(
            [this](platform::UsbRegistry::Change change, const QString& location) {
                if (change == platform::UsbRegistry::Change::Removed)
                    deviceRemoved();
                else
                    deviceAdded(location);
            });
    } else if (connType == QLatin1String(kUSBMassStorage)) {
        registerUSBMassStorageDevice(dict);
    }

    if (!history) {
        createTheRealConnections(dict);
        QVLOG(qvlog::kXT, QStringLiteral("Registered Connections: %1").arg(describe(_connectionInfo)));
    }
    createActionMachine(_connectionInfo);
    progress(kProgressConnections);

    updateCapabilities();
    progress(kProgressCapabilities);

    // A new phone whose files mirror is known under another serial number.
    if (isNewDevice && *isNewDevice) {
        const QString serial = _devInfo->serialNumber().toString();
        if (_btSerialPortRegistered && _ftpConnection && !serial.isEmpty() && !_devInfo->usbHasSerialNumber()
            && _ftpConnection->preProcessSerialNumber(serial)) {
            checkIfMirrorMustBeRenamed();
            *isNewDevice = false;
        }
    }
    if (_ftpConnection)
        preProcessDevice();

    for (int disk = 0; disk < 2; ++disk) {
        const bool named = _ftpConnection && !_ftpConnection->diskName(disk).isEmpty();
        (disk == 0 ? _hasInternalMemory : _hasMemoryCard) = named;
        if (named)
            _devInfo->setVolumeInArchive(disk == 1);
    }
    progress(kProgressVolumes);

    if (_ftpConnection && _ftpConnection->isBluetooth() && _dataManager)
        _dataManager->loadFinderState();
    logConn(QStringLiteral("++++ [MFDevice initWithDictAndType] finished ++++"));
}

MFDevice::~MFDevice()
{
    // A Gigaset or Samsung AT phone may have left its serial channel parked.
    if (_syncDescription && (_syncDescription->isGigaset() || _syncDescription->isSamsungAT()))
        freeParkedChannel();
    if (_usbChangeToken)
        platform::UsbRegistry::removeChangeHandler(_usbChangeToken);
    _heartBeat.stop();
    logConn(QStringLiteral("++++ [MFDevice dealloc] called ++++"));
    if (_syncEngineHandler)
        _syncEngineHandler->announceQuit();
    for (const auto& callback : std::as_const(_callbackPool))
        callback->senderIsDying();
    _callbackPool.clear();
    _connectionInfo.clear();
    if (SharedSyncInfo* general = generalSyncInfo())
        general->announceQuit();

    if (!_inRemoveFromDevList) {
        const auto store = [this](const std::optional<QVariantMap>& environment, const char* key) {
            if (environment)
                _devInfo->setObject(*environment, QString::fromLatin1(key));
        };
        store(_syncEnvironments.main, "Common.SyncEnvironment");
        store(_syncEnvironments.work, "Common.SyncWorkEnvironment");
        store(_syncEnvironments.user, "Common.SyncUserEnvironment");
    } else {
        _devInfo->clearDirtyFlag();
    }
    platform::NotificationCenter::defaultCenter().removeObserver(this);
    // Written now; the object itself stays until the connections that read
    // it are gone.
    _devInfo->writeSettingsIfNeeded();
    platform::NotificationCenter::defaultCenter().post(QStringLiteral("NotifyMobileDeviceConnectionChanged"), this);
    _syncEngineTimer.stop();
    _actionMachine.reset();
    _dataGUIManager.reset();
    _dataManager.reset();

    releaseAllConnections();
    logConn(QStringLiteral("[MFDevice dealloc] releaseAllConnections"));
    platform::runloop::waitUntil([this] { return !_syncEngineHandler; }, kWaitSlice, kTeardownHandlerWaitPasses);
    _syncEngineHandler.reset();
    logConn(QStringLiteral("[MFDevice dealloc] releaseAllConnections"));
    platform::runloop::cancelPreviousPerformRequests(this);
    _phoneFolders.reset();
    _backup.reset();
    _folders.reset();
    _syncEnvironment.reset();
    _environment.reset();
    _devInfo.reset();
}

bool MFDevice::isBTConnectionAvailable(const QVariantMap& dict)
{
    const QString address = dict.value(QStringLiteral("BT.BT_Address")).toString();
    if (address.isEmpty() || !platform::BluetoothAddress::fromString(address))
        return false;
    const std::shared_ptr<platform::BluetoothDevice> device = platform::btDeviceForAddress(address);
    if (!device || !device->isPaired())
        return false;
    platform::pcSuiteOrFTPChannel(*device);
    const int status = device->openConnection();
    if (status != 0) {
        logConn(QStringLiteral("[BTObexFTPConnection sConnectionAvailable]: [btDevice openConnection] returns 0x%1")
                    .arg(unsigned(status), 2, 16, QLatin1Char('0')));
        return false;
    }
    platform::runloop::runFor(kBasebandSettle);
    device->closeConnection();
    platform::runloop::runFor(kBasebandSettle);
    logConn(QStringLiteral("[BTObexFTPConnection sConnectionAvailable]: [btDevice openConnection] successful"));
    return true;
}

void MFDevice::setupWaitTimes()
{
    struct Pause {
        float* field;
        const char* key;
    };
    const Pause pauses[] = {
        {&_pauseAfterAnyAction, "PauseAnyAction"},
        {&_pauseAfterAnyFTPAction, "PauseAfterFTPAction"},
        {&_pauseAfterNormalClose, "PauseAfterNormalClose"},
        {&_pauseAfterSyncMLClose, "PauseAfterSyncMLClose"},
    };
    for (const Pause& pause : pauses) {
        const QString settingsKey = QStringLiteral("Common.") + QLatin1String(pause.key);
        const QVariant stored = _devInfo->objectForKey(settingsKey);
        if (stored.isValid()) {
            if (const auto seconds = storedSeconds(stored, settingsKey)) {
                *pause.field = *seconds;
                continue;
            }
        }
        if (!_syncDescription)
            continue;
        const QString descriptionKey = QStringLiteral("SyncML.") + QLatin1String(pause.key);
        const QVariant described = _syncDescription->objectForKey(descriptionKey);
        if (described.isValid() && !described.toString().isEmpty()) {
            if (const auto seconds = storedSeconds(described, descriptionKey))
                *pause.field = *seconds;
        }
    }
}

void MFDevice::applySMSDefaults()
{
    const auto absent = [this](const char* key) { return !_devInfo->objectForKey(QString::fromLatin1(key)).isValid(); };
    if (absent("Common.SMS_DoPoll"))
        _devInfo->setObject(true, QStringLiteral("Common.SMS_DoPoll"));
    if (_devInfo->nonNilValueFromDeviceSpec(QStringLiteral("Common.SMS_PollInterval")) < 1)
        _devInfo->setObject(5, QStringLiteral("Common.SMS_PollInterval"));
    if (absent("Common.SMS_ShowInfoPanel"))
        _devInfo->setObject(true, QStringLiteral("Common.SMS_ShowInfoPanel"));
    if (absent("Common.SMS_Dock_Notify"))
        _devInfo->setObject(true, QStringLiteral("Common.SMS_Dock_Notify"));
    if (absent("Common.SMS_SEND_WARN"))
        _devInfo->setObject(1, QStringLiteral("Common.SMS_SEND_WARN"));
}

void MFDevice::registerBluetoothDevice(const QVariantMap& dict)
{
    logConn(QStringLiteral("[MFDevice registerBluetoothDevice] name = %1")
                .arg(dict.value(QStringLiteral("Common.DeviceName")).toString()));
    const QVariant channel = dict.value(QStringLiteral("BT.DeviceChannel"));
    _btFTPregistered = channel.isValid() && channel.toString().toInt() != platform::kNoRfcommChannel;
    _btObjectPushRegistered = true;
    _btSyncMLRegistered = true;
    _btSerialPortRegistered = true;
    _btNokiaPCSuitePushRegistered = _devInfo->deviceManufacturer().compare(QLatin1String("Nokia"), Qt::CaseInsensitive) == 0;

    const QString address = dict.value(QStringLiteral("BT.BT_Address")).toString();
    if (address.isEmpty() || !platform::BluetoothAddress::fromString(address))
        return;
    const auto device = platform::btDeviceForAddress(address);
    const QString name = device ? device->name() : QString();
    if (!name.isEmpty() && name != dict.value(QStringLiteral("Common.DeviceName")).toString()) {
        _devInfo->setObject(name, QStringLiteral("Common.DeviceName"));
        _devInfo->writeDeviceDictNow();
        logConn(QStringLiteral("[MFDevice registerBluetoothDevice] changed name to %1").arg(name));
    }
}

void MFDevice::registerUSBDevice(const QVariantMap& dict)
{
    logConn(QStringLiteral("[MFDevice registerUSBDevice] name = %1")
                .arg(dict.value(QStringLiteral("Common.DeviceName")).toString()));
    _usbSerialPortRegistered = true;
    _usbSyncMLRegistered = true;
}

void MFDevice::registerUSBMassStorageDevice(const QVariantMap&)
{
    _usbMassStorageRegistered = true;
}

void MFDevice::createTheRealConnections(const QVariantMap& dict)
{
    QString linkType;
    if (_btSerialPortRegistered)
        linkType = QLatin1String(kBluetooth);
    else if (_usbSerialPortRegistered)
        linkType = QLatin1String(kUSBSerial);
    const auto fill = [this, &dict](auto& slot, const auto& maker) {
        if (!slot && maker)
            slot = maker(*this, dict);
    };
    // Without a maker of its own a Samsung AT phone gets its MOBEX connection.
    const auto fillTarnex = [this, &dict, &fill, &linkType] {
        if (_makers.tarnex) {
            fill(_tarnexConnection, _makers.tarnex);
            return;
        }
        if (_tarnexConnection)
            return;
        SamsungATConnection::SamsungHooks hooks;
        hooks.pauseAfterNormalClose = [this] { return double(pauseAfterNormalClose()); };
        hooks.pauseAfterAnyAction = [this] { return double(pauseAfterAnyAction()); };
        _tarnexConnection = SamsungATConnection::initWithMFDeviceAndDictionary(
            *this, ObexSwitchSettings::fromDescription(_syncDescription.get(), 0), dict, linkType, std::move(hooks));
    };

    if (_syncDescription && !linkType.isEmpty() && _syncDescription->usesAnyATConnections()) {
        if (_syncDescription->nonNilBOOLFromDescription(QStringLiteral("SyncML.syncContacts"))) {
            if (usesMotorolaATConnections()) {
                if (!_motoContactsConnection)
                    _motoContactsConnection = std::make_unique<MotorolaContactsConnection>(*this, dict);
            } else if (usesSamsungATConnections()) {
                fillTarnex();
            }
        }
        if (_syncDescription->nonNilBOOLFromDescription(QStringLiteral("SyncML.syncCalendar"))) {
            if (usesMotorolaATConnections()) {
                if (!_motoEventsConnection)
                    _motoEventsConnection = std::make_unique<MotorolaEventsConnection>(*this, dict);
            } else if (usesSamsungATConnections()) {
                fillTarnex();
            }
        }
    }
    if (!_dunConnection && !linkType.isEmpty())
        _dunConnection = std::make_unique<CommonSerialConnection>(
            *this, dict, SerialATChannel::PhoneTraits::fromDescription(_syncDescription.get()));

    if (!_smsKitAsyncConnection && !_devInfo->getSMSProtocol().toString().isEmpty()) {
        _smsKitAsyncConnection = std::make_unique<SMSKitAsyncConnection>(*this, dict);
        if (usesLGATConnections()) {
            links::registerWithOwner(*this, QLatin1String(kServiceLGContacts), dict);
            links::registerWithOwner(*this, QLatin1String(kServiceLGEvents), dict);
        }
    }
    const QString protocolClass = _syncDescription ? _syncDescription->protocolClass() : QString();
    if ((protocolClass.startsWith(QLatin1String("AT")) && !protocolClass.startsWith(QLatin1String("ATSerial")))
        || protocolClass.startsWith(QLatin1String("BT"))) {
        if (_makers.syncML) {
            fill(_syncMLConnection, _makers.syncML);
        } else if (!_syncMLConnection && !usesSamsungATConnections()
                   && !protocolClass.contains(QLatin1String("MOBEX"))) {
            // A phone whose organizer data go through the Samsung AT
            // connection (its MOBEX service) has that one on the channel.
            ObexServiceConnection::DeviceHooks hooks;
            hooks.pauseAfterAnyAction = [this] { return double(pauseAfterAnyAction()); };
            _syncMLConnection = links::makeSyncMLConnection(
                *this, ObexSwitchSettings::fromDescription(_syncDescription.get(), 0), protocolClass, dict,
                std::move(hooks));
        }
    }
    if (_btObjectPushRegistered) {
        const auto device = platform::btDeviceForAddress(dict.value(QStringLiteral("BT.BT_Address")).toString());
        if (device && platform::obexObjectPushChannel(*device) != platform::kNoRfcommChannel) {
            if (_makers.objectPush)
                fill(_objectPushConnection, _makers.objectPush);
            else if (!_objectPushConnection)
                _objectPushConnection = std::make_unique<BTObexObjectPushConnection>(this, dict);
        }
        if (device && _btNokiaPCSuitePushRegistered && !_nokiaPCSuitePushConnection
            && platform::nokiaPCSuiteChannel(*device) != platform::kNoRfcommChannel)
            _nokiaPCSuitePushConnection = std::make_unique<BTNokiaPCSuitePushConnection>(this, dict);
    }
    if (_usbMassStorageRegistered) {
        fill(_ftpConnection, _makers.massStorageFTP);
    } else if (_devInfo->supportsObexFile()) {
        if (_makers.obexFTP)
            fill(_ftpConnection, _makers.obexFTP);
        else if (!_ftpConnection)
            _ftpConnection = links::makeObexFileTransferConnection(
                *this, ObexSwitchSettings::fromDescription(_syncDescription.get(), 0), dict, this);
    }
}

void MFDevice::createActionMachine(const QVariantMap& registrations)
{
    using Group = QList<QVariantMap>;
    QList<Group> btGroups(int(_devInfo->parallelConnectionsBluetooth()));
    QList<Group> usbGroups(int(_devInfo->parallelConnectionsUSB()));
    int nextBT = 0;
    int nextUSB = 0;
    bool massStoragePipes = false;
    _actionMachine = QVActionMachine::allocActionMachine(this);

    // Services on one channel share a group; new channels are dealt round
    // robin over the groups of their link.
    const auto place = [](QList<Group>& groups, int& next, QVariantMap specification) {
        const QVariant channel = specification.value(kChannel);
        auto group = std::find_if(groups.begin(), groups.end(), [&](const Group& members) {
            return std::any_of(members.cbegin(), members.cend(),
                               [&](const QVariantMap& member) { return member.value(kChannel) == channel; });
        });
        if (group == groups.end())
            group = groups.begin() + (next++ % groups.size());
        group->append(std::move(specification));
    };
    for (auto it = registrations.cbegin(); it != registrations.cend(); ++it) {
        QVariantMap specification = it.value().toMap();
        const QString type = specification.value(kType).toString();
        specification.insert(kName, it.key());
        if (type == QLatin1String(kBluetooth)) {
            place(btGroups, nextBT, std::move(specification));
        } else if (type == QLatin1String(kUSBSerial)) {
            place(usbGroups, nextUSB, std::move(specification));
        } else if (type == QLatin1String(kUSBMassStorage) || type == QLatin1String(kVirtual)) {
            massStoragePipes = true;
        }
    }
    if (massStoragePipes) {
        _actionMachine->addActionPipe({QStringLiteral("USB-MassStorage_Slow")});
        _actionMachine->addActionPipe({QStringLiteral("USB-MassStorage_Fast")});
    }
    for (const QList<Group>* groups : {&btGroups, &usbGroups}) {
        for (const Group& group : *groups) {
            QStringList names;
            for (const QVariantMap& member : group)
                names.append(member.value(kName).toString());
            if (!names.isEmpty())
                _actionMachine->addActionPipe(names);
        }
    }
    _actionMachine->addActionPipe({QStringLiteral("GenericPipe"), QStringLiteral("System"), QLatin1String(kVirtual)});
    _actionMachine->addActionPipe({QStringLiteral("QuickTime")});
}

void MFDevice::registerConnection(const QString& name, const QVariantMap& specification)
{
    _connectionInfo.insert(name, specification);
    QVLOG(qvlog::kConn, QStringLiteral(">> registerConnection: %1 : %2").arg(name, describe(specification)));
}
