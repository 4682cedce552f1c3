#include "sync/QVServerSyncSession.h"

#include "device/MFDeviceInfo.h"
#include "foundation/NamedLog.h"
#include "links/ObexSyncMLConnection.h"
#include "links/ObjectPushCommand.h"
#include "phone/MFDevice.h"
#include "sync/SyncMLConnection.h"

std::unique_ptr<QVServerSyncSession> QVServerSyncSession::serverSyncSessionWithConnection(SyncMLConnection& connection,
                                                                                          QVSessionUser* notifier)
{
    std::shared_ptr<QVSyncDeviceDescription> description = findDescription(connection);
    if (!description) {
        QVLOG(qvlog::kXT,
              QStringLiteral("QVServerSyncSession: no sync description for %1").arg(connection.deviceIdentifier()));
        return nullptr;
    }
    std::unique_ptr<QVServerSyncSession> session(new QVServerSyncSession(connection, notifier, std::move(description)));
    session->_isServer = true;
    return session;
}

void QVServerSyncSession::receivedCommandFromClientFinished(ObjectPushCommand& command)
{
    if (isFinished() || isStopped())
        return;
    const int status = command.status();
    const QByteArray data = command.dataReceived();
    if (status != 0) {
        // A refused or broken PUT: what part of it came is no message.
        logString(QStringLiteral("\nThe phone's message failed with error:%1\n").arg(status));
        finishSession(status);
        return;
    }
    if (data.isEmpty()) {
        logString(QStringLiteral("\nReturn data = nil\n"));
        // A PUT that brought nothing is a failure even when its status is 0.
        finishSession(kNoAnswerData);
        return;
    }
    readReceivedWBXML(data);
}

namespace {

// The device's OBEX SyncML connection and the phone behind it, as a SyncML
// session uses them.
class QVServerSyncSessionLink : public SyncMLConnection, public SyncMLConnectionDevice, public QVSyncSessionDevice {
public:
    explicit QVServerSyncSessionLink(ObexSyncMLConnection& connection) : _connection(connection) { }

    // SyncMLConnection
    QString deviceIdentifier() const override { return _connection.deviceIdentifier(); }
    SyncMLConnectionDevice* mfDevice() const override
    {
        return _connection.mfDevice() ? const_cast<QVServerSyncSessionLink*>(this) : nullptr;
    }
    void setDelegate(ObexSyncMLDelegate* delegate) override { _connection.setSyncDelegate(delegate); }
    int closeConnection(const std::shared_ptr<QVDeviceCallback>& callback) override
    {
        return _connection.closeConnection(callback);
    }
    int executeCommandSync(const std::shared_ptr<ObjectPushCommand>& command) override
    {
        return _connection.executeCommandSync(command);
    }
    QString newSessionID() override { return _connection.newSessionID(); }
    int sendSwitchCommandForProperty(int property, bool forceSlow) override
    {
        return _connection.sendSwitchCommandForProperty(property, forceSlow);
    }

    // SyncMLConnectionDevice
    QVariant deviceSetting(const QString& key) const override
    {
        return device()->devInfo() ? device()->devInfo()->objectForKey(key) : QVariant();
    }
    QString serialNumber() const override
    {
        const QVariant serial = device()->devInfo() ? device()->devInfo()->serialNumber() : QVariant();
        return serial.isValid() ? serial.toString() : QString();
    }
    QVariant lastSyncTimeDevice(int property) const override { return device()->lastSyncTimeDevice(property); }
    QVariant lastSyncTimeDZ(int property) const override { return device()->lastSyncTimeDZ(property); }

    // QVSyncSessionDevice
    double pauseAfterAnyAction() const override { return device()->pauseAfterAnyAction(); }
    long curSyncMLSourceIndex() const override
    {
        return device()->devInfo() ? device()->devInfo()->curSyncMLSourceIndex() : 0;
    }
    void resetSyncMLSource() override { device()->resetSyncMLSource(); }
    QString storedDeviceURI() const override
    {
        const QVariant uri = device()->devInfo() ? device()->devInfo()->deviceURI() : QVariant();
        return uri.isValid() ? uri.toString() : QString();
    }
    void setStoredDeviceURI(const QString& uri) override
    {
        if (device()->devInfo())
            device()->devInfo()->setDeviceURI(uri);
    }
    void setLastSyncTimeDevice(const QString& time, int property) override
    {
        device()->setLastSyncTimeDevice(time, property);
    }
    void setLastSyncTimeDZ(const QString& time, int property) override { device()->setLastSyncTimeDZ(time, property); }

private:
    MFDevice* device() const { return _connection.mfDevice(); }

    ObexSyncMLConnection& _connection;
};

// The session and the link it talks through; the session goes first.
struct QVServerSyncSessionHolder {
    std::unique_ptr<QVServerSyncSessionLink> link;
    std::unique_ptr<QVServerSyncSession> session;
    ~QVServerSyncSessionHolder() { session.reset(); }
};

} // namespace

std::shared_ptr<QVServerSyncSession> QVServerSyncSession::sessionForDeviceConnection(DZDeviceConnection& connection,
                                                                                     QVSessionUser* notifier)
{
    auto* obex = dynamic_cast<ObexSyncMLConnection*>(&connection);
    if (!obex)
        return nullptr;
    auto holder = std::make_shared<QVServerSyncSessionHolder>();
    holder->link = std::make_unique<QVServerSyncSessionLink>(*obex);
    holder->session = serverSyncSessionWithConnection(*holder->link, notifier);
    if (!holder->session)
        return nullptr;
    QVServerSyncSession* session = holder->session.get();
    return std::shared_ptr<QVServerSyncSession>(std::move(holder), session);
}

void QVServerSyncSession::installAsDeviceSessionMaker()
{
    MFDevice::setServerSyncSessionMaker([](DZDeviceConnection& connection, QVSessionUser* notifier) {
        // The device hands the session to its job as a QVBaseSession.
        return std::static_pointer_cast<void>(
            std::static_pointer_cast<QVBaseSession>(sessionForDeviceConnection(connection, notifier)));
    });
}
