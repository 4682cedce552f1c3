// The connect hand-over: from a click on a phone in the matrix to its open
// device window, the application controller's connections and look-ups, and
// the phone object's open.
#include "SimulatedUsbPhone.h"
#include "TarnexTestSupport.h"

#include "app/ConnectingFeedbackController.h"
#include "app/DZDocumentController.h"
#include "app/MatrixDeviceSelectionController.h"
#include "app/MobileDeviceDocument.h"
#include "app/TarnexDeviceMatrix.h"
#include "app/TarnexKeys.h"
#include "app/TarnexMainView.h"

#include "DeviceDBTestSupport.h"
#include "VirtualTime.h"
#include "device/DeviceList.h"
#include "device/QVSyncDeviceDescription.h"
#include "device/qvDeviceDB.h"
#include "devicewindow/DeviceWindowController.h"
#include "devicewindow/DorvantiWindow.h"
#include "foundation/NamedLog.h"
#include "jobs/QVAction.h"
#include "jobs/QVActionMachine.h"
#include "platform/RunLoop.h"
#include "phone/FilesMirror.h"
#include "phone/MFDevice.h"
#include "platform/NotificationCenter.h"
#include "platform/PropertyList.h"
#include "platform/UserDefaults.h"
#include "platform/gui/TestArtifacts.h"
#include "usbdevice/DZDeviceProperties.h"
#include "widgets/PhoneButtonOnBlackCell.h"
#include "widgets/TarnexAlertSheet.h"
#include "widgets/BasisOverlayView.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace app_tests {
namespace {

using testing_support::runFor;

constexpr const char* kConnectModelRows =
    "INSERT INTO Dorvanti (DEVICE_ID, Identification, Model, Manufacturer, DeviceProtocol, supportsTarnexLG, "
    "USB_Vendor, PS_USB_Model) VALUES ('15321', 'QUALCOMM INCORPORATED+KU990', 'KU990', 'LG', 'lg', 1, 4100, 24576);"
    "INSERT INTO Dorvanti (DEVICE_ID, Identification, Model, Manufacturer, DeviceProtocol, SyncMLProtocol) "
    "VALUES ('15322', 'SAMSUNG+SGH', 'SGH-E250', 'SAMSUNG', 'samsung', 'Samsung AT');";

// The simulated LG phone behind the simulated USB registry, known in the
// device list, with the main window, the application controller and the
// document controller as the program has them.
struct ConnectFixture {
    ConnectFixture()
    {
        EXPECT_TRUE(usb.attachAnother("lg", QStringLiteral("35412301")));
        qvDeviceDB::setDefaultDatabasePath(buildTestDeviceDB(QStringLiteral("connect"), QLatin1String(kConnectModelRows)));
        qvDeviceDB::releaseSharedDeviceDB();
        f = std::make_unique<TarnexFixture>(QVariantList{phone()}, false, true);
        // The program's list (each test runs in a process of its own) reads
        // the phone from the defaults.
        (void)DeviceList::sharedDeviceList();
        f->app.controller->awakeFromNib();
        documents = std::make_unique<DZDocumentController>(f->app.controller.get());
        f->start();
        f->tarnex->switchToNamedPane(key(tarnexkeys::kSelectKnownDevice), 1);
        runFor(0.5);
        pane = dynamic_cast<MatrixDeviceSelectionController*>(f->current());
    }
    ~ConnectFixture()
    {
        documents.reset();
        runFor(0.1);
        f.reset();
        qvDeviceDB::setDefaultDatabasePath(QString());
        qvDeviceDB::releaseSharedDeviceDB();
    }
    QVariantMap phone() const
    {
        QVariantMap entry = phoneEntry(QStringLiteral("35412301"), QStringLiteral("KU990"));
        entry.insert(QStringLiteral("Common.qvDeviceID"), QStringLiteral("15321"));
        entry.insert(QStringLiteral("Common.SyncMode"), 1);
        entry.insert(QStringLiteral("USB.PortName"), usb.sim->slavePath());
        entry.insert(QStringLiteral("USB.VendorID"), 0x1004);
        entry.insert(QStringLiteral("USB.ProductID"), 0x6000);
        return entry;
    }
    int deviceLines() const
    {
        QFile file(QVPathForLogFile(QStringLiteral("Conn.log")));
        if (!file.open(QIODevice::ReadOnly))
            return 0;
        return int(QString::fromUtf8(file.readAll()).count(QStringLiteral("++++ [MFDevice initWithDictAndType] called")));
    }
    void clickPhone(bool twice = false)
    {
        PhoneButtonOnBlackCell* cell = pane->matrix()->cellAt(0);
        ASSERT_NE(cell, nullptr);
        if (twice)
            QTest::mouseDClick(cell, Qt::LeftButton);
        else
            QTest::mouseClick(cell, Qt::LeftButton);
    }

    SimulatedUsbPhone usb;
    std::unique_ptr<TarnexFixture> f;
    std::unique_ptr<DZDocumentController> documents;
    MatrixDeviceSelectionController* pane = nullptr;
};

// Answers the phone object's open-failure alert with Back once it shows.
void answerOpenFailureWithBack(int* asked)
{
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, poll, [poll, asked] {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(top);
            if (!box || box->objectName() != QLatin1String("openFailedAlert") || !box->isVisible())
                continue;
            ++*asked;
            EXPECT_EQ(box->text(), QStringLiteral("The phone could not be opened. Check that it is switched on and "
                                                  "connected, then try again."));
            box->findChild<QPushButton*>(QStringLiteral("openFailedPrevious"))->click();
            poll->deleteLater();
            return;
        }
    });
    poll->start(20);
}

TEST(ConnectHandOver, AClickOnTheSimulatedPhoneOpensOneWindowThatItsDocumentOwns)
{
    testing_support::RealTimeScope realTime;
    ConnectFixture c;
    ASSERT_NE(c.pane, nullptr);
    ASSERT_EQ(c.pane->matrix()->numberOfCells(), 1);
    EXPECT_FALSE(c.f->tarnex->messageTextField()->isHidden());
    EXPECT_EQ(c.f->tarnex->messageTextField()->y(), TarnexController::kMessageShownY) << "the status line is seen";
    const int before = c.deviceLines();

    // A double-click: its first click connects, the rest finds the list gone.
    c.clickPhone(false);
    c.clickPhone(true);
    ASSERT_TRUE(testing_support::runUntil(
        [&] { return c.f->tarnex->currentControllerName() == key(tarnexkeys::kContacts); }, 15.0, 0.05));
    runFor(0.3);
    EXPECT_EQ(c.f->tarnex->messageTextField()->text(), QString()) << "no \"connecting\" left behind";
    EXPECT_EQ(c.deviceLines() - before, 1) << "exactly one phone was made";
    ASSERT_EQ(c.documents->documents().size(), 1u);
    MobileDeviceDocument* document = c.documents->documents().front();
    const std::shared_ptr<MirrovanceDevice> phone = c.f->tarnex->phoneObject();
    ASSERT_TRUE(phone && phone->mfDevice());
    EXPECT_EQ(document->mfDevice(), phone->mfDevice()) << "the document owns the phone";
    EXPECT_EQ(phone->mfDevice()->document(), document);
    DeviceWindowController* window = document->getDeviceWindowController();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(c.f->tarnex->getDeviceWindowController(), window);
    EXPECT_EQ(window->getMFDevice(), phone->mfDevice().get());
    EXPECT_TRUE(window->window()->isVisible());
    EXPECT_EQ(window->window()->windowTitle(), QStringLiteral("KU990"));
    EXPECT_EQ(window->window()->findChild<QLabel*>(QStringLiteral("summaryConnection"))->text(),
              QStringLiteral("Connected over USB"));
    EXPECT_EQ(c.f->title(), QStringLiteral("Marvesto")) << "the contacts pane's title";
    ASSERT_NE(c.f->window->findChild<TarnexMainView*>(), nullptr);
    EXPECT_EQ(c.f->window->findChild<TarnexMainView*>()->title(), QStringLiteral("Marvesto")) << "also painted";
    EXPECT_FALSE(platform::gui::saveGrab(window->window(), QStringLiteral("app-connect-device-window")).isEmpty());
    EXPECT_FALSE(platform::gui::saveGrab(c.f->window.get(), QStringLiteral("app-connect-contacts")).isEmpty());

    // Back to the phone list: the window stays, and a click on the phone
    // brings that window back instead of opening the phone again.
    c.f->tarnex->disconnectDevice();
    runFor(1.0);
    ASSERT_EQ(c.f->tarnex->currentControllerName(), key(tarnexkeys::kSelectKnownDevice));
    EXPECT_FALSE(c.f->tarnex->messageTextField()->text().startsWith(QStringLiteral("Connecting")));
    EXPECT_EQ(phone->mfDevice(), nullptr) << "the phone object let go of its hold";
    ASSERT_EQ(c.documents->documents().size(), 1u) << "the document stays open";
    c.clickPhone(false);
    ASSERT_TRUE(testing_support::runUntil(
        [&] { return c.f->tarnex->currentControllerName() == key(tarnexkeys::kContacts); }, 15.0, 0.05));
    EXPECT_EQ(c.deviceLines() - before, 1) << "no second phone on the same port";
    EXPECT_EQ(c.documents->documents().size(), 1u);
    EXPECT_EQ(phone->document(), document);

    // Ctrl+W on the phone's window closes that window and its document, and
    // only that: the main window's Close Window is the main window's.
    window->window()->activateWindow();
    QTest::keyClick(window->window(), Qt::Key_W, Qt::ControlModifier);
    ASSERT_TRUE(testing_support::runUntil([&] { return c.documents->documents().empty(); }, 5.0, 0.05));
    EXPECT_FALSE(c.f->app.controller->isTerminating());
}

TEST(ConnectHandOver, APhoneThatCannotBeOpenedAsksAndBackReturnsToThePhoneList)
{
    testing_support::RealTimeScope realTime;
    ConnectFixture c;
    ASSERT_NE(c.pane, nullptr);
    // The phone's model is unknown to the database: no device can be made.
    QVariantMap entry = c.phone();
    entry.insert(QStringLiteral("Common.qvDeviceID"), QStringLiteral("99999"));
    DeviceList::sharedDeviceList().writeDevice(std::make_shared<QVariantMap>(entry));
    c.f->list->writeDevice(std::make_shared<QVariantMap>(entry));
    int asked = 0;
    answerOpenFailureWithBack(&asked);

    // The matrix finds no serial channel for the entry: a click shows nothing.
    c.clickPhone(false);
    runFor(0.5);
    EXPECT_EQ(c.f->tarnex->currentControllerName(), key(tarnexkeys::kSelectKnownDevice));
    EXPECT_EQ(asked, 0);
    EXPECT_TRUE(c.documents->documents().empty());

    // Handed over as the matrix does, the open fails: the alert, and Back
    // returns to the phone list.
    const std::shared_ptr<MirrovanceDevice> phone = c.pane->mirrovanceDevice();
    ASSERT_TRUE(phone);
    phone->setDeviceProperties({{QLatin1String(DZDeviceProperties::kPortNameKey), entry.value(QStringLiteral("USB.PortName"))}});
    phone->setDorvantiDict(entry, QStringLiteral("USB-Serial"));
    c.f->tarnex->switchToNamedPane(QLatin1String(tarnexkeys::kConnectingPane), 1);
    ASSERT_TRUE(testing_support::runUntil([&] { return asked > 0; }, 10.0, 0.05));
    ASSERT_TRUE(testing_support::runUntil(
        [&] { return c.f->tarnex->currentControllerName() == key(tarnexkeys::kSelectKnownDevice); }, 5.0, 0.05));
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(c.documents->documents().empty()) << "no half-open window";
    EXPECT_TRUE(c.f->tarnex->progressIndicator()->isHidden()) << "the bar stopped";
    EXPECT_TRUE(c.f->xtLines().contains(QLatin1String(ConnectingFeedbackController::kLogReturning)));
}

TEST(ConnectHandOver, ConnectingPaneShowsItsTextAndAnIndeterminateBar)
{
    ConnectFixture c;
    auto* connecting = dynamic_cast<ConnectingFeedbackController*>(c.f->tarnex->pane(TarnexController::kConnectingIndex));
    ASSERT_NE(connecting, nullptr);
    connecting->prepareForDisplay();
    EXPECT_EQ(connecting->statusTextField()->text(), QStringLiteral("Connecting to your phone…"));
    EXPECT_EQ(c.f->tarnex->messageTextField()->text(), QStringLiteral("Connecting to your phone…"));
    EXPECT_FALSE(connecting->doSkipProcessing());
    EXPECT_TRUE(connecting->onlyScanNoCopy());
    // Extensions are compared ignoring case; type 6 is audio.
    EXPECT_TRUE(connecting->isExtension(QStringLiteral("JPG"), MirrovanceDevice::kPictures));
    EXPECT_TRUE(connecting->isExtension(QStringLiteral("jpg"), MirrovanceDevice::kPictures));
    EXPECT_FALSE(connecting->isExtension(QStringLiteral("jpg"), MirrovanceDevice::kAudio));
    EXPECT_TRUE(MirrovanceDevice::allowedFileExtensionsForType(7).isEmpty());
}

// The application controller with a device database, the document controller
// and a temporary home for mirrors and logs.
struct HostFixture {
    HostFixture()
    {
        qvDeviceDB::setDefaultDatabasePath(buildTestDeviceDB(QStringLiteral("connect-host"), QLatin1String(kConnectModelRows)));
        qvDeviceDB::releaseSharedDeviceDB();
        app.controller->awakeFromNib();
        documents = std::make_unique<DZDocumentController>(app.controller.get());
        app.controller->setBusyStepObserver([this](int percent) { steps << percent; });
        // The program's list starts empty (each test runs in a process of
        // its own).
        platform::UserDefaults::standard().setObject(QLatin1String(DeviceList::kDevicesKey), QVariantList());
        (void)DeviceList::sharedDeviceList();
    }
    ~HostFixture()
    {
        documents.reset();
        runFor(0.1);
        DevicePreprocessor::setJobMaker({});
        DevicePreprocessor::setAnchorPath({});
        platform::UserDefaults::standard().remove(QLatin1String(DeviceList::kDevicesKey));
        qvDeviceDB::setDefaultDatabasePath(QString());
        qvDeviceDB::releaseSharedDeviceDB();
    }
    static QVariantMap entry(const QString& serial, const char* model = "15321")
    {
        QVariantMap made = phoneEntry(serial, QStringLiteral("KU990"));
        made.insert(QStringLiteral("Common.qvDeviceID"), QLatin1String(model));
        made.insert(QStringLiteral("USB.PortName"), QStringLiteral("/dev/null-phone"));
        return made;
    }

    ControllerFixture app;
    std::unique_ptr<DZDocumentController> documents;
    QList<int> steps;
};

TEST(AppConnections, PathAReadsTheFieldLengthsAndPathBStartsWorkForNewPhonesToo)
{
    HostFixture h;
    QTemporaryDir anchors;
    DevicePreprocessor::setAnchorPath([&](MFDevice&) { return anchors.filePath(QStringLiteral("SyncAnchors")); });
    ASSERT_TRUE(platform::plist::writeFile(anchors.filePath(QStringLiteral("FieldLengths")),
                                           QVariantMap{{QStringLiteral("Name"), 20}}));

    // A: the given window's document has no phone yet.
    MobileDeviceDocument* document = h.documents->newDocument();
    DeviceWindowController* window = document->getDeviceWindowController();
    h.app.controller->createConnection(HostFixture::entry(QStringLiteral("1001")), QStringLiteral("USB-Serial"),
                                       window, false, AppController::liveStateInfo());
    EXPECT_EQ(h.steps, (QList<int>{30, 75, 80, 90}));
    ASSERT_TRUE(document->hasDevice());
    EXPECT_EQ(window->getMFDevice(), document->mfDevice().get());
    if (const auto& description = document->mfDevice()->syncDescription()) {
        EXPECT_EQ(description->objectForKey(QStringLiteral("Name")), 20);
    }
    EXPECT_EQ(h.documents->documents().size(), 1u);

    // B: the window's document holds a phone: a new document and window,
    // whose background work starts though the phone is new.
    h.steps.clear();
    h.app.controller->createConnection(HostFixture::entry(QStringLiteral("1002")), QStringLiteral("USB-Serial"),
                                       window, true, AppController::liveStateInfo());
    EXPECT_EQ(h.steps, (QList<int>{30, 75, 80, 85, 90}));
    ASSERT_EQ(h.documents->documents().size(), 2u);
    MobileDeviceDocument* second = h.documents->documents().back();
    ASSERT_TRUE(second->hasDevice());
    EXPECT_TRUE(second->mfDevice()->isIdenticalTo(QStringLiteral("1002")));
    runFor(DeviceWindowController::kStartBackgroundDelay + 0.2);
    EXPECT_TRUE(second->mfDevice()->isHeartBeatRunning());

    // Look-ups: the live phone is found and its window brought up; an open
    // archive of it does not count.
    EXPECT_TRUE(h.app.controller->checkIfIsAlreadyConnected(QStringLiteral("1002"), true));
    EXPECT_FALSE(h.app.controller->checkIfIsAlreadyConnected(QStringLiteral("9999"), true));
    EXPECT_FALSE(h.app.controller->checkIfIsAlreadyConnected(QString(), true));
    EXPECT_FALSE(h.app.controller->checkIfIsHistoryConnected(QStringLiteral("1002"), false));
    EXPECT_EQ(h.app.controller->documentForSerialNumber(QStringLiteral("1001")), document);
}

TEST(AppConnections, ADocumentThatRefusesThePhoneStopsTheSteps)
{
    HostFixture h;
    MobileDeviceDocument::setMakers({{}, [](MFDevice&) { return std::unique_ptr<DocumentArchive>(); }, {}});
    MobileDeviceDocument* document = h.documents->newDocument();
    h.app.controller->createConnection(HostFixture::entry(QStringLiteral("1003")), QStringLiteral("USB-Serial"),
                                       document->getDeviceWindowController(), false, AppController::liveStateInfo());
    MobileDeviceDocument::setMakers({});
    EXPECT_EQ(h.steps, (QList<int>{30}));
    EXPECT_FALSE(document->hasDevice());
    EXPECT_EQ(document->getDeviceWindowController()->getMFDevice(), nullptr);
}

TEST(AppConnections, UsbStorageScanKeepsAKnownEntryAndMakesANewOne)
{
    HostFixture h;
    QVariantMap known = HostFixture::entry(QStringLiteral("SKNOWN-0001"));
    known.insert(QStringLiteral("Common.DeviceName"), QStringLiteral("My own name"));
    known.insert(QStringLiteral("Common.AutoConnect"), true);
    DeviceList::sharedDeviceList().writeDevice(std::make_shared<QVariantMap>(known));
    const QVariantMap byNumber{{QStringLiteral("USB.QVDeviceNumber"), QStringLiteral("15321")},
                               {QStringLiteral("USB.SerialNo"), QStringLiteral("SKNOWN-0001")}};
    h.app.controller->scanReturnedUSBDevice(byNumber, nullptr);
    DeviceList::Entry stored = DeviceList::sharedDeviceList().getEntryFor(QStringLiteral("SKNOWN-0001"));
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->value(QStringLiteral("Common.DeviceName")), QStringLiteral("My own name"));
    EXPECT_EQ(stored->value(QStringLiteral("Common.AutoConnect")), true);
    EXPECT_EQ(stored->value(QStringLiteral("Common.LastConnectionType")), QStringLiteral("USB-MassStorage"));

    const QVariantMap byIds{{QStringLiteral("USB.QVDeviceNumber"), QStringLiteral("15321")},
                            {QStringLiteral("USB.SerialNo"), QStringLiteral("SNEW-00001")}};
    h.app.controller->scanReturnedUSBDevice(byIds, nullptr);
    stored = DeviceList::sharedDeviceList().getEntryFor(QStringLiteral("SNEW-00001"));
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->value(QStringLiteral("Common.DeviceName")), QStringLiteral("LG-KU990 (USB)"));
    EXPECT_EQ(stored->value(QStringLiteral("Common.AutoConnect")), false);
    EXPECT_EQ(stored->value(QStringLiteral("Common.BackupDevice")), true);
    EXPECT_EQ(stored->value(QStringLiteral("Common.LastConnectionType")), QStringLiteral("USB-MassStorage"));
    ASSERT_FALSE(h.documents->documents().empty());
    EXPECT_EQ(h.documents->documents().back()->mfDevice()->connType(), QStringLiteral("USB-MassStorage"));

    // Ids that are not numbers name no model: no entry.
    const int count = DeviceList::sharedDeviceList().count();
    h.app.controller->scanReturnedUSBDevice({{QStringLiteral("USB.Vendor"), QStringLiteral("LG")},
                                             {QStringLiteral("USB.Model"), QStringLiteral("x")},
                                             {QStringLiteral("USB.SerialNo"), QStringLiteral("SBAD-00001")}},
                                            nullptr);
    EXPECT_EQ(DeviceList::sharedDeviceList().count(), count);
    EXPECT_FALSE(DeviceList::sharedDeviceList().getEntryFor(QStringLiteral("SBAD-00001")));
}

TEST(AppConnections, AHistoryPhoneWithoutMirrorPathUsesTheMirrorsFolderAndLogsItsConnection)
{
    HostFixture h;
    int posted = 0;
    platform::NotificationCenter::defaultCenter().addObserver(
        &posted, QLatin1String(AppController::kConnectionChanged), nullptr,
        [&](const platform::Notification&) { ++posted; });
    QVariantMap archive = HostFixture::entry(QStringLiteral("H-1"));
    h.app.controller->connectWithHistoryDevice(archive, nullptr, QStringLiteral("MobileFinder ToolbarIdentifier"),
                                               QString());
    platform::NotificationCenter::defaultCenter().removeObserver(&posted);
    EXPECT_EQ(posted, 1);
    ASSERT_EQ(h.documents->documents().size(), 1u);
    const std::shared_ptr<MFDevice> device = h.documents->documents().front()->mfDevice();
    ASSERT_TRUE(device);
    EXPECT_TRUE(device->isHistory());
    EXPECT_EQ(device->mDeviceDict()->value(QStringLiteral("Anchor")).toString(),
              QDir(FilesMirror::mirrorBasePath()).filePath(QStringLiteral("KU990-H-1.dzmir")));
    EXPECT_TRUE(h.app.controller->checkIfIsHistoryConnected(QStringLiteral("H-1"), false));
    EXPECT_FALSE(h.app.controller->checkIfIsAlreadyConnected(QStringLiteral("H-1"), false))
        << "an open archive is not a connection";

    // Picture marks: archive, live USB, live Bluetooth, none.
    EXPECT_EQ(h.app.controller->getDeviceImage(archive).text(QStringLiteral("mark")), QStringLiteral("TimeTunnel"));
    h.app.controller->createConnection(HostFixture::entry(QStringLiteral("L-1")), QStringLiteral("USB-Serial"),
                                       nullptr, false, AppController::liveStateInfo());
    QVariantMap bt = HostFixture::entry(QStringLiteral("B-1"));
    bt.insert(QStringLiteral("BT.BT_Address"), QStringLiteral("00-1e-75-00-00-01"));
    h.app.controller->createConnection(bt, QStringLiteral("Bluetooth"), nullptr, false, AppController::liveStateInfo());
    const struct {
        const char* serial;
        const char* mark;
    } cases[] = {{"L-1", "UsbLogo"}, {"B-1", "BluetoothLogo"}, {"H-1", "TimeTunnel"}, {"NONE", ""}};
    for (const auto& c : cases) {
        const QImage image = h.app.controller->getDeviceImage(HostFixture::entry(QLatin1String(c.serial)));
        EXPECT_EQ(image.size(), QSize(32, 32)) << c.serial;
        EXPECT_EQ(image.text(QStringLiteral("mark")), QLatin1String(c.mark)) << c.serial;
    }
}

TEST(AppConnections, AnArchiveFolderOpensAsAHistoryWindowAndBadFoldersOpenNone)
{
    HostFixture h;
    h.documents->setHistoryOpener([&](const QVariantMap& entry, DeviceWindowController* window,
                                      const QString& state, const QString& folder) {
        h.app.controller->connectWithHistoryDevice(entry, window, state, folder);
    });
    QTemporaryDir home;
    const QString folder = home.filePath(QStringLiteral("KU990-H-2.dzmir"));
    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_TRUE(platform::plist::writeFile(QDir(folder).filePath(QStringLiteral("MirrorDeviceDict")),
                                           HostFixture::entry(QStringLiteral("H-2"))));
    QString error;
    MobileDeviceDocument* opened = h.documents->openDocument(folder, &error);
    ASSERT_NE(opened, nullptr) << error.toStdString();
    EXPECT_EQ(opened->documentPath(), folder);
    ASSERT_TRUE(opened->hasDevice());
    EXPECT_TRUE(opened->mfDevice()->isHistory());
    EXPECT_EQ(opened->mfDevice()->mDeviceDict()->value(QStringLiteral("Anchor")).toString(), folder);
    EXPECT_EQ(opened->getDeviceWindowController()->getMFDevice(), opened->mfDevice().get());

    ASSERT_TRUE(QDir().mkpath(home.filePath(QStringLiteral("empty.dzmir"))));
    QFile plain(home.filePath(QStringLiteral("plain.dzmir")));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    for (const char* bad : {"missing.dzmir", "plain.dzmir", "empty.dzmir"}) {
        error.clear();
        EXPECT_EQ(h.documents->openDocument(home.filePath(QLatin1String(bad)), &error), nullptr) << bad;
        EXPECT_FALSE(error.isEmpty()) << bad;
    }
    EXPECT_EQ(h.documents->documents().size(), 1u);
}

// A job that ends as told when it is started, or never.
class PreprocessingProbeJob : public QVAction {
public:
    PreprocessingProbeJob(DevicePreprocessor& receiver, std::optional<int32_t> status, QVariantMap lengths)
        : receiver_(receiver), status_(status), lengths_(std::move(lengths))
    {
        setRunTimeout(2.0);
    }
    int startAction() override
    {
        if (status_) {
            DevicePreprocessor& receiver = receiver_;
            const int32_t status = *status_;
            const QVariantMap lengths = lengths_;
            platform::runloop::performOnMainThread([&receiver, status, lengths] { receiver.endAction(lengths, status); });
        }
        return 0;
    }
    QString actionType() const override { return QLatin1String(kType); }
    static constexpr const char* kType = "PreprocessProbe";

private:
    DevicePreprocessor& receiver_;
    std::optional<int32_t> status_;
    QVariantMap lengths_;
};

TEST(AppConnections, SamsungPreprocessingRunsOnlyWithoutFieldLengthsAndItsWaitIsBounded)
{
    HostFixture h;
    QTemporaryDir anchors;
    DevicePreprocessor::setAnchorPath([&](MFDevice&) { return anchors.filePath(QStringLiteral("SyncAnchors")); });
    int jobs = 0;
    std::optional<int32_t> ending;
    bool refuse = false;
    DevicePreprocessor::setJobMaker([&](MFDevice& device, DevicePreprocessor& receiver) -> std::shared_ptr<QVAction> {
        ++jobs;
        // A refused job: its type has no pipe on this phone.
        if (refuse)
            return std::make_shared<PreprocessingProbeJob>(receiver, 0, QVariantMap());
        if (device.actionMachine() && !device.actionMachine()->pipeForAction(QLatin1String(PreprocessingProbeJob::kType)))
            device.actionMachine()->addActionPipe({QLatin1String(PreprocessingProbeJob::kType)});
        return std::make_shared<PreprocessingProbeJob>(receiver, ending,
                                                       QVariantMap{{QStringLiteral("Name"), 12}});
    });
    const QString lengthsPath = anchors.filePath(QStringLiteral("FieldLengths"));
    auto connect = [&](const QString& serial) {
        MobileDeviceDocument* document = h.documents->newDocument();
        h.app.controller->createConnection(HostFixture::entry(serial, "15322"), QStringLiteral("USB-Serial"),
                                           document->getDeviceWindowController(), false,
                                           AppController::liveStateInfo());
        return document;
    };

    // The job ends well: its lengths are kept in the file.
    ending = 0;
    connect(QStringLiteral("SAM-1"));
    EXPECT_EQ(jobs, 1);
    EXPECT_EQ(h.app.controller->preprocessor().state(), 0);
    EXPECT_EQ(platform::plist::readFile(lengthsPath).toMap().value(QStringLiteral("Name")), 12);
    // With the file there, no job runs.
    connect(QStringLiteral("SAM-2"));
    EXPECT_EQ(jobs, 1);

    // A job that never ends is given up within its time-out plus 5 s; one
    // ending busy counts as an I/O error.
    QFile::remove(lengthsPath);
    ending.reset();
    connect(QStringLiteral("SAM-3"));
    EXPECT_EQ(h.app.controller->preprocessor().state(), DevicePreprocessor::kIOError);
    EXPECT_FALSE(h.app.controller->preprocessor().isWaiting());
    ending = DevicePreprocessor::kBusy;
    connect(QStringLiteral("SAM-4"));
    EXPECT_EQ(h.app.controller->preprocessor().state(), DevicePreprocessor::kIOError);
    EXPECT_TRUE(h.steps.endsWith(30)) << "the steps stopped at the failed preprocessing";
    QFile::remove(lengthsPath);
    ending = 0;
    connect(QStringLiteral("SAM-5"));
    EXPECT_EQ(h.app.controller->preprocessor().state(), 0);
    QFile::remove(lengthsPath);
    refuse = true;
    connect(QStringLiteral("SAM-6"));
    EXPECT_EQ(h.app.controller->preprocessor().state(), DevicePreprocessor::kIOError);
}

// A host that records what the window asks and answers as set.
struct ConnectRecordingHost : DeviceWindowHost {
    int tryToFindUSBSerialDevice(const QVariantMap&, DeviceWindowController*) override
    {
        asked << QStringLiteral("usb serial");
        return serial;
    }
    int tryToFindUSBStoragDevice(const QVariantMap&, DeviceWindowController*) override
    {
        asked << QStringLiteral("usb storage");
        return storage;
    }
    int tryToFindBluetoothDevice(const QVariantMap&, DeviceWindowController*) override
    {
        asked << QStringLiteral("bluetooth");
        return bluetooth;
    }
    QStringList asked;
    int serial = -1;
    int storage = -1;
    int bluetooth = -1;
};

TEST(DeviceWindowConnect, TriesUsbSerialUsbStorageThenBluetoothAndTellsAFailure)
{
    HostFixture h;
    DeviceList::sharedDeviceList().writeDevice(std::make_shared<QVariantMap>(HostFixture::entry(QStringLiteral("W-1"))));
    ASSERT_EQ(DeviceList::sharedDeviceList().count(), 1);
    int posted = 0;
    platform::NotificationCenter::defaultCenter().addObserver(
        &posted, QStringLiteral("OrganizerMarkReadChangedNotify"), nullptr,
        [&](const platform::Notification&) { ++posted; });
    const struct {
        int serial, storage, bluetooth;
        bool connected;
        QStringList asked;
    } cases[] = {
        {0, -1, -1, true, {QStringLiteral("usb serial")}},
        {-1, 0, -1, true, {QStringLiteral("usb serial"), QStringLiteral("usb storage")}},
        {-1, -1, 0, true, {QStringLiteral("usb serial"), QStringLiteral("usb storage"), QStringLiteral("bluetooth")}},
        {-1, -1, -1, false, {QStringLiteral("usb serial"), QStringLiteral("usb storage"), QStringLiteral("bluetooth")}},
        {-1, -1, -444, false, {QStringLiteral("usb serial"), QStringLiteral("usb storage"), QStringLiteral("bluetooth")}},
    };
    for (const auto& c : cases) {
        ConnectRecordingHost host;
        host.serial = c.serial;
        host.storage = c.storage;
        host.bluetooth = c.bluetooth;
        DeviceWindowController window(&host);
        posted = 0;
        EXPECT_FALSE(window.connectDeviceNr(2)) << "beyond the list";
        EXPECT_FALSE(window.connectDeviceNr(0));
        EXPECT_TRUE(host.asked.isEmpty());
        EXPECT_EQ(window.connectDeviceNr(1), c.connected);
        EXPECT_EQ(host.asked, c.asked);
        EXPECT_EQ(posted, c.connected ? 1 : 0);
        EXPECT_FALSE(window.overlay().busyOverlay() && window.overlay().busyOverlay()->isVisible())
            << "the overlay is gone";
        if (!c.connected) {
            ASSERT_NE(window.alertSheet(), nullptr);
            // A Bluetooth answer of -444 means the pairing went stale: that
            // sheet in place of the plain failure.
            EXPECT_EQ(window.alertSheet()->titleLabel()->text(),
                      c.bluetooth == -444 ? QStringLiteral("Pairing No Longer Valid") : QStringLiteral("Connection failed"));
        }
    }
    platform::NotificationCenter::defaultCenter().removeObserver(&posted);
}

} // namespace
} // namespace app_tests
