#include "BluetoothPhoneFixture.h"
#include "FakeSerialATChannel.h"

#include "IdentificationScripts.h"
#include "links/CommonAsyncDeviceIdentifier.h"
#include "links/LinkCodes.h"
#include "platform/Clock.h"
#include "platform/NotificationCenter.h"

#include <QFile>
#include <QTemporaryDir>

namespace {

const QStringList kCommands{QStringLiteral("AT+CGMM"), QStringLiteral("AT+CGMI"), QStringLiteral("AT+CGSN"),
                            QStringLiteral("AT+CGMR")};

class CommonAsyncDeviceIdentifierTest : public BluetoothPhoneFixture {
protected:
    void TearDown() override
    {
        platform::NotificationCenter::defaultCenter().removeObserver(this);
        freeIdentifier();
        BluetoothPhoneFixture::TearDown();
    }

    CommonAsyncDeviceIdentifier& identifierFor(const char* profile, QStringList scripts = {})
    {
        addPhone(profile);
        for (const QString& script : scripts)
            EXPECT_TRUE(phonesim::IdentificationScripts::apply(*sim, script));
        identifier = CommonAsyncDeviceIdentifier::withBTDeviceString(address());
        return *identifier;
    }
    // Runs the four identification commands; answers the run's status.
    int identify(const char* profile, QStringList scripts = {})
    {
        CommonAsyncDeviceIdentifier& id = identifierFor(profile, scripts);
        int status = -99;
        id.requestATCommandsSync(kCommands, &status);
        return status;
    }
    void freeIdentifier()
    {
        if (!identifier)
            return;
        const auto token = identifier->lifeToken();
        identifier->closeAndFree();
        identifier = nullptr;
        EXPECT_TRUE(testing_support::runUntil([&] { return token.expired(); }, 10.0)) << "the identifier frees itself";
    }
    void observe()
    {
        platform::NotificationCenter::defaultCenter().addObserver(
            this, QLatin1String(CommonAsyncDeviceIdentifier::kProcessedATCommandNotify), nullptr,
            [this](const platform::Notification& n) { notes.append(n.userInfo); });
    }

    CommonAsyncDeviceIdentifier* identifier = nullptr;
    QList<QVariantMap> notes;
};

} // namespace

TEST_F(CommonAsyncDeviceIdentifierTest, ReadsMakerModelSerialAndRevision)
{
    observe();
    ASSERT_EQ(identify("lg"), 0);
    EXPECT_EQ(identifier->identifyDevice(), QLatin1String("QUALCOMM INCORPORATED+KU990"));
    EXPECT_EQ(identifier->getSerialNumber(), QLatin1String("354123012345672"));
    EXPECT_EQ(identifier->swRevision(), QLatin1String("V10c_00"));
    EXPECT_EQ(identifier->deviceName(), QLatin1String("Phone")) << "the Bluetooth name";
    EXPECT_EQ(identifier->percentDone(), 5 * 100.0 / 8);
    ASSERT_EQ(notes.size(), 4);
    EXPECT_EQ(notes[0].value("request"), QStringLiteral("AT+CGMM"));
    EXPECT_EQ(notes[0].value("answer"), QStringLiteral("KU990"));
    EXPECT_EQ(notes[3].value("index"), 4);
    EXPECT_EQ(notes[3].value("maxIndex"), 4);
    EXPECT_EQ(sim->receivedLines(), (QList<QByteArray>{"ATE0", "AT+CGMM", "AT+CGMI", "AT+CGSN", "AT+CGMR"}));

    const auto token = identifier->lifeToken();
    identifier->closeWithNotification();
    identifier = nullptr;
    ASSERT_TRUE(testing_support::runUntil([&] { return token.expired(); }, 10.0));
}

TEST_F(CommonAsyncDeviceIdentifierTest, AnswersInSmallPiecesIdentifyThePhone)
{
    // A slow line: the phone's answers come a few bytes at a time.
    for (int piece : {2, 3, 5, 7}) {
        SCOPED_TRACE(piece);
        CommonAsyncDeviceIdentifier& id = identifierFor("lg");
        sim->setAnswerChunking(piece, 1);
        int status = -99;
        id.requestATCommandsSync(kCommands, &status);
        ASSERT_EQ(status, 0);
        EXPECT_EQ(id.identifyDevice(), QLatin1String("QUALCOMM INCORPORATED+KU990"));
        EXPECT_EQ(id.getSerialNumber(), QLatin1String("354123012345672"));
        EXPECT_EQ(id.swRevision(), QLatin1String("V10c_00"));
        freeIdentifier();
    }
}

TEST_F(CommonAsyncDeviceIdentifierTest, IdentificationScriptsOfTheMakers)
{
    struct Case {
        const char* profile;
        QStringList scripts;
        const char* identification;
        const char* serial;
    };
    const Case cases[] = {
        {"motorola", {"motorola-model", "imei-serial"}, "Motorola+MODEL=V3", "351234567890123"},
        {"motorola", {}, "+CGMI: \"Motorola CE, Copyright 2000\"++CGMM: \"GSM900\",\"GSM1800\",\"GSM1900\","
                         "\"GSM850\",\"MODEL=V3\"", "0000000000000000"},
        {"nokia", {"error-serial"}, "Nokia+Nokia 6230i", "0000000000000000"},
        {"siemens", {}, "SIEMENS+S65", "351234001234565"},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(identify(c.profile, c.scripts), 0) << c.profile;
        EXPECT_EQ(identifier->identifyDevice(), QString::fromLatin1(c.identification)) << c.profile;
        EXPECT_EQ(identifier->getSerialNumber(), QLatin1String(c.serial)) << c.profile;
        freeIdentifier();
    }
}

TEST_F(CommonAsyncDeviceIdentifierTest, GigasetHandsetAsksForItsModelAfterTheRevision)
{
    observe();
    CommonAsyncDeviceIdentifier& id = identifierFor("gigaset", {"gigaset-handset"});
    int status = -99;
    id.requestATCommandsSync(kCommands + QStringList{QStringLiteral("AT^WPPN")}, &status);
    ASSERT_EQ(status, 0);
    EXPECT_TRUE(id.isGigaset());
    EXPECT_EQ(sim->receivedLines(),
              (QList<QByteArray>{"ATE0", "AT+CGMM", "AT+CGMI", "AT+CGSN", "AT+CGMR", "AT^HSMM?", "AT^WPPN"}));
    QList<int> maxIndex;
    for (const QVariantMap& note : std::as_const(notes))
        maxIndex.append(note.value("maxIndex").toInt());
    EXPECT_EQ(maxIndex, (QList<int>{5, 5, 5, 5, 6, 6}));
    EXPECT_EQ(id.identifyDevice(), QLatin1String("Gigaset+SL785"));
}

TEST_F(CommonAsyncDeviceIdentifierTest, GigasetCountsTheInsertedCommand)
{
    observe();
    int status = -99;
    identifierFor("gigaset", {"gigaset-handset"}).requestATCommandsSync(kCommands, &status);
    ASSERT_EQ(status, 0);
    ASSERT_EQ(notes.size(), 5);
    EXPECT_EQ(notes[3].value("request"), QStringLiteral("AT+CGMR"));
    EXPECT_EQ(notes[3].value("maxIndex"), 4);
    EXPECT_EQ(notes[4].value("request"), QStringLiteral("AT^HSMM?"));
    EXPECT_EQ(notes[4].value("maxIndex"), 5);
}

TEST_F(CommonAsyncDeviceIdentifierTest, ProgressAfterTheOpenAndADetachedRequester)
{
    CommonAsyncDeviceIdentifier& id = identifierFor("lg");
    QList<double> progress;
    int finished = 0;
    int requester = 0;
    id.requestATCommands(kCommands, &requester, [&](CommonAsyncDeviceIdentifier& i) {
        if (i.isFinished()) {
            ++finished;
            return;
        }
        progress.append(i.percentDone());
        i.delegateIsNoLongerInterested();
    });
    const auto token = id.lifeToken();
    identifier = nullptr;   // it frees itself
    ASSERT_TRUE(testing_support::runUntil([&] { return token.expired(); }, 10.0));
    EXPECT_EQ(progress, QList<double>{12.5});
    EXPECT_EQ(finished, 0) << "a detached requester hears nothing";
    EXPECT_EQ(sim->receivedLines(), QList<QByteArray>{"ATE0"}) << "no command after the requester left";
}

TEST_F(CommonAsyncDeviceIdentifierTest, SilentPhoneTimesOutAndALateAnswerChangesNothing)
{
    CommonAsyncDeviceIdentifier& id = identifierFor("lg");
    sim->holdAnswersTo("+CGSN");
    observe();
    int status = -99;
    const double start = platform::Clock::instance().now();
    id.requestATCommandsSync(kCommands, &status);
    EXPECT_EQ(status, links::kErrRequestTimeout);
    EXPECT_LT(platform::Clock::instance().now() - start, 10.0);
    const qsizetype answered = notes.size();
    EXPECT_EQ(answered, 2);

    sim->releaseHeldAnswers();
    ASSERT_TRUE(testing_support::runUntil([&] { return id.responses().contains("AT+CGSN"); }, 5.0));
    testing_support::runFor(3.0);
    EXPECT_EQ(id.returnStatus(), links::kErrRequestTimeout);
    EXPECT_EQ(notes.size(), answered);
    EXPECT_EQ(sim->receivedLines().last(), QByteArray("AT+CGSN")) << "nothing sent after the time-out";
}

TEST_F(CommonAsyncDeviceIdentifierTest, NoOpenWithinItsTimeOut)
{
    // Bluetooth: 40 s (the run ends inside the channel's own bounded open).
    CommonAsyncDeviceIdentifier& id = identifierFor("lg");
    stack->setOpenDelay(1000);
    const double start = platform::Clock::instance().now();
    std::optional<double> ended;
    int requester = 0;
    id.requestATCommands(kCommands, &requester, [&](CommonAsyncDeviceIdentifier& i) {
        if (i.isFinished())
            ended = platform::Clock::instance().now() - start;
    });
    ASSERT_TRUE(testing_support::runUntil([&] { return ended.has_value(); }, 100.0));
    EXPECT_EQ(id.returnStatus(), links::kErrRequestTimeout);
    EXPECT_NEAR(*ended, CommonAsyncDeviceIdentifier::kOpenTimeOutBluetooth, 0.5);
    testing_support::runFor(60.0);
    EXPECT_EQ(id.returnStatus(), links::kErrRequestTimeout);
    freeIdentifier();
    int status = -99;

    // USB: 10 s, over a transport whose open never ends.
    struct NeverOpens : FakeSerialATChannel {
        using FakeSerialATChannel::FakeSerialATChannel;
        int openConnection(const std::shared_ptr<QVDeviceCallback>& callback) override
        {
            pending = callback;
            return 0;
        }
        std::shared_ptr<QVDeviceCallback> pending;
    };
    identifier = new CommonAsyncDeviceIdentifier(QVariantMap{{"vendorId", 1}}, QStringLiteral("USB-Serial"));
    identifier->setChannelFactory([](const QString&, const QVariantMap&, MFDevice* device,
                                     SerialDelegateProtocol* delegate, SerialATChannel::PhoneTraits traits) {
        return std::make_unique<NeverOpens>(device, delegate, traits);
    });
    const double usbStart = platform::Clock::instance().now();
    identifier->requestATCommandsSync(kCommands, &status);
    EXPECT_EQ(status, links::kErrRequestTimeout);
    EXPECT_NEAR(platform::Clock::instance().now() - usbStart, CommonAsyncDeviceIdentifier::kOpenTimeOutUSB, 0.5);
    // The open's late end is ignored.
    auto* channel = static_cast<NeverOpens*>(identifier->serialChannel());
    channel->pending->finishWithResult(0, QVariant());
    EXPECT_EQ(identifier->returnStatus(), links::kErrRequestTimeout);
}

TEST_F(CommonAsyncDeviceIdentifierTest, AdditionalInformationFromTheServiceRecords)
{
    struct Case {
        const char* profile;
        quint8 channel;
        const char* name;
        bool pcSuite;
        quint8 push, syncML;
    };
    const Case cases[] = {
        {"nokia", 14, "Nokia OBEX PC Suite Services", true, 9, 11},
        {"lg", 10, "OBEX File Transfer", false, 9, 11},
        {"siemens", 255, "", false, 3, 255},
    };
    for (const Case& c : cases) {
        CommonAsyncDeviceIdentifier& id = identifierFor(c.profile);
        int error = -1;
        EXPECT_TRUE(id.getAdditionalInformation(&error)) << c.profile;
        EXPECT_EQ(error, 0);
        EXPECT_EQ(id.channelID(), c.channel) << c.profile;
        EXPECT_EQ(id.serviceName(), QLatin1String(c.name)) << c.profile;
        EXPECT_EQ(id.isNokiaPCSuite(), c.pcSuite) << c.profile;
        EXPECT_EQ(id.objectPushChannelID(), c.push) << c.profile;
        EXPECT_EQ(id.syncMLChannelID(), c.syncML) << c.profile;
        freeIdentifier();
    }
    // A File Transfer record without a name.
    addPhoneWithRecords({platform::SdpServiceRecord::make({platform::BluetoothUuid::uuid16(0x1106)}, QString(), 7)});
    identifier = CommonAsyncDeviceIdentifier::withBTDeviceString(address());
    int error = -1;
    EXPECT_TRUE(identifier->getAdditionalInformation(&error));
    EXPECT_EQ(identifier->serviceName(), QLatin1String("<NO SERVICE NAME>"));
    EXPECT_EQ(identifier->channelID(), 7);
    freeIdentifier();

    EXPECT_EQ(CommonAsyncDeviceIdentifier::withBTDeviceString(QString()), nullptr);
    identifier = CommonAsyncDeviceIdentifier::withBTDeviceString(QStringLiteral("12:34"));
    EXPECT_FALSE(identifier->getAdditionalInformation(&error)) << "no device for the address";
}

TEST_F(CommonAsyncDeviceIdentifierTest, PhoneOfADeviceFileIsReachedOnItsSocket)
{
    // phonesim --socket PATH --device-file FILE, and the program started with
    // MARVESTO_BLUETOOTH_DEVICES=FILE.
    QTemporaryDir folder;
    const QString socketPath = folder.filePath(QStringLiteral("phone.sock"));
    phonesim::PhoneSimulator phone(*phonesim::PhoneProfile::named(QStringLiteral("samsung")));
    ASSERT_TRUE(phone.startListening(socketPath)) << phone.errorString().toStdString();
    const QString deviceFile = folder.filePath(QStringLiteral("devices.json"));
    QFile file(deviceFile);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(phonesim::ServiceRecords::deviceFile(address(), QStringLiteral("SGH-E250"), QStringLiteral("samsung"),
                                                    socketPath));
    file.close();
    qputenv(platform::BluetoothStack::kSimulationEnvironment, deviceFile.toLocal8Bit());
    platform::BluetoothStack::setShared(nullptr);
    EXPECT_EQ(platform::BluetoothStack::shared().deviceWithAddressString(address())->name(),
              QLatin1String("SGH-E250"));
    qunsetenv(platform::BluetoothStack::kSimulationEnvironment);

    identifier = CommonAsyncDeviceIdentifier::withBTDeviceString(address());
    int status = -99;
    identifier->requestATCommandsSync(kCommands, &status);
    ASSERT_EQ(status, 0);
    EXPECT_EQ(identifier->identifyDevice(), QLatin1String("SAMSUNG ELECTRONICS+SGH-E250"));
    EXPECT_EQ(identifier->deviceName(), QLatin1String("SGH-E250"));
    freeIdentifier();
}
