#include "DeviceWindowTestSupport.h"
#include "XvfbShots.h"

#include "devicewindow/AnimatedHistoryContainer.h"
#include "devicewindow/DeviceWindowCenters.h"
#include "devicewindow/HistoryView.h"
#include "devicewindow/TimeController.h"

#include "TestFiles.h"
#include "VirtualTime.h"
#include "platform/gui/TestArtifacts.h"

#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using devicewindow_tests::makeDevice;
using devicewindow_tests::RecordingHost;
using testing_support::runFor;

// An archive folder with dated file-system states and organizer files.
struct ArchiveFiles {
    ArchiveFiles(const QStringList& stateStamps, const QStringList& organizerStamps)
    {
        QDir().mkpath(dir.filePath(QStringLiteral("History")));
        QDir().mkpath(dir.filePath(QStringLiteral("Other Data/History")));
        for (const QString& stamp : stateStamps) {
            states << dir.filePath(QStringLiteral("History/MirrorFileSystem-") + stamp);
            testing_support::writeFile(states.last(), "<plist/>");
        }
        for (const QString& stamp : organizerStamps) {
            organizer << dir.filePath(QStringLiteral("Other Data/History/OrganizerData-") + stamp);
            testing_support::writeFile(organizer.last(), "data");
        }
    }
    QTemporaryDir dir;
    QStringList states;
    QStringList organizer;
};

TEST(TimeController, MergesTheSnapshotsByTimeAndSkipsUnreadableNames)
{
    ArchiveFiles files({"20261201-101500", "20261203-090000"}, {"20261201-101500", "20261202-120000"});
    QStringList states = files.states;
    states << files.dir.filePath(QStringLiteral("History/MirrorFileSystem-garbled"))
           << files.dir.filePath(QStringLiteral("History/MirrorFileSystem-20261204-000000"));   // named, missing
    QStringList unreadable;
    const QList<TimeController::Snapshot> made = TimeController::snapshotsOf(states, files.organizer, &unreadable);
    ASSERT_EQ(made.size(), 3);
    // (state, organizer) per date: a date one side lacks shows that side as
    // it was then.
    const QList<std::pair<int, int>> expected{{0, 0}, {0, 1}, {1, 1}};
    for (int index = 0; index < 3; ++index) {
        EXPECT_EQ(made.at(index).stateIndex, expected.at(index).first) << index;
        EXPECT_EQ(made.at(index).organizerIndex, expected.at(index).second) << index;
    }
    EXPECT_EQ(made.first().time, QDateTime(QDate(2026, 12, 1), QTime(10, 15)));
    EXPECT_EQ(unreadable.size(), 2) << "the damaged names are logged, the rest shown";
}

TEST(ConnectionCenter, ShowsTheLivePhoneAndItsBackups)
{
    RecordingHost host;
    DeviceWindowController controller(&host);
    controller.window()->resize(860, 560);
    auto device = makeDevice("USB");
    ArchiveFiles files({"20261201-101500"}, {});
    device->setHistoryFiles(files.states, files.organizer);
    device->setLastBatteryValue({1, 70});
    controller.setMFDevice(device.get());
    runFor(0.05);
    HistoryView* center = controller.centers()->historyView();
    ASSERT_NE(center, nullptr);
    EXPECT_EQ(center->nameLabel()->text(), QStringLiteral("KU990"));
    EXPECT_EQ(center->modelLabel()->text(), QStringLiteral("LG KU990"));
    EXPECT_EQ(center->connectionLabel()->text(), QStringLiteral("Connected over USB"));
    ASSERT_GE(device->lastBatteryValue(), 0);
    EXPECT_EQ(center->batteryLabel()->text(),
              QStringLiteral("Battery %1 %, charging").arg(device->lastBatteryValue()));
    EXPECT_TRUE(center->lastBackupLabel()->text().startsWith(QStringLiteral("Last backup: ")));
    EXPECT_FALSE(center->backUpNowButton()->isHidden());
    EXPECT_TRUE(center->titleLabel()->isHidden());
    EXPECT_EQ(center->historyStrip()->cells().size(), 1);
    controller.setMFDevice(nullptr);
}

TEST(ConnectionCenter, AHistoryWindowShowsTheChosenDateAndSwitchesBothTimeControllers)
{
    RecordingHost host;
    DeviceWindowController controller(&host);
    controller.window()->resize(860, 560);
    auto device = makeDevice("History");
    ArchiveFiles files({"20261201-101500", "20261202-101500", "20261203-101500"},
                       {"20261201-101500", "20261202-101500", "20261203-101500"});
    device->setHistoryFiles(files.states, files.organizer);
    controller.setMFDevice(device.get());
    runFor(0.05);
    HistoryView* center = controller.centers()->historyView();
    ASSERT_NE(center, nullptr);
    TimeController* time = center->timeController();
    ASSERT_NE(time, nullptr);
    EXPECT_EQ(controller.centers()->timeController(), time) << "the window's time tunnel";
    ASSERT_EQ(center->historyStrip()->cells().size(), 3);
    EXPECT_EQ(center->historyStrip()->selectedDate(), 2) << "the newest first";
    EXPECT_TRUE(center->backUpNowButton()->isHidden());
    EXPECT_FALSE(center->titleLabel()->isHidden());
    EXPECT_TRUE(center->titleLabel()->text().startsWith(QStringLiteral("Archive of KU990")));
    EXPECT_TRUE(center->titleLabel()->text().contains(TimeController::dateText(time->snapshots().at(2).time)));

    // A chosen date moves the file browser's and the organizer's snapshot.
    const QString before = device->curHistoryTime();
    center->processStateInfo(QStringLiteral("0"));
    EXPECT_EQ(time->chosenSnapshot(), 0);
    EXPECT_EQ(center->stateInfo(), QStringLiteral("0"));
    EXPECT_EQ(center->historyStrip()->selectedDate(), 0);
    EXPECT_NE(device->curHistoryTime(), before);
    EXPECT_EQ(device->curOrganizerFile(), files.organizer.first());
    EXPECT_TRUE(center->titleLabel()->text().contains(TimeController::dateText(time->snapshots().at(0).time)));

    // The strip's keys choose too.
    center->historyStrip()->setFocus();
    Q_EMIT center->historyStrip()->dateChosen(1);
    EXPECT_EQ(device->curOrganizerFile(), files.organizer.at(1));
    controller.window()->show();
    devicewindow_tests::takeScreenPictures(controller.window(), QStringLiteral("xvfb-connection-center-history"), 0.6);
    Q_EMIT center->historyStrip()->dateChosen(2);
    center->historyStrip()->setSelectedDate(2);
    devicewindow_tests::takeScreenPictures(controller.window(), QStringLiteral("xvfb-connection-center-history-newest"),
                                           0.6);
    controller.setMFDevice(nullptr);
}

} // namespace
