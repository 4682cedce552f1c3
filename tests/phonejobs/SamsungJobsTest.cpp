#include "phonejobs/ActionSamsungContactServices.h"
#include "phonejobs/ActionSamsungEventsServices.h"

#include "PhoneJobsTestSupport.h"

#include "device/MFDeviceInfo.h"
#include "jobs/JobCodes.h"
#include "links/SamsungATConnection.h"
#include "phonejobs/ActionBatteryCheck.h"
#include "platform/NotificationCenter.h"
#include "sync/SamsungObexSession.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace phonejobs_test;

namespace {

QByteArray samsungJobCard(const char* last)
{
    return QByteArray("BEGIN:VCARD\r\nVERSION:2.1\r\nN:") + last + ";Test\r\nTEL:0123\r\nEND:VCARD\r\n";
}

class PreprocessRequester : public RecordingNotify, public SamsungPreprocessingRequester {
public:
    void preprocessingDone(ActionSamsungContactServices& job) override
    {
        ++told;
        dict = job.prepDict();
    }
    int told = 0;
    QVariantMap dict;
};

// A Samsung phone on a pseudo-terminal (phonesim's "samsung" profile with
// its MOBEX store); its Tarnex slot holds the MOBEX connection the device
// makes itself. Sessions keep their snapshot in a temporary folder.
class SamsungJobsTest : public PtyPhoneFixture {
protected:
    void SetUp() override
    {
        PtyPhoneFixture::SetUp();
        connect("samsung", "SamsungAT", "Samsung AT");
        ASSERT_TRUE(device);
        tarnex = dynamic_cast<SamsungATConnection*>(device->tarnexConnection());
        ASSERT_TRUE(tarnex);
        const QString raw = dir.filePath(QStringLiteral("DeviceData-RAW"));
        ActionSamsungCommonServices::setSessionMaker([this, raw](SamsungATConnection& connection, QVSessionUser* user) {
            SamsungObexSession::Environment environment;
            environment.rawDataPathName = raw;
            environment.eraseDeviceData = [this](int property) { return device->devInfo()->eraseDeviceData(property); };
            environment.clearEraseDeviceData = [this](int property) {
                device->devInfo()->setEraseDeviceData(false, property);
            };
            return SamsungObexSession::initWithConnection(connection, user, device->syncDescription(), environment);
        });
        sim->modifyObexServer([](phonesim::ObexServer& obex) {
            ASSERT_TRUE(obex.mobexStore());
            obex.mobexStore()->put(0, 1, 3, samsungJobCard("Alpha"));
            obex.mobexStore()->put(0, 1, 300, samsungJobCard("Beta"));
        });
        observe(ActionSamsungCommonServices::kSyncSuccessful);
        observe(ActionSamsungCommonServices::kSyncFailed);
        observe(ActionSamsungCommonServices::kSyncFailedDeleteItems);
    }
    void TearDown() override
    {
        platform::NotificationCenter::defaultCenter().removeObserver(this);
        ActionSamsungCommonServices::setSessionMaker({});
        PtyPhoneFixture::TearDown();
    }
    void observe(const char* name)
    {
        platform::NotificationCenter::defaultCenter().addObserver(
            this, QLatin1String(name), nullptr, [this](const platform::Notification& n) {
                posted.append(n.name);
                postedInfo.append(n.userInfo);
                sessionOpenAtPost.append(tarnex->hasMobexSession());
            });
    }

    int runJob(const std::shared_ptr<QVAction>& job, const std::shared_ptr<RecordingNotify>& notify)
    {
        EXPECT_TRUE(device->addAction(job));
        EXPECT_TRUE(runUntil([&] { return notify->count(QStringLiteral("end")) > 0; }, 240));
        return notify->endCodes().empty() ? 1 : notify->endCodes().front();
    }

    QTemporaryDir dir;
    SamsungATConnection* tarnex = nullptr;
    QStringList posted;
    QList<QVariantMap> postedInfo;
    QList<bool> sessionOpenAtPost;
};

} // namespace

TEST_F(SamsungJobsTest, AContactsSyncReadsThePhoneAndClosesFirst)
{
    auto notify = std::make_shared<RecordingNotify>();
    auto job = ActionSamsungContactServices::initActionSamsungContactServices(notify, false, QVariant(), false);
    EXPECT_EQ(ActionSamsungContactServices::defaultDescription(),
              QStringLiteral("ActionSamsung: ActionSamsungContactServices"));
    EXPECT_EQ(runJob(job, notify), 0);
    EXPECT_EQ(posted, QStringList{QStringLiteral("TarnexSyncSuccessful")});
    EXPECT_FALSE(tarnex->hasMobexSession());
    EXPECT_FALSE(job->session());

    // Within the SyncML pause after the close the next job waits.
    auto again = ActionSamsungEventsServices::initActionSamsungEventsServices(notify, false, QVariant(), false);
    const double closedAt = tarnex->lastCloseAction();
    ASSERT_TRUE(device->addAction(again));
    runUntil([] { return false; }, device->pauseAfterSyncMLClose() * 0.5);
    EXPECT_EQ(notify->count(QStringLiteral("start")), 1) << closedAt;
    ASSERT_TRUE(runUntil([&] { return notify->count(QStringLiteral("end")) > 1; }, 240));
    EXPECT_EQ(notify->endCodes().at(1), 0);

    // The link stays usable for the AT jobs after a sync.
    auto batteryNotify = std::make_shared<RecordingNotify>();
    auto battery = std::make_shared<ActionBatteryCheck>(batteryNotify, QVariant());
    EXPECT_EQ(runJob(battery, batteryNotify), 0);
}

TEST_F(SamsungJobsTest, DeleteErrorsArePostedOnceBeforeTheClose)
{
    // The desktop deletes a record the phone refuses to delete.
    auto notify = std::make_shared<RecordingNotify>();
    auto job = ActionSamsungContactServices::initActionSamsungContactServices(notify, false, QVariant(), false);
    sim->modifyObexServer(
        [](phonesim::ObexServer& obex) { obex.mobexStore()->setFaults(phonesim::MobexStore::WriteStatus); });
    // The session erases the phone's records on a first sync when asked.
    device->devInfo()->setEraseDeviceData(true, 0);
    EXPECT_EQ(runJob(job, notify), 0);
    ASSERT_EQ(posted.count(QStringLiteral("DZ-SyncFailedDeleteItems")), 1);
    const int at = int(posted.indexOf(QStringLiteral("DZ-SyncFailedDeleteItems")));
    EXPECT_EQ(postedInfo.at(at).value("failedItems").toLongLong(), 2);
    EXPECT_EQ(postedInfo.at(at).value("property").toInt(), 0);
    EXPECT_TRUE(sessionOpenAtPost.at(at));
    EXPECT_FALSE(device->devInfo()->eraseDeviceData(0));
}

TEST_F(SamsungJobsTest, PreprocessingKeepsTheLimitsAndTellsItsRequester)
{
    auto requester = std::make_shared<PreprocessRequester>();
    auto job = ActionSamsungContactServices::initActionSamsungPreprocessContacts(requester);
    EXPECT_TRUE(job->preprocessOnly());
    EXPECT_EQ(runJob(job, requester), 0);
    EXPECT_EQ(job->prepDict().size(), 24);
    EXPECT_EQ(requester->told, 1);
    EXPECT_EQ(requester->dict, job->prepDict());
}

TEST_F(SamsungJobsTest, TheOrganizerJobOfEachType)
{
    auto notify = std::make_shared<RecordingNotify>();
    EXPECT_TRUE(std::dynamic_pointer_cast<ActionSamsungContactServices>(
        ActionSamsungCommonServices::organizerJobForDevice(*device, 0, false, notify)));
    for (const int type : {1, 5, 6}) {
        auto job = ActionSamsungCommonServices::organizerJobForDevice(*device, type, true, notify);
        ASSERT_TRUE(std::dynamic_pointer_cast<ActionSamsungEventsServices>(job)) << type;
        EXPECT_TRUE(job->isSlowSync());
        EXPECT_EQ(job->syncProperty(), 1);
    }
    EXPECT_FALSE(ActionSamsungCommonServices::organizerJobForDevice(*device, 2, false, notify));
}

TEST_F(SamsungJobsTest, ACancelledSessionEndsAsCancelled)
{
    auto notify = std::make_shared<RecordingNotify>();
    auto job = ActionSamsungEventsServices::initActionSamsungEventsServices(notify, false, QVariant(), false);
    auto callback = QVDeviceCallback::commandObject(
        this, [](QVDeviceCallback&) {}, {}, QVariant(214));
    callback->finishWithResult(0, QVariant());
    job->connectionClosed(*callback);
    EXPECT_EQ(notify->endCodes(), std::vector<int>{jobcodes::kCancelled});
    EXPECT_EQ(posted, QStringList{QStringLiteral("TarnexSyncFailed")});
}

TEST_F(SamsungJobsTest, AJobKilledInTheMiddleOfItsSessionLeavesNoSessionWorkingBehindIt)
{
    auto notify = std::make_shared<RecordingNotify>();
    auto job = ActionSamsungContactServices::initActionSamsungContactServices(notify, false, QVariant(), false);
    ASSERT_TRUE(device->addAction(job));
    // Killed once the session is reading the phone.
    ASSERT_TRUE(runUntil([&] { return job->session() && sim->obexServer().requests().size() >= 3; }, 60));
    job->killAction(true);
    ASSERT_TRUE(runUntil([&] { return notify->count(QStringLiteral("end")) > 0; }, 30));
    EXPECT_EQ(notify->endCodes(), std::vector<int>{jobcodes::kCancelled});
    ASSERT_TRUE(runUntil([&] { return !tarnex->hasMobexSession(); }, 30));
    const qsizetype asked = sim->obexServer().requests().size();
    runUntil([] { return false; }, 3.0);
    EXPECT_EQ(sim->obexServer().requests().size(), asked) << "no request after the close";
    EXPECT_EQ(notify->endCodes().size(), 1u);
    EXPECT_FALSE(posted.contains(QStringLiteral("TarnexSyncSuccessful")));
}
