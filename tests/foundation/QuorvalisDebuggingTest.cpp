#include "foundation/QuorvalisDebugging.h"

#include "TestEnvironment.h"
#include "platform/Bundle.h"
#include "platform/PropertyList.h"
#include "platform/UserDefaults.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

namespace {

const QString kLibraryId = QStringLiteral("com.example.CarryingLibrary");

class QuorvalisDebuggingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        path = QuorvalisDebugging::switchesFilePath();
        QDir().mkpath(QFileInfo(path).absolutePath());
    }

    void TearDown() override
    {
        QFile::remove(path);
        platform::UserDefaults::standard().remove(QStringLiteral("QV_LOG_TARGET_IS_MAIN"));
    }

    void writeSwitches(const QVariant& root)
    {
        QString error;
        ASSERT_TRUE(platform::plist::writeFile(path, root, &error)) << error.toStdString();
    }

    QString path;
};

} // namespace

TEST_F(QuorvalisDebuggingTest, SwitchesFileLivesInTheDataHome)
{
    EXPECT_TRUE(path.startsWith(testing_support::testHome())) << path.toStdString();
    EXPECT_TRUE(path.endsWith(QStringLiteral("/QuorvalisDebugging.plist")));
}

TEST_F(QuorvalisDebuggingTest, EntryOfTheProgramSwitchesDebuggingOn)
{
    writeSwitches(QVariantMap{
        {platform::bundle::mainBundleIdentifier(),
         QVariantMap{
             {QStringLiteral("Off"), false},
             {QStringLiteral("On"), true},
             {QStringLiteral("Level"), 2},
             {QStringLiteral("Word"), QStringLiteral("yes")},
             {QStringLiteral("TrueWord"), QStringLiteral("true")},
             {QStringLiteral("List"), QVariantList{1}},
         }},
    });
    const QuorvalisDebugging debugging;
    EXPECT_TRUE(debugging.isDebuggingON());
    EXPECT_TRUE(debugging.debugKeyExists(QStringLiteral("Off")));
    EXPECT_FALSE(debugging.checkDebugKey(QStringLiteral("Off")));
    EXPECT_TRUE(debugging.checkDebugKey(QStringLiteral("On")));
    EXPECT_TRUE(debugging.checkDebugKey(QStringLiteral("Level")));
    EXPECT_TRUE(debugging.checkDebugKey(QStringLiteral("Word")));
    EXPECT_FALSE(debugging.checkDebugKey(QStringLiteral("TrueWord")));
    EXPECT_FALSE(debugging.checkDebugKey(QStringLiteral("List")));   // a value of the wrong type is off
    EXPECT_FALSE(debugging.checkDebugKey(QStringLiteral("Absent")));
    EXPECT_FALSE(debugging.debugKeyExists(QStringLiteral("Absent")));
    EXPECT_EQ(debugging.stringValueForDebugKey(QStringLiteral("Word")), QStringLiteral("yes"));
    EXPECT_TRUE(debugging.stringValueForDebugKey(QStringLiteral("Level")).isNull());
}

TEST_F(QuorvalisDebuggingTest, EntriesOfTheWrongTypeAndBadFilesAreOff)
{
    const QString id = platform::bundle::mainBundleIdentifier();
    writeSwitches(QVariantMap{{id, QStringLiteral("on")}});
    EXPECT_FALSE(QuorvalisDebugging().isDebuggingON());
    writeSwitches(QVariantMap{{id, QVariantList{QStringLiteral("on")}}});
    EXPECT_FALSE(QuorvalisDebugging().isDebuggingON());
    writeSwitches(QVariantList{QVariantMap{{id, QVariantMap{}}}});   // root not a dictionary
    EXPECT_FALSE(QuorvalisDebugging().isDebuggingON());

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("<?xml version=\"1.0\"?><plist><dict><key>");
    file.close();
    EXPECT_FALSE(QuorvalisDebugging().isDebuggingON());

    QFile::remove(path);
    const QuorvalisDebugging none;
    EXPECT_FALSE(none.isDebuggingON());
    EXPECT_FALSE(none.checkDebugKey(QStringLiteral("On")));
    EXPECT_TRUE(none.stringValueForDebugKey(QStringLiteral("On")).isNull());
}

TEST_F(QuorvalisDebuggingTest, CarryingLibraryReadsItsOwnEntryUnlessTargetIsMain)
{
    writeSwitches(QVariantMap{
        {platform::bundle::mainBundleIdentifier(), QVariantMap{{QStringLiteral("Main"), true}}},
        {kLibraryId, QVariantMap{{QStringLiteral("Library"), true}}},
    });
    const QuorvalisDebugging own(kLibraryId);
    EXPECT_TRUE(own.checkDebugKey(QStringLiteral("Library")));
    EXPECT_FALSE(own.debugKeyExists(QStringLiteral("Main")));

    platform::UserDefaults::standard().setObject(QStringLiteral("QV_LOG_TARGET_IS_MAIN"), true);
    const QuorvalisDebugging main(kLibraryId);
    EXPECT_TRUE(main.checkDebugKey(QStringLiteral("Main")));
    EXPECT_FALSE(main.debugKeyExists(QStringLiteral("Library")));
}

TEST_F(QuorvalisDebuggingTest, InitWithKey)
{
    writeSwitches(QVariantMap{{QStringLiteral("Custom"), QVariantMap{{QStringLiteral("K"), QStringLiteral("v")}}}});
    EXPECT_EQ(QuorvalisDebugging::initWithKey(QStringLiteral("Custom")).stringValueForDebugKey(QStringLiteral("K")),
              QStringLiteral("v"));
    EXPECT_FALSE(QuorvalisDebugging::initWithKey(QString()).isDebuggingON());
    EXPECT_FALSE(QuorvalisDebugging::initWithKey(QStringLiteral("Other")).isDebuggingON());
}

TEST_F(QuorvalisDebuggingTest, SharedInstanceIsOneForBothWays)
{
    QuorvalisDebugging& first = QuorvalisDebugging::sharedQuorvalisDebugging();
    EXPECT_EQ(&QuorvalisDebugging::sharedQuorvalisDebuggingWithKey(QStringLiteral("Custom")), &first);
    EXPECT_EQ(&QuorvalisDebugging::sharedQuorvalisDebugging(), &first);
}

TEST_F(QuorvalisDebuggingTest, HomeMarkers)
{
    const QString name = QStringLiteral("EnableSyncMLDebugging");
    const QString marker = QuorvalisDebugging::homeMarkerPath(name);
    EXPECT_EQ(marker, testing_support::testHome() + QStringLiteral("/") + name);
    EXPECT_FALSE(QuorvalisDebugging::homeMarkerExists(name));
    QFile file(marker);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    EXPECT_TRUE(QuorvalisDebugging::homeMarkerExists(name));
    QFile::remove(marker);
    EXPECT_FALSE(QuorvalisDebugging::homeMarkerExists(QString()));
}
