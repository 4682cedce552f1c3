#include "BluetoothPhoneFixture.h"
#include "LinkTestSupport.h"
#include "TestLinkOwner.h"

#include "links/BTObexObjectPushConnection.h"
#include "links/LinkCodes.h"
#include "links/ObexPacket.h"
#include "links/QVDeviceCallback.h"

#include <QFile>
#include <QTemporaryDir>
#include <optional>
#include <sys/stat.h>

namespace {

using testing_support::runUntil;
using Fault = phonesim::ObexServer::Fault;
using FaultKind = phonesim::ObexServer::FaultKind;

constexpr quint8 kOpConnect = 0x80;
constexpr quint8 kOpPut = 0x02;
constexpr quint8 kOpPutFinal = 0x82;
constexpr quint8 kOpGetFinal = 0x83;
constexpr quint8 kOpAbort = 0xFF;
constexpr quint8 kOpDisconnect = 0x81;

QByteArray pushTestBytes(int size)
{
    QByteArray data(size, '\0');
    for (int i = 0; i < size; ++i)
        data[i] = char((i * 7 + 3) & 0xFF);
    return data;
}

// A finish recorder with the progress reports it saw; stopAt makes the
// progress answer "stop" once that percentage is reached.
struct PushEnd {
    std::optional<int> status;
    QVariant result;
    float maxProgress = 0;
    float stopAt = 1000;
    std::shared_ptr<QVDeviceCallback> callback()
    {
        return QVDeviceCallback::commandObject(
            &kCallbackSender,
            [this](QVDeviceCallback& c) {
                status = c.returnStatus();
                result = c.resultObject();
            },
            [this](QVDeviceCallback& c) {
                maxProgress = std::max(maxProgress, c.prozDone());
                return c.prozDone() >= stopAt;
            });
    }
    bool wait(double seconds = 30) { return runUntil([&] { return status.has_value(); }, seconds); }
};

class ObexObjectPushTest : public BluetoothPhoneFixture {
protected:
    // The phone's Object Push connection, open.
    void openPush(const char* profile = "sonyericsson", int maxPacket = 0)
    {
        addPhone(profile);
        if (maxPacket > 0)
            sim->modifyObexServer([&](phonesim::ObexServer& s) { s.setMaxPacket(maxPacket); });
        push = std::make_unique<BTObexObjectPushConnection>(&owner, connectionDict());
        PushEnd opened;
        ASSERT_EQ(push->openConnection(opened.callback()), 0);
        ASSERT_TRUE(opened.wait());
        ASSERT_EQ(*opened.status, 0);
        ASSERT_TRUE(push->hasConnection());
    }
    QString writeFile(const QString& name, const QByteArray& data)
    {
        const QString path = dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(data);
        return path;
    }
    QList<quint8> requests() const { return sim->obexServer().requests(); }

    TestLinkOwner owner{QStringLiteral("Bluetooth")};
    QTemporaryDir dir;
    std::unique_ptr<BTObexObjectPushConnection> push;
};

} // namespace

TEST_F(ObexObjectPushTest, RegistersOnItsChannelAndTheSuiteFormOnThePCSuiteChannel)
{
    addPhone("nokia");
    BTObexObjectPushConnection objectPush(&owner, connectionDict());
    BTNokiaPCSuitePushConnection suite(&owner, connectionDict());
    ASSERT_EQ(owner.registrations.size(), 2);
    EXPECT_EQ(owner.registrations.at(0).first, QStringLiteral("Push"));
    EXPECT_EQ(owner.registrations.at(0).second.value(QStringLiteral("channel")).toInt(), 9);
    EXPECT_EQ(owner.registrations.at(1).first, QStringLiteral("PCSuite"));
    EXPECT_EQ(owner.registrations.at(1).second.value(QStringLiteral("channel")).toInt(), 14);
    EXPECT_TRUE(suite.isNokiaPCSuite());
}

TEST_F(ObexObjectPushTest, PhoneWithoutObjectPushChannelHasNoSession)
{
    addPhoneWithRecords({service(0x1103, 1)});
    BTObexObjectPushConnection objectPush(nullptr, connectionDict());
    EXPECT_EQ(objectPush.connectionChannelD(), 255);
    PushEnd opened;
    EXPECT_EQ(objectPush.openConnection(opened.callback()), ObexObjectPushConnection::kNoSession);
}

TEST_F(ObexObjectPushTest, FileOfThreePayloadsGoesAsThreePutsAndArrivesWhole)
{
    openPush("sonyericsson", 512);
    // First packet: 512 - 3 - headers (Name "a.bin" 15, Length 5) - 3.
    const int first = 512 - 3 - 20 - 3;
    const int next = 512 - 6;
    const QByteArray data = pushTestBytes(first + next + 100);
    PushEnd pushed;
    ASSERT_EQ(push->pushFileAsync(writeFile(QStringLiteral("a.bin"), data), pushed.callback()), 0);
    ASSERT_TRUE(pushed.wait());
    EXPECT_EQ(*pushed.status, 0);
    EXPECT_FLOAT_EQ(pushed.maxProgress, 100.0f);
    EXPECT_EQ(requests(), (QList<quint8>{kOpConnect, kOpPut, kOpPut, kOpPutFinal}));
    EXPECT_EQ(sim->obexServer().files().value(QStringLiteral("/a.bin")), data);
    EXPECT_FALSE(push->isBusy());
}

TEST_F(ObexObjectPushTest, FilesThatCannotBePushedAreRefusedAtOnceAndNothingIsSent)
{
    openPush();
    const QString fifo = dir.filePath(QStringLiteral("pipe"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    struct Case {
        const char* what;
        QString path;
        int status;
    } cases[] = {
        {"empty file", writeFile(QStringLiteral("empty.txt"), {}), ObexObjectPushConnection::kEmptyFile},
        {"missing file", dir.filePath(QStringLiteral("gone.txt")), ObexObjectPushConnection::kCannotOpen},
        {"FIFO", fifo, ObexObjectPushConnection::kCannotOpen},
        {"folder", dir.path(), ObexObjectPushConnection::kCannotOpen},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PushEnd pushed;
        EXPECT_EQ(push->pushFileAsync(c.path, pushed.callback()), c.status);
        EXPECT_FALSE(push->isBusy());
    }
    EXPECT_EQ(requests(), QList<quint8>{kOpConnect});
}

TEST_F(ObexObjectPushTest, PutAnswersEndThePushByOneTable)
{
    struct Case {
        quint8 answer;
        int status;
    } cases[] = {
        {0xA0, 0},
        {0x20, 0},
        {0x40, ObexObjectPushConnection::kPutBadRequest},
        {0x46, ObexObjectPushConnection::kPutNotAcceptable},
        {0xC3, ObexObjectPushConnection::kPutForbidden},
        {0x10, ObexObjectPushConnection::kPutNotComplete},
        {0xC4, ObexObjectPushConnection::kPutRefused},
        {0xD0, ObexObjectPushConnection::kPutRefused},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer);
        openPush();
        sim->modifyObexServer([&](phonesim::ObexServer& s) { s.queueFault({FaultKind::ResponseCode, {}, c.answer}); });
        PushEnd pushed;
        ASSERT_EQ(push->pushFileAsync(writeFile(QStringLiteral("card.vcf"), "BEGIN:VCARD\r\nEND:VCARD\r\n"),
                                      pushed.callback()),
                  0);
        ASSERT_TRUE(pushed.wait());
        EXPECT_EQ(*pushed.status, c.status);
        EXPECT_FALSE(push->isBusy());
    }
}

TEST_F(ObexObjectPushTest, ClosingDuringAPushAbortsItThenDisconnects)
{
    openPush("sonyericsson", 512);
    PushEnd pushed;
    ASSERT_EQ(push->pushFileAsync(writeFile(QStringLiteral("big.bin"), pushTestBytes(4000)), pushed.callback()), 0);
    PushEnd closed;
    ASSERT_EQ(push->closeConnection(closed.callback()), 0);
    ASSERT_TRUE(closed.wait());
    ASSERT_TRUE(pushed.status.has_value());
    EXPECT_EQ(*pushed.status, ObexObjectPushConnection::kAborted);
    EXPECT_EQ(*closed.status, 0);
    const QList<quint8> sent = requests();
    ASSERT_GE(sent.size(), 4);
    EXPECT_EQ(sent.at(sent.size() - 2), kOpAbort);
    EXPECT_EQ(sent.last(), kOpDisconnect);
    EXPECT_FALSE(sim->obexServer().files().contains(QStringLiteral("/big.bin")));
    EXPECT_FALSE(push->hasConnection());
}

TEST_F(ObexObjectPushTest, ProgressAnswerStopsThePushWithAnAbort)
{
    openPush("sonyericsson", 512);
    PushEnd pushed;
    pushed.stopAt = 10;
    ASSERT_EQ(push->pushFileAsync(writeFile(QStringLiteral("big.bin"), pushTestBytes(4000)), pushed.callback()), 0);
    ASSERT_TRUE(pushed.wait());
    EXPECT_EQ(*pushed.status, ObexObjectPushConnection::kAborted);
    ASSERT_TRUE(runUntil([&] { return !push->isBusy(); }, 5));
    EXPECT_EQ(requests().last(), kOpAbort);
    // The connection stays usable.
    PushEnd again;
    ASSERT_EQ(push->pushFileAsync(writeFile(QStringLiteral("small.txt"), "hi"), again.callback()), 0);
    ASSERT_TRUE(again.wait());
    EXPECT_EQ(*again.status, 0);
}

// Continue answers carry Body headers only; the last one End-of-Body: all
// of them make the object, and each Continue asks for the next packet.
TEST_F(ObexObjectPushTest, CapabilityObjectInSeveralPacketsArrivesWhole)
{
    openPush("nokia", 300);
    QByteArray xml = "<?xml version=\"1.0\"?><Capability Version=\"1.0\"><General>";
    while (xml.size() < 700)
        xml += "<Memory><MemType>DEV</MemType><Location>/Phone</Location></Memory>";
    xml += "</General></Capability>";
    sim->modifyObexServer([&](phonesim::ObexServer& s) { s.setCapability(xml); });
    PushEnd read;
    ASSERT_EQ(push->getCapabilities(read.callback()), 0);
    ASSERT_TRUE(read.wait());
    EXPECT_EQ(*read.status, 0);
    EXPECT_EQ(read.result.toByteArray(), xml);
    EXPECT_EQ(requests().count(kOpGetFinal), 3);
}

TEST_F(ObexObjectPushTest, RefusedCapabilityGetEndsWithItsStatus)
{
    openPush("nokia");
    PushEnd read;
    ASSERT_EQ(push->getCapabilities(read.callback()), 0);
    ASSERT_TRUE(read.wait());
    EXPECT_EQ(*read.status, ObexObjectPushConnection::kGetRefused);
    EXPECT_FALSE(push->isBusy());
}
