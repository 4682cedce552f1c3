#include "IdentificationScripts.h"
#include "PhoneSimulator.h"
#include "PtyClient.h"
#include "ServiceRecords.h"

#include "VirtualTime.h"

#include <QJsonDocument>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using phonesim::PhoneProfile;
using phonesim::PhoneSimulator;

namespace {

class SocketFaceTest : public ::testing::Test {
protected:
    PhoneSimulator sim{*PhoneProfile::named(QStringLiteral("nokia"))};
    testing_support::OutsideInputScope outside;
};

int connectTo(const QString& path)
{
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    const QByteArray name = path.toLocal8Bit();
    std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

TEST_F(SocketFaceTest, SocketPairServesTheSessionAndANewConnectionReplacesTheOld)
{
    PtyClient first(sim.connectSocketPair());
    ASSERT_TRUE(first.isOpen());
    EXPECT_EQ(first.command("ATE0"), QByteArray("ATE0\r\r\nOK\r\n"));
    EXPECT_EQ(first.command("AT+CGMI"), QByteArray("\r\nNokia\r\n\r\nOK\r\n"));

    PtyClient second(sim.connectSocketPair());
    EXPECT_EQ(second.command("AT+CGMM"), QByteArray("\r\nNokia 6230i\r\n\r\nOK\r\n"));
    EXPECT_TRUE(first.readFor(0.5).isEmpty()) << "the old connection hears nothing more";
}

TEST_F(SocketFaceTest, ListeningSocketServesOneClientAfterAnother)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("phone.sock"));
    ASSERT_TRUE(sim.startListening(path)) << sim.errorString().toStdString();
    {
        PtyClient client(connectTo(path));
        ASSERT_TRUE(client.isOpen());
        EXPECT_TRUE(client.command("ATE0").endsWith("OK\r\n"));
    }
    PtyClient again(connectTo(path));
    ASSERT_TRUE(again.isOpen());
    EXPECT_EQ(again.command("AT+CGSN"), QByteArray("\r\n356789011234563\r\n\r\nOK\r\n"));
    sim.stop();
    EXPECT_EQ(connectTo(path), -1) << "the socket is gone with the phone";
}

TEST_F(SocketFaceTest, ObexSocketStartsStraightInOBEXMode)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("phone.sock"));
    ASSERT_TRUE(sim.startListening(path)) << sim.errorString().toStdString();
    PtyClient obex(connectTo(phonesim::ServiceRecords::obexSocketPath(path)));
    ASSERT_TRUE(obex.isOpen());
    ASSERT_TRUE(obex.write(QByteArray::fromHex("80000710002000")));
    const QByteArray answer = obex.readFor(1.0);
    ASSERT_GE(answer.size(), 7);
    EXPECT_EQ(quint8(answer[0]), 0xA0);
    EXPECT_TRUE(sim.obexMode());
    sim.stop();
    EXPECT_EQ(connectTo(phonesim::ServiceRecords::obexSocketPath(path)), -1);
}

TEST_F(SocketFaceTest, HeldAnswersComeWhenReleased)
{
    sim.modifySession([](phonesim::PhoneSession& s) { s.echo = false; });
    sim.holdAnswersTo("+CGSN");
    PtyClient client(sim.connectSocketPair());
    ASSERT_TRUE(client.write("AT+CGSN\r"));
    EXPECT_TRUE(client.readFor(0.5).isEmpty());
    EXPECT_EQ(client.command("AT+CGMI"), QByteArray("\r\nNokia\r\n\r\nOK\r\n")) << "other commands go on";
    sim.releaseHeldAnswers();
    EXPECT_EQ(client.readAnswer(5.0), QByteArray("\r\n356789011234563\r\n\r\nOK\r\n"));
}

TEST_F(SocketFaceTest, IdentificationScripts)
{
    struct Case {
        const char* script;
        const char* command;
        const char* answer;
    };
    const Case cases[] = {
        {"motorola-model", "AT+CGMI", "\r\nMotorola\r\n\r\nOK\r\n"},
        {"motorola-model", "AT+CGMM", "\r\n+CGMM: \"GSM900\",\"MODEL=V3\"\r\n\r\nOK\r\n"},
        {"gigaset-handset", "AT+CGMM", "\r\nBRUSSELS\r\n\r\nOK\r\n"},
        {"gigaset-handset", "AT^HSMM?", "\r\n^HSMM: 2\r\n\r\nOK\r\n"},
        {"gigaset-handset", "AT^WPPN", "\r\n^WPPN: 1,SL785\r\n\r\nOK\r\n"},
        {"imei-serial", "AT+CGSN", "\r\nIMEI351234567890123\r\n\r\nOK\r\n"},
        {"error-serial", "AT+CGSN", "\r\nERROR\r\n"},
        {"error-serial", "AT+GSN", "\r\nERROR\r\n"},
    };
    sim.modifySession([](phonesim::PhoneSession& s) { s.echo = false; });
    PtyClient client(sim.connectSocketPair());
    for (const Case& c : cases) {
        ASSERT_TRUE(phonesim::IdentificationScripts::apply(sim, QLatin1String(c.script)));
        EXPECT_EQ(client.command(c.command), QByteArray(c.answer)) << c.script << " " << c.command;
    }
    EXPECT_FALSE(phonesim::IdentificationScripts::apply(sim, QStringLiteral("none")));
}

TEST(ServiceRecordsTest, EveryProfileOffersAnATChannelAndADeviceFileNamesIt)
{
    for (const QString& profile : PhoneProfile::names()) {
        EXPECT_FALSE(phonesim::ServiceRecords::atChannels(profile).isEmpty()) << profile.toStdString();
        const QVariantMap file =
            QJsonDocument::fromJson(phonesim::ServiceRecords::deviceFile(QStringLiteral("00:12:34:56:78:9a"),
                                                                         QStringLiteral("Phone"), profile,
                                                                         QStringLiteral("/tmp/p.sock")))
                .toVariant()
                .toMap();
        const QVariantMap device = file.value(QStringLiteral("devices")).toList().value(0).toMap();
        EXPECT_EQ(device.value(QStringLiteral("records")).toList().size(),
                  phonesim::ServiceRecords::forProfile(profile).size());
        const QVariantMap channels = device.value(QStringLiteral("channels")).toMap();
        EXPECT_EQ(channels.size(),
                  phonesim::ServiceRecords::atChannels(profile).size()
                      + phonesim::ServiceRecords::obexChannels(profile).size());
        // The OBEX channels reach the socket that starts in OBEX mode.
        for (int channel : phonesim::ServiceRecords::obexChannels(profile))
            EXPECT_EQ(channels.value(QString::number(channel)).toString(), QStringLiteral("/tmp/p.sock.obex"));
    }
    EXPECT_EQ(phonesim::ServiceRecords::atChannels(QStringLiteral("gigaset")), QList<int>{1});
}
