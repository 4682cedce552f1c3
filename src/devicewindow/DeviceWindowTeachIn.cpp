// The phone window's roads into the teach-in sheet: adding a phone (Phone >
// Add Phone…, a stale pairing, the connection center's "Wizard" state), the
// hand-over once the application has made the phone's connection, and the
// scan-on-connect sheet.
#include "devicewindow/DeviceWindowController.h"

#include "devicewindow/DeviceWindowCenters.h"
#include "devicewindow/DeviceWindowKeys.h"
#include "devicewindow/HistoryView.h"
#include "devicewindow/MobileFinderView.h"
#include "devicewindow/TeachInPrefsHandler.h"

#include "phone/MFDevice.h"
#include "platform/Localization.h"
#include "platform/RunLoop.h"

#include <QHBoxLayout>
#include <QPointer>
#include <QVBoxLayout>

using namespace devicewindowkeys;

TeachInPrefsHandler* DeviceWindowController::getTeachInPrefs()
{
    if (!teachInPrefs_)
        teachInPrefs_ = TeachInPrefsHandler::getTeachInPrefsHandler(this);
    return teachInPrefs_;
}

void DeviceWindowController::scanForBTDevices()
{
    if (centers_ && centers_->historyView() && !centers_->historyView()->checkRunningEnviroment())
        return;
    openWizzard();
}

void DeviceWindowController::openWizzard()
{
    if (mfDevice_ || host_->hasDevice(this)) {
        DeviceWindowController* other = host_->newDocumentWindow();
        if (!other)
            return;
        other->showWindow();
        if (other->window()) {
            other->window()->raise();
            other->window()->activateWindow();
        }
        const QString state = QString::fromLatin1(kStateWizard).arg(QLatin1String(kBackupCenter));
        QPointer<DeviceWindowController> later = other;
        platform::runloop::performOnMainThread(
            [later, state] {
                if (later)
                    later->callExecuteStateInfo(state);
            },
            other);
        return;
    }
    if (!window_)
        return;
    TeachInPrefsHandler* handler = getTeachInPrefs();
    sheets_->begin([this, handler](SheetQueue::Ended ended) {
        QDialog* sheet = handler ? handler->startWizardTeachIn(this, &modeTeachIn_) : nullptr;
        if (!sheet) {
            ended();
            return;
        }
        connect(
            sheet, &QDialog::finished, this,
            [this, ended](int code) {
                progressSheetDidEnd(code);
                ended();
            },
            Qt::SingleShotConnection);
        sheet->open();
    });
}

void DeviceWindowController::processWizardState(const QString& state)
{
    if (state.section(QLatin1Char('\t'), 0, 0) == QLatin1String("Wizard"))
        openWizzard();
}

void DeviceWindowController::progressSheetDidEnd(int)
{
    platform::runloop::performAfterDelay(
        this, QStringLiteral("reloadFiles"), kReloadFilesDelay,
        [this] {
            if (centers_)
                if (MobileFinderView* files = centers_->mobileFinderView())
                    files->reloadData(false);
        },
        this);
    if (teachInPrefs_ && teachInPrefs_->teachInPanelSheet())
        teachInPrefs_->teachInPanelSheet()->hide();
}

void DeviceWindowController::showTeachIn()
{
    overlay_->doCloseBusyOverlayImmediatly();
    TeachInPrefsHandler* handler = getTeachInPrefs();
    // The agent check runs the event loop: the window may close meanwhile.
    const QPointer<DeviceWindowController> self(this);
    if (handler && handler->windowsMobileAgentTransfer(mfDevice_, &modeTeachIn_))
        return;
    if (!self)
        return;
    showRealTeachIn();
}

void DeviceWindowController::showRealTeachIn()
{
    TeachInPrefsHandler* handler = getTeachInPrefs();
    if (!handler || !mfDevice_)
        return;
    int languageError = 0;
    QDialog* sheet = handler->showTeachIn(mfDevice_, &modeTeachIn_, &languageError);
    // A phone added from another window's teach-in arrives in a window whose
    // sheet is not up yet.
    if (sheet && !sheet->isVisible()) {
        sheets_->begin([this, sheet](SheetQueue::Ended ended) {
            connect(
                sheet, &QDialog::finished, this,
                [this, ended](int code) {
                    progressSheetDidEnd(code);
                    ended();
                },
                Qt::SingleShotConnection);
            sheet->open();
        });
    }
}

void DeviceWindowController::showConnected()
{
    if (teachInPrefs_)
        teachInPrefs_->endTeachIn();
    validateMenus();
    showSummary();
    if (centers_)
        if (MobileFinderView* files = centers_->mobileFinderView())
            files->reloadData(false);
}

// The scan-on-connect sheet.

void DeviceWindowController::beginScanOnConnectSheet()
{
    if (!window_)
        return;
    if (!scanOnConnectSheet_) {
        auto* sheet = new QDialog(window_, Qt::Sheet);
        sheet->setObjectName(QStringLiteral("scanOnConnectSheet"));
        sheet->setWindowModality(Qt::WindowModal);
        auto* layout = new QVBoxLayout(sheet);
        auto* text = new QLabel(sheet);
        text->setObjectName(QStringLiteral("backupActionSOC"));
        text->setWordWrap(true);
        layout->addWidget(text);
        auto* bar = new QProgressBar(sheet);
        bar->setObjectName(QStringLiteral("backupIndicatorSOC"));
        bar->setRange(0, 0);
        bar->setTextVisible(false);
        layout->addWidget(bar);
        auto* row = new QHBoxLayout;
        row->addStretch(1);
        auto* skip = new QPushButton(platform::localizedString(QStringLiteral("Skip")), sheet);
        skip->setObjectName(QStringLiteral("skipButtonSOC"));
        skip->setDefault(true);
        row->addWidget(skip);
        layout->addLayout(row);
        connect(skip, &QPushButton::clicked, this, [this] { scanOnConnect_Skip(); });
        scanOnConnectSheet_ = sheet;
    }
    QDialog* sheet = scanOnConnectSheet_;
    sheets_->begin([this, sheet](SheetQueue::Ended ended) {
        connect(
            sheet, &QDialog::finished, this,
            [this, ended](int) {
                scanOnConnectSheetDidEnd();
                ended();
            },
            Qt::SingleShotConnection);
        sheet->open();
    });
}

void DeviceWindowController::scanOnConnect_Skip()
{
    if (modeTeachIn_ == 0)
        return;
    modeTeachIn_ = 0;
    if (mfDevice_)
        mfDevice_->setModeTeachIn(0);
    if (scanOnConnectSheet_ && scanOnConnectSheet_->isVisible())
        scanOnConnectSheet_->done(1);
}

void DeviceWindowController::scanOnConnectSheetDidEnd()
{
    if (scanOnConnectSheet_)
        scanOnConnectSheet_->hide();
    if (centers_ && centers_->historyView())
        centers_->historyView()->switchToControlerCenter(initSwitchCenter_);
}
