#include "sync/QVBaseSession.h"

#include "device/QVSyncDeviceDescription.h"
#include "device/SyncDescriptionServer.h"
#include "foundation/NamedLog.h"
#include "links/QVDeviceCallback.h"
#include "platform/Localization.h"
#include "sync/QVSessionUser.h"
#include "sync/SyncMLConnection.h"

namespace {

const char* const kSessionStateTexts[] = {
    "Preparing phone", "Handshaking...", "Reading (#%d)",  "Processing data...",         "Sending (%d of %d)",
    "Mapping data...", "Finishing...",   "Error occured!", "Error occured, will retry!", "Canceled!",
};

// Fills the "%d" places of a state text in order.
QString sessionStateText(const QString& format, std::initializer_list<int> values)
{
    QString text = format;
    for (const int value : values) {
        const qsizetype at = text.indexOf(QLatin1String("%d"));
        if (at < 0)
            break;
        text.replace(at, 2, QString::number(value));
    }
    return text;
}

} // namespace

std::shared_ptr<QVSyncDeviceDescription> QVBaseSession::findDescription(SyncMLConnection& connection)
{
    SyncDescriptionServer& server = SyncDescriptionServer::sharedSyncDescriptionServer();
    std::shared_ptr<QVSyncDeviceDescription> description;
    if (const SyncMLConnectionDevice* device = connection.mfDevice()) {
        const QVariant deviceID = device->deviceSetting(QLatin1String(kQvDeviceID));
        if (!deviceID.toString().isEmpty())
            description = server.syncDeviceFromDevID(deviceID);
    }
    if (!description)
        description = server.syncDeviceFromDeviceIdentifier(connection.deviceIdentifier());
    return description;
}

std::unique_ptr<QVBaseSession> QVBaseSession::initWithConnection(SyncMLConnection& connection, QVSessionUser* notifier)
{
    std::shared_ptr<QVSyncDeviceDescription> description = findDescription(connection);
    if (!description) {
        QVLOG(qvlog::kXT,
              QStringLiteral("QVBaseSession: no sync description for %1").arg(connection.deviceIdentifier()));
        return nullptr;
    }
    return std::unique_ptr<QVBaseSession>(new QVBaseSession(connection, notifier, std::move(description)));
}

QVBaseSession::QVBaseSession(SyncMLConnection& connection, QVSessionUser* notifier,
                             std::shared_ptr<QVSyncDeviceDescription> description)
    : _deviceConnection(connection)
    , _syncDescription(std::move(description))
    , _notifier(notifier)
{
    _statusArray.reserve(128);
    _deviceConnection.setDelegate(this);
    _syncInfo.insert(QLatin1String(kItems), QVariantList());
    _syncInfo.insert(QLatin1String(kContactsVersion), QStringLiteral("0.3"));
    _syncInfo.insert(QLatin1String(kProtocol), _syncDescription->protocol());
    if (const SyncMLConnectionDevice* device = _deviceConnection.mfDevice()) {
        const QString serial = device->serialNumber();
        if (!serial.isEmpty())
            _syncInfo.insert(QLatin1String(kDevice), serial);
    }
    _finishTimer.setCallback({});
}

QVBaseSession::~QVBaseSession()
{
    if (_stopCallback)
        _stopCallback->senderIsDying();
    _deviceConnection.setDelegate(nullptr);
}

void QVBaseSession::setDevSyncTime(const QString& time)
{
    _thisSyncDevTime = time;
    if (!time.isNull())
        _syncInfo.insert(QLatin1String(kLastDevTime), time);
}

void QVBaseSession::setDZSyncTime(const QString& time)
{
    _thisSyncDZTime = time;
    if (!time.isNull())
        _syncInfo.insert(QLatin1String(kLastDZTime), time);
}

void QVBaseSession::retrieveTimeInfo(int property)
{
    const SyncMLConnectionDevice* device = _deviceConnection.mfDevice();
    if (!device)
        return;
    const QVariant devTime = device->lastSyncTimeDevice(property);
    const QVariant dzTime = device->lastSyncTimeDZ(property);
    _lastSyncDevTime = devTime.isValid() ? devTime.toString() : QString();
    _lastSyncDZTime = dzTime.isValid() ? dzTime.toString() : QString();
}

void QVBaseSession::setDownloadObjects(std::shared_ptr<QVCommandArray> commands, QVSyncElemList* elemList, int type)
{
    (void)commands;
    (void)type;
    _syncElemList = elemList;
}

void QVBaseSession::processAction(const QVariant& action)
{
    if (_notifier)
        _notifier->processAction(action);
}

int QVBaseSession::performReadContacts(bool forceSlow)
{
    _forceSlow = forceSlow;
    _property = 0;
    logDebugInfo();
    return 0;
}

QString QVBaseSession::myDB(int property)
{
    static const char* const names[] = {"Contacts", "Calendar", "Notes", "Bookmarks", "sms", "Events", "Tasks"};
    if (property < 0 || property > 6)
        return QStringLiteral("## UNKNOWN ##");
    return QLatin1String(names[property]);
}

QString QVBaseSession::syncStateText(int state) const
{
    if (state < Preparing || state > Canceled)
        return QString();
    const QString text = platform::localizedString(QLatin1String(kSessionStateTexts[state]));
    if (state == Reading)
        return sessionStateText(text, {indexOfCurrentReadElem()});
    if (state == Sending)
        return sessionStateText(text, {indexOfCurrentSendingElem(), noOfElemsToSend()});
    return text;
}

bool QVBaseSession::setSyncState(int state)
{
    _curSyncState = state;
    if (!_notifier)
        return false;
    const QString text = syncStateText(state);
    float percent = getProgressInPercent();
    if (state == Finishing && percent < 99.0f)
        percent = 99.0f;
    return _notifier->notifySyncMLAction(text, percent);
}

void QVBaseSession::finishSession(int result)
{
    if (result == kResultOK || result == kResultStopped)
        setSyncState(Finishing);
    else if (result == kResultRetry)
        setSyncState(ErrorRetry);
    else
        setSyncState(Error);
    if (QVSessionUser* const notifier = _notifier) {
        _notifier = nullptr;
        const QString text = QString::number(result);
        _finishTimer.setCallback([notifier, text] { notifier->notifySyncFinished(text); });
        _finishTimer.start(kFinishNotifyDelay);
    }
    QVLOG(qvlog::kXT, QStringLiteral("QVBaseSession finishSession with result: %1").arg(result));
}

void QVBaseSession::stopSession()
{
    if (_isStopped)
        return;
    _isStopped = true;
    QVLOG(qvlog::kXT, QStringLiteral("SyncSession stopped by user"));
    _stopCallback = QVDeviceCallback::commandObject(this, [this](QVDeviceCallback&) { stopSessionFinished(); }, {});
    if (_deviceConnection.closeConnection(_stopCallback) != 0)
        stopSessionFinished();
}

void QVBaseSession::stopSessionFinished()
{
    finishSession(kResultStopped);
}

void QVBaseSession::setGlobalError(int status)
{
    if (_globalError == 0)
        _globalError = status;
}

bool isFast(const QVariantMap& syncInfo)
{
    return syncInfo.value(QLatin1String(QVBaseSession::kIsFast)).toBool();
}
