// The main window's wizard sheet: adding a phone with the assistant flag set
// shows the wizard's selection pane in a sheet first; a chosen phone goes to
// the connecting pane, none leads to the USB search.
#include "SimulatedUsbPhone.h"
#include "TarnexTestSupport.h"

#include "app/MatrixDeviceSelectionController.h"
#include "app/TarnexKeys.h"
#include "app/TarnexWizardSheet.h"
#include "widgets/TarnexAlertSheet.h"

#include "DeviceDBTestSupport.h"
#include "VirtualTime.h"
#include "device/qvDeviceDB.h"
#include "lumwick/BluetoothPairingController.h"
#include "lumwick/DeviceExpert.h"
#include "lumwick/DeviceSelectionController.h"
#include "platform/Localization.h"
#include "platform/bluetooth/BluetoothStackSimulated.h"
#include "platform/gui/TestArtifacts.h"

#include <QTest>
#include <gtest/gtest.h>

namespace app_tests {
namespace {

using testing_support::runFor;

const QString kWizardPaired = QStringLiteral("00-1e-75-00-00-11");

// The phone matrix over one paired Bluetooth phone (so no search starts by
// itself), a simulated Bluetooth stack and a device database with its model.
struct WizardSheetFixture {
    WizardSheetFixture()
    {
        stack = std::make_shared<platform::BluetoothStackSimulated>();
        stack->addDevice(kWizardPaired, QStringLiteral("Paired"), true, {});
        platform::BluetoothStack::setShared(stack);
        const QString path = buildTestDeviceDB(
            QStringLiteral("wizard-sheet"),
            QStringLiteral("INSERT INTO Dorvanti (DEVICE_ID, Identification, Model, Manufacturer, DeviceProtocol, "
                           "supportsTarnexLG) VALUES ('15320', 'LG+KU990', 'KU990', 'LG', 'lg', 1);"));
        qvDeviceDB::setDefaultDatabasePath(path);
        qvDeviceDB::releaseSharedDeviceDB();
        QVariantMap entry = phoneEntry(QStringLiteral("35400000000002"), QStringLiteral("Paired"));
        entry.insert(QStringLiteral("BT.BT_Address"), kWizardPaired);
        entry.insert(QStringLiteral("Common.SyncMode"), 1);
        f = std::make_unique<TarnexFixture>(QVariantList{entry});
        f->start();
        f->tarnex->switchToNamedPane(key(tarnexkeys::kSelectKnownDevice), 1);
        runFor(1.0);
        pane = dynamic_cast<MatrixDeviceSelectionController*>(f->current());
    }
    ~WizardSheetFixture()
    {
        f.reset();
        platform::BluetoothStack::setShared(nullptr);
        qvDeviceDB::setDefaultDatabasePath(QString());
        qvDeviceDB::releaseSharedDeviceDB();
    }
    TarnexWizardSheet* sheet() const { return f->tarnex->wizardSheet(); }

    SimulatedUsbPhone usb;
    std::shared_ptr<platform::BluetoothStackSimulated> stack;
    std::unique_ptr<TarnexFixture> f;
    MatrixDeviceSelectionController* pane = nullptr;
};

TEST(WizardSheet, TheAssistantFlagShowsTheSheetFirstAndAddClearsIt)
{
    WizardSheetFixture w;
    ASSERT_NE(w.pane, nullptr);
    EXPECT_FALSE(w.pane->useAssistant()) << "cleared at start";
    const std::shared_ptr<MirrovanceDevice> phoneBefore = w.f->tarnex->phoneObject();
    ASSERT_TRUE(phoneBefore);
    w.pane->setUseAssistant(true);
    w.f->tarnex->newHandset(QString());
    runFor(0.1);
    ASSERT_TRUE(w.f->tarnex->isWizardSheetShowing());
    EXPECT_TRUE(w.f->tarnex->sheetWindow()->isVisible());
    EXPECT_EQ(w.sheet()->step(), TarnexWizardSheet::kSelection);
    EXPECT_TRUE(w.sheet()->selection()->wizardPaneView()->isVisible());
    EXPECT_FALSE(w.sheet()->selection()->wizardPaneView()->parentWidget()->isHidden());
    EXPECT_FALSE(w.pane->isScanning()) << "the USB search waits for the sheet";
    // Next follows the pane's word.
    w.f->tarnex->setCanUseDevice(true);
    EXPECT_TRUE(w.sheet()->sheetNextPaneButton()->isEnabled());
    w.f->tarnex->setCanUseDevice(false);
    EXPECT_FALSE(w.sheet()->sheetNextPaneButton()->isEnabled());
    EXPECT_TRUE(w.sheet()->sheetNextPaneButton()->isDefault());
    platform::gui::saveGrab(w.f->tarnex->sheetWindow(), QStringLiteral("app-wizard-sheet-select"));
    // Next with nothing chosen stays on the selection.
    w.f->tarnex->sheetNextPressed();
    EXPECT_EQ(w.sheet()->step(), TarnexWizardSheet::kSelection);

    // Ending without a phone: the setup's end is told, then USB is searched.
    QTest::keyClick(w.f->tarnex->sheetWindow(), Qt::Key_Escape);
    runFor(0.05);
    EXPECT_FALSE(w.f->tarnex->isWizardSheetShowing());
    EXPECT_FALSE(w.f->tarnex->sheetWindow()->isVisible());
    EXPECT_EQ(w.pane->statusLine()->text(), platform::localizedString(QStringLiteral("kAssistantFinished")));
    EXPECT_EQ(w.f->tarnex->phoneObject(), phoneBefore) << "the main window keeps its phone object";
    runFor(0.6);
    ASSERT_NE(w.f->tarnex->alertSheet(), nullptr);
    EXPECT_TRUE(w.f->tarnex->alertSheet()->isVisible()) << "the search ran and found no USB phone";
    w.f->tarnex->alertSheet()->defaultButton()->click();
    runFor(0.1);

    // "add" clears the flag: the search runs without the sheet.
    w.pane->setUseAssistant(true);
    w.f->tarnex->newHandset(QStringLiteral("add"));
    runFor(0.1);
    EXPECT_FALSE(w.pane->useAssistant());
    EXPECT_FALSE(w.f->tarnex->isWizardSheetShowing());
    EXPECT_TRUE(w.f->tarnex->alertSheet()->isVisible());
    w.f->tarnex->alertSheet()->defaultButton()->click();
    runFor(0.1);
}

TEST(WizardSheet, AChosenPhoneBecomesThePhoneObjectAndGoesToTheConnectingPane)
{
    WizardSheetFixture w;
    ASSERT_NE(w.pane, nullptr);
    w.pane->setUseAssistant(true);
    w.f->tarnex->newHandset(QString());
    runFor(0.1);
    ASSERT_TRUE(w.f->tarnex->isWizardSheetShowing());
    // The selection hands its expert to the host as the wizard does: a
    // checked phone that needs no pairing.
    const QVariantMap result{{QStringLiteral("Wizard.BluetoothAddress"), kWizardPaired},
                             {QStringLiteral("Wizard.DeviceUserName"), QStringLiteral("Anna's KU990")},
                             {QStringLiteral("Wizard.ModelName"), QStringLiteral("KU990")},
                             {QStringLiteral("Wizard.QuorvalisDeviceID"), 15320}};
    DeviceExpert expert(w.sheet()->selection());
    expert.setDeviceProperties(result);
    w.f->tarnex->setDeviceExpert(std::make_shared<DeviceExpert>(DeviceExpert::withDeviceExpert(expert)));
    ASSERT_TRUE(w.sheet()->pairing()->doSkipProcessing());
    w.sheet()->end(1);
    runFor(0.1);
    EXPECT_FALSE(w.f->tarnex->isWizardSheetShowing());
    EXPECT_EQ(w.f->tarnex->currentControllerName(), key(tarnexkeys::kConnectingPane));
    EXPECT_TRUE(w.f->tarnex->deviceNeedsToBeStoredInDeviceList()) << "the connecting pane stores it";
    ASSERT_TRUE(w.f->tarnex->phoneObject());
    EXPECT_EQ(w.f->tarnex->phoneObject()->getPropertiesDictionary().value(QStringLiteral("Wizard.BluetoothAddress")),
              kWizardPaired);
}

} // namespace
} // namespace app_tests
