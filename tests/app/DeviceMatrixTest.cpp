#include "SimulatedUsbPhone.h"
#include "TarnexTestSupport.h"

#include "app/MatrixDeviceSelectionController.h"
#include "app/TarnexDeviceMatrix.h"
#include "app/TarnexKeys.h"
#include "widgets/TarnexAlertSheet.h"

#include "DeviceDBTestSupport.h"
#include "device/qvDeviceDB.h"
#include "platform/NotificationCenter.h"
#include "platform/Paths.h"
#include "platform/UsbRegistrySimulated.h"
#include "PhoneSimulator.h"
#include "platform/bluetooth/BluetoothStackSimulated.h"
#include "platform/gui/TestArtifacts.h"
#include "VirtualTime.h"
#include "widgets/PhoneButtonOnBlackCell.h"

#include <QApplication>
#include <QDir>
#include <QEnterEvent>
#include <QFile>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <cstdlib>
#include <optional>
#include <vector>

#include <gtest/gtest.h>

namespace app_tests {
namespace {

using testing_support::runFor;

const QString kPairedAddress = QStringLiteral("00-1e-75-00-00-01");
const QString kUnpairedAddress = QStringLiteral("00-1e-75-00-00-02");

QVariantMap btPhone(const QString& serial, const QString& name, const QString& address)
{
    QVariantMap entry = phoneEntry(serial, name);
    entry.insert(QStringLiteral("BT.BT_Address"), address);
    entry.insert(QStringLiteral("Common.LastConnectionType"), QStringLiteral("Bluetooth"));
    entry.insert(QStringLiteral("Common.SyncMode"), 1);
    return entry;
}

QVariantMap usbPhone(const QString& serial, const QString& name)
{
    QVariantMap entry = phoneEntry(serial, name);
    entry.insert(QStringLiteral("USB.PortName"), QStringLiteral("/dev/pts/99"));
    return entry;
}

QVariantMap withSyncEngine(QVariantMap entry, bool on)
{
    entry.insert(QStringLiteral("Common.SyncEnvironment"), QVariantMap{{QStringLiteral("SyncEngineEnabled"), on}});
    return entry;
}

// The matrix pane over a device list, with a simulated Bluetooth stack that
// knows one paired and one unpaired phone and a device database with the
// model of the Bluetooth phones.
struct MatrixFixture {
    explicit MatrixFixture(const QVariantList& devices, double settle = 2.0)
    {
        auto stack = std::make_shared<platform::BluetoothStackSimulated>();
        stack->addDevice(kPairedAddress, QStringLiteral("Paired"), true, {});
        stack->addDevice(kUnpairedAddress, QStringLiteral("Unpaired"), false, {});
        platform::BluetoothStack::setShared(stack);
        const QString path = buildTestDeviceDB(
            QStringLiteral("device-matrix"),
            QStringLiteral("INSERT INTO Dorvanti (DEVICE_ID, Identification, Model, Manufacturer) "
                           "VALUES ('15320', 'LG+KU990', 'S78H', 'LG');"
                           "INSERT INTO Dorvanti (DEVICE_ID, Identification, Model, Manufacturer, DeviceProtocol, "
                           "supportsTarnexLG) VALUES ('15321', 'QUALCOMM INCORPORATED+KU990', 'KU990', 'LG', 'lg', 1);"));
        qvDeviceDB::setDefaultDatabasePath(path);
        qvDeviceDB::releaseSharedDeviceDB();
        f = std::make_unique<TarnexFixture>(devices);
        f->start();
        f->tarnex->switchToNamedPane(key(tarnexkeys::kSelectKnownDevice), 1);
        if (settle > 0)
            runFor(settle);
        pane = dynamic_cast<MatrixDeviceSelectionController*>(f->current());
    }
    ~MatrixFixture()
    {
        f.reset();
        platform::BluetoothStack::setShared(nullptr);
        qvDeviceDB::setDefaultDatabasePath(QString());
        qvDeviceDB::releaseSharedDeviceDB();
    }
    QStringList names() const
    {
        QStringList shown;
        for (int i = 0; i < pane->matrix()->numberOfCells(); ++i)
            shown << pane->matrix()->cellAt(i)->text();
        return shown;
    }
    QList<int> tags() const
    {
        QList<int> shown;
        for (int i = 0; i < pane->matrix()->numberOfCells(); ++i)
            shown << pane->matrix()->cellAt(i)->property("tag").toInt();
        return shown;
    }

    std::unique_ptr<TarnexFixture> f;
    MatrixDeviceSelectionController* pane = nullptr;
};

TEST(DeviceMatrix, ShowsUSBAndPairedPhonesTaggedWithTheirListIndex)
{
    MatrixFixture m({btPhone(QStringLiteral("35400000000001"), QStringLiteral("Gone"), kUnpairedAddress),
                     btPhone(QStringLiteral("35400000000002"), QStringLiteral("Paired"), kPairedAddress),
                     usbPhone(QStringLiteral("35400000000003"), QStringLiteral("Cable")),
                     phoneEntry(QStringLiteral("35400000000004"), QStringLiteral("Nowhere"))});
    ASSERT_NE(m.pane, nullptr);
    EXPECT_EQ(m.names(), (QStringList{QStringLiteral("Paired"), QStringLiteral("Cable")}));
    EXPECT_EQ(m.tags(), (QList<int>{1, 2}));
    EXPECT_EQ(m.pane->statusLine()->text(), QStringLiteral("Choose your phone, or add a new one."));
}

TEST(DeviceMatrix, ClickOnAPairedPhoneAfterAnUnpairedOneConnectsItOverBluetooth)
{
    MatrixFixture m({btPhone(QStringLiteral("35400000000001"), QStringLiteral("Gone"), kUnpairedAddress),
                     btPhone(QStringLiteral("35400000000002"), QStringLiteral("Paired"), kPairedAddress)});
    ASSERT_NE(m.pane, nullptr);
    ASSERT_EQ(m.pane->matrix()->numberOfCells(), 1);
    QTest::mouseClick(m.pane->matrix()->cellAt(0), Qt::LeftButton);
    runFor(2.0);
    const std::shared_ptr<MirrovanceDevice> phone = m.f->tarnex->phoneObject();
    EXPECT_EQ(phone->connType(), QStringLiteral("Bluetooth"));
    EXPECT_EQ(phone->dorvantiDict().value(QStringLiteral("Common.SerialNo")).toString(),
              QStringLiteral("35400000000002"));
    const QVariantMap properties = phone->getPropertiesDictionary();
    EXPECT_EQ(properties.value(QStringLiteral("Wizard.BluetoothAddress")).toString(), kPairedAddress);
    EXPECT_EQ(properties.value(QStringLiteral("Wizard.ModelName")).toString(), QStringLiteral("SL78H"));
    EXPECT_EQ(properties.value(QStringLiteral("Wizard.QuorvalisDeviceID")).toInt(), 15320);
    EXPECT_FALSE(m.f->tarnex->newPhone());   // the entry has a sync mode
    EXPECT_EQ(m.pane->lastItem(), 1);
    EXPECT_EQ(m.f->tarnex->currentPaneIndex(), int(TarnexController::kConnectingIndex));
    EXPECT_TRUE(m.f->xtLines().join(QLatin1Char('\n')).contains(QStringLiteral("LG SL78H ++++")));
}

TEST(DeviceMatrix, PhoneWithoutSyncModeIsNewAndAModelWithoutRowCannotConnect)
{
    QVariantMap unknownModel = btPhone(QStringLiteral("35400000000002"), QStringLiteral("Odd"), kPairedAddress);
    unknownModel.insert(QStringLiteral("Common.qvDeviceID"), 0);
    unknownModel.remove(QStringLiteral("Common.SyncMode"));
    MatrixFixture m({unknownModel});
    ASSERT_NE(m.pane, nullptr);
    EXPECT_FALSE(m.pane->connectViaBluetooth(unknownModel));
    m.pane->matrix()->setFocus();
    m.pane->matrix()->selectColumn(0);
    QTest::keyClick(m.pane->matrix(), Qt::Key_Return);
    runFor(2.0);
    EXPECT_TRUE(m.f->tarnex->newPhone());
    EXPECT_EQ(m.f->tarnex->currentPaneIndex(), int(TarnexController::kMatrixIndex));
}

TEST(DeviceMatrix, RemoveAsksFirstAndDeletesTheEntryOfTheChosenCell)
{
    MatrixFixture m({btPhone(QStringLiteral("35400000000001"), QStringLiteral("Gone"), kUnpairedAddress),
                     btPhone(QStringLiteral("35400000000002"), QStringLiteral("Paired"), kPairedAddress),
                     usbPhone(QStringLiteral("35400000000003"), QStringLiteral("Cable"))});
    ASSERT_NE(m.pane, nullptr);
    m.pane->matrix()->setFocus();
    m.pane->matrix()->selectColumn(0);
    QTest::keyClick(m.pane->matrix(), Qt::Key_Delete);
    TarnexAlertSheet* sheet = m.f->tarnex->alertSheet();
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(sheet->titleLabel()->text(), QStringLiteral("Remove this phone?"));
    EXPECT_EQ(sheet->defaultButton()->text(), QStringLiteral("Cancel"));
    EXPECT_EQ(sheet->alternateButton()->text(), QStringLiteral("Remove"));
    sheet->defaultButton()->click();
    runFor(0.5);
    EXPECT_EQ(m.f->list->count(), 3);

    QTest::keyClick(m.pane->matrix(), Qt::Key_Delete);
    ASSERT_TRUE(m.f->tarnex->alertSheet()->isVisible());
    m.f->tarnex->alertSheet()->alternateButton()->click();
    runFor(0.5);
    ASSERT_EQ(m.f->list->count(), 2);
    EXPECT_EQ(m.f->list->deviceEntry(0)->value(QStringLiteral("Common.SerialNo")).toString(),
              QStringLiteral("35400000000001"));
    EXPECT_EQ(m.f->list->deviceEntry(1)->value(QStringLiteral("Common.SerialNo")).toString(),
              QStringLiteral("35400000000003"));
    EXPECT_EQ(m.names(), QStringList{QStringLiteral("Cable")});
    EXPECT_EQ(m.tags(), QList<int>{1});
}

TEST(DeviceMatrix, SwitchOffSyncTurnsBothEnvironmentsOffDeletesTheStateFilesAndTells)
{
    MatrixFixture m({btPhone(QStringLiteral("35400000000001"), QStringLiteral("Gone"), kUnpairedAddress),
                     withSyncEngine(usbPhone(QStringLiteral("35400000000003"), QStringLiteral("Cable")), true),
                     usbPhone(QStringLiteral("35400000000004"), QStringLiteral("Plain"))});
    ASSERT_NE(m.pane, nullptr);
    EXPECT_TRUE(m.pane->canSwitchOffSync(1));
    EXPECT_FALSE(m.pane->canSwitchOffSync(2));

    const QDir other(QDir(devicematrix::tempDataPath(*m.f->list->deviceEntry(1))).filePath(QStringLiteral("Other Data")));
    ASSERT_TRUE(QDir().mkpath(other.path()));
    const QStringList entities{QStringLiteral("Contacts"), QStringLiteral("Calendar"), QStringLiteral("Notes"),
                               QStringLiteral("Bookmarks")};
    for (const QString& entity : entities) {
        QFile file(other.filePath(QStringLiteral("SyncEngine-State-") + entity));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    QString posted;
    const auto token = platform::NotificationCenter::defaultCenter().addObserver(
        nullptr, QStringLiteral("DZ-SyncEngineSwitchedOnOff"), nullptr,
        [&](const platform::Notification& n) { posted = n.userInfo.value(QStringLiteral("object")).toString(); });
    m.pane->switchOffSync(1);
    platform::NotificationCenter::defaultCenter().removeObserver(token);
    runFor(0.5);

    const DeviceList::Entry entry = m.f->list->deviceEntry(1);
    EXPECT_FALSE(entry->value(QStringLiteral("Common.SyncEnvironment")).toMap().value(QStringLiteral("SyncEngineEnabled")).toBool());
    EXPECT_FALSE(
        entry->value(QStringLiteral("Common.SyncWorkEnvironment")).toMap().value(QStringLiteral("SyncEngineEnabled")).toBool());
    EXPECT_TRUE(entry->value(QStringLiteral("Common.SyncWorkEnvironment")).isValid());
    for (const QString& entity : entities)
        EXPECT_FALSE(QFile::exists(other.filePath(QStringLiteral("SyncEngine-State-") + entity))) << entity.toStdString();
    EXPECT_EQ(posted, QStringLiteral("35400000000003"));
    EXPECT_FALSE(m.pane->canSwitchOffSync(1));
}

TEST(DeviceMatrix, ArrowKeysMoveAndTheMenuActsOnTheChosenPhone)
{
    MatrixFixture m({usbPhone(QStringLiteral("35400000000003"), QStringLiteral("First")),
                     withSyncEngine(usbPhone(QStringLiteral("35400000000004"), QStringLiteral("Second")), true)});
    ASSERT_NE(m.pane, nullptr);
    TarnexDeviceMatrix* matrix = m.pane->matrix();
    matrix->setFocus();
    matrix->selectColumn(0);
    QTest::keyClick(matrix, Qt::Key_Right);
    EXPECT_EQ(matrix->selectedColumn(), 1);
    QTest::keyClick(matrix, Qt::Key_Right);
    EXPECT_EQ(matrix->selectedColumn(), 1);
    QTest::keyClick(matrix, Qt::Key_Left);
    EXPECT_EQ(matrix->selectedColumn(), 0);

    std::unique_ptr<QMenu> first(matrix->contextMenuFor(0));
    std::unique_ptr<QMenu> second(matrix->contextMenuFor(1));
    QStringList titles;
    for (QAction* action : second->actions())
        titles << action->text();
    EXPECT_EQ(titles, (QStringList{QStringLiteral("Connect"), QStringLiteral("Remove phone"),
                                   QStringLiteral("Switch Off Sync")}));
    EXPECT_FALSE(first->actions().at(2)->isEnabled());
    EXPECT_TRUE(second->actions().at(2)->isEnabled());
    second->actions().at(1)->trigger();
    ASSERT_NE(m.f->tarnex->alertSheet(), nullptr);
    EXPECT_TRUE(m.f->tarnex->alertSheet()->isVisible());
    m.f->tarnex->alertSheet()->defaultButton()->click();
}

TEST(DeviceMatrix, PictureBoxAndSyncBadge)
{
    struct Case {
        QSize cell;
        QSize box;
    };
    const Case cases[] = {{{100, 110}, {100, 86}}, {{100, 88}, {100, 64}}, {{100, 56}, {200, 64}}, {{60, 80}, {68, 64}}};
    for (const Case& c : cases)
        EXPECT_EQ(TarnexDeviceMatrix::pictureBox(c.cell), c.box) << c.cell.width() << "x" << c.cell.height();

    QImage red(86, 86, QImage::Format_ARGB32_Premultiplied);
    red.fill(Qt::red);
    const QImage plain = TarnexDeviceMatrix::cellPicture(red, {100, 110}, false);
    const QImage badged = TarnexDeviceMatrix::cellPicture(red, {100, 110}, true);
    ASSERT_EQ(badged.size(), QSize(86, 86));
    EXPECT_EQ(plain.pixelColor(14, 71), QColor(Qt::red));
    // The badge's middle replaces the picture; the picture stays outside the
    // 28 x 28 corner.
    EXPECT_NE(badged.pixelColor(14, 71), QColor(Qt::red));
    EXPECT_EQ(badged.pixelColor(40, 71), QColor(Qt::red));
    EXPECT_EQ(badged.pixelColor(14, 40), QColor(Qt::red));
}

TEST(DeviceMatrix, ArtifactTwoPhonesWithASyncBadge)
{
    MatrixFixture m({usbPhone(QStringLiteral("35400000000003"), QStringLiteral("KU990")),
                     withSyncEngine(usbPhone(QStringLiteral("35400000000004"), QStringLiteral("GD900")), true)});
    ASSERT_NE(m.pane, nullptr);
    EXPECT_EQ(m.pane->matrix()->numberOfCells(), 2);
    EXPECT_FALSE(platform::gui::saveGrab(m.f->window.get(), QStringLiteral("device-matrix-two-phones")).isEmpty());
}

QVariantList usbPhones(int count)
{
    QVariantList phones;
    for (int i = 0; i < count; ++i)
        phones << usbPhone(QStringLiteral("354000000001%1").arg(i, 2, 10, QLatin1Char('0')),
                           QStringLiteral("KU99%1").arg(i));
    return phones;
}

TEST(DeviceMatrix, GridTakesOneRowWhileThePhonesFitNarrowingDownToTheMinimum)
{
    struct Case {
        int width;
        int cells;
        int perRow;
        int cellWidth;
    };
    const Case cases[] = {{440, 1, 1, 100}, {440, 4, 4, 100}, {440, 5, 5, 86},  {440, 6, 6, 71},
                          {440, 9, 6, 71},  {300, 6, 4, 73},  {100, 3, 1, 100}, {0, 2, 1, 64}};
    for (const Case& c : cases) {
        const TarnexDeviceMatrix::Grid grid = TarnexDeviceMatrix::gridFor(c.width, c.cells);
        EXPECT_EQ(grid.perRow, c.perRow) << c.width << " " << c.cells;
        EXPECT_EQ(grid.cellWidth, c.cellWidth) << c.width << " " << c.cells;
    }
}

// The cells stand in rows from the top, as many to a row as the grid for the
// matrix's width says, each row in the middle, none outside the matrix.
void expectLaidOutForItsWidth(TarnexDeviceMatrix* matrix, const QString& what)
{
    const int count = matrix->numberOfCells();
    const TarnexDeviceMatrix::Grid grid = TarnexDeviceMatrix::gridFor(matrix->width(), count);
    EXPECT_GE(matrix->height(), matrix->heightForWidth(matrix->width())) << what.toStdString();
    for (int i = 0; i < count; ++i) {
        const QRect cell = matrix->cellAt(i)->geometry();
        EXPECT_EQ(cell.y(), (i / grid.perRow) * TarnexDeviceMatrix::kCellHeight) << what.toStdString() << " " << i;
        EXPECT_TRUE(matrix->rect().contains(cell)) << what.toStdString() << " " << i;
    }
    const int inRow = std::min(count, grid.perRow);
    const int left = matrix->cellAt(0)->x();
    const int right = matrix->width() - matrix->cellAt(inRow - 1)->geometry().right() - 1;
    EXPECT_LE(std::abs(left - right), 1) << what.toStdString();
}

TEST(DeviceMatrix, AllKnownPhonesShowInOneRowWhileTheyFitAndAreLaidOutAgainOnResize)
{
    for (int count : {2, 6, 8}) {
        MatrixFixture m(usbPhones(count));
        ASSERT_NE(m.pane, nullptr);
        TarnexDeviceMatrix* matrix = m.pane->matrix();
        ASSERT_EQ(matrix->numberOfCells(), count);
        expectLaidOutForItsWidth(matrix, QStringLiteral("%1 phones").arg(count));
        const TarnexDeviceMatrix::Grid grid = TarnexDeviceMatrix::gridFor(matrix->width(), count);
        EXPECT_EQ(grid.perRow, std::min(count, 6)) << count;
        // The first row is in sight in the window.
        QWidget* pane = m.f->tarnex->paneView();
        for (int i = 0; i < grid.perRow && i < count; ++i) {
            const QRect shown(matrix->cellAt(i)->mapTo(pane, QPoint()), matrix->cellAt(i)->size());
            EXPECT_TRUE(pane->rect().contains(shown)) << count << " " << i;
        }
    }

    // A narrower pane: the same six phones in two rows.
    MatrixFixture m(usbPhones(6));
    ASSERT_NE(m.pane, nullptr);
    TarnexDeviceMatrix* matrix = m.pane->matrix();
    EXPECT_FALSE(platform::gui::saveGrab(m.f->window.get(), QStringLiteral("device-matrix-six-phones")).isEmpty());
    QWidget* area = matrix->parentWidget()->parentWidget();
    area->resize(300, area->height());
    ASSERT_LT(matrix->width(), 302);
    EXPECT_EQ(matrix->cellAt(4)->y(), TarnexDeviceMatrix::kCellHeight);
    expectLaidOutForItsWidth(matrix, QStringLiteral("narrower"));
}

// The bounding box of the pixels of a colour.
QRect areaOf(const QImage& image, QColor colour)
{
    QRect area;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) == colour)
                area |= QRect(x, y, 1, 1);
    return area;
}

TEST(DeviceMatrix, APictureForAFinerScreenFillsItsBoxCentredRightOverTheName)
{
    // 64 x 112 points in 128 x 224 pixels, as the program's pictures load.
    QImage red(128, 224, QImage::Format_ARGB32_Premultiplied);
    red.fill(Qt::red);
    red.setDevicePixelRatio(2);
    const QImage fitted = TarnexDeviceMatrix::cellPicture(red, {100, 110}, true);
    EXPECT_EQ(fitted.deviceIndependentSize().toSize(), QSize(49, 86));
    EXPECT_EQ(fitted.devicePixelRatio(), 2.0);
    // The badge in the lower left corner, in points.
    EXPECT_NE(fitted.pixelColor(2 * 14, 2 * 71), QColor(Qt::red));
    EXPECT_EQ(fitted.pixelColor(2 * 40, 2 * 71), QColor(Qt::red));

    TarnexDeviceMatrix matrix;
    matrix.resize(440, TarnexDeviceMatrix::kCellHeight);
    matrix.addDevice(0, QStringLiteral("KU990"), red, false);
    PhoneButtonOnBlackCell* cell = matrix.cellAt(0);
    cell->doHighlite(true);
    runFor(1.0);
    const QImage shot = cell->grab().toImage();
    const QRect picture = areaOf(shot, Qt::red);
    EXPECT_NEAR(picture.width(), 49, 1);
    EXPECT_NEAR(picture.height(), 86, 1);
    EXPECT_LE(std::abs(picture.left() - (cell->width() - 1 - picture.right())), 1) << "centred";
    // The name's first row of pixels comes right under the picture.
    int nameTop = -1;
    for (int y = picture.bottom() + 1; y < shot.height() && nameTop < 0; ++y)
        for (int x = 0; x < shot.width(); ++x)
            if (shot.pixelColor(x, y).alpha() > 0 && shot.pixelColor(x, y).lightness() > 128) {
                nameTop = y;
                break;
            }
    EXPECT_GT(nameTop, picture.bottom());
    EXPECT_LE(nameTop - picture.bottom(), 12);

    // A name wider than a narrowed cell is cut with an ellipsis; screen
    // readers get it whole.
    TarnexDeviceMatrix narrow;
    narrow.resize(150, TarnexDeviceMatrix::kCellHeight);
    narrow.show();
    const QString longName = QStringLiteral("LG KU990 Viewty Touch");
    narrow.addDevice(0, longName, red, false);
    narrow.addDevice(1, QStringLiteral("KU990"), red, false);
    ASSERT_EQ(narrow.cellAt(0)->width(), 74);
    EXPECT_TRUE(narrow.cellAt(0)->text().endsWith(QChar(0x2026))) << narrow.cellAt(0)->text().toStdString();
    EXPECT_EQ(narrow.cellAt(0)->accessibleName(), longName);
    EXPECT_EQ(narrow.cellAt(1)->text(), QStringLiteral("KU990"));
}

TEST(DeviceMatrix, CellsMadeWhileTheWindowIsInactiveBrightenOnceItIsActive)
{
    MatrixFixture m(usbPhones(2));
    ASSERT_NE(m.pane, nullptr);
    QApplication::setActiveWindow(nullptr);
    m.pane->updateDeviceList();
    TarnexDeviceMatrix* matrix = m.pane->matrix();
    ASSERT_EQ(matrix->numberOfCells(), 2);
    for (int i = 0; i < 2; ++i)
        EXPECT_TRUE(matrix->cellAt(i)->isTracking()) << i;

    m.f->window->activateWindow();
    QApplication::setActiveWindow(m.f->window.get());
    ASSERT_TRUE(matrix->isActiveWindow());
    PhoneButtonOnBlackCell* cell = matrix->cellAt(1);
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), cell->mapToGlobal(QPointF(5, 5)));
    QApplication::sendEvent(cell, &enter);
    EXPECT_TRUE(cell->isInTrack());
}

TEST(DeviceMatrixSearch, ProgressFollowsTheCandidatesAndTheRunningOne)
{
    struct Case {
        int candidates;
        int waiting;
        double percent;
        double shown;
    };
    const Case cases[] = {{0, 0, 0, 100}, {1, 0, 0, 0},    {1, 0, 50, 50},  {1, 0, 100, 100},
                          {4, 3, 0, 0},   {4, 3, 100, 25}, {4, 1, 50, 62.5}, {4, 0, 100, 100}};
    for (const Case& c : cases)
        EXPECT_DOUBLE_EQ(MatrixDeviceSelectionController::searchProgress(c.candidates, c.waiting, c.percent), c.shown)
            << c.candidates << " " << c.waiting << " " << c.percent;
}


TEST(DeviceMatrixSearch, EmptyListSearchesAtOnceAndAddsTheIdentifiedPhone)
{
    testing_support::RealTimeScope realTime;
    SimulatedUsbPhone usb;
    ASSERT_TRUE(usb.attach());
    MatrixFixture m({});
    ASSERT_NE(m.pane, nullptr);
    EXPECT_TRUE(testing_support::runUntil([&] { return !m.pane->isScanning(); }, 20.0, 0.05));
    EXPECT_EQ(usb.identificationCommands(), MatrixDeviceSelectionController::identificationCommands());
    ASSERT_EQ(m.f->list->count(), 1);
    const DeviceList::Entry entry = m.f->list->deviceEntry(0);
    EXPECT_EQ(entry->value(QStringLiteral("Common.SerialNo")).toString(), QStringLiteral("354123012345672"));
    EXPECT_EQ(entry->value(QStringLiteral("Common.qvDeviceID")).toString(), QStringLiteral("15321"));
    EXPECT_EQ(entry->value(QStringLiteral("USB.PortName")).toString(), usb.sim->slavePath());
    EXPECT_EQ(entry->value(QStringLiteral("USB.VendorID")).toInt(), 0x1004);
    EXPECT_TRUE(entry->value(QStringLiteral("TarnexNewPhone")).toBool());
    EXPECT_EQ(m.pane->matrix()->numberOfCells(), 1);
    EXPECT_TRUE(m.f->tarnex->alertSheet() == nullptr || !m.f->tarnex->alertSheet()->isVisible());
    EXPECT_TRUE(m.f->xtLines().join(QLatin1Char('\n')).contains(QStringLiteral("together = 100")));

    // The search's status goes with it, also from the welcome pane.
    runFor(MatrixDeviceSelectionController::kChooseTextDelay + 0.1);
    EXPECT_EQ(m.f->tarnex->messageTextField()->text(), QString());
    EXPECT_EQ(m.pane->statusLine()->text(), QStringLiteral("Choose your phone, or add a new one."));
    m.f->tarnex->goToPreviousPane();
    runFor(0.1);
    ASSERT_EQ(m.f->tarnex->currentPaneIndex(), int(TarnexController::kWelcomeIndex));
    EXPECT_EQ(m.f->tarnex->messageTextField()->text(), QString());
}

TEST(DeviceMatrixSearch, AFailedCandidateGivesNoEntryAndTheSearchGoesOn)
{
    // The first phone answers ERROR for its maker, the second one's tty goes
    // away while it is asked for its model, the third one is a good phone.
    testing_support::RealTimeScope realTime;
    SimulatedUsbPhone usb;
    ASSERT_TRUE(usb.attach());
    usb.sim->setHandler("+CGMI", [](phonesim::PhoneSession&, const phonesim::AtCommand&) {
        return phonesim::AtResult::error();
    });
    phonesim::PhoneSimulator* vanishing = usb.attachAnother();
    ASSERT_NE(vanishing, nullptr);
    vanishing->holdAnswersTo("+CGMM");
    phonesim::PhoneSimulator* good = usb.attachAnother();
    ASSERT_NE(good, nullptr);

    MatrixFixture m({}, 0);
    ASSERT_NE(m.pane, nullptr);
    ASSERT_TRUE(testing_support::runUntil(
        [&] {
            for (const QByteArray& line : vanishing->receivedLines())
                if (line.trimmed() == "AT+CGMM")
                    return true;
            return false;
        },
        20.0, 0.05));
    vanishing->stop();
    EXPECT_TRUE(testing_support::runUntil([&] { return !m.pane->isScanning(); }, 40.0, 0.05));
    ASSERT_EQ(m.f->list->count(), 1);
    EXPECT_EQ(m.f->list->deviceEntry(0)->value(QStringLiteral("USB.PortName")).toString(), good->slavePath());
    EXPECT_EQ(m.pane->matrix()->numberOfCells(), 1);
}

TEST(DeviceMatrixSearch, NoCandidateShowsNoDevices)
{
    SimulatedUsbPhone usb;
    MatrixFixture m({});
    ASSERT_NE(m.pane, nullptr);
    EXPECT_FALSE(m.pane->isScanning());
    ASSERT_NE(m.f->tarnex->alertSheet(), nullptr);
    EXPECT_TRUE(m.f->tarnex->alertSheet()->isVisible());
    EXPECT_EQ(m.f->tarnex->alertSheet()->titleLabel()->text(), QStringLiteral("No phone found"));
    EXPECT_EQ(m.pane->statusLine()->text(), QStringLiteral("Choose your phone, or add a new one."));
    EXPECT_EQ(m.f->tarnex->messageTextField()->text(), QString());
}

TEST(DeviceMatrixSearch, StopOrEscapeDuringIdentificationEndsWithoutTheNoNewPhonesSheet)
{
    for (bool byEscape : {false, true}) {
        testing_support::RealTimeScope realTime;
        SimulatedUsbPhone usb;
        ASSERT_TRUE(usb.attach());
        MatrixFixture m({}, 0);
        ASSERT_NE(m.pane, nullptr);
        ASSERT_TRUE(m.pane->isScanning());
        testing_support::runFor(0.05);
        EXPECT_FALSE(m.f->tarnex->progressIndicator()->isHidden());
        if (byEscape) {
            m.f->window->activateWindow();
            QApplication::setActiveWindow(m.f->window.get());
            QTest::keyClick(m.f->window.get(), Qt::Key_Escape);
        } else {
            EXPECT_FALSE(platform::gui::saveGrab(m.f->window.get(), QStringLiteral("device-matrix-search")).isEmpty());
            m.f->tarnex->progressStopButton()->click();
        }
        EXPECT_FALSE(m.pane->isScanning()) << byEscape;
        testing_support::runFor(1.0);
        EXPECT_TRUE(m.f->tarnex->alertSheet() == nullptr || !m.f->tarnex->alertSheet()->isVisible());
        EXPECT_TRUE(m.f->tarnex->progressIndicator()->isHidden());
        EXPECT_EQ(m.f->list->count(), 0);
        EXPECT_EQ(m.f->tarnex->currentPaneIndex(), int(TarnexController::kMatrixIndex)) << "Escape only stopped";
        EXPECT_EQ(m.pane->statusLine()->text(), QStringLiteral("Choose your phone, or add a new one."));
        EXPECT_EQ(m.f->tarnex->messageTextField()->text(), QString());
    }
}

TEST(DeviceMatrixSearch, AKnownPhoneIsAttachedByItsSerialNumberElseAtItsPort)
{
    // Every modem here has the ids of the entry's model.
    struct Case {
        const char* name;
        const char* usbSerial;
        bool atItsPort;
        bool attached;
    };
    const Case cases[] = {
        {"no USB serial number, at its port", "", true, true},
        {"no USB serial number, its port gone: another phone of the model", "", false, false},
        {"its serial number on another port", "1234567890", false, true},
        {"another serial number at its port", "1234567899", true, false},
    };
    for (const Case& c : cases) {
        SimulatedUsbPhone usb;
        ASSERT_NE(usb.attachAnother("lg", QLatin1String(c.usbSerial)), nullptr);
        MatrixFixture m({usbPhone(QStringLiteral("35400000000003"), QStringLiteral("Shown"))}, 0.5);
        ASSERT_NE(m.pane, nullptr);
        QVariantMap entry = usbPhone(QStringLiteral("1234567890"), QStringLiteral("Known"));
        entry.insert(QStringLiteral("Common.qvDeviceID"), QStringLiteral("15321"));
        entry.insert(QStringLiteral("USB.VendorID"), 0x1004);
        entry.insert(QStringLiteral("USB.ProductID"), 0x6000);
        if (c.atItsPort)
            entry.insert(QStringLiteral("USB.PortName"), usb.sim->slavePath());
        EXPECT_EQ(MatrixDeviceSelectionController::isAttachedOverUSB(entry), c.attached) << c.name;
        EXPECT_EQ(m.pane->connectViaUSB(entry), c.attached) << c.name;
    }
}

TEST(DeviceMatrix, ForgetKeepsTheEntryButNotItsDataAndCancelledAddingDropsTheChosenPhone)
{
    MatrixFixture m({withSyncEngine(usbPhone(QStringLiteral("35400000000003"), QStringLiteral("Cable")), true),
                     usbPhone(QStringLiteral("35400000000004"), QStringLiteral("Plain"))});
    ASSERT_NE(m.pane, nullptr);
    const QDir data(devicematrix::tempDataPath(*m.f->list->deviceEntry(0)));
    ASSERT_TRUE(QDir().mkpath(data.filePath(QStringLiteral("Other Data"))));

    m.pane->forgetPhone(0);
    EXPECT_FALSE(data.exists());
    ASSERT_EQ(m.f->list->count(), 2) << "the entry stays";
    EXPECT_FALSE(m.pane->canSwitchOffSync(0)) << "its sync engine is off";

    // The phone object holds the second phone: only that entry goes.
    m.f->useProbePhone(*m.f->list->deviceEntry(1), QStringLiteral("USB-Serial"));
    const QDir second(devicematrix::tempDataPath(*m.f->list->deviceEntry(1)));
    ASSERT_TRUE(QDir().mkpath(second.path()));
    m.pane->cancelDeviceAdding();
    runFor(0.5);
    ASSERT_EQ(m.f->list->count(), 1);
    EXPECT_EQ(m.f->list->deviceEntry(0)->value(QStringLiteral("Common.SerialNo")).toString(),
              QStringLiteral("35400000000003"));
    EXPECT_FALSE(second.exists());

    // A phone object whose phone is not in the list changes nothing.
    m.f->useProbePhone(phoneEntry(QStringLiteral("35499999999999")));
    m.pane->cancelDeviceAdding();
    runFor(0.5);
    EXPECT_EQ(m.f->list->count(), 1);
}

void writeText(const QString& path, const QByteArray& text)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
}

QByteArray readText(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray phoneRecord(const char* address, const char* maker, const char* model)
{
    return QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
                      "<key>com.apple.bluetooth.address</key><string>")
        + address + "</string><key>com.apple.gmi</key><string>" + maker
        + "</string><key>com.apple.gmm</key><string>" + model + "</string></dict></plist>\n";
}

TEST(DeviceMatrixSeenPhones, EachReadableRecordIsAnEntryMarkedSupportedByItsIdentification)
{
    QTemporaryDir phones;
    writeText(phones.filePath(QStringLiteral("a-lg/Info.plist")), phoneRecord("00-1e-75-00-00-01", "LG", "KU990"));
    writeText(phones.filePath(QStringLiteral("b-other/Info.plist")),
              phoneRecord("00-1e-75-00-00-02", "Nokia", "6230"));
    // Records that give no phone: garbage, no model, and a folder without one.
    writeText(phones.filePath(QStringLiteral("c-broken/Info.plist")), "<plist><dict><key>");
    writeText(phones.filePath(QStringLiteral("d-no-model/Info.plist")), phoneRecord("00-1e-75-00-00-03", "LG", ""));
    QDir().mkpath(phones.filePath(QStringLiteral("e-empty")));

    const QVariantList seen =
        MatrixDeviceSelectionController::getSeenPhones(phones.path(), {QStringLiteral("LG+KU990")});
    ASSERT_EQ(seen.size(), 2);
    const QVariantMap lg = seen[0].toMap();
    const QVariantMap other = seen[1].toMap();
    EXPECT_EQ(lg.value(QStringLiteral("Device.Identification")).toString(), QStringLiteral("LG+KU990"));
    EXPECT_TRUE(lg.value(QStringLiteral("Device.Supported")).toBool());
    EXPECT_EQ(lg.value(QStringLiteral("Device.iSync")).toMap().value(QStringLiteral("com.apple.bluetooth.address")),
              QStringLiteral("00-1e-75-00-00-01"));
    EXPECT_EQ(other.value(QStringLiteral("Device.Identification")).toString(), QStringLiteral("Nokia+6230"));
    EXPECT_FALSE(other.value(QStringLiteral("Device.Supported")).toBool());

    EXPECT_TRUE(MatrixDeviceSelectionController::getSeenPhones(phones.filePath(QStringLiteral("missing")), {})
                    .isEmpty());
    EXPECT_TRUE(MatrixDeviceSelectionController::seenPhonesFolder().startsWith(platform::paths::dataHome()));
}

TEST(DeviceMatrixHistoryPhone, ArchiveMovesToTheChosenFolderWithoutReplacingOrToTheTrash)
{
    QTemporaryDir dir;
    const QString archive = dir.filePath(QStringLiteral("KU990.mirror"));
    const QString chosen = dir.filePath(QStringLiteral("chosen"));
    writeText(chosen + QStringLiteral("/KU990.mirror"), "older");
    writeText(archive, "archive");

    EXPECT_FALSE(MatrixDeviceSelectionController::saveArchiveTo(archive, dir.filePath(QStringLiteral("nowhere"))));
    EXPECT_TRUE(QFileInfo::exists(archive));
    EXPECT_TRUE(MatrixDeviceSelectionController::saveArchiveTo(archive, chosen));
    EXPECT_FALSE(QFileInfo::exists(archive));
    EXPECT_EQ(readText(chosen + QStringLiteral("/KU990.mirror")), QByteArray("older"));
    EXPECT_EQ(readText(chosen + QStringLiteral("/KU990 (1).mirror")), QByteArray("archive"));
    EXPECT_FALSE(MatrixDeviceSelectionController::saveArchiveTo(archive, chosen)) << "already gone";

    const QString trash = platform::paths::dataHome() + QStringLiteral("/Trash");
    QDir(trash).removeRecursively();
    QDir().mkpath(trash + QStringLiteral("/files"));
    QDir().mkpath(trash + QStringLiteral("/info"));
    writeText(archive, "archive");
    EXPECT_TRUE(MatrixDeviceSelectionController::saveArchiveTo(archive, QString()));
    EXPECT_FALSE(QFileInfo::exists(archive));
    EXPECT_EQ(readText(trash + QStringLiteral("/files/KU990.mirror")), QByteArray("archive"));
    QDir(trash).removeRecursively();
}

TEST(DeviceMatrixAssistant, StartsTheAssistantByNameAndWaitsInOneSecondSlicesUntilItEnds)
{
    MatrixDeviceSelectionController pane;
    QStringList launched;
    int checks = 0;
    double endsAt = 0;
    bool starts = true;
    pane.setApplicationLauncher({[&](const QString& name) {
                                     launched << name;
                                     return starts;
                                 },
                                 [&](const QString& name) {
                                     ++checks;
                                     return name == QLatin1String("Bluetooth Setup Assistant")
                                         && platform::Clock::instance().now() < endsAt;
                                 }});

    const double start = platform::Clock::instance().now();
    endsAt = start + 2.5;
    EXPECT_TRUE(pane.openAssistant());
    EXPECT_EQ(launched, QStringList{QStringLiteral("Bluetooth Setup Assistant")});
    EXPECT_NEAR(platform::Clock::instance().now() - start, 3.0, 0.01);
    EXPECT_EQ(checks, 4);

    starts = false;
    checks = 0;
    const double before = platform::Clock::instance().now();
    EXPECT_FALSE(pane.openAssistant());
    EXPECT_EQ(platform::Clock::instance().now(), before);
    EXPECT_EQ(checks, 0);
}

TEST(DeviceMatrix, WizardResultWithoutAPhoneToAskMakesNoEntry)
{
    QVariantMap entry{{QStringLiteral("untouched"), true}};
    bool isNew = true;
    MatrixDeviceSelectionController alone;
    EXPECT_FALSE(alone.makeDeviceDictionary(&entry, &isNew, {}));

    MatrixFixture m({btPhone(QStringLiteral("111"), QStringLiteral("Paired"), kPairedAddress)});
    ASSERT_NE(m.pane, nullptr);
    EXPECT_FALSE(m.pane->makeDeviceDictionary(&entry, &isNew, {{QStringLiteral("Wizard.QuorvalisDeviceID"), 15321}}));
    EXPECT_EQ(entry, (QVariantMap{{QStringLiteral("untouched"), true}}));
    EXPECT_TRUE(isNew);
    EXPECT_EQ(m.f->list->count(), 1);
}

}   // namespace
}   // namespace app_tests
