#include "phone/MFDevice.h"

#include "device/DZUSBSerialDevice.h"
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
#include "links/QVEmbeddedCallback.h"
#include "links/SMSKitAsyncConnection.h"
#include "links/SerialATChannel.h"
#include "links/SyncMLConnectionMaker.h"
#include "phone/BackupRules.h"
#include "phone/DeviceDataManager.h"
#include "phone/DeviceDocument.h"
#include "phone/DeviceGUINotificator.h"
#include "phone/OrganizerStorage.h"
#include "phone/PhoneFolderRules.h"
#include "phone/PhoneFolders.h"
#include "phone/PhoneLog.h"
#include "phone/SharedSyncInfo.h"
#include "phone/SyncEngineHandler.h"
#include "phone/SyncEnvironment.h"
#include "phone/SyncEnvironmentRules.h"
#include "platform/NotificationCenter.h"
#include "platform/PropertyList.h"
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

const QString kType = QStringLiteral("type");
const QString kChannel = QStringLiteral("channel");
const QString kName = QStringLiteral("name");

constexpr int kSerialDeviceUnavailable = -203;
constexpr double kBasebandSettle = 0.1;

MFDevice::Makers& defaultMakers()
{
    static MFDevice::Makers makers;
    return makers;
}

MFDevice::SyncSessionMaker& serverSyncSessionMaker()
{
    static MFDevice::SyncSessionMaker maker;
    return maker;
}

double now()
{
    return platform::Clock::instance().now();
}

void logConn(const QString& message)
{
    QVLOG(qvlog::kConn, message);
}

void logXT(const QString& message)
{
    QVLOG(qvlog::kXT, message);
}

QString describe(const QVariantMap& map)
{
    QString text;
    QDebug(&text).noquote() << map;
    return text;
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

void MFDevice::setServerSyncSessionMaker(SyncSessionMaker maker)
{
    serverSyncSessionMaker() = std::move(maker);
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

    if (_syncDescription && !linkType.isEmpty() && _syncDescription->usesAnyATConnections()) {
        if (_syncDescription->nonNilBOOLFromDescription(QStringLiteral("SyncML.syncContacts"))) {
            if (usesMotorolaATConnections()) {
                if (!_motoContactsConnection)
                    _motoContactsConnection = std::make_unique<MotorolaContactsConnection>(*this, dict);
            } else if (usesSamsungATConnections()) {
                fill(_tarnexConnection, _makers.tarnex);
            }
        }
        if (_syncDescription->nonNilBOOLFromDescription(QStringLiteral("SyncML.syncCalendar"))) {
            if (usesMotorolaATConnections()) {
                if (!_motoEventsConnection)
                    _motoEventsConnection = std::make_unique<MotorolaEventsConnection>(*this, dict);
            } else if (usesSamsungATConnections()) {
                fill(_tarnexConnection, _makers.tarnex);
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

void MFDevice::syncEngineNoLongerBusy()
{
    _syncEngineHandler.reset();
}

void MFDevice::startTimer()
{
    if (!_syncEngineTimer.isActive())
        _syncEngineTimer.start(kSyncEngineInterval, true);
}

void MFDevice::stopTimer()
{
    _syncEngineTimer.stop();
}

bool MFDevice::isSyncEngineTimerRunning() const
{
    return _syncEngineTimer.isActive();
}

double MFDevice::syncEngineTimerFireTime() const
{
    return _syncEngineTimer.fireTime();
}

void MFDevice::useSyncEngineTime()
{
    if (!_syncEngineHandler)
        return;
    logXT(QStringLiteral("<<< useSyncEngineTime >>>"));
    bool pending = _isSyncEngineActive;
    if (!_isSyncEngineActive) {
        for (int type = 0; type < int(_mustTrickle.size()); ++type) {
            if (!_mustTrickle[type])
                continue;
            if (_syncEngineHandler->trickleSyncEngine(type) == 0) {
                _mustTrickle[type] = false;
                return;
            }
            pending = true;
        }
    }
    if (pending && _syncEngineTimer.isActive())
        _syncEngineTimer.start(4.0, true);
}

void MFDevice::trickleSoon(int organizerType)
{
    if (organizerType >= 0 && organizerType < int(_mustTrickle.size()))
        _mustTrickle[organizerType] = true;
    if (_syncEngineTimer.isActive())
        _syncEngineTimer.start(1.0, true);
}

bool MFDevice::mustTrickle(int organizerType) const
{
    return organizerType >= 0 && organizerType < int(_mustTrickle.size()) && _mustTrickle[organizerType];
}

void MFDevice::cleanUpChangesForSyncEngine()
{
    if (!_dataManager)
        return;
    int pending = 0;
    int pendingType = -1;
    for (int type = 0; type < int(_canProcessDB.size()); ++type) {
        if (_dataManager->hasChangesForSyncEngine(type)) {
            ++pending;
            pendingType = type;
        }
    }
    if (pending > 0 && _syncEngineHandler)
        _syncEngineHandler->trickleSyncEngine(pending == 1 ? pendingType : -1);
}

void MFDevice::appHasBecomeActive()
{
    for (int type : {3, 2}) {
        if (wantsToUseSyncEngineForProperty(type))
            trickleSoon(type);
    }
}

void MFDevice::appWillBecomeInactive()
{
    for (int type = 0; type < int(_mustTrickle.size()); ++type) {
        if (wantsToUseSyncEngineForProperty(type) && wantsSyncChangesFromDevice(type) && _dataManager
            && _dataManager->hasChangesForSyncEngine(type))
            trickleSoon(type);
    }
}

bool MFDevice::setupSyncEvironment()
{
    return environmentRules().setupSyncEvironment();
}

bool MFDevice::wantsToUseSyncEngineAtAll() const
{
    return environmentRules().wantsToUseSyncEngineAtAll();
}

bool MFDevice::wantsToUseSyncEngineForProperty(int organizerType) const
{
    return environmentRules().wantsToUseSyncEngineForProperty(organizerType);
}

bool MFDevice::wantsSyncChangesFromDevice(int organizerType) const
{
    return environmentRules().wantsSyncChangesFromDevice(organizerType);
}

bool MFDevice::wasDatabaseSynced(int organizerType) const
{
    return environmentRules().wasDatabaseSynced(organizerType);
}

bool MFDevice::wantsToBackupOrganizerType(int organizerType) const
{
    // Types synced with the sync engine go into the backup too.
    return _backup->maskIncludes(organizerType) || environmentRules().wantsToBackupOrganizerType(organizerType);
}

PhoneFolderRules& MFDevice::startFolders() const
{
    return _phoneFolders ? *_phoneFolders : static_cast<PhoneFolderRules&>(*_folders);
}

bool MFDevice::updateCapabilities()
{
    return startFolders().updateCapabilities();
}

void MFDevice::checkIfMirrorMustBeRenamed()
{
    startFolders().checkIfMirrorMustBeRenamed();
}

void MFDevice::preProcessDevice()
{
    startFolders().preProcessDevice();
}

bool MFDevice::canDoSerialSyncServices() const
{
    const QString protocolClass = _syncDescription ? _syncDescription->protocolClass() : QString();
    if (protocolClass.startsWith(QLatin1String("ATSerial")))
        return _isHistory || hasSMSKitAsyncConnection();
    if (protocolClass.startsWith(QLatin1String("AT")) || protocolClass.startsWith(QLatin1String("BT")))
        return hasSyncMLServices();
    return false;
}

bool MFDevice::canDoAnyOrganizerServices() const
{
    return canDoSerialSyncServices()
           || (!_devInfo->getSMSProtocol().toString().isEmpty() && hasSMSKitAsyncConnection());
}

bool MFDevice::hasUSBConnection() const
{
    return _usbMassStorageRegistered || _usbObjectPushRegistered || _usbSyncMLRegistered;
}

bool MFDevice::hasBluetoothConnection() const
{
    return _btFTPregistered || _btObjectPushRegistered || _btNokiaPCSuitePushRegistered || _btSyncMLRegistered
           || _btSerialPortRegistered;
}

bool MFDevice::calendarDatesRestrictedTo2Weeks() const
{
    return syncProtocol().contains(QLatin1String("Motorola"));
}

bool MFDevice::canMigrateRestoreTo(const QVariantMap& deviceDict) const
{
    const auto other = std::make_shared<QVariantMap>(deviceDict);
    const MFDeviceInfo info(other, nullptr, false);
    return info.getSyncMLProtocol().toString() == _devInfo->getSyncMLProtocol().toString();
}

void MFDevice::setFileSystemValid()
{
    platform::NotificationCenter::defaultCenter().post(QStringLiteral("DZ-DatabaseSynced"), this);
}

void MFDevice::setBackupComplete(bool complete)
{
    _backupComplete = complete;
    setFileSystemValid();
}

void MFDevice::postDeviceDirtyChangedNotify()
{
    platform::NotificationCenter::defaultCenter().post(QStringLiteral("DeviceDirtyChanged_Notify"), this);
}

void MFDevice::setModeTeachIn(int mode)
{
    _modeTeachIn = mode;
    if (mode == 0 && _document)
        _document->startBackgroundActionsSoon();
}

FilesMirror* MFDevice::mirror() const
{
    return _dataManager ? _dataManager->mirror() : nullptr;
}

OrganizerArchive* MFDevice::archive() const
{
    return _dataManager ? _dataManager->archive() : nullptr;
}

void MFDevice::progress(int percent) const
{
    if (_makers.busyProgress)
        _makers.busyProgress(percent);
}

void MFDevice::setSyncEnvironments(std::optional<QVariantMap> main, std::optional<QVariantMap> work,
                                   std::optional<QVariantMap> user)
{
    _syncEnvironments = {std::move(main), std::move(work), std::move(user)};
}

SyncEnvironmentRules& MFDevice::environmentRules() const
{
    return _syncEnvironment ? *_syncEnvironment : static_cast<SyncEnvironmentRules&>(*_environment);
}

SharedSyncInfo* MFDevice::generalSyncInfo() const
{
    return _makers.generalSyncInfo ? _makers.generalSyncInfo() : nullptr;
}

bool MFDevice::createSyncEngineHandler()
{
    if (_makers.syncEngineHandler)
        _syncEngineHandler = _makers.syncEngineHandler(*this);
    if (!_syncEngineHandler)
        qCWarning(lcPhone).noquote()
            << QStringLiteral("SERIOUS BUG: Could not get SyncClient for device:%1, schema file:%2")
                   .arg(_devInfo->nonNilStringFromDeviceSpec(QStringLiteral("Common.Identifier")),
                        _syncDescription ? _syncDescription->syncSchemaFile().toString() : QString());
    return bool(_syncEngineHandler);
}

void MFDevice::makeSyncEngineHandler()
{
    if (!_syncEngineHandler && createSyncEngineHandler())
        _syncEngineHandler->updateEnabledEntities();
    if (SharedSyncInfo* general = generalSyncInfo())
        general->functionalityRequired();
}

void MFDevice::destructSyncEngineHandler()
{
    if (_syncEngineHandler)
        _syncEngineHandler->announceQuit();
}

void MFDevice::killSyncEngine()
{
    stopTimer();
    _syncEngineHandler.reset();
    if (QVariantMap* work = _environment->requestWorkSyncEnvironment())
        work->insert(QStringLiteral("SyncEngineEnabled"), false);
    _environment->applyWorkSyncEnvironmentByUser();
    platform::NotificationCenter::defaultCenter().post(QStringLiteral("SyncEngineEnvironmentActive"), nullptr,
                                                       {{QStringLiteral("SetupChanged"), true}});
}

bool MFDevice::requestSyncEngineCommunication()
{
    if (_isSyncMLActive)
        return false;
    if (_isSyncEngineActive) {
        logXT(QStringLiteral("========== requestSyncEngineCommunication: isSyncEngineActive already TRUE =========="));
        return false;
    }
    _isSyncEngineActive = true;
    return true;
}

void MFDevice::setMustTrickle(int organizerType)
{
    if (organizerType >= 0 && organizerType < int(_mustTrickle.size()))
        _mustTrickle[organizerType] = true;
}

namespace {

QString anchorKey(const char* side, const QString& name)
{
    return QStringLiteral("LastSyncTime (%1)-%2").arg(QLatin1String(side), name);
}

} // namespace

void MFDevice::setSyncAnchors(const std::optional<QVariantMap>& anchors)
{
    if (_isHistory)
        return;
    if (!_syncAnchors.isEmpty()) {
        for (int type = 0; type < 5; ++type) {
            _devInfo->removeObjectForKey(anchorKey("Device", dbName(type)));
            _devInfo->removeObjectForKey(anchorKey("DZ", dbName(type)));
        }
        _syncAnchors.clear();
    }
    if (anchors)
        _syncAnchors.insert(*anchors);
}

QVariant MFDevice::lastSyncTimeDevice(int organizerType) const
{
    return _syncAnchors.value(anchorKey("Device", dbName(organizerType)));
}

QVariant MFDevice::lastSyncTimeDZ(int organizerType) const
{
    return _syncAnchors.value(anchorKey("DZ", dbName(organizerType)));
}

void MFDevice::setSyncAnchor(const char* side, const QVariant& time, int organizerType)
{
    const QString key = anchorKey(side, dbName(organizerType));
    if (time.isValid())
        _syncAnchors.insert(key, time);
    else
        _syncAnchors.remove(key);
}

void MFDevice::setLastSyncTimeDevice(const QVariant& time, int organizerType)
{
    setSyncAnchor("Device", time, organizerType);
}

void MFDevice::setLastSyncTimeDZ(const QVariant& time, int organizerType)
{
    setSyncAnchor("DZ", time, organizerType);
}

void MFDevice::processGAU()
{
    for (int type = 0; type < 5; ++type)
        setLastSyncTimeDevice(QVariant(), type);
    if (_makers.deleteAllTrashURIs)
        _makers.deleteAllTrashURIs();
}

QString MFDevice::newFreeTID()
{
    ++_highestUsedContactRefNum;
    _devInfo->setObject(QString::number(_highestUsedContactRefNum), QStringLiteral("Common.NextFreeT-ID"));
    return QStringLiteral("T-%1").arg(_highestUsedContactRefNum);
}

bool MFDevice::switchToNextSyncMLSource()
{
    const qsizetype servers = _syncDescription ? _syncDescription->syncServerArray().size() : 0;
    if (servers < 2)
        return false;
    const long next = _devInfo->curSyncMLSourceIndex() + 1;
    const bool more = next >= 0 && next < servers;
    _devInfo->setObject(more ? int(next) : 0, QStringLiteral("Common.CurSyncMLIndex"));
    return more;
}

void MFDevice::resetSyncMLSource()
{
    _devInfo->setObject(0, QStringLiteral("Common.CurSyncMLIndex"));
}

void MFDevice::clearSyncHistory()
{
    if (_syncEnvironments.main)
        _syncEnvironments.main->insert(QStringLiteral("SyncEngineEnabled"), false);
    if (_syncDescription && _syncDescription->isGigaset() && _dataManager) {
        const QString otherData = _dataManager->subTempPath(QStringLiteral("Other Data"));
        if (!otherData.isEmpty())
            QDir(otherData).removeRecursively();
    }
    invalidateAllData();
    setSyncAnchors(std::nullopt);
}

int MFDevice::invalidateAllData()
{
    stopTimer();
    if (SharedSyncInfo* general = generalSyncInfo())
        general->initialReadFromSyncEngine();
    QStringList syncStates;
    for (int type = 0; type < 4 && _dataManager; ++type) {
        syncStates.append(_dataManager->pathNameForSyncState(type));
        if (OrganizerStorage* storage = _dataManager->organizerStorage(type)) {
            storage->clearChangesForSyncEngine();
            storage->evaluateSyncEnvironment(false);
        }
    }
    if (_document)
        _document->releaseArchive();
    for (const QString& path : std::as_const(syncStates)) {
        if (!path.isEmpty())
            QFile::remove(path);
    }
    if (_dataManager)
        _dataManager->setArchive(_document ? _document->recreateArchive() : nullptr);
    startTimer();
    return 0;
}

QString MFDevice::pathToOrganizerArchive(const QString& folder)
{
    const QString file = QDir(folder).filePath(QStringLiteral("OrganizerData"));
    const QVariantMap stored = platform::plist::readFile(file).toMap();
    const QString current = stored.value(QStringLiteral("CurOrganizer")).toString();
    if (!current.isEmpty())
        return QStringLiteral("%1/%2/%3").arg(folder, QStringLiteral("History"), current);
    const QString stamp = QFileInfo(file).lastModified().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    const QString history = QDir(folder).filePath(QStringLiteral("History"));
    QDir().mkpath(history);
    const QString target = QDir(history).filePath(QStringLiteral("%1-%2").arg(QStringLiteral("OrganizerData"), stamp));
    QFile::rename(file, target);
    return target;
}

void MFDevice::jumpToOrganizerHistoryIndex(int index)
{
    if (_organizerInHistoryFiles.isEmpty())
        return;
    _curOrganizerIndex = index >= 0 && index < _organizerInHistoryFiles.size() ? index
                                                                                : int(_organizerInHistoryFiles.size()) - 1;
    const QString name = QFileInfo(_organizerInHistoryFiles.at(_curOrganizerIndex)).fileName();
    const QString stamp = name.mid(QStringLiteral("OrganizerData").size() + 1);
    const QDateTime time = QDateTime::fromString(stamp, QStringLiteral("yyyyMMdd-HHmmss"));
    _curHistoryTime = time.isValid() ? QLocale::c().toString(time, QStringLiteral("dd. MMM yy, HH:mm")) : QString();
}

QString MFDevice::curOrganizerFile() const
{
    return _curOrganizerIndex >= 0 && _curOrganizerIndex < _organizerInHistoryFiles.size()
               ? _organizerInHistoryFiles.at(_curOrganizerIndex)
               : QString();
}

void MFDevice::setAnchorPathForLastState(const QString&, const QString&)
{
    _curOrganizerIndex = -1;
    if (!_stateInHistoryFiles.isEmpty())
        jumpToHistoryIndex(99999);
}
