// Adding Bluetooth phones the two ways the program offers, against the phone
// simulator behind the simulated Bluetooth stack, in real time: the main
// window's wizard sheet (selection, pairing with the code on screen, the
// connecting pane, the phone's window over Bluetooth, the entry kept across
// a restart) and a phone window's teach-in sheet (Select, Pairing, Add,
// Backup, Finish). When MARVESTO_BLUETOOTH_DEVICES names a device file (as
// "phonesim --profile lg --socket PATH --device-file FILE" writes it) its
// first phone is the one the main window adds; under a real X server
// MARVESTO_XVFB_SHOTS names a folder for pictures of the whole screen.
#include "TarnexTestSupport.h"

#include "app/DZDocumentController.h"
#include "app/MatrixDeviceSelectionController.h"
#include "app/MobileDeviceDocument.h"
#include "app/ProgramModelQuery.h"
#include "app/TarnexKeys.h"
#include "app/TarnexProgramServices.h"
#include "app/TarnexWizardSheet.h"

#include "DeviceDBTestSupport.h"
#include "IdentificationScripts.h"
#include "PhoneSimulator.h"
#include "ServiceRecords.h"
#include "VirtualTime.h"
#include "device/DeviceList.h"
#include "device/MFDeviceInfo.h"
#include "device/qvDeviceDB.h"
#include "devicewindow/DeviceWindowController.h"
#include "devicewindow/DorvantiWindow.h"
#include "devicewindow/TeachInPrefsHandler.h"
#include "lumwick/BluetoothPairingController.h"
#include "lumwick/DeviceExpert.h"
#include "lumwick/DeviceSelectionController.h"
#include "lumwick/ModelQuery.h"
#include "phone/BackupRules.h"
#include "phone/MFDevice.h"
#include "platform/UserDefaults.h"
#include "platform/bluetooth/BluetoothStackSimulated.h"
#include "platform/gui/TestArtifacts.h"
#include "widgets/TarnexAlertSheet.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QLabel>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace app_tests {
namespace {

using testing_support::runFor;
using testing_support::runUntil;

const QString kMainPhone = QStringLiteral("00:1e:75:11:22:33");
const QString kTeachInPhone = QStringLiteral("00:1e:75:77:88:99");

// The code the pairing pane shows: what the simulated phone's user types.
QString realRunCodeOnScreen()
{
    for (QWidget* widget : QApplication::allWidgets()) {
        if (widget->objectName() == QLatin1String("codeTextField") && widget->isVisible())
            if (auto* label = qobject_cast<QLabel*>(widget))
                return label->text();
    }
    return {};
}

// Lets the page transitions (0.5 s) end first.
void realRunPictures(QWidget* widget, const QString& name)
{
    static QElapsedTimer since;
    if (!since.isValid())
        since.start();
    std::printf("%6lld ms: %s\n", static_cast<long long>(since.elapsed()), qPrintable(name));
    runFor(0.7);
    EXPECT_FALSE(platform::gui::saveGrab(widget, name).isEmpty()) << name.toStdString();
    const QString folder = qEnvironmentVariable("MARVESTO_XVFB_SHOTS");
    if (folder.isEmpty())
        return;
    // The window as the X server holds it, and the whole screen.
    QProcess::execute(QStringLiteral("xwd"), {QStringLiteral("-id"), QString::number(widget->window()->winId()),
                                              QStringLiteral("-silent"), QStringLiteral("-out"),
                                              folder + QLatin1Char('/') + name + QStringLiteral(".xwd")});
    QProcess::execute(QStringLiteral("xwd"), {QStringLiteral("-root"), QStringLiteral("-silent"), QStringLiteral("-out"),
                                              folder + QLatin1Char('/') + name + QStringLiteral("-screen.xwd")});
}

// A device file's first phone, not paired yet, asking for the PIN shown on
// screen.
QByteArray unpairedDevice(const QByteArray& deviceFile, const QString& address)
{
    QVariantMap file = QJsonDocument::fromJson(deviceFile).toVariant().toMap();
    QVariantList devices = file.value(QStringLiteral("devices")).toList();
    QVariantMap device = devices.value(0).toMap();
    if (!address.isEmpty())
        device.insert(QStringLiteral("address"), address);
    device.insert(QStringLiteral("paired"), false);
    device.insert(QStringLiteral("class"), int(platform::bluetooth::classOfDevice(platform::bluetooth::kMajorClassPhone, 3)));
    device.insert(QStringLiteral("pairing"), QVariantMap{{QStringLiteral("mode"), QStringLiteral("pin")}});
    devices = {device};
    file.insert(QStringLiteral("devices"), devices);
    return QJsonDocument::fromVariant(file).toJson();
}

QString realRunAddressKey(QString address)
{
    return address.replace(QLatin1Char('-'), QLatin1Char(':')).toLower();
}

int rowOf(DeviceSelectionController* pane, const QString& address)
{
    const auto& rows = pane->subviewControllers();
    for (int i = 0; i < rows.size(); ++i) {
        const auto& props = rows.at(i)->properties();
        if (props && realRunAddressKey(props->btAddress()) == realRunAddressKey(address))
            return i;
        if (rows.at(i)->device() && realRunAddressKey(rows.at(i)->device()->addressString()) == realRunAddressKey(address))
            return i;
    }
    return -1;
}

struct RealRunWizard {
    RealRunWizard()
    {
        std::optional<phonesim::PhoneProfile> lg = phonesim::PhoneProfile::named(QStringLiteral("lg"));
        EXPECT_TRUE(lg && dir.isValid());
        stack = std::make_shared<platform::BluetoothStackSimulated>();
        QString mainAddress = kMainPhone;
        QByteArray mainFile;
        const QString outside = qEnvironmentVariable(platform::BluetoothStack::kSimulationEnvironment);
        if (!outside.isEmpty()) {
            QFile file(outside);
            EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << outside.toStdString();
            mainFile = file.readAll();
            mainAddress = QString();
        } else {
            mainPhone = std::make_unique<phonesim::PhoneSimulator>(*lg);
            const QString socket = dir.filePath(QStringLiteral("main.sock"));
            EXPECT_TRUE(mainPhone->startListening(socket));
            mainFile = phonesim::ServiceRecords::deviceFile(kMainPhone, QStringLiteral("Anna's KU990"),
                                                            QStringLiteral("lg"), socket);
        }
        QString error;
        EXPECT_TRUE(stack->loadDevices(unpairedDevice(mainFile, mainAddress), &error)) << error.toStdString();
        mainAddress = QJsonDocument::fromJson(mainFile).toVariant().toMap().value(QStringLiteral("devices"))
                          .toList().value(0).toMap().value(QStringLiteral("address")).toString();
        mainPhoneAddress = mainAddress;
        teachInPhone = std::make_unique<phonesim::PhoneSimulator>(*lg);
        // A serial number of its own: a second phone, not the first again.
        EXPECT_TRUE(phonesim::IdentificationScripts::apply(*teachInPhone, QStringLiteral("imei-serial")));
        const QString teachInSocket = dir.filePath(QStringLiteral("teachin.sock"));
        EXPECT_TRUE(teachInPhone->startListening(teachInSocket));
        EXPECT_TRUE(stack->loadDevices(
            unpairedDevice(phonesim::ServiceRecords::deviceFile(kTeachInPhone, QStringLiteral("Mia's KU990"),
                                                                QStringLiteral("lg"), teachInSocket),
                           QString()),
            &error))
            << error.toStdString();
        for (const QString& address : {mainPhoneAddress, kTeachInPhone})
            stack->setPairingPinSource(address, [] { return realRunCodeOnScreen(); });
        stack->setPairingDelay(0.3);
        stack->setInquiryTiming(0.2, 1.0);
        platform::BluetoothStack::setShared(stack);

        qvDeviceDB::setDefaultDatabasePath(buildTestDeviceDB(
            QStringLiteral("real-run-wizard"),
            QStringLiteral("INSERT INTO Dorvanti (DEVICE_ID, Identification, Model, Manufacturer, DeviceProtocol, "
                           "supportsTarnexLG) VALUES ('15320', 'QUALCOMM INCORPORATED+KU990', 'KU990', 'LG', 'lg', 1);")));
        qvDeviceDB::releaseSharedDeviceDB();
        (void)qvDeviceDB::sharedDeviceDB();
        ModelQuery::setShared(&query);

        // One known phone on a cable that is not plugged in: the list starts
        // no search of its own.
        f = std::make_unique<TarnexFixture>(onePhone(), false, true);
        (void)DeviceList::sharedDeviceList();
        f->tarnex->setServices(std::make_unique<TarnexProgramServices>(DeviceList::sharedDeviceList()));
        f->app.controller->awakeFromNib();
        documents = std::make_unique<DZDocumentController>(f->app.controller.get());
        f->window->resize(900, 640);
        f->start();
        f->tarnex->switchToNamedPane(key(tarnexkeys::kSelectKnownDevice), 1);
        runFor(0.5);
        pane = dynamic_cast<MatrixDeviceSelectionController*>(f->current());
    }
    ~RealRunWizard()
    {
        documents.reset();
        runFor(0.1);
        f.reset();
        ModelQuery::setShared(nullptr);
        platform::BluetoothStack::setShared(nullptr);
        qvDeviceDB::setDefaultDatabasePath(QString());
        qvDeviceDB::releaseSharedDeviceDB();
    }
    DeviceList::Entry entryFor(const QString& address) const
    {
        DeviceList fresh(platform::UserDefaults::standard());
        for (int i = 0; i < fresh.count(); ++i) {
            DeviceList::Entry entry = fresh.deviceEntry(i);
            if (entry && realRunAddressKey(entry->value(QStringLiteral("BT.BT_Address")).toString()) == realRunAddressKey(address))
                return entry;
        }
        return nullptr;
    }

    QTemporaryDir dir;
    std::unique_ptr<phonesim::PhoneSimulator> mainPhone;
    std::unique_ptr<phonesim::PhoneSimulator> teachInPhone;
    QString mainPhoneAddress;
    std::shared_ptr<platform::BluetoothStackSimulated> stack;
    ProgramModelQuery query;
    std::unique_ptr<TarnexFixture> f;
    std::unique_ptr<DZDocumentController> documents;
    MatrixDeviceSelectionController* pane = nullptr;
};

TEST(RealRunWizard, BothRoadsAddABluetoothPhone)
{
    // About 40 s of the pairing pane's own real-time waits: run on request
    // (MARVESTO_REAL_RUN=1, or with pictures of a real X server).
    if (qEnvironmentVariableIsEmpty("MARVESTO_REAL_RUN") && qEnvironmentVariableIsEmpty("MARVESTO_XVFB_SHOTS"))
        GTEST_SKIP() << "set MARVESTO_REAL_RUN=1 to run";
    testing_support::RealTimeScope realTime;
    RealRunWizard r;
    ASSERT_NE(r.pane, nullptr);
    r.f->window->show();

    // The main window's wizard sheet.
    r.pane->setUseAssistant(true);
    r.f->tarnex->newHandset(QString());
    ASSERT_TRUE(runUntil([&] { return r.f->tarnex->isWizardSheetShowing(); }, 2.0, 0.05));
    TarnexWizardSheet* sheet = r.f->tarnex->wizardSheet();
    DeviceSelectionController* selection = sheet->selection();
    ASSERT_TRUE(runUntil([&] { return rowOf(selection, r.mainPhoneAddress) >= 0; }, 15.0, 0.05))
        << "the inquiry finds the simulated phone; rows: " << selection->subviewControllers().size();
    realRunPictures(sheet->sheetWindow(), QStringLiteral("xvfb-wizard-sheet-check"));
    selection->selectRow(rowOf(selection, r.mainPhoneAddress));
    ASSERT_TRUE(runUntil([&] { return sheet->sheetNextPaneButton()->isEnabled(); }, 20.0, 0.05))
        << "the check ends and the phone may be taken";
    realRunPictures(sheet->sheetWindow(), QStringLiteral("xvfb-wizard-sheet-select"));
    sheet->sheetNextPaneButton()->click();
    ASSERT_TRUE(runUntil([&] { return sheet->step() == TarnexWizardSheet::kPairing; }, 5.0, 0.05));
    ASSERT_TRUE(runUntil([&] { return !realRunCodeOnScreen().isEmpty(); }, 5.0, 0.05));
    EXPECT_EQ(realRunCodeOnScreen().size(), 8);
    realRunPictures(sheet->sheetWindow(), QStringLiteral("xvfb-wizard-sheet-pairing"));
    ASSERT_TRUE(runUntil([&] { return !r.f->tarnex->isWizardSheetShowing(); }, 30.0, 0.05))
        << "the phone pairs and the sheet ends";
    EXPECT_TRUE(r.stack->deviceWithAddressString(r.mainPhoneAddress)->isPaired());
    ASSERT_TRUE(runUntil([&] { return r.documents->documents().size() == 1u; }, 30.0, 0.05))
        << "the connecting pane opens the phone";
    MobileDeviceDocument* document = r.documents->documents().front();
    DeviceWindowController* window = document->getDeviceWindowController();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(runUntil([&] { return window->getMFDevice() != nullptr && window->window()->isVisible(); }, 30.0, 0.05));
    EXPECT_EQ(window->getMFDevice()->connType(), QStringLiteral("Bluetooth"));
    realRunPictures(window->window(), QStringLiteral("xvfb-wizard-phone-window"));
    // After a restart the phone is in the list.
    const DeviceList::Entry stored = r.entryFor(r.mainPhoneAddress);
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->value(QStringLiteral("Common.qvDeviceID")).toString(), QStringLiteral("15320"));

    // The phone's preferences sheet.
    window->phoneSettings();
    runFor(0.3);
    TeachInPrefsHandler* prefs = window->getTeachInPrefs();
    ASSERT_TRUE(prefs->devicePrefsPanelSheet()->isVisible());
    realRunPictures(prefs->devicePrefsPanelSheet(), QStringLiteral("xvfb-device-prefs-sheet"));
    prefs->devicePrefs_Cancel();
    runFor(0.2);

    // A phone window without phone: Phone > Add Phone…
    DeviceWindowController* empty = r.f->app.controller->newDocumentWindow();
    ASSERT_NE(empty, nullptr);
    empty->showWindow();
    runFor(0.5);
    QAction* add = empty->menuAction(QStringLiteral("scanForBTDevices:"));
    ASSERT_NE(add, nullptr);
    empty->validateMenus();
    add->trigger();
    TeachInPrefsHandler* teachIn = empty->getTeachInPrefs();
    ASSERT_TRUE(runUntil([&] { return teachIn->teachInPanelSheet()->isVisible(); }, 2.0, 0.05));
    DeviceSelectionController* teachInSelection = teachIn->deviceSelectionController();
    ASSERT_TRUE(runUntil([&] { return rowOf(teachInSelection, kTeachInPhone) >= 0; }, 15.0, 0.05));
    teachInSelection->selectRow(rowOf(teachInSelection, kTeachInPhone));
    ASSERT_TRUE(runUntil([&] { return teachIn->finishButton()->isEnabled(); }, 20.0, 0.05));
    realRunPictures(teachIn->teachInPanelSheet(), QStringLiteral("xvfb-teachin-select"));
    teachIn->finishButton()->click();
    ASSERT_TRUE(runUntil([&] { return teachIn->selectedTab() == QLatin1String("Pairing"); }, 5.0, 0.05));
    ASSERT_TRUE(runUntil([&] { return !realRunCodeOnScreen().isEmpty(); }, 5.0, 0.05));
    realRunPictures(teachIn->teachInPanelSheet(), QStringLiteral("xvfb-teachin-pairing"));
    ASSERT_TRUE(runUntil([&] { return teachIn->selectedTab() == QLatin1String("Add"); }, 30.0, 0.05))
        << "the paired phone goes on to Add";
    EXPECT_EQ(teachIn->deviceNameField()->text(), QStringLiteral("Mia's KU990"));
    realRunPictures(teachIn->teachInPanelSheet(), QStringLiteral("xvfb-teachin-add"));
    ASSERT_TRUE(runUntil([&] { return teachIn->selectedTab() == QLatin1String("Backup"); }, 40.0, 0.05))
        << "the window adds the phone and its backup settings follow; tab " << teachIn->selectedTab().toStdString()
        << " error " << teachIn->pairErrID()->text().toStdString() << "\n"
        << r.f->xtLines().mid(r.f->xtLines().size() - 30).join(QLatin1Char('\n')).toStdString();
    ASSERT_NE(empty->getMFDevice(), nullptr);
    EXPECT_EQ(empty->modeTeachIn(), 3);
    realRunPictures(teachIn->teachInPanelSheet(), QStringLiteral("xvfb-teachin-backup"));
    teachIn->backupManually()->setChecked(true);
    TeachInPrefsHandler::setTagButton_State(teachIn->settingBox(), 21, false);
    teachIn->finishButton()->click();
    runFor(0.3);
    EXPECT_FALSE(teachIn->teachInPanelSheet()->isVisible());
    EXPECT_EQ(empty->modeTeachIn(), 0);
    const DeviceList::Entry taught = r.entryFor(kTeachInPhone);
    ASSERT_TRUE(taught);
    EXPECT_FALSE(taught->value(QStringLiteral("Common.BackupAutomatic")).toBool());
    EXPECT_FALSE(taught->value(QStringLiteral("Common.AutoConnect")).toBool()) << "more than one phone is known";
    EXPECT_TRUE(taught->value(QStringLiteral("Common.BackupExceptSuffixList")).toStringList().contains(QStringLiteral("jpg"))
                || empty->getMFDevice()->backupRules().isSuffixInExceptionLst(QStringLiteral("jpg")));

    // A stale pairing leads back into the teach-in.
    DeviceWindowController* third = r.f->app.controller->newDocumentWindow();
    ASSERT_NE(third, nullptr);
    third->showWindow();
    runFor(0.3);
    r.stack->setStalePairing(r.mainPhoneAddress);
    third->displayPairingStale({{QStringLiteral("name"), QStringLiteral("Anna's KU990")},
                                {QStringLiteral("address"), r.mainPhoneAddress}});
    runFor(0.2);
    ASSERT_TRUE(third->alertSheet() && third->alertSheet()->isVisible());
    realRunPictures(third->alertSheet(), QStringLiteral("xvfb-pairing-stale-sheet"));
    third->alertSheet()->defaultButton()->click();
    ASSERT_TRUE(runUntil([&] { return third->getTeachInPrefs()->teachInPanelSheet()->isVisible(); }, 2.0, 0.05));
    realRunPictures(third->getTeachInPrefs()->teachInPanelSheet(), QStringLiteral("xvfb-pairing-stale-teachin"));
    third->getTeachInPrefs()->teachIn_Cancel();
    runFor(0.3);
}

} // namespace
} // namespace app_tests
