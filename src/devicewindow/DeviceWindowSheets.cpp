// The phone window's controller: warnings and questions, and the handlers of
// the notifications about SMS, sync results, the sync engine and a died
// session.
#include "devicewindow/DeviceWindowController.h"
#include "devicewindow/TeachInPrefsHandler.h"
#include "devicewindow/DeviceWindowCenters.h"

#include "devicewindow/DeviceWindowKeys.h"
#include "devicewindow/DeviceWindowLog.h"
#include "devicewindow/DeviceWindowMakers.h"
#include "devicewindow/DorvantiWindow.h"

#include "device/MFDeviceInfo.h"
#include "phone/MFDevice.h"
#include "platform/Localization.h"
#include "platform/RunLoop.h"
#include "platform/gui/Animation.h"
#include "platform/Values.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>

using namespace devicewindowkeys;

namespace {

QString fillCount(QString format, qlonglong count)
{
    // The texts use "%d" (the string table's form) or "%1".
    const QString number = QString::number(count);
    if (format.contains(QLatin1String("%d")))
        return format.replace(QLatin1String("%d"), number);
    return format.replace(QLatin1String("%1"), number);
}

QString fillName(QString format, const QString& name)
{
    if (format.contains(QLatin1String("%@")))
        return format.replace(QLatin1String("%@"), name);
    return format.replace(QLatin1String("%1"), name);
}

// A count from untrusted user info: anything but a number counts 0.
qlonglong sheetsItemCount(const QVariantMap& userInfo, const char* key)
{
    const QVariant value = userInfo.value(QLatin1String(key));
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Long:
    case QMetaType::Short:
        return std::max<qlonglong>(0, value.toLongLong());
    case QMetaType::Double:
        return std::max<qlonglong>(0, qlonglong(value.toDouble()));
    default:
        return 0;
    }
}

} // namespace

// Warnings.

void DeviceWindowController::beginInformationalSheet(const QString& title, const QString& text,
                                                     const QString& button, std::function<void(int)> didEnd)
{
    beginAlertSheet(title, text, button, QString(), std::move(didEnd));
    if (alertSheet_ && alertSheet_->isVisible())
        alertSheet_->setProperty("alertKind", QStringLiteral("informational"));
}

void DeviceWindowController::displayPairingStale(const QVariantMap& entry)
{
    platform::gui::beep();
    overlay_->doCloseBusyOverlayImmediatly();
    if (!entry.contains(QLatin1String(kPairAddress)))
        platform::gui::beep();
    const QString name = entry.value(QLatin1String(kPairName)).toString();
    beginInformationalSheet(localized(kPairErrTitle), fillName(localized(kPairErrMsg), name), localized(kOK),
                            [this](int) {
                                platform::runloop::performAfterDelay(
                                    this, QStringLiteral("openWizzard"), kReopenWizardDelay,
                                    [this] {
                                        if (const auto& open = devicewindowmakers::makers().openWizzard)
                                            open(*this);
                                        else
                                            openWizzard();
                                    },
                                    this);
                            });
}

void DeviceWindowController::displayTooManyItems(const QVariantMap& userInfo)
{
    platform::gui::beep();
    beginAlertSheet(localized(kUnfinishedSync),
                    fillCount(localized(kMissingItemsText), sheetsItemCount(userInfo, kMissingItemsKey)),
                    localized(kOK), QString(), {});
}

void DeviceWindowController::displayFailedItems(const QVariantMap& userInfo)
{
    platform::gui::beep();
    beginAlertSheet(localized(kUnfinishedSync),
                    fillCount(localized(kFailedItemsText), sheetsItemCount(userInfo, kFailedItemsKey)),
                    localized(kOK), QString(), {});
}

// Questions.

bool DeviceWindowController::ask(const char* textKey, const QString& text, const char* defaultKey,
                                 const char* windowTitleKey)
{
    (void)textKey;
    if (!window_ || question_)
        return false;
    platform::gui::beep();
    // The window (and the box with it) can go while the box runs its own
    // event loop, when the session dies meanwhile: nothing is touched after.
    QPointer<QMessageBox> box = new QMessageBox(QMessageBox::Warning, localized(windowTitleKey), localized(kWarning),
                                                QMessageBox::NoButton, window_);
    box->setAttribute(Qt::WA_DeleteOnClose, false);
    box->setObjectName(QStringLiteral("question"));
    box->setWindowModality(Qt::WindowModal);
    box->setInformativeText(text);
    box->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    QPushButton* yes = box->addButton(localized(defaultKey), QMessageBox::AcceptRole);
    QPushButton* no = box->addButton(localized(kCancel), QMessageBox::RejectRole);
    box->setDefaultButton(yes);
    box->setEscapeButton(no);
    QPointer<DeviceWindowController> self(this);
    question_ = box;
    box->exec();
    if (!self || !box)
        return false;
    question_ = nullptr;
    const bool answeredYes = box->clickedButton() == yes;
    delete box;
    return answeredYes;
}

bool DeviceWindowController::askSendManyFiles(int count)
{
    return ask(kSendMsg, fillCount(localized(kSendMsg), count), kSend, kSend);
}

bool DeviceWindowController::askDelete()
{
    return ask(kDeleteWarning, localized(kDeleteWarning), kDelete, kDeletingFiles);
}

bool DeviceWindowController::askOverwrite()
{
    return ask(kOverwriteMsg, localized(kOverwriteMsg), kOverwrite, kOverwrite);
}

// Notification handlers.

void DeviceWindowController::notifyDeviceDirtyChanged(MFDevice* device)
{
    if (!device || device != mfDevice_ || !window_)
        return;
    const auto& dirty = devicewindowmakers::makers().isArchiveDirty;
    window_->setWindowModified(dirty ? dirty(*device) : false);
}

void DeviceWindowController::syncEngineActive(const QVariantMap& userInfo)
{
    const QVariant active = userInfo.value(QLatin1String(kActiveKey));
    if (!active.isValid() || !backgroundBusyIndicator_)
        return;
    const bool on = platform::values::toBool(active);
    backgroundBusyIndicator_->setVisible(on);
    if (auto* bar = qobject_cast<QProgressBar*>(backgroundBusyIndicator_.data()))
        bar->setRange(0, on ? 0 : 1); // a busy bar spins while its range is empty
    platform::runloop::performAfterDelay(
        this, QStringLiteral("doUpdateBackGround"), kUpdateBackgroundDelay, [this] { doUpdateBackGround(); }, this);
}

void DeviceWindowController::doUpdateBackGround()
{
    QWidget* center = centers_ ? centers_->currentToolView() : nullptr;
    if (!center || !window_)
        return;
    QPointer<QWidget> focus = window_->focusWidget();
    const bool hidden = center->isHidden();
    center->setHidden(!hidden);
    center->setHidden(hidden);
    window_->update();
    if (focus)
        focus->setFocus();
}

void DeviceWindowController::sessionDiedError(MFDevice* device)
{
    if (!device || device != mfDevice_ || sessionDidDied_)
        return;
    sessionDidDied_ = true;
    if (teachInPrefs_)
        teachInPrefs_->deviceWentAway();
    beginAlertSheet(localized(kErrorMsg), explanation(-21880), localized(kOK), QString(),
                    [this](int) { didEndSessionDiedErrorSheet(); });
    platform::gui::beep();
}

void DeviceWindowController::didEndSessionDiedErrorSheet()
{
    forceCloseWithoutWaitForBackup_ = true;
    // The main window goes back to the phone list and says why; no new
    // empty phone document is made (it would only leave an empty window).
    lostPhoneName_ = mfDevice_ ? mfDevice_->getDeviceName() : QString();
    reportLostOnClose_ = true;
    if (!actionJobsScheduled())
        platform::runloop::performOnMainThread([this] { windowShouldClose(); }, this);
    else
        doProceedSafeClose();
}

void DeviceWindowController::showSMSStatus(MFDevice* device, const QVariantMap& userInfo)
{
    if (!device || device != mfDevice_ || userInfo.isEmpty() || !device->devInfo())
        return;
    if (!platform::values::toBool(device->devInfo()->objectForKey(QLatin1String(kSMSShowInfoPanel))))
        return;
    const QVariant number = userInfo.value(QLatin1String(kSMSNumberKey));
    const QVariant text = userInfo.value(QLatin1String(kSMSTextKey));
    if (number.typeId() != QMetaType::QString || text.typeId() != QMetaType::QString || number.toString().isEmpty())
        return;
    const devicewindowmakers::Makers& makers = devicewindowmakers::makers();
    if (!makers.openNewSMSPanel)
        return;
    std::optional<devicewindowmakers::Person> person;
    if (makers.findBestPersonForNumber)
        person = makers.findBestPersonForNumber(number.toString());
    QImage image = person ? person->image : QImage();
    if (image.isNull())
        image = QApplication::windowIcon().pixmap(64, 64).toImage();
    const QString label = person && !person->displayName.isEmpty() ? person->displayName : number.toString();
    QVariantMap info;
    info.insert(QLatin1String(kSMSImageKey), image);
    info.insert(QLatin1String(kSMSAddrLabelKey), label);
    info.insert(QLatin1String(kSMSMsgTextKey), text);
    info.insert(QLatin1String(kSMSMsgWindowKey), QVariant::fromValue(static_cast<QObject*>(window_.data())));
    info.insert(QLatin1String(kSMSMsgDragKey), userInfo);
    makers.openNewSMSPanel(info, *this);
}

void DeviceWindowController::showNewSMSFromStatus(const QVariant& message)
{
    if (!mfDevice_ || !window_)
        return;
    if (mfDevice_->devInfo())
        mfDevice_->devInfo()->setObject(QLatin1String(kSMSView), QLatin1String(kLastOrganizerView));
    if (centers_) {
        centers_->doSwitchToNamedCenter(DeviceToolbar::kOrganizer);
        if (const auto& jump = devicewindowmakers::makers().jumpToSMSEntry)
            jump(centers_->organizerView(), message);
    }
    window_->setWindowState(window_->windowState() & ~Qt::WindowMinimized);
    window_->show();
    window_->raise();
    window_->activateWindow();
}

void DeviceWindowController::syncTooManyItems(const QVariantMap& userInfo)
{
    platform::runloop::performAfterDelay(
        this, QStringLiteral("displayTooManyItems"), kSyncResultDelay,
        [this, userInfo] { displayTooManyItems(userInfo); }, this);
}

void DeviceWindowController::syncFailedItems(const QVariantMap& userInfo)
{
    platform::runloop::performAfterDelay(
        this, QStringLiteral("displayFailedItems"), kSyncResultDelay,
        [this, userInfo] { displayFailedItems(userInfo); }, this);
}
