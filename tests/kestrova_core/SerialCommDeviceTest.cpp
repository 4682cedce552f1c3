// The serial transport against the simulated phone on a pseudo-terminal.
#include "CoreTestSupport.h"
#include "VirtualTime.h"

#include "kestrova/core/CoreConstants.h"
#include "kestrova/core/SLTBSDSerialCommDevice.h"
#include "platform/Clock.h"

#include "PhoneSimulator.h"

#include <QProcess>
#include <gtest/gtest.h>

using namespace coretest;
using namespace kestrova::core;
using testing_support::OutsideInputScope;
using testing_support::runUntil;

namespace {

// stty's restorable form of a tty's settings.
QString sttyG(const QString& path)
{
    QProcess stty;
    stty.start(QStringLiteral("stty"), {QStringLiteral("-g"), QStringLiteral("-F"), path});
    stty.waitForFinished(10000);
    return QString::fromLocal8Bit(stty.readAllStandardOutput()).trimmed();
}

// Keeps what the transport tells, reading on after every chunk as the state
// machine does while a reply is incomplete.
struct Listener : MultiCommDeviceDelegate {
    QStringList chunks;
    QList<double> chunkTimes;
    double openedAt = -1;
    int openFailed = 0;
    int errors = 0;
    int timeouts = 0;
    int closed = 0;
    bool readOn = true;

    void sltGeneralCommDeviceOpenSuccessful(MultiCommDevice*) override { openedAt = now(); }
    void sltGeneralCommDeviceOpenFailed(MultiCommDevice*) override { ++openFailed; }
    void sltGeneralCommDeviceBufferFilled(MultiCommDevice* device, const QString& chunk) override
    {
        chunks.append(chunk);
        chunkTimes.append(now());
        if (readOn)
            device->goOnReading();
    }
    void sltGeneralCommDeviceCommandError(MultiCommDevice*) override { ++errors; }
    void sltGeneralCommDeviceTimeout(MultiCommDevice*) override { ++timeouts; }
    void sltGeneralCommDeviceConnectionClosed(MultiCommDevice*) override { ++closed; }
};

class SerialCommDeviceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        sim = std::make_unique<phonesim::PhoneSimulator>(*phonesim::PhoneProfile::named(QStringLiteral("lg")));
        ASSERT_TRUE(sim->start()) << sim->errorString().toStdString();
    }
    std::unique_ptr<SLTBSDSerialCommDevice> openLink()
    {
        auto link = SLTBSDSerialCommDevice::initWithBSDFullPath(sim->slavePath());
        if (!link)
            return nullptr;
        link->setDelegate(&listener);
        link->openConnection();
        runUntil([&] { return listener.openedAt >= 0; }, 2.0, 0.05);
        return link;
    }

    std::unique_ptr<phonesim::PhoneSimulator> sim;
    Listener listener;
    OutsideInputScope outside;
};

} // namespace

TEST_F(SerialCommDeviceTest, NoTransportForAMissingPathOrATtyHeldByAnother)
{
    EXPECT_EQ(SLTBSDSerialCommDevice::initWithBSDFullPath(QString()), nullptr);
    EXPECT_EQ(SLTBSDSerialCommDevice::initWithBSDFullPath(QStringLiteral("/nonexistent/ttyACM7")), nullptr);
    auto holder = SLTBSDSerialCommDevice::initWithBSDFullPath(sim->slavePath());
    ASSERT_NE(holder, nullptr);
    EXPECT_EQ(SLTBSDSerialCommDevice::initWithBSDFullPath(sim->slavePath()), nullptr);

    // The machine then has no transport and reports a connection error.
    for (const QString& path : {QStringLiteral("/nonexistent/ttyACM7"), sim->slavePath()}) {
        SLTStateMachine machine;
        StateRecorder recorder;
        machine.setDelegate(&recorder);
        machine.setDeviceType(kDeviceTypeSerial);
        machine.setFilename(path);
        machine.requestState(kStateConnected);
        EXPECT_EQ(machine.commDevice(), nullptr);
        EXPECT_TRUE(runUntil([&] { return !recorder.states.isEmpty(); }));
        EXPECT_EQ(recorder.states, QList<int>{kStateConnectionError});
    }
}

TEST_F(SerialCommDeviceTest, OpensRawAt115200AndRestoresTheSettingsAtClose)
{
    const QString before = sttyG(sim->slavePath());
    ASSERT_FALSE(before.isEmpty());
    const double start = now();
    auto link = openLink();
    ASSERT_NE(link, nullptr);
    EXPECT_NEAR(listener.openedAt - start, SLTBSDSerialCommDevice::kOpenDelaySeconds, 0.06);
    EXPECT_NE(sttyG(sim->slavePath()), before);

    const struct termios set = SLTBSDSerialCommDevice::linkSettings(termios{});
    EXPECT_EQ(cfgetospeed(&set), speed_t(B115200));
    EXPECT_EQ(set.c_cc[VMIN], 0);
    EXPECT_EQ(set.c_cc[VTIME], 50);
    EXPECT_EQ(set.c_lflag & (ICANON | ISIG | ECHO | ECHOE), 0u);
    EXPECT_EQ(set.c_cflag & (CLOCAL | CREAD), tcflag_t(CLOCAL | CREAD));

    coretest::WillCloseRecorder willClose;
    link->setWillCloseCallback(&willClose);
    link->close();
    EXPECT_EQ(willClose.channels, QList<const void*>{link.get()});
    EXPECT_EQ(listener.closed, 1);
    EXPECT_EQ(sttyG(sim->slavePath()), before);
}

TEST_F(SerialCommDeviceTest, ReplyInPiecesGivesOneChunkEachWhileTheBuffersHoldItAll)
{
    auto link = openLink();
    ASSERT_NE(link, nullptr);
    sim->setAnswerChunking(3, 30);
    link->sendCommand(QStringLiteral("AT\r"));
    ASSERT_TRUE(runUntil([&] { return listener.chunks.size() == 3; }, 10.0, 0.05));
    const QString whole = QStringLiteral("AT\r\r\nOK\r\n");
    EXPECT_EQ(listener.chunks, (QStringList{"AT\r", "\r\nO", "K\r\n"}));
    EXPECT_EQ(link->buffer(), whole);
    EXPECT_EQ(link->rawBuffer(), whole.toLatin1());
    EXPECT_EQ(sim->receivedLines(), QList<QByteArray>{"AT"});
}

TEST_F(SerialCommDeviceTest, BytesBecomeTextOneToOne)
{
    auto link = openLink();
    ASSERT_NE(link, nullptr);
    sim->setHandler("+CPBR", [](phonesim::PhoneSession&, const phonesim::AtCommand&) {
        return phonesim::AtResult::okay({QByteArray("+CPBR: 1,\"\xE4\xFF\x80\"")});
    });
    link->sendCommand(QStringLiteral("AT+CPBR=1\r"));
    ASSERT_TRUE(runUntil([&] { return link->buffer().endsWith(QLatin1String("OK\r\n")); }, 10.0, 0.05));
    EXPECT_EQ(link->buffer().toLatin1(), link->rawBuffer());
    EXPECT_TRUE(link->rawBuffer().contains("\xE4\xFF\x80"));
}

TEST_F(SerialCommDeviceTest, SilenceEndsAReadWithAnEmptyChunkAfterFiveSeconds)
{
    auto link = openLink();
    ASSERT_NE(link, nullptr);
    listener.readOn = false;
    const double start = now();
    link->sendCommand(QStringLiteral("no answer to this\r"));
    ASSERT_TRUE(runUntil([&] { return !listener.chunks.isEmpty(); }, 10.0, 0.05));
    EXPECT_EQ(listener.chunks, QStringList{QString()});
    EXPECT_NEAR(listener.chunkTimes.first() - start, 5.0, 0.1);
    EXPECT_FALSE(link->dataReceived());
}

TEST_F(SerialCommDeviceTest, TimeOutTimerNeverRunsButItsFiringTellsTheDelegate)
{
    auto link = openLink();
    ASSERT_NE(link, nullptr);
    listener.readOn = false;
    // The tty's read limit ends a silent read; the time-out timer stays off.
    link->startTimer();
    link->sendCommand(QStringLiteral("no answer to this\r"));
    ASSERT_TRUE(runUntil([&] { return !listener.chunks.isEmpty(); }, 10.0, 0.05));
    link->startTimer();
    testing_support::runFor(30.0);
    EXPECT_EQ(listener.timeouts, 0);

    KitLogCapture log;
    link->stopTimer();
    link->timeoutFired();
    EXPECT_EQ(listener.timeouts, 1);
    EXPECT_TRUE(log.contains(QStringLiteral("SLTBSDSerialCommDevice timeout")));
}

TEST_F(SerialCommDeviceTest, PhoneGoneEndsTheReadWithAnError)
{
    auto link = openLink();
    ASSERT_NE(link, nullptr);
    link->sendCommand(QStringLiteral("no answer to this\r"));
    sim->stop();   // the master side closes: the tty hangs up
    ASSERT_TRUE(runUntil([&] { return listener.errors > 0; }, 3.0, 0.05));
    EXPECT_TRUE(listener.chunks.isEmpty());
}
