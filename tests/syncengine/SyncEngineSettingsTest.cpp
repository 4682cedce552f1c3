#include "syncengine/SyncEngineSettings.h"

#include "platform/PropertyList.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

namespace {

using namespace platform::syncengine;

class SyncEngineSettingsTest : public ::testing::Test {
protected:
    void SetUp() override { QFile::remove(settingsPath()); }
    void TearDown() override { QFile::remove(settingsPath()); }
};

TEST_F(SyncEngineSettingsTest, TheGuardStaysOnAndAThresholdIsWrittenOnlyWhenAbsent)
{
    ASSERT_TRUE(ensureMassChangeGuardDefaults());
    EXPECT_EQ(readSettings(), (QVariantMap{{QLatin1String(kAirbagThreshold), 5}}))
        << "the guard is not switched off behind the user's back";

    // The user's own choices stay as they are.
    const QVariantMap chosen{{QLatin1String(kAirbagThreshold), 20}, {QLatin1String(kAirbagDisabled), QStringLiteral("YES")},
                             {QStringLiteral("Other"), 1}};
    ASSERT_TRUE(writeSettings(chosen));
    ASSERT_TRUE(ensureMassChangeGuardDefaults());
    EXPECT_EQ(readSettings(), chosen);

    ASSERT_TRUE(writeSettings({{QLatin1String(kAirbagDisabled), QStringLiteral("NO")}}));
    ASSERT_TRUE(ensureMassChangeGuardDefaults());
    EXPECT_EQ(readSettings(), (QVariantMap{{QLatin1String(kAirbagDisabled), QStringLiteral("NO")},
                                           {QLatin1String(kAirbagThreshold), 5}}));
}

TEST_F(SyncEngineSettingsTest, ADamagedFileIsLeftAsItIs)
{
    QDir().mkpath(QFileInfo(settingsPath()).path());
    for (const QByteArray& damaged : {QByteArray("<?xml version=\"1.0\"?><plist><dict><key>Airbag"),
                                      platform::plist::toXml(QVariantList{1, 2})}) {
        QFile file(settingsPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(damaged);
        file.close();
        EXPECT_FALSE(ensureMassChangeGuardDefaults());
        EXPECT_TRUE(readSettings().isEmpty());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), damaged);
    }
}

} // namespace
