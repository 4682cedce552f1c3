// The SMS bridges against a recording kit: the records a read makes, the
// start codes, progress fractions, the family stop, and the lifetime of
// bridge and kit.
#include "KitBridgesTestSupport.h"

#include "kitbridges/SMSAsyncBridge.h"
#include "kitbridges/SMSAsyncDeleter.h"
#include "kitbridges/SMSAsyncSender.h"
#include "platform/RunLoop.h"
#include "syncmodel/SmsRecords.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

#include <cmath>

using namespace bridgetest;

namespace {

QVariantMap kitMessage(const QString& text, const QString& memory = QString(), const QString& indexes = QString())
{
    return {{QStringLiteral("name"), QStringLiteral("n")},
            {QStringLiteral("message"), text},
            {QStringLiteral("number"), QStringLiteral("+49")},
            {QStringLiteral("memory"), memory},
            {QStringLiteral("memIndexes"), indexes}};
}

QStringList recordField(const QVariantList& list, const char* key)
{
    QStringList values;
    for (const QVariant& r : list)
        values << r.toMap().value(QString::fromLatin1(key)).toString();
    return values;
}

class SmsBridgesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        openBridgeLogs();
        smsrecord::ReadCounter::shared().resetForTests();
    }
    SmsKitMaker maker()
    {
        return [this] {
            auto kit = std::make_shared<FakeSmsKit>(state);
            lastKit = kit;
            return kit;
        };
    }
    smsKitAsync* kitCallback() const { return static_cast<smsKitAsync*>(state->callback); }

    std::shared_ptr<FakeKitState> state = std::make_shared<FakeKitState>();
    std::weak_ptr<FakeSmsKit> lastKit;
    BridgeTestPhone phone{QStringLiteral("USB-Serial"), QStringLiteral("motorola"), QStringLiteral("/dev/ttyACM0")};
};

} // namespace

TEST_F(SmsBridgesTest, AReadOfEmptyBoxesGivesTheFourPhoneBoxes)
{
    SmsReadReceiver receiver;
    auto bridge = SMSAsyncBridge::smsBridgeWithAdress(&phone, &receiver, maker());
    EXPECT_EQ(state->calls, (QStringList{"setCallback", "setFilename:/dev/ttyACM0", "setFamily:motorola"}));
    ASSERT_EQ(bridge->startReading(), 0);
    kitCallback()->smsKitReadingProgress(nullptr, 5.9f);
    // What the phone reports is shown within 0 to 100.
    kitCallback()->smsKitReadingProgress(nullptr, std::nanf(""));
    kitCallback()->smsKitReadingProgress(nullptr, 1e30f);
    kitCallback()->smsKitReadingFinished(nullptr, 0);

    EXPECT_EQ(recordField(bridge->msgList(), "name"), (QStringList{"inbox", "sent", "draft", "trash"}));
    EXPECT_EQ(recordField(bridge->msgList(), "_BoxIsLocal_"), (QStringList{"1", "2", "3", "4"}));
    EXPECT_EQ(recordField(bridge->msgList(), "Date"),
              (QStringList{"NO-DATE-inbox-0001", "NO-DATE-sent-0002", "NO-DATE-draft-0003", "NO-DATE-trash-0004"}));
    EXPECT_EQ(receiver.events, (QStringList{"percent:5", "percent:0", "percent:100", "progress:100", "received:0"}));
    EXPECT_EQ(state->calls.last(), QStringLiteral("fullStop"));
    EXPECT_TRUE(namedLogText("Conn").contains(QStringLiteral("[SMSAsyncBridge smsKitReadingFinished] returns 0")));
    EXPECT_TRUE(namedLogText("XT").contains(QStringLiteral("smsKitReadingFinished (0): \n")));

    // A second read starts from the four boxes again.
    state->refuse = true;
    EXPECT_EQ(bridge->startReading(), -2);
    EXPECT_EQ(bridge->msgList().size(), 4);
}

TEST_F(SmsBridgesTest, BoxesAndMessagesBecomeRecords)
{
    SmsReadReceiver receiver;
    auto bridge = SMSAsyncBridge::smsBridgeWithAdress(&phone, &receiver, maker());
    bridge->setStorageKeyTest([](const QString& key) { return key == QLatin1String("NO-DATE-0001"); });
    ASSERT_EQ(bridge->startReading(), 0);
    QVariantMap noNumber = kitMessage(QStringLiteral("lost"));
    noNumber.remove(QStringLiteral("number"));
    kitCallback()->smsKitReadingBoxData(
        nullptr, {kitMessage("a"), noNumber, kitMessage("b"), kitMessage("c", "SM", "3,4")}, QStringLiteral("inbox"));
    kitCallback()->smsKitReadingBoxData(nullptr, {kitMessage("d")}, QStringLiteral("drafts"));
    kitCallback()->smsKitReadingBoxData(nullptr, {kitMessage("e", "ME", "9")}, QStringLiteral("outbox"));
    kitCallback()->smsKitReadingBoxData(nullptr, {kitMessage("f")}, QString());

    const QVariantList list = bridge->msgList();
    EXPECT_EQ(recordField(list, "SMS-Type"),
              (QStringList{"_SMSBoxList_", "_SMSBoxList_", "_SMSBoxList_", "_SMSBoxList_", "inbox", "inbox", "inbox",
                           "draft", "_SMSBoxList_", "outbox"}));
    EXPECT_EQ(recordField(list, "Text").mid(4), (QStringList{"a", "b", "c", "d", "", "e"}));
    // The dateless keys skip the one the storage holds; the outbox takes the
    // counter's next value after them.
    const QStringList dates = recordField(list, "Date");
    EXPECT_EQ(dates.mid(4, 4), (QStringList{"NO-DATE-0000", "NO-DATE-0002", "NO-DATE-SM(3,4)", "NO-DATE-0003"}));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^outbox-\\d{8}T\\d{6}Z-4$")).match(dates.at(8)).hasMatch())
        << dates.at(8).toStdString();
    EXPECT_EQ(list.at(8).toMap().value(QStringLiteral("_BoxIsLocal_")).toUInt(), 100u);
    EXPECT_EQ(dates.at(9), QStringLiteral("NO-DATE-ME(9)"));
}

TEST_F(SmsBridgesTest, DeleteStartsAndReportsFractions)
{
    SmsDeleteReceiver receiver;
    auto deleter = SMSAsyncDeleter::smsDeleterWithAdress(&phone, &receiver, maker());
    EXPECT_EQ(deleter->startDeleting({}, QStringLiteral("trash")), -2);
    EXPECT_FALSE(state->calls.contains(QStringLiteral("removeMessages")));

    const QVariantList four{kitMessage("1"), kitMessage("2"), kitMessage("3"), kitMessage("4")};
    ASSERT_EQ(deleter->startDeleting(four, QStringLiteral("trash")), 0);
    EXPECT_TRUE(deleter->isInDeleting());
    EXPECT_EQ(state->removed, four);
    for (const QVariant& m : four)
        kitCallback()->smsKitMessageDeleted(nullptr, m.toMap());
    kitCallback()->smsKitMessageDeletingFinished(nullptr, 0);
    EXPECT_EQ(receiver.fractions, (QList<float>{0.25f, 0.5f, 0.75f, 1.0f}));
    EXPECT_EQ(receiver.events.last(), QStringLiteral("finished:0"));
    EXPECT_EQ(receiver.events.first(), QStringLiteral("deleted:trash"));
    EXPECT_FALSE(deleter->isInDeleting());
    EXPECT_EQ(state->calls.last(), QStringLiteral("fullStop"));

    state->refuse = true;
    EXPECT_EQ(deleter->startDeleting(four, QStringLiteral("trash")), -3);
    EXPECT_FALSE(deleter->isInDeleting());
}

TEST_F(SmsBridgesTest, SendStartsAndReportsParts)
{
    SmsSendReceiver receiver;
    auto sender = SMSAsyncSender::smsSenderWithAdress(&phone, &receiver, maker());
    const QVariantList to{QStringLiteral("+49171")};
    EXPECT_EQ(sender->startSendTextMessage(QString(), to, false, 1), -2);
    EXPECT_EQ(sender->startSendTextMessage(QStringLiteral("x"), {}, false, 1), -3);
    EXPECT_FALSE(state->calls.join(' ').contains(QStringLiteral("sendTextMessage")));

    ASSERT_EQ(sender->startSendTextMessage(QStringLiteral("two parts"), to, false, 2), 0);
    kitCallback()->smsKitMessagePartSent(nullptr);
    kitCallback()->smsKitMessagePartSent(nullptr);
    kitCallback()->smsKitSendTextMessageFinished(nullptr, 0);
    EXPECT_EQ(receiver.fractions, (QList<float>{0.5f, 1.0f}));
    EXPECT_EQ(receiver.events, QStringList{"finished:0"});
    EXPECT_EQ(state->calls.last(), QStringLiteral("fullStop"));
    EXPECT_TRUE(
        namedLogText("Conn").contains(QStringLiteral("[SMSAsyncSender smsKitSendTextMessageFinished] returns 0")));

    // A kit that refuses at once answers -3 instead of leaving the job waiting.
    state->refuse = true;
    EXPECT_EQ(sender->startSendTextMessage(QStringLiteral("x"), to, false, 1), -3);
}

TEST_F(SmsBridgesTest, APhoneWithoutKitLinkReportsTheMissingKit)
{
    BridgeTestPhone virtualPhone(QStringLiteral("Virtual"), QStringLiteral("motorola"));
    SmsReadReceiver reader;
    SmsDeleteReceiver deleting;
    SmsSendReceiver sending;
    auto bridge = SMSAsyncBridge::smsBridgeWithAdress(&virtualPhone, &reader, maker());
    auto deleter = SMSAsyncDeleter::smsDeleterWithAdress(&virtualPhone, &deleting, maker());
    auto sender = SMSAsyncSender::smsSenderWithAdress(&virtualPhone, &sending, maker());
    EXPECT_TRUE(state->calls.isEmpty());
    EXPECT_FALSE(bridge->hasKit());
    EXPECT_EQ(bridge->startReading(), -2);
    EXPECT_EQ(deleter->startDeleting({kitMessage("1")}, QStringLiteral("trash")), -1);
    EXPECT_EQ(sender->startSendTextMessage(QStringLiteral("x"), {QStringLiteral("1")}, false, 1), -1);
    bridge->stopReading();
    deleter->stopDeleting();
    sender->stopSending();
    const QString conn = namedLogText("Conn");
    EXPECT_TRUE(conn.contains(
        QStringLiteral("[SMSAsyncBridge initBasisWithAdress] no kit for the connection type \"Virtual\"")));
    EXPECT_TRUE(conn.contains(QStringLiteral("[SMSAsyncSender startSendTextMessage] no kit")));
}

TEST_F(SmsBridgesTest, StopsByFamily)
{
    struct Case {
        const char* connType;
        const char* protocol;
        const char* linkCall;
        const char* stop;
    };
    const Case cases[] = {{"Bluetooth", "lg3", "setAddressString:link", "abortActionAsync"},
                          {"USB-Serial", "lg", "setFilename:link", "abortActionAsync"},
                          {"Bluetooth", "motorola", "setAddressString:link", "fullStop"},
                          {"USB-Serial", "samsung/lgx", "setFilename:link", "fullStop"}};
    for (const Case& c : cases) {
        BridgeTestPhone p(QString::fromLatin1(c.connType), QString::fromLatin1(c.protocol));
        SmsReadReceiver receiver;
        auto bridge = SMSAsyncBridge::smsBridgeWithAdress(&p, &receiver, maker());
        EXPECT_EQ(state->calls.mid(1, 1), QStringList{c.linkCall}) << c.protocol;
        bridge->stopReading(); // not running: nothing
        EXPECT_EQ(state->calls.size(), 3) << c.protocol;
        bridge->startReading();
        bridge->stopReading();
        EXPECT_EQ(state->calls.last(), QString::fromLatin1(c.stop)) << c.protocol;
        state->calls.clear();
        SmsDeleteReceiver d;
        SMSAsyncDeleter::smsDeleterWithAdress(&p, &d, maker())->stopDeleting();
        EXPECT_EQ(state->calls.last(), QString::fromLatin1(c.stop)) << c.protocol;
        SmsSendReceiver s;
        SMSAsyncSender::smsSenderWithAdress(&p, &s, maker())->stopSending();
        EXPECT_EQ(state->calls.last(), QString::fromLatin1(c.stop)) << c.protocol;
        state->calls.clear();
    }
}

// A job holds its bridge and lets it go in the final callback: bridge and
// kit are gone after it, and the kit's callback was cleared first.
TEST_F(SmsBridgesTest, BridgeAndKitGoWhenTheJobEnds)
{
    SmsReadReceiver reader;
    std::shared_ptr<SMSAsyncBridge> readJob = SMSAsyncBridge::smsBridgeWithAdress(&phone, &reader, maker());
    std::weak_ptr<SMSAsyncBridge> readBridge = readJob;
    reader.onReceived = [&] { readJob.reset(); };
    readJob->startReading();
    smsKitAsync* callback = kitCallback();
    callback->smsKitReadingFinished(nullptr, 0);
    EXPECT_TRUE(readBridge.expired());
    EXPECT_EQ(state->calls.last(), QStringLiteral("fullStop"));
    EXPECT_EQ(state->callback, nullptr);
    platform::runloop::processPendingEvents();
    EXPECT_TRUE(lastKit.expired());
    EXPECT_TRUE(state->gone);
    EXPECT_TRUE(state->callbackClearedWhenGone);

    *state = FakeKitState();
    SmsDeleteReceiver deleting;
    auto deleteJob = SMSAsyncDeleter::smsDeleterWithAdress(&phone, &deleting, maker());
    std::weak_ptr<SMSAsyncDeleter> deleteBridge = deleteJob;
    deleting.onFinished = [&] { deleteJob.reset(); };
    deleteJob->startDeleting({kitMessage("1")}, QStringLiteral("trash"));
    kitCallback()->smsKitMessageDeletingFinished(nullptr, -1);
    platform::runloop::processPendingEvents();
    EXPECT_TRUE(deleteBridge.expired());
    EXPECT_TRUE(state->gone && state->callbackClearedWhenGone);

    *state = FakeKitState();
    SmsSendReceiver sending;
    auto sendJob = SMSAsyncSender::smsSenderWithAdress(&phone, &sending, maker());
    std::weak_ptr<SMSAsyncSender> sendBridge = sendJob;
    sending.onFinished = [&] { sendJob.reset(); };
    sendJob->startSendTextMessage(QStringLiteral("x"), {QStringLiteral("1")}, false, 1);
    kitCallback()->smsKitSendTextMessageFinished(nullptr, -5);
    platform::runloop::processPendingEvents();
    EXPECT_TRUE(sendBridge.expired());
    EXPECT_TRUE(state->gone && state->callbackClearedWhenGone);
    EXPECT_EQ(sending.events, QStringList{"finished:-5"});

    auto idle = SMSAsyncBridge::smsBridgeWithAdress(&phone, &reader, maker());
    EXPECT_NE(state->callback, nullptr);
    idle->freeCallbackObject();
    EXPECT_EQ(state->callback, nullptr);
}
