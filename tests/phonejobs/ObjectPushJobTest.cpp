#include "PhoneJobsTestSupport.h"

#include "links/ObexObjectPushConnection.h"
#include "phonejobs/ActionObjectPushServices.h"
#include "platform/Localization.h"

#include <QFile>
#include <QTemporaryDir>

using namespace phonejobs_test;

namespace {

class ObjectPushJobTest : public BluetoothPhoneFixture {
protected:
    void TearDown() override
    {
        device.reset();
        BluetoothPhoneFixture::TearDown();
    }
    void makeDevice()
    {
        addPhone("sonyericsson");
        const QVariantMap row{{"Dorvanti.Model", "K750"},
                              {"Dorvanti.Manufacturer", "Sony Ericsson"},
                              {"Dorvanti.SyncMLProtocol", "UNKNOWN"}};
        device = std::make_unique<MFDevice>(QString::fromLatin1(MFDevice::kBluetooth),
                                            std::make_shared<QVariantMap>(connectionDict()), row, nullptr,
                                            MFDevice::Makers());
    }
    QString pushJobFile(const QString& name, const QByteArray& data)
    {
        const QString path = dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(data);
        return path;
    }
    int runJob(const std::shared_ptr<ActionObjectPushServices>& job)
    {
        EXPECT_TRUE(device->addAction(job));
        EXPECT_TRUE(testing_support::runUntil([&] { return requester->count(QStringLiteral("end")) > 0; }, 60));
        for (const auto& event : requester->events) {
            if (event.kind == QLatin1String("end"))
                return event.code;
        }
        return 1;
    }

    QTemporaryDir dir;
    std::shared_ptr<RecordingNotify> requester = std::make_shared<RecordingNotify>();
    std::unique_ptr<MFDevice> device;
};

class ObjectPushJobStandInTest : public StandInPhoneFixture { };

} // namespace

TEST_F(ObjectPushJobTest, PushesTheFileThroughTheDevicesPushConnection)
{
    makeDevice();
    ASSERT_TRUE(dynamic_cast<ObexObjectPushConnection*>(device->objectPushConnection()));
    const QByteArray data = QByteArray(3000, 'v');
    auto job = ActionObjectPushServices::initWithPath(pushJobFile(QStringLiteral("card.vcf"), data), requester, {});
    ASSERT_TRUE(job);
    EXPECT_EQ(job->displayString(), QStringLiteral("card.vcf"));
    EXPECT_TRUE(job->description().startsWith(QStringLiteral("ActionObjectPushServices: ")));
    EXPECT_EQ(runJob(job), 0);
    EXPECT_EQ(sim->obexServer().files().value(QStringLiteral("/card.vcf")), data);
}

TEST_F(ObjectPushJobTest, FailedPushEndsTheJobWithTheConnectionsStatus)
{
    makeDevice();
    auto job = ActionObjectPushServices::actionWithPath(pushJobFile(QStringLiteral("empty.txt"), {}), requester, {});
    EXPECT_EQ(runJob(job), ObexObjectPushConnection::kEmptyFile);
    EXPECT_EQ(job->generateErrorString(-1),
              platform::localizedString(QStringLiteral("ActionPushToMobile")) + QStringLiteral(" (-1)"));
    EXPECT_FALSE(ActionObjectPushServices::initWithPath(QString(), requester, {}));
}

TEST_F(ObjectPushJobStandInTest, WithoutAnObjectPushConnectionTheJobEndsWithNoDevice)
{
    auto job = ActionObjectPushServices::initWithPath(QStringLiteral("/tmp/x.vcf"), requester, {});
    ASSERT_TRUE(device->addAction(job));
    ASSERT_TRUE(testing_support::runUntil([&] { return requester->count(QStringLiteral("end")) > 0; }, 60));
    int code = 1;
    for (const auto& event : requester->events) {
        if (event.kind == QLatin1String("end"))
            code = event.code;
    }
    EXPECT_EQ(code, int(0xE00002C0));
}
