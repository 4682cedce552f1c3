// The phone window's controller: the close protocol (fade-out, the close-wait
// sheet while jobs are scheduled, the bounded safe close).
#include "devicewindow/DeviceWindowController.h"
#include "devicewindow/queue/ActionMasterHdlr.h"

#include "devicewindow/DeviceWindowKeys.h"
#include "devicewindow/DeviceWindowLog.h"
#include "devicewindow/DeviceWindowMakers.h"
#include "devicewindow/DorvantiWindow.h"

#include "jobs/QVActionMachine.h"
#include "phone/MFDevice.h"
#include "platform/Localization.h"
#include "platform/RunLoop.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

using namespace devicewindowkeys;

namespace {

// The close-wait sheet: Escape (a reject) cancels the close.
class CloseWaitSheet : public QDialog {
public:
    CloseWaitSheet(QWidget* parent, std::function<void()> onReject)
        : QDialog(parent, Qt::Sheet)
        , onReject_(std::move(onReject))
    {
    }
    void reject() override
    {
        if (onReject_)
            onReject_();
    }

private:
    std::function<void()> onReject_;
};

} // namespace

void DeviceWindowController::windowShouldClose()
{
    if (closing_)
        return;
    closing_ = true;
    busyTimer_.stop();
    fadeTimer_.setCallback([this] { fadeOut(); });
    fadeTimer_.start(kFadeInterval, true);
}

void DeviceWindowController::close()
{
    mfDevice_ = nullptr;
    showSummary();
    if (window_)
        window_->hide();
    if (reportLostOnClose_) {
        reportLostOnClose_ = false;
        if (const auto& lost = devicewindowmakers::makers().connectionLost)
            lost(lostPhoneName_);
    }
    Q_EMIT windowClosed();
}

bool DeviceWindowController::actionJobsScheduled() const
{
    // The queue's running rows, and jobs that were never handed to it.
    if (actionMasterHdlr_ && actionMasterHdlr_->actionJobsScheduled())
        return true;
    return mfDevice_ && mfDevice_->actionMachine() && mfDevice_->actionMachine()->actionCount() > 0;
}

bool DeviceWindowController::hasNotFinishedBackup() const
{
    if (forceCloseWithoutWaitForBackup_ || !mfDevice_)
        return false;
    return actionJobsScheduled();
}

void DeviceWindowController::waitBGMachineFinished()
{
    if (!closeDialog_) {
        closeDialog_ = new CloseWaitSheet(window_, [this] { closeCancel(); });
        closeDialog_->setObjectName(QStringLiteral("closeDialog"));
        closeDialog_->setWindowModality(Qt::WindowModal);
        closeDialog_->setAccessibleName(localized(kCloseNow));
        auto* layout = new QVBoxLayout(closeDialog_);
        auto* message = new QLabel(localized(kCloseWaitText), closeDialog_);
        message->setWordWrap(true);
        layout->addWidget(message);
        idleClose_ = new QProgressBar(closeDialog_);
        idleClose_->setObjectName(QStringLiteral("idleClose"));
        idleClose_->setAccessibleName(localized(kStopped));
        idleClose_->setTextVisible(false);
        layout->addWidget(idleClose_);
        auto* buttons = new QDialogButtonBox(closeDialog_);
        QPushButton* cancel = buttons->addButton(localized(kCancel), QDialogButtonBox::RejectRole);
        cancel->setObjectName(QStringLiteral("closeCancel"));
        QPushButton* now = buttons->addButton(localized(kCloseNow), QDialogButtonBox::AcceptRole);
        now->setObjectName(QStringLiteral("closeNow"));
        now->setDefault(true);
        layout->addWidget(buttons);
        // Return presses "Close Now", Escape "Cancel".
        connect(now, &QPushButton::clicked, this, [this] { closeNow(); });
        connect(cancel, &QPushButton::clicked, this, [this] { closeCancel(); });
    }
    sheets_->begin([this](SheetQueue::Ended ended) {
        connect(
            closeDialog_, &QDialog::finished, this,
            [this, ended](int code) {
                if (idleClose_)
                    idleClose_->setRange(0, 1);
                qCInfo(lcDeviceWindow).noquote() << QStringLiteral("returnCode: %1").arg(code);
                ended();
            },
            Qt::SingleShotConnection);
        idleClose_->setRange(0, 0);
        closeDialog_->open();
        closeWaitTimer_.start(kCloseWaitInterval, true);
    });
}

void DeviceWindowController::waitBGMachineFinishedTimer()
{
    if (!closeDialog_ || !closeDialog_->isVisible()) {
        closeWaitTimer_.stop();
        return;
    }
    if (!actionJobsScheduled()) {
        closeWaitTimer_.stop();
        closeNow();
        return;
    }
    platform::runloop::runFor(kCloseWaitSlice);
}

void DeviceWindowController::closeNow()
{
    closeWaitTimer_.stop();
    forceCloseWithoutWaitForBackup_ = true;
    if (closeDialog_ && closeDialog_->isVisible())
        closeDialog_->done(kCloseNowCode);
    doProceedSafeClose();
    host_->setForceQuitAndIgnore(this);
}

void DeviceWindowController::closeCancel()
{
    closeWaitTimer_.stop();
    host_->cancelClose(this);
    if (idleClose_)
        idleClose_->setRange(0, 1);
    if (closeDialog_ && closeDialog_->isVisible())
        closeDialog_->done(kCloseCancelCode);
}

void DeviceWindowController::doProceedSafeClose()
{
    BusyModalSession* session = startBusyModalSession(nullptr, 0);
    doProgressBusyMessage(localized(kStopped));
    QVActionMachine* machine = mfDevice_ ? mfDevice_->actionMachine() : nullptr;
    if (machine)
        machine->cancelAllActionsForClose();
    int polls = 0;
    while (polls < kSafeCloseMaxPolls) {
        if (!machine || machine->actionCount() == 0)
            break;
        if (polls >= kSafeCloseIdlePolls && !actionJobsScheduled())
            break;
        if (session)
            pollBusyModalSession(session);
        else
            platform::runloop::runFor(kCloseWaitSlice);
        doProgressBusyIncrement(1);
        ++polls;
    }
    lastSafeClosePolls_ = polls;
    if (session)
        endBusyModalSession(session);
    overlay_->closeOverlayNow();
    // The device stays its document's: a job still ending keeps it alive
    // through its own reference, so closing here frees nothing under it.
    platform::runloop::performOnMainThread([this] { windowShouldClose(); }, this);
}
