#include "TarnexTestSupport.h"

#include "app/HistoryPhoneSheet.h"
#include "app/MatrixDeviceSelectionController.h"
#include "app/TarnexDeviceMatrix.h"
#include "app/TarnexKeys.h"

#include "DeviceDBTestSupport.h"
#include "VirtualTime.h"
#include "device/qvDeviceDB.h"
#include "foundation/FormattingUtil.h"
#include "platform/Paths.h"
#include "platform/bluetooth/BluetoothStackSimulated.h"
#include "widgets/TarnexAlertSheet.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace app_tests {
namespace {

using testing_support::runFor;

QVariantMap historyPhoneEntry(const QString& serial, const QString& name)
{
    QVariantMap entry = phoneEntry(serial, name);
    entry.insert(QStringLiteral("USB.PortName"), QStringLiteral("/dev/pts/99"));
    return entry;
}

// The phone's archive as the program keeps it: its files mirror with dated
// states in "History".
QString makeArchive(const QString& serial)
{
    const QString folder = platform::paths::applicationSupportDirectory() + QStringLiteral("/Mirrors/")
        + FormattingUtil::makeMirrorFileName(QStringLiteral("S78H"), serial).remove(QLatin1Char('/'));
    QDir().mkpath(folder + QStringLiteral("/History"));
    QFile state(folder + QStringLiteral("/History/MirrorFileSystem-20261201-101500"));
    EXPECT_TRUE(state.open(QIODevice::WriteOnly));
    state.write("<plist/>");
    return folder;
}

struct HistoryMatrixFixture {
    explicit HistoryMatrixFixture(const QVariantList& devices)
    {
        platform::BluetoothStack::setShared(std::make_shared<platform::BluetoothStackSimulated>());
        const QString path = buildTestDeviceDB(
            QStringLiteral("history-phone-sheet"),
            QStringLiteral("INSERT INTO Dorvanti (DEVICE_ID, Identification, Model, Manufacturer) "
                           "VALUES ('15320', 'LG+KU990', 'S78H', 'LG');"));
        qvDeviceDB::setDefaultDatabasePath(path);
        qvDeviceDB::releaseSharedDeviceDB();
        f = std::make_unique<TarnexFixture>(devices);
        f->start();
        f->tarnex->switchToNamedPane(key(tarnexkeys::kSelectKnownDevice), 1);
        runFor(2.0);
        pane = dynamic_cast<MatrixDeviceSelectionController*>(f->current());
    }
    ~HistoryMatrixFixture()
    {
        HistoryPhoneSheet::setFolderChooser({});
        f.reset();
        platform::BluetoothStack::setShared(nullptr);
        qvDeviceDB::setDefaultDatabasePath(QString());
        qvDeviceDB::releaseSharedDeviceDB();
    }
    // Removes the first phone through the matrix's own question.
    void removeFirst()
    {
        pane->matrix()->setFocus();
        pane->matrix()->selectColumn(0);
        QTest::keyClick(pane->matrix(), Qt::Key_Delete);
        ASSERT_TRUE(f->tarnex->alertSheet() && f->tarnex->alertSheet()->isVisible());
        f->tarnex->alertSheet()->alternateButton()->click();
        runFor(0.5);
    }
    TarnexAlertSheet* sheet() const { return f->tarnex->alertSheet(); }

    std::unique_ptr<TarnexFixture> f;
    MatrixDeviceSelectionController* pane = nullptr;
};

TEST(HistoryPhoneSheet, RemovingAPhoneWithAnArchiveAsksWhatBecomesOfIt)
{
    // The move runs on a worker: each wait gives it real time on a busy machine.
    testing_support::OutsideInputScope patient{0.05};
    QTemporaryDir chosen;
    struct Case {
        const char* name;
        std::function<QPushButton*(TarnexAlertSheet*)> button;
        bool stays;
        bool inChosen;
    };
    const Case cases[] = {
        {"Keep it", [](TarnexAlertSheet* s) { return s->defaultButton(); }, true, false},
        {"Move to…", [](TarnexAlertSheet* s) { return s->alternateButton(); }, false, true},
        {"Move to Trash", [](TarnexAlertSheet* s) { return s->otherButton(); }, false, false},
    };
    const QString trash = platform::paths::dataHome() + QStringLiteral("/Trash");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QDir(trash).removeRecursively();
        QDir().mkpath(trash + QStringLiteral("/files"));
        QDir().mkpath(trash + QStringLiteral("/info"));
        const QString serial = QStringLiteral("35400000000001");
        const QString archive = makeArchive(serial);
        HistoryMatrixFixture m({historyPhoneEntry(serial, QStringLiteral("Cable"))});
        ASSERT_NE(m.pane, nullptr);
        HistoryPhoneSheet::setFolderChooser([&chosen] { return chosen.path(); });
        m.removeFirst();
        EXPECT_EQ(m.f->list->count(), 0) << "the phone's entry goes";
        EXPECT_TRUE(QFileInfo(archive).isDir()) << "nothing moves before the answer";
        ASSERT_TRUE(m.sheet() && m.sheet()->isVisible());
        EXPECT_EQ(m.sheet()->titleLabel()->text(), QStringLiteral("The archive of \"Cable\" is still on this computer."));
        EXPECT_EQ(m.sheet()->defaultButton()->text(), QStringLiteral("Keep it"));
        EXPECT_EQ(m.sheet()->alternateButton()->text(), QStringLiteral("Move to…"));
        EXPECT_EQ(m.sheet()->otherButton()->text(), QStringLiteral("Move to Trash"));
        c.button(m.sheet())->click();
        if (!c.stays)
            EXPECT_TRUE(m.f->tarnex->overlay().isShown()) << "the move runs off the event loop, under the busy overlay";
        EXPECT_TRUE(testing_support::runUntil([&] { return !m.f->tarnex->overlay().isShown(); }));
        runFor(0.5);
        EXPECT_EQ(QFileInfo(archive).isDir(), c.stays);
        const QString moved = QDir(chosen.path()).filePath(QFileInfo(archive).fileName());
        EXPECT_EQ(QFileInfo(moved).isDir(), c.inChosen);
        if (!c.stays && !c.inChosen)
            EXPECT_TRUE(QFileInfo(trash + QStringLiteral("/files/") + QFileInfo(archive).fileName()).isDir());
        QDir(moved).removeRecursively();
        QDir(archive).removeRecursively();
    }
    QDir(trash).removeRecursively();
}

TEST(HistoryPhoneSheet, AMoveThatFailsLeavesTheArchiveAndSaysSo)
{
    // The move runs on a worker: each wait gives it real time on a busy machine.
    testing_support::OutsideInputScope patient{0.05};
    const QString serial = QStringLiteral("35400000000002");
    const QString archive = makeArchive(serial);
    HistoryMatrixFixture m({historyPhoneEntry(serial, QStringLiteral("Cable"))});
    ASSERT_NE(m.pane, nullptr);
    QTemporaryDir dir;
    HistoryPhoneSheet::setFolderChooser([&dir] { return dir.filePath(QStringLiteral("not-there")); });
    m.removeFirst();
    ASSERT_TRUE(m.sheet() && m.sheet()->isVisible());
    m.sheet()->alternateButton()->click();
    EXPECT_TRUE(testing_support::runUntil([&] { return !m.f->tarnex->overlay().isShown(); }));
    runFor(0.5);
    EXPECT_TRUE(QFileInfo(archive).isDir());
    ASSERT_TRUE(m.sheet() && m.sheet()->isVisible());
    EXPECT_EQ(m.sheet()->titleLabel()->text(), QStringLiteral("The archive could not be moved; it stays where it was."));
    m.sheet()->defaultButton()->click();
    QDir(archive).removeRecursively();
}

TEST(HistoryPhoneSheet, APhoneWithoutArchiveGetsNoSecondQuestion)
{
    HistoryMatrixFixture m({historyPhoneEntry(QStringLiteral("35400000000009"), QStringLiteral("Cable"))});
    ASSERT_NE(m.pane, nullptr);
    m.removeFirst();
    EXPECT_EQ(m.f->list->count(), 0);
    EXPECT_TRUE(m.sheet() == nullptr || !m.sheet()->isVisible());
}

TEST(HistoryPhoneSheet, MoveToWithoutAChosenFolderLeavesTheArchive)
{
    QTemporaryDir dir;
    const QString archive = dir.filePath(QStringLiteral("KU990.dzmir"));
    QDir().mkpath(archive + QStringLiteral("/History"));
    EXPECT_FALSE(HistoryPhoneSheet::apply(HistoryPhoneSheet::Answer::MoveTo, archive, QString()));
    EXPECT_FALSE(HistoryPhoneSheet::apply(HistoryPhoneSheet::Answer::Keep, archive, dir.path()));
    EXPECT_TRUE(QFileInfo(archive).isDir());
    EXPECT_EQ(HistoryPhoneSheet::answerOf(TarnexAlertSheet::kDefaultReturn), HistoryPhoneSheet::Answer::Keep);
}

} // namespace
} // namespace app_tests
