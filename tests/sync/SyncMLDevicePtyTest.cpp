// The SyncML server session as the program gets it: a device on phonesim
// over a pseudo-terminal opens its SyncML slot (the AT switch to the OBEX
// server role), hands the session out through the maker the program
// installs, and takes it back when the run is over. phonesim's SyncML
// phone plays the client, good and bad.
#include "QVSyncSessionTestSupport.h"
#include "UsbPhoneFixture.h"

#include "DeviceDBTestSupport.h"
#include "ObexServer.h"
#include "links/QVDeviceCallback.h"
#include "phone/MFDevice.h"

#include <QElapsedTimer>
#include <QMutex>
#include <QRegularExpression>

#include <atomic>
#include <cstdio>
#include <optional>

using namespace syncsessiontest;

namespace {

const char kSyncMLDevicePtyRows[] = R"SQL(
INSERT INTO SyncML (SyncMLProtocol, SyncMLVersion, SyncMLLocalSource, ContactDatabase, UseSAN, ProtocolClass)
    VALUES ('Pty Server', '1.2', 'iSync', './contacts', '1', 'ATObexServer-SyncML');
INSERT INTO SyncML (SyncMLProtocol, SyncMLVersion, SyncMLLocalSource, UseSAN, ProtocolClass, syncEvents, syncTasks,
    EventsDatabase, TasksDatabase)
    VALUES ('Pty Two Calendars', '1.2', 'iSync', '1', 'ATObexServer-SyncML', '1', '1', './Events', './Tasks');
INSERT INTO Dorvanti (DEVICE_ID, Identification, Model, SyncMLProtocol) VALUES ('31001', 'P+1', 'P1', 'Pty Server');
INSERT INTO Dorvanti (DEVICE_ID, Identification, Model, SyncMLProtocol)
    VALUES ('31002', 'P+2', 'P2', 'Pty Two Calendars');
)SQL";

constexpr int kSyncMLDevicePtyContacts = 31001;
constexpr int kSyncMLDevicePtyCalendars = 31002;
const int kSyncMLDevicePtySender = 0;

QString syncMLDevicePtyCard(int n)
{
    return QStringLiteral("BEGIN:VCARD\r\nVERSION:2.1\r\nN:Phone;Entry%1\r\nTEL;CELL:+4930%2\r\nEND:VCARD\r\n")
        .arg(n, 3, 10, QLatin1Char('0'))
        .arg(1000 + n);
}

QString syncMLDevicePtyAnswerXML(const QByteArray& wbxml)
{
    return WBXMLConverter::sharedWBXMLConverter().convertToXML(wbxml, 2).value_or(QString());
}

// The phone's side of a slow contacts sync, run on phonesim's thread: its
// contacts in messages of `perMessage` (Final on the last), the Map of what
// the program added, then closing answers until nothing is asked.
struct SyncMLDevicePtyPhone {
    explicit SyncMLDevicePtyPhone(int count, int perMessage = 40) : perMessage(perMessage)
    {
        for (int n = 1; n <= count; ++n)
            cards << syncMLDevicePtyCard(n);
    }

    QByteArray first(int alert)
    {
        return counted(
            toWBXML(phoneXML(1, alertXML(1, alert) + QStringLiteral("<Final/>"),
                             QStringLiteral("<Meta><MaxMsgSize xmlns='syncml:metinf'>8000</MaxMsgSize></Meta>"))));
    }

    QByteArray next(const QByteArray& answer)
    {
        QMutexLocker lock(&mutex);
        bytes += answer.size();
        const QString xml = syncMLDevicePtyAnswerXML(answer);
        answers << xml;
        ++msgID;
        if (sent < cards.size()) {
            QString adds = QStringLiteral("<Add><CmdID>3</CmdID>");
            const int end = std::min<int>(int(cards.size()), sent + perMessage);
            for (; sent < end; ++sent)
                adds += itemXML(QString::number(100 + sent), cards[sent]);
            adds += QStringLiteral("</Add>");
            const QString final = sent == cards.size() ? QStringLiteral("<Final/>") : QString();
            return counted(toWBXML(phoneXML(msgID, syncXML(2, adds) + final)));
        }
        if (!mapped) {
            mapped = true;
            const QRegularExpressionMatch added =
                QRegularExpression(QStringLiteral("<LocURI>(T-[^<]+)</LocURI>")).match(xml);
            mappedTemporaryID = added.captured(1);
            if (!mappedTemporaryID.isEmpty())
                return counted(
                    toWBXML(phoneXML(msgID,
                                     QStringLiteral("<Map><CmdID>1</CmdID><Target><LocURI>./contacts</LocURI></Target>"
                                                    "<Source><LocURI>Contacts</LocURI></Source><MapItem><Target>"
                                                    "<LocURI>%1</LocURI></Target><Source><LocURI>900</LocURI></Source>"
                                                    "</MapItem></Map><Final/>")
                                         .arg(mappedTemporaryID))));
        }
        if (xml.contains(QLatin1String("<Sync>")) || xml.contains(QLatin1String("<Alert>")))
            return counted(toWBXML(phoneXML(msgID, QStringLiteral("<Final/>"))));
        endedAfterNs = wallClock.nsecsElapsed();
        return {};
    }

    QByteArray counted(const QByteArray& message)
    {
        bytes += message.size();
        return message;
    }

    QMutex mutex;
    QStringList cards;
    int perMessage;
    int sent = 0;
    int msgID = 1;
    bool mapped = false;
    QString mappedTemporaryID;
    QStringList answers;
    qint64 bytes = 0;
    QElapsedTimer wallClock;
    std::atomic<qint64> endedAfterNs{-1};
};

// In virtual time, as the device's jobs run: each pass of a wait lets the
// phone's answers in for a moment of real time.
class SyncMLDevicePtyTest : public UsbPhoneFixture {
protected:
    void SetUp() override
    {
        UsbPhoneFixture::SetUp();
        platform::Clock::instance().setVirtual(true);
        static const QString database = buildTestDeviceDB(QStringLiteral("syncmlpty"),
                                                          QString::fromUtf8(kSyncMLDevicePtyRows));
        ASSERT_FALSE(database.isEmpty());
        qvDeviceDB::setDefaultDatabasePath(database);
        qvDeviceDB::releaseSharedDeviceDB();
        QVSyncDeviceDB::sharedSyncDeviceDB().reset();
        SyncDescriptionServer::sharedSyncDescriptionServer().reset();
        QVServerSyncSession::installAsDeviceSessionMaker();
    }
    void TearDown() override
    {
        device.reset();
        MFDevice::setServerSyncSessionMaker({});
        qvDeviceDB::releaseSharedDeviceDB();
        qvDeviceDB::setDefaultDatabasePath(QString());
        SyncDescriptionServer::sharedSyncDescriptionServer().reset();
        UsbPhoneFixture::TearDown();
    }

    static bool waitFor(const std::function<bool()>& predicate, double seconds = 60.0, double slice = 0.05)
    {
        return testing_support::runUntil(predicate, seconds, slice);
    }

    // The device of the sync row on phonesim's pseudo-terminal.
    void attach(const char* protocol, int deviceID)
    {
        device.reset();
        attachPhone("lg");
        auto dict = std::make_shared<QVariantMap>(QVariantMap{{"USB.VendorID", kVendor},
                                                              {"USB.ProductID", kProduct},
                                                              {"Common.SerialNo", kSerial},
                                                              {"Common.qvDeviceID", deviceID}});
        const QVariantMap row{{"Dorvanti.Manufacturer", "Phone Maker"},
                              {"Dorvanti.Model", "Phone"},
                              {"Dorvanti.SyncMLProtocol", protocol}};
        device = std::make_unique<MFDevice>(QString::fromLatin1(MFDevice::kUSBSerial), dict, row, nullptr,
                                            MFDevice::Makers());
    }

    // Opens the SyncML slot, takes the session from the device, runs it for
    // the property and gives it back; the run's result ("" when none came).
    QString runSession(ScriptedSessionJob& job, int property = 0, const std::function<void()>& onStart = {})
    {
        std::optional<int> opened;
        const int started = device->requestService(
            QString::fromLatin1(MFDevice::kServiceSyncML),
            QVDeviceCallback::commandObject(&kSyncMLDevicePtySender,
                                            [&](QVDeviceCallback& c) { opened = c.returnStatus(); }, {}));
        // After a run the phone's SyncML link may still be up.
        if (started == MFDevice::kServiceAlreadyOpen) {
            opened = 0;
        } else {
            EXPECT_EQ(started, MFDevice::kServiceOpening);
            EXPECT_TRUE(waitFor([&] { return opened.has_value(); }));
        }
        EXPECT_EQ(opened.value_or(-1), 0);
        std::shared_ptr<void> handed = device->requestSyncSession(&job);
        EXPECT_TRUE(handed);
        if (!handed)
            return QString();
        EXPECT_TRUE(device->isSyncMLActive());
        // The device's session is the program's server-role session.
        auto session = std::static_pointer_cast<QVServerSyncSession>(handed);
        EXPECT_TRUE(session->isServer());
        if (onStart)
            onStart();
        if (property == 1)
            session->performReadCalendarEvents(true);
        else
            session->performReadContacts(true);
        EXPECT_TRUE(waitFor([&] { return !job.finished.isEmpty(); }));
        session.reset();
        std::optional<int> released;
        device->releaseSyncSession(
            std::move(handed),
            QVDeviceCallback::commandObject(&kSyncMLDevicePtySender,
                                            [&](QVDeviceCallback& c) { released = c.returnStatus(); }, {}));
        // After a bad answer the phone is still in its session: the slot
        // closes on its timeout, waited for in longer steps.
        EXPECT_TRUE(waitFor([&] { return released.has_value(); }, 60.0, 0.5));
        EXPECT_FALSE(device->isSyncMLActive());
        return job.finished.value(0);
    }

    testing_support::OutsideInputScope outside{0.01};
    std::unique_ptr<MFDevice> device;
};

std::shared_ptr<QVCommandArray> syncMLDevicePtyOurCard(std::shared_ptr<QVSyncElem>* card)
{
    auto commands = std::make_shared<QVCommandArray>();
    *card = QVSyncElem::elemWithData(
        QStringLiteral("BEGIN:VCARD\r\nVERSION:2.1\r\nN:Desk;Dora\r\nTEL:+4930999\r\nEND:VCARD\r\n"),
        QStringLiteral("T-1"), QStringLiteral("Pty Server"), QString(), QString());
    commands->addObject(*card, QVCommandArray::kAdd);
    return commands;
}

} // namespace

TEST_F(SyncMLDevicePtyTest, TheDevicesSessionRunsSlowContactSyncsBothWays)
{
    attach("Pty Server", kSyncMLDevicePtyContacts);
    // The first run is slow by the phone's choice, the second because its
    // two-way Alert is answered 508.
    for (const int alert : {201, 200}) {
        SCOPED_TRACE(alert);
        auto phone = std::make_shared<SyncMLDevicePtyPhone>(5, 3);
        sim->modifyObexServer([&](phonesim::ObexServer& server) {
            server.setSyncMLClientMessage(phone->first(alert));
            server.setSyncMLClientResponder([phone](const QByteArray& answer) { return phone->next(answer); });
        });
        ScriptedSessionJob job;
        std::shared_ptr<QVSyncElem> ours;
        job.commands = syncMLDevicePtyOurCard(&ours);
        EXPECT_EQ(runSession(job), QStringLiteral("0"));

        ASSERT_EQ(job.delivered.size(), 5);
        for (int n = 0; n < 5; ++n) {
            const QVariantMap item = job.delivered[n].toMap();
            EXPECT_EQ(item.value(QStringLiteral("vx-Data")).toString(), syncMLDevicePtyCard(n + 1));
            EXPECT_EQ(item.value(QStringLiteral("SourceURI")).toString(), QString::number(100 + n));
        }
        QMutexLocker lock(&phone->mutex);
        ASSERT_GE(phone->answers.size(), 3);
        const QStringList first = statusSummary(syncmlreader::parseXML(phone->answers[0].toUtf8()).get());
        EXPECT_TRUE(first.contains(alert == 201 ? QStringLiteral("Alert:200") : QStringLiteral("Alert:508")));
        EXPECT_TRUE(first.contains(QStringLiteral("Alert 201")));
        // A message without Final is answered with a request for the next.
        EXPECT_EQ(statusSummary(syncmlreader::parseXML(phone->answers[1].toUtf8()).get()).last(),
                  QStringLiteral("Alert 222"));
        // Our new contact went to the phone as a temporary Add, mapped to its id.
        EXPECT_TRUE(phone->mappedTemporaryID.startsWith(QLatin1String("T-")));
        EXPECT_EQ(ours->sourceURI(), QStringLiteral("900"));
    }
}

TEST_F(SyncMLDevicePtyTest, ACalendarRunOnATwoCalendarPhoneSendsEventsAndTasksToTheirDatabases)
{
    attach("Pty Two Calendars", kSyncMLDevicePtyCalendars);
    const auto calendarItem = [](const QString& kind, const QString& uri) {
        return QVSyncElem::elemWithData(QStringLiteral("BEGIN:VCALENDAR\r\nVERSION:1.0\r\nBEGIN:%1\r\nSUMMARY:%1 %2\r\n"
                                                       "END:%1\r\nEND:VCALENDAR\r\n")
                                            .arg(kind, uri),
                                        uri, QStringLiteral("Pty Two Calendars"), QString(), QString());
    };
    ScriptedSessionJob job;
    job.commands = std::make_shared<QVCommandArray>();
    job.commands->addObject(calendarItem(QStringLiteral("VEVENT"), QStringLiteral("T-1")), QVCommandArray::kAdd);
    job.tasks = std::make_shared<QVCommandArray>();
    job.tasks->addObject(calendarItem(QStringLiteral("VTODO"), QStringLiteral("T-2")), QVCommandArray::kAdd);

    const QString alert = QStringLiteral("<Alert><CmdID>%1</CmdID><Data>201</Data><Item><Target><LocURI>%2</LocURI>"
                                         "</Target><Source><LocURI>%3</LocURI></Source><Meta><Anchor "
                                         "xmlns='syncml:metinf'><Next>7</Next></Anchor></Meta></Item></Alert>");
    const QString sync = QStringLiteral("<Sync><CmdID>%1</CmdID><Target><LocURI>%2</LocURI></Target><Source><LocURI>"
                                        "%3</LocURI></Source></Sync>");
    struct Calendar {
        QMutex mutex;
        QStringList answers;
    };
    auto phone = std::make_shared<Calendar>();
    sim->modifyObexServer([&](phonesim::ObexServer& server) {
        server.setSyncMLClientMessage(
            toWBXML(phoneXML(1,
                             alert.arg(QStringLiteral("1"), QStringLiteral("Events"), QStringLiteral("./Events"))
                                 + alert.arg(QStringLiteral("2"), QStringLiteral("Tasks"), QStringLiteral("./Tasks"))
                                 + QStringLiteral("<Final/>"))));
        server.setSyncMLClientResponder([phone, sync](const QByteArray& answer) {
            QMutexLocker lock(&phone->mutex);
            const QString xml = syncMLDevicePtyAnswerXML(answer);
            phone->answers << xml;
            const int msgID = int(phone->answers.size()) + 1;
            if (msgID == 2)
                return toWBXML(
                    phoneXML(2,
                             sync.arg(QStringLiteral("1"), QStringLiteral("Events"), QStringLiteral("./Events"))
                                 + sync.arg(QStringLiteral("2"), QStringLiteral("Tasks"), QStringLiteral("./Tasks"))
                                 + QStringLiteral("<Final/>")));
            if (xml.contains(QLatin1String("<Sync>")) || xml.contains(QLatin1String("<Alert>")))
                return toWBXML(phoneXML(msgID, QStringLiteral("<Final/>")));
            return QByteArray();
        });
    });
    EXPECT_EQ(runSession(job, 1), QStringLiteral("0"));

    QMutexLocker lock(&phone->mutex);
    ASSERT_GE(phone->answers.size(), 2);
    const auto first = syncmlreader::parseXML(phone->answers[0].toUtf8());
    QStringList alertTargets;
    for (const SyncMLCreatorNode* node : syncmlreader::findElemPath(first.get(), QStringLiteral("SyncML/SyncBody"))
                                             ->childrenNamed(QStringLiteral("Alert")))
        alertTargets << syncmlreader::findPathText(node, QStringLiteral("Item/Target/LocURI"));
    EXPECT_EQ(alertTargets, (QStringList{QStringLiteral("./Events"), QStringLiteral("./Tasks")}));
    const auto second = syncmlreader::parseXML(phone->answers[1].toUtf8());
    QStringList sent;
    for (const SyncMLCreatorNode* node : syncmlreader::findElemPath(second.get(), QStringLiteral("SyncML/SyncBody"))
                                             ->childrenNamed(QStringLiteral("Sync")))
        sent << syncmlreader::findPathText(node, QStringLiteral("Target/LocURI")) + QLatin1Char(':')
                + syncmlreader::findPathText(node, QStringLiteral("Add/Item/Data"))
                      .section(QLatin1Char('\n'), 2, 2)
                      .trimmed();
    EXPECT_EQ(sent, (QStringList{QStringLiteral("./Events:BEGIN:VEVENT"), QStringLiteral("./Tasks:BEGIN:VTODO")}));
}

TEST_F(SyncMLDevicePtyTest, ThePhonesBadAnswersEndTheRunWithTheirOwnResult)
{
    using Bad = phonesim::SyncMLClientScript::BadAnswer;
    const struct {
        const char* name;
        Bad kind;
        int message; // the phone's message that is bad
        const char* result;
    } cases[] = {
        {"PUT without data", Bad::NoData, 1, "-9994"},
        {"not WBXML", Bad::NotWBXML, 1, "-9995"},
        {"no SyncML element", Bad::NoSyncMLElement, 1, "-9996"},
        {"Status beside SyncHdr and SyncBody", Bad::ForeignTopLevel, 1, "-9996"},
        {"status 500 to our Alert", Bad::ErrorStatus, 2, "500"},
    };
    attach("Pty Server", kSyncMLDevicePtyContacts);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto phone = std::make_shared<SyncMLDevicePtyPhone>(3);
        sim->modifyObexServer([&](phonesim::ObexServer& server) {
            server.setSyncMLClientMessage(phone->first(201));
            server.setSyncMLClientResponder([phone](const QByteArray& answer) { return phone->next(answer); });
            server.setSyncMLClientBadAnswer(c.kind, c.message);
        });
        ScriptedSessionJob job;
        EXPECT_EQ(runSession(job), QLatin1String(c.result));
        EXPECT_EQ(job.finished.size(), 1);
        EXPECT_TRUE(job.delivered.isEmpty());
    }
}

// The time of a 500-contact slow sync through the device against phonesim
// paced at 460,800 bit/s, as a share of the line rate (the SyncML messages'
// bytes both ways against the time the run took). In real time; runs only
// when MARVESTO_SYNCML_SPEED is set.
TEST_F(SyncMLDevicePtyTest, SpeedOfA500ContactSlowSyncOnAnEmulatedLine)
{
    if (qEnvironmentVariableIsEmpty("MARVESTO_SYNCML_SPEED"))
        GTEST_SKIP() << "set MARVESTO_SYNCML_SPEED=1 to measure";
    constexpr int kRate = 460800;
    testing_support::RealTimeScope realTime;
    attach("Pty Server", kSyncMLDevicePtyContacts);
    sim->setLineRate(kRate);
    auto phone = std::make_shared<SyncMLDevicePtyPhone>(500, 40);
    sim->modifyObexServer([&](phonesim::ObexServer& server) {
        server.setSyncMLClientMessage(phone->first(201));
        server.setSyncMLClientResponder([phone](const QByteArray& answer) { return phone->next(answer); });
    });
    ScriptedSessionJob job;
    std::shared_ptr<QVSyncElem> ours;
    job.commands = syncMLDevicePtyOurCard(&ours);
    QElapsedTimer withSlot;
    withSlot.start();
    qint64 slotOpenNs = 0;
    EXPECT_EQ(runSession(job, 0,
                         [&] {
                             slotOpenNs = withSlot.nsecsElapsed();
                             phone->wallClock.start();
                         }),
              QStringLiteral("0"));
    const double total = double(withSlot.nsecsElapsed()) / 1e9;
    EXPECT_EQ(job.delivered.size(), 500);
    const double seconds = double(phone->endedAfterNs.load()) / 1e9;
    ASSERT_GT(seconds, 0);
    QMutexLocker lock(&phone->mutex);
    const double lineSeconds = double(phone->bytes) * 10.0 / kRate;
    std::printf("SyncML slow sync, 500 contacts, %lld bytes of SyncML messages both ways at %d bit/s: %.3f s from "
                "the session's start to the phone's last message (%.3f s of it the bytes themselves: %.0f %% of the "
                "line rate, %d messages each way, the device's pause %.2f s after each); %.2f s in all with the "
                "slot's opening (%.2f s), the session's end and the slot's close\n",
                static_cast<long long>(phone->bytes), kRate, seconds, lineSeconds, 100.0 * lineSeconds / seconds,
                int(phone->answers.size()), double(device->pauseAfterAnyAction()), total, double(slotOpenNs) / 1e9);
}
