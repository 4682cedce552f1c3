#include "links/DZDeviceConnection.h"
#include "links/LinkCodes.h"
#include "links/QVDeviceCallback.h"
#include "links/QVDeviceCallbackDelegate.h"
#include "links/QVEmbeddedCallback.h"
#include "jobs/QVAction.h"
#include "platform/RunLoop.h"

#include "VirtualTime.h"

#include <gtest/gtest.h>

namespace {

struct Recorder : QVDeviceCallbackDelegate {
    int finished = 0;
    int progressCalls = 0;
    int stopAtProgressCall = -1;
    int lastStatus = 0;
    QVariant lastResult;
    bool qvDeviceCallbackProgress(QVDeviceCallback&) override
    {
        ++progressCalls;
        return progressCalls == stopAtProgressCall;
    }
    void qvDeviceCallbackFinished(QVDeviceCallback& c) override
    {
        ++finished;
        lastStatus = c.returnStatus();
        lastResult = c.resultObject();
    }
};

std::shared_ptr<QVDeviceCallback> recordingCallback(Recorder& sender)
{
    return QVDeviceCallback::commandObject(
        &sender, [&sender](QVDeviceCallback& c) { sender.qvDeviceCallbackFinished(c); },
        [&sender](QVDeviceCallback& c) { return sender.qvDeviceCallbackProgress(c); });
}

} // namespace

TEST(QVDeviceCallbackTest, DyingSenderHearsNothingButTheEndIsReadable)
{
    Recorder sender, delegate;
    auto callback = recordingCallback(sender);
    callback->setDelegate(&delegate);
    callback->senderIsDying();

    EXPECT_TRUE(callback->registerProgress(10, 5.0f));
    callback->finishWithResult(-21855, QStringLiteral("late"));

    EXPECT_EQ(sender.finished + delegate.finished + sender.progressCalls + delegate.progressCalls, 0);
    EXPECT_FALSE(callback->isBusy());
    EXPECT_EQ(callback->returnStatus(), -21855);
    EXPECT_EQ(callback->resultObject().toString(), QStringLiteral("late"));
}

TEST(QVDeviceCallbackTest, SenderThatIsItsOwnDelegateHearsTheEndOnce)
{
    Recorder both;
    auto callback = QVDeviceCallback::commandObject(&both, QVDeviceCallback::DelegateFunctions{&both});
    callback->setDelegate(&both);
    callback->finishWithResult(0, QVariant());
    EXPECT_EQ(both.finished, 1);

    // A separate delegate is told beside the sender.
    Recorder sender, delegate;
    auto other = recordingCallback(sender);
    other->setDelegate(&delegate);
    other->finishWithResult(7, QVariant());
    EXPECT_EQ(sender.finished, 1);
    EXPECT_EQ(delegate.finished, 1);
    EXPECT_EQ(delegate.lastStatus, 7);
}

TEST(QVDeviceCallbackTest, ReceiversSeeTheJobEndedWhenTold)
{
    bool busySeen = true;
    int sender = 0;
    auto callback = QVDeviceCallback::commandObject(
        &sender, [&](QVDeviceCallback& c) { busySeen = c.isBusy(); }, {});
    callback->finishWithResult(0, QVariant());
    EXPECT_FALSE(busySeen);
}

TEST(QVDeviceCallbackTest, OneStopAnswerEndsAllLaterProgressReports)
{
    Recorder sender, delegate;
    sender.stopAtProgressCall = 2;
    auto callback = recordingCallback(sender);
    callback->setDelegate(&delegate);

    EXPECT_TRUE(callback->registerProgress(100, 10.0f));
    EXPECT_FALSE(callback->registerProgress(200, 20.0f));
    EXPECT_FALSE(callback->registerProgress(300, 30.0f));
    EXPECT_EQ(sender.progressCalls, 2);
    EXPECT_EQ(delegate.progressCalls, 0);   // the sender's progress function takes precedence
    EXPECT_FALSE(callback->uiContinues());
    EXPECT_DOUBLE_EQ(callback->bytesProcessed(), 300);

    // The dictionary form answers true exactly when the job must stop.
    const QVariantMap report{{QLatin1String(QVDeviceCallback::kKeyProzDone), 40.0},
                             {QLatin1String(QVDeviceCallback::kKeyBytesProcessed), 400.0}};
    EXPECT_TRUE(callback->registerProgress(report));
    auto going = QVDeviceCallback::simpleObjectWithDelegate(&delegate);
    EXPECT_FALSE(going->registerProgress(report));
    EXPECT_FLOAT_EQ(going->prozDone(), 40.0f);
    EXPECT_EQ(delegate.progressCalls, 1);
}

TEST(QVDeviceCallbackTest, MainThreadFinishArrivesOnALaterPass)
{
    Recorder delegate;
    auto callback = QVDeviceCallback::simpleObjectWithDelegate(&delegate);
    callback->finishWithErrorInMainThread(int(0xE00002CA), QVariant());
    EXPECT_EQ(delegate.finished, 0);
    EXPECT_TRUE(callback->isBusy());

    platform::runloop::processPendingEvents();
    EXPECT_EQ(delegate.finished, 1);
    EXPECT_EQ(delegate.lastStatus, int(0xE00002CA));
    EXPECT_FALSE(delegate.lastResult.isValid());

    auto polled = QVDeviceCallback::pollingObject();
    polled->finishSuccessfullyInMainThread(QStringLiteral("OK"));
    ASSERT_TRUE(testing_support::runUntil([&] { return !polled->isBusy(); }, 1.0));
    EXPECT_EQ(polled->returnStatus(), 0);
    EXPECT_EQ(polled->resultObject().toString(), QStringLiteral("OK"));
}

TEST(QVDeviceCallbackTest, ActionEndCarriesTheError)
{
    auto callback = QVDeviceCallback::pollingObject();
    QVAction action;
    EXPECT_TRUE(callback->startAction(action));
    EXPECT_TRUE(callback->processAction(action, 50.0f));
    callback->endAction(action, -1702);
    EXPECT_FALSE(callback->isBusy());
    EXPECT_EQ(callback->returnStatus(), -1702);
}

TEST(QVEmbeddedCallbackTest, UserInfoHoldsTheHigherCallbackAndTheCallersInfo)
{
    auto top = QVDeviceCallback::pollingObject();
    auto bare = QVEmbeddedCallback::embeddedObject(nullptr, {}, {}, QVariant(), top);
    const QVariantMap info = bare->userInfo().toMap();
    EXPECT_EQ(info.keys(), QStringList{QStringLiteral("callback")});
    EXPECT_FALSE(bare->getUserInfo().isValid());
    EXPECT_EQ(bare->getHigherCallback(), top);

    auto withParam = QVEmbeddedCallback::embeddedObject(nullptr, {}, {}, QStringLiteral("param"), top);
    EXPECT_EQ(withParam->getUserInfo().toString(), QStringLiteral("param"));
    EXPECT_EQ(QVEmbeddedCallback::getUserInfo(*withParam).toString(), QStringLiteral("param"));

    // A plain callback has no higher callback.
    auto plain = QVDeviceCallback::commandObject(nullptr, {}, {}, QStringLiteral("x"));
    EXPECT_EQ(QVEmbeddedCallback::getHigherCallback(*plain), nullptr);
}

TEST(QVEmbeddedCallbackTest, ChainedCallbacksPassEndAndProgressUpUnchanged)
{
    Recorder topSender;
    auto top = recordingCallback(topSender);
    auto middle = QVEmbeddedCallback::simpleObjectWithDelegate(nullptr, top);
    middle->setDelegate(middle.get());
    auto lower = QVEmbeddedCallback::simpleObjectWithDelegate(nullptr, middle);
    lower->setDelegate(lower.get());

    EXPECT_TRUE(lower->registerProgress(512, 50.0f));
    EXPECT_EQ(topSender.progressCalls, 1);
    EXPECT_DOUBLE_EQ(top->bytesProcessed(), 512);
    EXPECT_FLOAT_EQ(top->prozDone(), 50.0f);

    lower->finishWithResult(-21880, QStringLiteral("result"));
    EXPECT_EQ(topSender.finished, 1);
    EXPECT_EQ(top->returnStatus(), -21880);
    EXPECT_EQ(top->resultObject().toString(), QStringLiteral("result"));
    EXPECT_FALSE(middle->isBusy());

    // A stop at the top reaches the lowest reporter.
    Recorder stopper;
    stopper.stopAtProgressCall = 1;
    auto stoppingTop = recordingCallback(stopper);
    auto step = QVEmbeddedCallback::simpleObjectWithDelegate(nullptr, stoppingTop);
    step->setDelegate(step.get());
    EXPECT_FALSE(step->registerProgress(1, 1.0f));
}

TEST(QVEmbeddedCallbackTest, FinishHigherCallbackOnMainThreadCarriesOnlyTheStatus)
{
    auto top = QVDeviceCallback::pollingObject();
    auto step = QVEmbeddedCallback::embeddedObject(nullptr, {}, {}, QVariant(), top);
    step->finishWithResult(-5, QStringLiteral("dropped"));
    step->finishHigherCallbackOnMainThread();
    EXPECT_TRUE(top->isBusy());
    platform::runloop::processPendingEvents();
    EXPECT_FALSE(top->isBusy());
    EXPECT_EQ(top->returnStatus(), -5);
    EXPECT_FALSE(top->resultObject().isValid());
}

TEST(DZDeviceConnectionTest, OpenAndCloseRefuseTheWrongStateWithoutEndingTheCallback)
{
    DZDeviceConnection connection(nullptr, nullptr);
    EXPECT_TRUE(connection.deviceIdentifier().isNull());

    auto closeEarly = QVDeviceCallback::pollingObject();
    EXPECT_EQ(connection.closeConnection(closeEarly), links::kIOReturnNotOpen);
    EXPECT_EQ(connection.killJobs(true, closeEarly), links::kIOReturnNotOpen);

    auto open = QVDeviceCallback::pollingObject();
    EXPECT_EQ(connection.openConnection(open), 0);
    EXPECT_TRUE(connection.hasConnection());
    EXPECT_TRUE(open->isBusy());   // ended on a later pass
    auto again = QVDeviceCallback::pollingObject();
    EXPECT_EQ(connection.openConnection(again), links::kIOReturnExclusiveAccess);

    platform::runloop::processPendingEvents();
    EXPECT_FALSE(open->isBusy());
    EXPECT_TRUE(again->isBusy());
    EXPECT_TRUE(closeEarly->isBusy());

    auto close = QVDeviceCallback::pollingObject();
    EXPECT_EQ(connection.closeConnection(close), 0);
    EXPECT_FALSE(connection.hasConnection());
    platform::runloop::processPendingEvents();
    EXPECT_FALSE(close->isBusy());
}

TEST(DZDeviceConnectionTest, ReplacingAnActiveCallbackEndsTheReplacedJob)
{
    DZDeviceConnection connection(nullptr, nullptr);
    auto first = QVDeviceCallback::pollingObject();
    auto second = QVDeviceCallback::pollingObject();
    connection.storeCallback(first);
    connection.storeCallback(first);   // the same one again: nothing ends
    EXPECT_EQ(connection.storeCallback(second), second);
    EXPECT_EQ(connection.activeCallback(), second);

    platform::runloop::processPendingEvents();
    EXPECT_FALSE(first->isBusy());
    EXPECT_EQ(first->returnStatus(), links::kIOReturnError);
    EXPECT_TRUE(second->isBusy());
}

TEST(DZDeviceConnectionTest, FinishingReleasesTheHoldBeforeTheReceiverRuns)
{
    DZDeviceConnection connection(nullptr, nullptr);
    int sender = 0;
    std::shared_ptr<QVDeviceCallback> seenActive = QVDeviceCallback::pollingObject();
    auto callback = QVDeviceCallback::commandObject(
        &sender, [&](QVDeviceCallback&) { seenActive = connection.activeCallback(); }, {});
    connection.storeCallback(callback);
    connection.finishWithResultObject(QStringLiteral("done"));
    EXPECT_EQ(seenActive, nullptr);
    EXPECT_EQ(callback->resultObject().toString(), QStringLiteral("done"));
    EXPECT_EQ(callback->returnStatus(), 0);

    // Without an active callback nothing happens.
    connection.finishWithError(-1);
    auto failing = QVDeviceCallback::pollingObject();
    connection.storeCallback(failing);
    connection.finishWithError(-21876);
    EXPECT_EQ(failing->returnStatus(), -21876);
    EXPECT_EQ(connection.activeCallback(), nullptr);
}
