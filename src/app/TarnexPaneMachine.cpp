// The main window's pane machine: the panes by index and key, the switches
// between them wizard fashion, the buttons each pane shows, and the sheet of
// the sync-settings pane.
#include "app/TarnexController.h"
#include "app/TarnexWizardSheet.h"

#include "app/MainWindow.h"
#include "app/MirrovanceDevice.h"
#include "app/MobileDeviceDocument.h"
#include "app/TarnexControllerParts.h"
#include "app/TarnexKeys.h"
#include "app/TarnexMainView.h"
#include "app/TarnexPanes.h"
#include "app/TarnexRollOverButton.h"
#include "app/TarnexSyncView.h"
#include "app/TarnexWindow.h"

#include "foundation/NamedLog.h"
#include "platform/RunLoop.h"

#include <QDialog>
#include <QLayout>
#include <QVBoxLayout>

namespace {

using namespace tarnexkeys;
using tarnexparts::key;
using tarnexparts::setShown;

// The sync sheet: Escape asks the controller instead of closing the sheet.
class SyncSheet : public QDialog {
public:
    SyncSheet(QWidget* window, std::function<void()> escape)
        : QDialog(window, Qt::Sheet)
        , escape_(std::move(escape)) { }
    void reject() override { escape_(); }

private:
    std::function<void()> escape_;
};

} // namespace

TarnexPaneController* TarnexController::pane(int index) const
{
    return index >= 0 && index < paneCount() ? controllers_[size_t(index)].get() : nullptr;
}

TarnexPaneController* TarnexController::settingsController() const
{
    return paneForKey(key(kSyncSettings));
}

TarnexPaneController* TarnexController::paneForKey(const QString& paneKey) const
{
    return pane(paneIndexForKey(paneKey));
}

int TarnexController::paneIndexForKey(const QString& paneKey) const
{
    for (int i = 0; i < paneCount(); ++i)
        if (controllers_[size_t(i)]->localizationKey() == paneKey)
            return i;
    return -1;
}

QString TarnexController::currentControllerName() const
{
    TarnexPaneController* current = pane(currentPaneIndex_);
    return current ? current->localizationKey() : QString();
}

void TarnexController::showInSyncSheet(QWidget* view)
{
    if (!window_)
        return;
    if (!syncSheetWindow_) {
        // Escape: the pane first, else back to the pane before.
        auto* sheet = new SyncSheet(window_, [this] { goToPreviousPane(); });
        sheet->setObjectName(QStringLiteral("syncSheetWindow"));
        sheet->setWindowModality(Qt::WindowModal);
        sheet->setFixedSize(mainwindow::kWidth - 40, kSyncSheetHeight);
        auto* layout = new QVBoxLayout(sheet);
        layout->setContentsMargins(0, 0, 0, 0);
        syncPanelView_ = new TarnexSyncView(sheet);
        syncPanelView_->setObjectName(QStringLiteral("syncPanelView"));
        auto* panelLayout = new QVBoxLayout(syncPanelView_);
        panelLayout->setContentsMargins(12, 12, 12, 12);
        layout->addWidget(syncPanelView_);
        syncSheetWindow_ = sheet;
    }
    if (view && view->parentWidget() != syncPanelView_)
        syncPanelView_->layout()->addWidget(view);
    if (view)
        view->show();
}

void TarnexController::endSyncSheet()
{
    if (syncSheetWindow_ && syncSheetWindow_->isVisible())
        syncSheetWindow_->done(0);
}

void TarnexController::goToNextPane()
{
    if (isWizardSheetShowing()) {
        wizardSheet_->goToNextPane();
        return;
    }
    TarnexPaneController* current = pane(currentPaneIndex_);
    if (current && current->handleNextButton())
        return;
    switchPanesInDirection(1);
}

void TarnexController::goToPreviousPane()
{
    TarnexPaneController* current = pane(currentPaneIndex_);
    if (current && current->handlePreviousButton())
        return;
    switchPanesInDirection(-1);
}

void TarnexController::sheetNextPressed()
{
    if (isWizardSheetShowing()) {
        wizardSheet_->nextPressed();
        return;
    }
    if (TarnexPaneController* current = pane(currentPaneIndex_))
        current->handleNextButton();
}

void TarnexController::sheetPrevPressed()
{
    if (isWizardSheetShowing()) {
        wizardSheet_->prevPressed();
        return;
    }
    if (TarnexPaneController* current = pane(currentPaneIndex_))
        current->handlePreviousButton();
}

void TarnexController::switchToNamedPane(const QString& paneKey, int direction)
{
    switchOrFallBack(paneIndexForKey(paneKey), direction);
}

void TarnexController::switchOrFallBack(int target, int direction)
{
    if (pane(target)) {
        switchFromPaneAtIndex(currentPaneIndex_, target, direction);
        return;
    }
    QVLOG(qvlog::kXT, QString::asprintf(kLogNoController, target));
    if (pane(target - 2 * direction))
        switchFromPaneAtIndex(currentPaneIndex_, target - 2 * direction, direction);
}

void TarnexController::switchPanesInDirection(int direction)
{
    int target = currentPaneIndex_ + direction;
    while (TarnexPaneController* candidate = pane(target)) {
        if (!candidate->doSkipProcessing())
            break;
        target += direction;
    }
    switchOrFallBack(target, direction);
}

void TarnexController::switchFromPaneAtIndex(int from, int to, int direction)
{
    Q_UNUSED(direction)
    TarnexPaneController* source = pane(from);
    TarnexPaneController* target = pane(to);
    if (!target)
        return;
    const QString sourceKey = source ? source->localizationKey() : QString();
    const QString targetKey = target->localizationKey();

    if (targetKey == key(kConnectingPane)) {
        const bool knownPhone = sourceKey == key(kSelectKnownDevice) && device_
            && device_->dorvantiDict().contains(key(kClipSizeWidth)) && !newPhone_;
        if (!knownPhone)
            deviceNeedsToBeStoredInDeviceList_ = true;
    }
    QVLOG(qvlog::kXT,
          fillFormat(key(kLogSwitching), {sourceKey.isEmpty() ? QStringLiteral("(null)") : sourceKey, targetKey}));
    enableChangeToNextPane(false);
    if (source)
        source->stopProcessing();
    previousPaneIndex_ = currentPaneIndex_;
    currentPaneIndex_ = to;

    if (targetKey == key(kSelectKnownDevice) || (targetKey == key(kConnectingPane) && syncDirectionChanged_)) {
        platform::runloop::runFor(kReleaseWait);
        if (device_)
            device_->releaseDorvantiStuff();
        for (const char* unloaded : {kContacts, kSyncSettings})
            if (TarnexPaneController* each = paneForKey(key(unloaded)))
                each->unload();
    }
    // A pane run by the wait above may have switched on already.
    if (currentPaneIndex_ != to)
        return;

    if (sourceKey == key(kSyncSettings))
        endSyncSheet();
    showPaneButtonsFor(targetKey);
    QWidget* view = target->wizardPaneView();
    if (targetKey == key(kSyncSettings)) {
        showInSyncSheet(view);
        target->prepareForDisplay();
        if (syncSheetWindow_)
            syncSheetWindow_->open();
        animationDidEnd();
        return;
    }
    if (targetKey == key(kContacts)) {
        if (view)
            view->move(0, 0);
        target->prepareForDisplay();
        if (sourceKey == key(kConnectingPane))
            platform::runloop::runFor(kContactsWait);
        addToPaneView(view);
        platform::runloop::performAfterDelay(
            this, QStringLiteral("animationDidEnd"), 0, [this] { animationDidEnd(); }, this);
        return;
    }
    addToPaneView(view);
    target->prepareForDisplay();
    animationDidEnd();
}

void TarnexController::showPaneButtonsFor(const QString& targetKey)
{
    bool picture = false;
    if (targetKey == key(kSelectKnownDevice)) {
        // The status line (the search's progress) shares its spot with the
        // job list: the phone list shows the status line.
        setActionMasterPlaceHidden(true);
        setShown(addPhoneButton_, false);
        setShown(syncSettingsButton_, false);
        setShown(missingPhoneButton_, true);
        setShown(showPhonesButton_, false);
        setShown(tarnexLabel_, true);
    } else if (targetKey == key(kContacts)) {
        setActionMasterPlaceHidden(false);
        if (syncSettingsButton_) {
            syncSettingsButton_->setImageNamed(key(kSyncSettingsImage), key(kSyncSettingsOverImage));
            syncSettingsButton_->show();
        }
        setShown(showPhonesButton_, true);
        setShown(missingPhoneButton_, false);
        setShown(tarnexLabel_, false);
        picture = true;
    } else {
        setShown(syncSettingsButton_, false);
        setShown(missingPhoneButton_, false);
        setShown(showPhonesButton_, false);
        setShown(tarnexLabel_, true);
        picture = targetKey == key(kConnectingPane) || targetKey == key(kSyncSettings);
    }
    showPhoneIcon(picture);
}

void TarnexController::animationDidEnd()
{
    TarnexPaneController* current = pane(currentPaneIndex_);
    if (!current)
        return;
    // A switch to the pane already shown keeps its view.
    if (TarnexPaneController* previous = pane(previousPaneIndex_); previous && previous != current)
        if (QWidget* view = previous->wizardPaneView())
            view->hide();
    const QString name = current->localizedPaneName();
    setWindowTitle(name == key(kContactsPaneName) ? key(kContactsTitle) : name);
    const QString currentKey = current->localizationKey();
    if ((currentKey == key(kContacts) || currentKey == key(kMediaFiles)) && device_)
        services_->bindJobList(*device_);
    current->startProcessing();
}

void TarnexController::setWindowTitle(const QString& title)
{
    if (!window_)
        return;
    window_->setWindowTitle(title);
    // The painted title bar shows it too.
    if (auto* view = window_->findChild<TarnexMainView*>())
        view->setTitle(title);
}

void TarnexController::disconnectDevice()
{
    syncDirectionChanged_ = false;
    switchToNamedPane(key(kSelectKnownDevice), -1);
}

void TarnexController::deviceEjected()
{
    platform::runloop::performOnMainThread([this] { disconnectDevice(); }, this);
}

void TarnexController::handleSyncDirectionChange()
{
    switchToNamedPane(key(kSelectKnownDevice), -1);
}

void TarnexController::addPhonePressed()
{
    showAddPhone(false);
    switchToNamedPane(key(kSelectKnownDevice), 1);
}

void TarnexController::showAddPhone(bool show)
{
    if (show)
        setActionMasterPlaceHidden(true);
    setShown(addPhoneButton_, show);
}

void TarnexController::openSettings()
{
    switchToNamedPane(key(kSyncSettings), 1);
}

void TarnexController::settingsButtonPressed()
{
    if (TarnexPaneController* contacts = paneForKey(key(kContacts)))
        contacts->settingsButtonPressed();
}

void TarnexController::newHandset(const QString& how)
{
    if (TarnexPaneController* matrix = pane(kMatrixIndex))
        matrix->newHandset(how);
}

DeviceWindowController* TarnexController::getDeviceWindowController() const
{
    MobileDeviceDocument* document = device_ ? device_->document() : nullptr;
    return document ? document->getDeviceWindowController() : nullptr;
}
