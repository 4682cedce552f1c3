// The phone window's controller: sheets, error dialogs and the handlers of
// the notifications it observes.
#include "devicewindow/DeviceWindowController.h"

#include "devicewindow/DeviceWindowKeys.h"
#include "devicewindow/DeviceWindowLog.h"
#include "devicewindow/DorvantiWindow.h"

#include "foundation/NamedLog.h"
#include "phone/MFDevice.h"
#include "platform/Bundle.h"
#include "platform/Localization.h"
#include "platform/RunLoop.h"
#include "widgets/TarnexAlertSheet.h"

#include <QApplication>
#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using namespace devicewindowkeys;

namespace {
constexpr int kPanelEndCode = 1;
}

QString DeviceWindowController::explanation(int number)
{
    const QString key = QString::number(number);
    const QString text = platform::localizedString(key);
    return text == key ? platform::localizedString(QLatin1String(kNoExplanation)) : text;
}

void DeviceWindowController::beginAlertSheet(const QString& title, const QString& message,
                                             const QString& defaultButton, const QString& alternateButton,
                                             std::function<void(int)> didEnd)
{
    sheets_->begin([this, title, message, defaultButton, alternateButton,
                    didEnd = std::move(didEnd)](SheetQueue::Ended ended) mutable {
        if (!window_) {
            ended();
            return;
        }
        if (!alertSheet_)
            alertSheet_ = new TarnexAlertSheet(window_);
        alertSheet_->begin(title, defaultButton, alternateButton, QString(), message,
                           TarnexAlertSheet::kDefaultHeight,
                           [didEnd = std::move(didEnd), ended = std::move(ended)](int code) {
                               if (didEnd)
                                   didEnd(code);
                               ended();
                           });
    });
}

void DeviceWindowController::displayErrorText(int kind, const QString& titleKey, const QString& textKey)
{
    overlay_->doCloseBusyOverlayImmediatly();
    QApplication::beep();
    const QString title =
        titleKey.isNull() ? platform::bundle::applicationName() : platform::localizedString(titleKey);
    beginAlertSheet(title, platform::localizedString(textKey), localized(kOK), QString(), {});
    if (alertSheet_ && alertSheet_->isVisible()) {
        // Kind 1 informational, 2 critical, other a plain alert.
        alertSheet_->setProperty("alertKind", kind == 1 ? QStringLiteral("informational")
                                                        : kind == 2 ? QStringLiteral("critical")
                                                                    : QStringLiteral("plain"));
    }
}

void DeviceWindowController::displayError(int number)
{
    lastError_ = number;
    if (number == kBluetoothError || number == kNoSerialError) {
        displayBTError(number);
        return;
    }
    const QString message =
        QString::fromLatin1(kLogError).arg(localized(kErrorMsg)).arg(number).arg(explanation(number));
    QVLOG(qvlog::kXT, message);
    QApplication::beep();
    beginAlertSheet(localized(kErrorMsg), message, localized(kOK), QString(), {});
}

void DeviceWindowController::displayBTError(int number)
{
    if (!errorBTSheet_) {
        errorBTSheet_ = new QDialog(window_, Qt::Sheet);
        errorBTSheet_->setObjectName(QStringLiteral("errorBTSheet"));
        errorBTSheet_->setWindowModality(Qt::WindowModal);
        errorBTSheet_->setAccessibleName(localized(kErrorMsg));
        auto* layout = new QVBoxLayout(errorBTSheet_);
        errorBTText_ = new QLabel(errorBTSheet_);
        errorBTText_->setObjectName(QStringLiteral("errorBTText"));
        errorBTText_->setWordWrap(true);
        layout->addWidget(errorBTText_);
        auto* row = new QHBoxLayout;
        errorBTDoThatNow_ = new QPushButton(localized(kBluetoothSetup), errorBTSheet_);
        errorBTDoThatNow_->setObjectName(QStringLiteral("errorBTDoThatNow"));
        errorBTDoThatNow_->setAutoDefault(false);
        auto* ok = new QPushButton(localized(kOK), errorBTSheet_);
        ok->setObjectName(QStringLiteral("errorBTOK"));
        ok->setDefault(true);
        row->addWidget(errorBTDoThatNow_);
        row->addStretch(1);
        row->addWidget(ok);
        layout->addLayout(row);
        connect(ok, &QPushButton::clicked, this, [this] { errorBT_OK(); });
        connect(errorBTDoThatNow_, &QPushButton::clicked, this, [this] { errorDoThatBT_Now(); });
        errorBTSheet_->resize(420, 150);
    }
    const QString message =
        QStringLiteral("%1%2 (%3).").arg(localized(kErrorMsg), QStringLiteral(": ") + explanation(number)).arg(number);
    QVLOG(qvlog::kXT, message);
    sheets_->begin([this, message, number](SheetQueue::Ended ended) {
        errorBTText_->setText(message);
        // The second button starts the desktop's Bluetooth setup, when one is
        // installed.
        errorBTDoThatNow_->setVisible((number == kBluetoothError || number == kNoSerialError)
                                      && host_->hasBluetoothSetup());
        QApplication::beep();
        connect(errorBTSheet_, &QDialog::finished, this, [ended](int) { ended(); }, Qt::SingleShotConnection);
        errorBTSheet_->open();
    });
}

void DeviceWindowController::errorBT_OK()
{
    if (errorBTSheet_ && errorBTSheet_->isVisible())
        errorBTSheet_->done(kPanelEndCode);
}

void DeviceWindowController::errorDoThatBT_Now()
{
    errorBT_OK();
    if (lastError_ == kBluetoothError || lastError_ == kNoSerialError)
        host_->launchBluetoothSetup();
}

// Notification handlers.

void DeviceWindowController::batteryStateLevel(MFDevice* device)
{
    if (!device || device != mfDevice_ || !window_)
        return;
    if (device->isHistory()) {
        window_->setBatteryLevel(-1, false);
        return;
    }
    window_->setBatteryLevel(device->lastBatteryValue(), device->batteryIsPowerPluged());
}

void DeviceWindowController::notifyDeviceDirtyChanged(MFDevice* device)
{
    if (!device || device != mfDevice_ || !window_)
        return;
    // The organizer archive's dirty state comes with the archive.
    window_->setWindowModified(false);
}

void DeviceWindowController::syncEngineActive(const QVariantMap& userInfo)
{
    const QVariant active = userInfo.value(QLatin1String(kActiveKey));
    if (!active.isValid() || !backgroundBusyIndicator_)
        return;
    backgroundBusyIndicator_->setVisible(active.toBool());
}

void DeviceWindowController::sessionDiedError(MFDevice* device)
{
    if (!device || device != mfDevice_)
        return;
    sessionDidDied_ = true;
    beginAlertSheet(localized(kErrorMsg), explanation(-21880), localized(kOK), QString(), [this](int) {
        forceCloseWithoutWaitForBackup_ = true;
        if (!actionJobsScheduled())
            platform::runloop::performOnMainThread([this] { windowShouldClose(); }, this);
        else
            doProceedSafeClose();
        platform::runloop::performAfterDelay(this, QStringLiteral("newDocument"), 1.0,
                                             [this] { host_->newDocument(); }, this);
    });
    QApplication::beep();
}

// The teach-in hand-over.

void DeviceWindowController::showTeachIn()
{
    overlay_->doCloseBusyOverlayImmediatly();
    showRealTeachIn();
}

void DeviceWindowController::showConnected()
{
    showSummary();
}
