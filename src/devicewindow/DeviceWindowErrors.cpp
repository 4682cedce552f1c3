// The phone window's controller: sheets, error dialogs and the handlers of
// the notifications it observes.
#include "devicewindow/DeviceWindowController.h"
#include "devicewindow/DeviceWindowCenters.h"

#include "devicewindow/DeviceWindowKeys.h"
#include "devicewindow/DeviceWindowLog.h"
#include "devicewindow/DorvantiWindow.h"

#include "foundation/NamedLog.h"
#include "phone/MFDevice.h"
#include "platform/Bundle.h"
#include "platform/Localization.h"
#include "platform/RunLoop.h"
#include "platform/gui/Animation.h"
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

void DeviceWindowController::beginAlertSheet(const QString& title, const QString& message, const QString& defaultButton,
                                             const QString& alternateButton, std::function<void(int)> didEnd)
{
    sheets_->begin([this, title, message, defaultButton, alternateButton,
                    didEnd = std::move(didEnd)](SheetQueue::Ended ended) mutable {
        if (!window_) {
            ended();
            return;
        }
        if (!alertSheet_)
            alertSheet_ = new TarnexAlertSheet(window_);
        alertSheet_->begin(title, defaultButton, alternateButton, QString(), message, TarnexAlertSheet::kDefaultHeight,
                           [didEnd = std::move(didEnd), ended = std::move(ended)](int code) {
                               if (didEnd)
                                   didEnd(code);
                               ended();
                           });
        // The text can be selected and copied (an error number to a search).
        if (QLabel* text = alertSheet_->messageLabel())
            text->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    });
}

void DeviceWindowController::displayErrorText(int kind, const QString& titleKey, const QString& textKey)
{
    overlay_->doCloseBusyOverlayImmediatly();
    platform::gui::beep();
    const QString title = titleKey.isNull() ? platform::bundle::applicationName() : platform::localizedString(titleKey);
    beginAlertSheet(title, platform::localizedString(textKey), localized(kOK), QString(), {});
    if (alertSheet_ && alertSheet_->isVisible()) {
        // Kind 1 informational, 2 critical, other a plain alert.
        alertSheet_->setProperty("alertKind",
                                 kind == 1       ? QStringLiteral("informational")
                                     : kind == 2 ? QStringLiteral("critical")
                                                 : QStringLiteral("plain"));
    }
}

void DeviceWindowController::displayError(int number)
{
    // The number is stored when its panel shows (a panel may wait for
    // another sheet).
    if (number == kBluetoothError || number == kNoSerialError) {
        displayBTError(number);
        return;
    }
    QString why = explanation(number);
    if (why.endsWith(QLatin1Char('.')))
        why.chop(1); // the format ends the sentence
    showErrorPanel(number, QString::fromLatin1(kLogError).arg(localized(kErrorMsg)).arg(number).arg(why), false);
}

void DeviceWindowController::displayBTError(int number)
{
    QString why = explanation(number);
    if (why.endsWith(QLatin1Char('.')))
        why.chop(1);
    showErrorPanel(number,
                   QStringLiteral("%1%2 (%3).").arg(localized(kErrorMsg), QStringLiteral(": ") + why).arg(number),
                   host_->hasBluetoothSetup());
}

void DeviceWindowController::showErrorPanel(int number, const QString& message, bool bluetoothSetup)
{
    // There is always a dialog, and the message also goes to "XT".
    QVLOG(qvlog::kXT, message);
    if (!errorBTSheet_) {
        errorBTSheet_ = new QDialog(window_, Qt::Sheet);
        errorBTSheet_->setObjectName(QStringLiteral("errorBTSheet"));
        errorBTSheet_->setWindowModality(Qt::WindowModal);
        errorBTSheet_->setAccessibleName(localized(kErrorMsg));
        auto* layout = new QVBoxLayout(errorBTSheet_);
        errorBTText_ = new QLabel(errorBTSheet_);
        errorBTText_->setObjectName(QStringLiteral("errorBTText"));
        errorBTText_->setWordWrap(true);
        errorBTText_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
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
    overlay_->doCloseBusyOverlayImmediatly();
    sheets_->begin([this, number, message, bluetoothSetup](SheetQueue::Ended ended) {
        // The panel's second button goes by the error it shows.
        lastError_ = number;
        errorBTText_->setText(message);
        // The second button starts the desktop's Bluetooth setup.
        errorBTDoThatNow_->setVisible(bluetoothSetup);
        platform::gui::beep();
        connect(
            errorBTSheet_, &QDialog::finished, this, [ended](int) { ended(); }, Qt::SingleShotConnection);
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
    // The error shown decides, before ending the panel lets the next one in.
    const int shown = lastError_;
    errorBT_OK();
    if (shown == kBluetoothError || shown == kNoSerialError)
        host_->launchBluetoothSetup();
}

// Notification handlers.

void DeviceWindowController::batteryStateLevel(MFDevice* device)
{
    if (!device || device != mfDevice_ || !window_)
        return;
    if (centers_ && centers_->historyView())
        centers_->historyView()->showDevice();
    if (device->isHistory()) {
        window_->setBatteryLevel(-1, false);
        return;
    }
    window_->setBatteryLevel(device->lastBatteryValue(), device->batteryIsPowerPluged());
}

