#include "links/ObjectPushCommand.h"
#include "links/ObjectServerCommand.h"
#include "platform/gui/Animation.h"

#include "VirtualTime.h"

#include <QThread>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using testing_support::runUntil;

namespace {

struct Finished {
    int count = 0;
    int status = 0;
    Qt::HANDLE thread = nullptr;
    QByteArray received;
};

QVDeviceCallback::FinishFunction recordInto(Finished& finished)
{
    return [&finished](QVDeviceCallback& c) {
        ++finished.count;
        finished.status = c.returnStatus();
        finished.thread = QThread::currentThreadId();
        finished.received = static_cast<ObjectPushCommand&>(c).dataReceived();
    };
}

} // namespace

TEST(ObjectPushCommandTest, AppParamsReadAsBigEndianNumberOfOneTwoOrFourBytes)
{
    struct Case {
        QByteArray params;
        bool set;
        long long expected;
    } cases[] = {
        {{}, false, 0},
        {QByteArray(""), true, 0},
        {QByteArray("\x07", 1), true, 7},
        {QByteArray("\x01\x02", 2), true, 258},
        {QByteArray("\x01\x02\x03", 3), true, -1},
        {QByteArray("\xFF\xFF\xFF\xFF", 4), true, 0xFFFFFFFFLL},
        {QByteArray("\x00\x00\x00\x00\x01", 5), true, -1},
    };
    for (const Case& c : cases) {
        auto command = ObjectPushCommand::pushCommandWithData(ObjectPushCommand::kGetSyncMLWBXML, {}, nullptr, {});
        if (c.set)
            command->setAppParams(c.params.constData(), c.params.size());
        EXPECT_EQ(command->appParamsAsLong(), c.expected) << c.params.toHex().constData();
    }
}

TEST(ObjectPushCommandTest, StatusIsNeverPositive)
{
    for (const auto& [result, expected] : {std::pair{5, -5}, {-7, -7}, {0, 0}}) {
        auto command = ObjectPushCommand::pushCommandWithData(0, QByteArray("x"), nullptr, {});
        command->finishWithResult(result, QVariant());
        EXPECT_EQ(command->status(), expected);
    }
}

TEST(ObjectPushCommandTest, ReceivedBodyAndCountersAccumulate)
{
    auto command = ObjectPushCommand::pushCommandWithData(0, QByteArray(200, 'a'), nullptr, {});
    EXPECT_TRUE(command->dataReceived().isNull());
    command->collectDataReceived("abc", 3);
    command->collectDataReceived("de", 2);
    command->collectDataReceived(nullptr, 4);
    EXPECT_EQ(command->dataReceived(), QByteArray("abcde"));
    command->addBytesTransfered(50);
    command->addBytesTransfered(50);
    EXPECT_EQ(command->bytesTransfered(), 100);
    EXPECT_DOUBLE_EQ(command->percentSent(), 50.0);
    command->setAppParams("\x01\x02", 2);
    command->setAppParams("\x09", 1);
    EXPECT_EQ(command->appParams(), QByteArray("\x09"));
}

TEST(ObjectPushCommandTest, FinishFromAnotherThreadRunsOnTheMainThreadLater)
{
    Finished finished;
    int owner = 0;
    auto command = ObjectPushCommand::pushCommandWithData(ObjectPushCommand::kGetSyncMLWBXML, {}, &owner,
                                                          recordInto(finished));
    command->collectDataReceived("<SyncML/>", 9);
    std::thread worker([command] { command->finishCommand(5); });
    worker.join();
    EXPECT_EQ(finished.count, 0);
    ASSERT_TRUE(runUntil([&] { return finished.count > 0; }, 1.0));
    EXPECT_EQ(finished.count, 1);
    EXPECT_EQ(finished.status, 5);
    EXPECT_EQ(command->status(), -5);
    EXPECT_EQ(finished.thread, QThread::currentThreadId());
    EXPECT_EQ(finished.received, QByteArray("<SyncML/>"));

    // Even on the main thread the finish waits for a later pass.
    command->finishCommand(0);
    EXPECT_EQ(finished.count, 1);
    EXPECT_TRUE(runUntil([&] { return finished.count == 2; }, 1.0));
}

TEST(ObjectPushCommandTest, OnlyACancelledCommandSoundsTheAlert)
{
    int beeps = 0;
    platform::gui::setBeepHandler([&beeps] { ++beeps; });
    Finished finished;
    int owner = 0;
    auto higher = QVDeviceCallback::pollingObject();
    auto command = ObjectPushCommand::pushCommandWithDataAndCallback(
        ObjectPushCommand::kPutSyncMLWBXML, QByteArray("msg"), &owner, recordInto(finished), higher);
    EXPECT_EQ(ObjectPushCommand::getHigherCallback(*command), higher);
    command->finishCommandDelayed(ObjectPushCommand::kStatusCancelled);
    command->finishCommandDelayed(0);
    platform::gui::setBeepHandler({});
    EXPECT_EQ(beeps, 1);
    EXPECT_EQ(finished.count, 2);
}

TEST(ObjectPushCommandTest, DescriptionsShowTheWholeAddressAndTheBodies)
{
    auto push = ObjectPushCommand::pushCommandWithData(1, QByteArray("AB"), nullptr, {});
    const QString address = QStringLiteral("0x%1").arg(reinterpret_cast<quintptr>(push.get()), 8, 16, QLatin1Char('0'));
    EXPECT_TRUE(
        push->description().startsWith(QStringLiteral("[ObjectPushCommand] (Cmd = 1) Addr = ") + address + ": "));
    auto get = ObjectPushCommand::pushCommandWithData(2, {}, nullptr, {});
    EXPECT_TRUE(get->description().endsWith(
        QStringLiteral(") Addr = 0x%1\n").arg(reinterpret_cast<quintptr>(get.get()), 8, 16, QLatin1Char('0'))));

    auto server = ObjectServerCommand::objectServerCommandWithDataAndCallback(3, {}, nullptr, {}, nullptr);
    EXPECT_TRUE(server->isServerCommand());
    EXPECT_FALSE(push->isServerCommand());
    server->collectDataReceived("xyz", 3);
    const QString text = server->description();
    EXPECT_TRUE(text.startsWith(QStringLiteral("------------ ObjectServerCommand ------------\n(Cmd = 3) Addr = 0x")));
    EXPECT_FALSE(text.contains(QStringLiteral("sent DATA")));
    EXPECT_TRUE(text.contains(QStringLiteral("received DATA:\n")));
    EXPECT_EQ(ObjectPushCommand::fromVariant(server->asVariant()), server);
    EXPECT_EQ(ObjectPushCommand::fromVariant(QVariant(5)), nullptr);
}
