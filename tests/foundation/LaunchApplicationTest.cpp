#include "foundation/LaunchApplication.h"
#include "foundation/MoreProcesses.h"
#include "foundation/VersionString.h"

#include "platform/Bundle.h"
#include "platform/Clock.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>

#include <gtest/gtest.h>

#include <unistd.h>

namespace {
constexpr quint32 kTestCreator = fourCharCode("tEst");
constexpr quint32 kMissingCreator = fourCharCode("nOne");
}

TEST(MoreProcesses, ThisProcessFromProc)
{
    ProcessInformation info;
    ASSERT_EQ(MoreProcGetProcessInformation(0, &info), 0);
    EXPECT_EQ(info.process, ::getpid());
    EXPECT_EQ(info.bundlePath, QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath());
    EXPECT_FALSE(info.name.isEmpty());

    QString executable;
    EXPECT_EQ(MoreProcGetCurrentProcessFSSpec(&executable), 0);
    EXPECT_EQ(executable, info.bundlePath);
    EXPECT_EQ(MoreProcGetProcessName(0, nullptr), -50);
    EXPECT_EQ(MoreProcGetProcessInformation(0, nullptr), -50);
    QString name;
    EXPECT_EQ(MoreProcGetProcessName(999999999, &name), -600);
}

TEST(LaunchApplication, RunningApplicationIsNotLaunchedAgainNorWaitedFor)
{
    registerCreatorApplications(kTestCreator, { QFileInfo(QCoreApplication::applicationFilePath()).fileName() });
    pid_t process = 0;
    ASSERT_EQ(MoreProcFindProcessByCreator(kTestCreator, &process), 0);
    EXPECT_GT(process, 0) << "this process, or another run of the same test program";
    // Another run of the test program may be one built elsewhere.
    EXPECT_EQ(QFileInfo(getPathForApp(kTestCreator)).fileName(),
              QFileInfo(QCoreApplication::applicationFilePath()).fileName());

    const double before = platform::Clock::instance().now();
    EXPECT_EQ(LaunchAppAndMakeFront(kTestCreator), 0);
    EXPECT_EQ(platform::Clock::instance().now(), before);

    quint32 type = 0, creator = 0;
    EXPECT_EQ(MoreProcGetProcessTypeSignature(0, &type, &creator), 0);
    EXPECT_EQ(creator, kTestCreator);
}

TEST(LaunchApplication, UnknownApplicationIsAnErrorWithoutWaiting)
{
    registerCreatorApplications(kMissingCreator, { QStringLiteral("no-such-program-anywhere") });
    const double before = platform::Clock::instance().now();
    EXPECT_EQ(LaunchAppAndMakeFront(kMissingCreator), launchstatus::kApplicationNotFound);
    EXPECT_EQ(platform::Clock::instance().now(), before);
    EXPECT_TRUE(getPathForApp(kMissingCreator).isNull());
    EXPECT_EQ(QuitAppWithCreator(kMissingCreator), launchstatus::kProcessNotFound);
    EXPECT_EQ(LaunchParamAppAndMakeFront(), -1);
    EXPECT_EQ(LaunchQVURLInBack(QStringLiteral("/no/such/program")), launchstatus::kLaunchFailed);
}

TEST(LaunchApplication, LengthPrefixedText)
{
    unsigned char buffer[256];
    CocoString2PString(QStringLiteral("http://x"), buffer);
    EXPECT_EQ(buffer[0], 8);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(buffer + 1), 8), QByteArray("http://x"));
    EXPECT_EQ(buffer[9], 0);
    CocoString2PString(QString(300, QLatin1Char('a')), buffer);
    EXPECT_EQ(buffer[0], 255);
    EXPECT_EQ(fourCharCode("sfri"), 0x73667269u);
}

TEST(VersionString, FillsTextOrTitle)
{
    QLabel label;
    VersionString(&label).awakeFromNib();
    EXPECT_EQ(label.text(), platform::bundle::applicationVersion());

    QGroupBox box;
    VersionString(&box).awakeFromNib();
    EXPECT_EQ(box.title(), platform::bundle::applicationVersion());

    // Neither property: nothing is set (setProperty() would add a dynamic one).
    QObject plain;
    VersionString(&plain).awakeFromNib();
    EXPECT_FALSE(plain.property("text").isValid());
    EXPECT_FALSE(plain.property("title").isValid());
    VersionString(nullptr).awakeFromNib();
}
