// A phone's SyncML messages read by a SyncML session. The first byte picks
// the property (bit 0: contacts or SMS, whose messages take the
// mixed-encoding repair), the form of the messages (bit 1: XML text, or
// WBXML decoded as the session decodes it) and the OBEX role (bit 2). The
// rest is up to four messages separated by three zero bytes, read in order
// by one session, whose job hands it two items to send. Each message also
// goes through both repairs and the tree reader on its own. The phone is the
// shipped fallback model.
#include "device/SyncDescriptionServer.h"
#include "device/qvDeviceDB.h"
#include "platform/RunLoop.h"
#include "sync/QVServerSyncSession.h"
#include "sync/QVSessionUser.h"
#include "sync/QVSyncSession.h"
#include "sync/SyncMLConnection.h"
#include "sync/WBXMLConverter.h"
#include "syncmodel/QVCommandArray.h"
#include "syncmodel/QVSyncElem.h"

#include <QCoreApplication>
#include <QLoggingCategory>

#include <cstddef>
#include <cstdint>

namespace {

class ReaderFuzzLink : public SyncMLConnection, public SyncMLConnectionDevice {
public:
    QString deviceIdentifier() const override { return QStringLiteral("Unknown+Unknown"); }
    SyncMLConnectionDevice* mfDevice() const override { return const_cast<ReaderFuzzLink*>(this); }
    void setDelegate(ObexSyncMLDelegate*) override { }
    int closeConnection(const std::shared_ptr<QVDeviceCallback>&) override { return 1; }
    int executeCommandSync(const std::shared_ptr<ObjectPushCommand>&) override { return 0; }
    QString newSessionID() override { return QStringLiteral("1"); }
    int sendSwitchCommandForProperty(int, bool) override { return 0; }
    QVariant deviceSetting(const QString& key) const override
    {
        return key == QLatin1String("Common.qvDeviceID") ? QVariant(10000) : QVariant();
    }
    QString serialNumber() const override { return QString(); }
    QVariant lastSyncTimeDevice(int) const override { return {}; }
    QVariant lastSyncTimeDZ(int) const override { return {}; }
};

class ReaderFuzzJob : public QVSessionUser {
public:
    bool notifySyncMLAction(const QString&, float) override { return true; }
    int deliverIncomingData(QVBaseSession& session) override
    {
        auto commands = std::make_shared<QVCommandArray>();
        for (const char* uri : {"T-1", "5"})
            commands->addObject(QVSyncElem::elemWithData(QStringLiteral("BEGIN:VCARD\r\nN:A;B\r\nEND:VCARD\r\n"),
                                                         QLatin1String(uri), QStringLiteral("UNKNOWN"), QString(),
                                                         QString()),
                                QVCommandArray::kAdd);
        session.setDownloadObjects(commands, nullptr, 0);
        return 0;
    }
    void notifySyncFinished(const QString&) override { }
    void displayPercent(int) override { }
    void processAction(const QVariant&) override { }
};

void readerFuzzSetUp()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    static int argc = 1;
    static char name[] = "fuzz_syncmlreader";
    static char* argv[] = {name, nullptr};
    new QCoreApplication(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("*=false"));
    qvDeviceDB::setDefaultDatabasePath(qvDeviceDB::defaultDatabasePath());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    readerFuzzSetUp();
    const uint8_t flags = data[0];
    const QByteArray input(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    QList<QByteArray> parts;
    // Three zero bytes separate messages; single zero bytes stay inside one.
    QByteArray current;
    int zeros = 0;
    for (const char byte : input) {
        if (byte == 0) {
            if (++zeros == 3) {
                parts.append(current.left(current.size() - 2));
                current.clear();
                zeros = 0;
                continue;
            }
        } else {
            zeros = 0;
        }
        current.append(byte);
    }
    parts.append(current);
    while (parts.size() > 4)
        parts.removeLast();

    ReaderFuzzLink link;
    ReaderFuzzJob job;
    std::unique_ptr<QVSyncSession> session;
    if (flags & 4)
        session = QVServerSyncSession::serverSyncSessionWithConnection(link, &job);
    else
        session = QVSyncSession::syncSessionWithConnection(link, &job);
    if (!session)
        return 0;
    if (flags & 1)
        session->performReadSMS(true);
    else
        session->performReadContacts(true);
    session->performInitiateSession(true);
    for (const QByteArray& part : parts) {
        (void)syncmlreader::parseXML(syncmlreader::fixXMLData(part));
        (void)syncmlreader::parseXML(syncmlreader::fixMixedEncoding(part));
        QByteArray xml = part;
        if (flags & 2)
            xml = WBXMLConverter::sharedWBXMLConverter()
                      .convertToXMLData(part, session->syncMLVersion())
                      .value_or(QByteArray());
        session->examineReturnedData(xml);
        if (session->isFinished())
            break;
    }
    session.reset();
    // What the session left for the event loop (cancelled requests) goes now.
    platform::runloop::processPendingEvents();
    return 0;
}
