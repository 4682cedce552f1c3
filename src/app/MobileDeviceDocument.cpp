#include "app/MobileDeviceDocument.h"

#include "app/AppLog.h"
#include "app/DZDocumentController.h"
#include "app/PreferenceHandler.h"

#include "device/MFDeviceInfo.h"
#include "devicewindow/DeviceWindowController.h"
#include "devicewindow/DorvantiWindow.h"
#include "phone/MFDevice.h"
#include "phone/SyncEnvironment.h"
#include "platform/Localization.h"
#include "platform/RunLoop.h"

#include <QEvent>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>

namespace {

MobileDeviceDocument::Makers& makers()
{
    static MobileDeviceDocument::Makers shared;
    return shared;
}

QString text(const char* key)
{
    return platform::localizedString(QLatin1String(key));
}

// Turns the window manager's close of a phone window into the document's
// close question.
class CloseFilter : public QObject {
public:
    explicit CloseFilter(MobileDeviceDocument* document) : QObject(document), document_(document) {}
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::Close)
            return QObject::eventFilter(watched, event);
        auto* widget = qobject_cast<QWidget*>(watched);
        // A window hidden by its own close (after the fade) passes.
        if (!widget || widget->windowOpacity() <= 0.0 || document_->isClosed())
            return false;
        event->ignore();
        QPointer<MobileDeviceDocument> document = document_;
        platform::runloop::performOnMainThread([document] {
            if (document)
                document->performClose();
        }, document_);
        return true;
    }

private:
    MobileDeviceDocument* document_;
};

} // namespace

void MobileDeviceDocument::setMakers(Makers shared)
{
    makers() = std::move(shared);
}

MobileDeviceDocument::MobileDeviceDocument(DeviceWindowHost* host, DZDocumentController* owner)
    : host_(host)
    , owner_(owner)
{
}

MobileDeviceDocument::~MobileDeviceDocument()
{
    platform::runloop::cancelPreviousPerformRequests(this);
    delete closeQuestion_.data();
    if (device_) {
        device_->announceQuit();
        device_->setDocument(nullptr);
    }
    releaseArchive();
    for (const std::unique_ptr<DeviceWindowController>& window : windows_)
        window->setMFDevice(nullptr);
    windows_.clear();
    mirror_.reset();
    device_.reset();
}

bool MobileDeviceDocument::setMFDevice(std::shared_ptr<MFDevice> device, DeviceWindowController* preferedWindow)
{
    if (!device)
        return false;
    std::unique_ptr<DocumentMirror> mirror;
    if (makers().mirror) {
        mirror = makers().mirror(*device, preferedWindow);
        if (!mirror)
            return false;
    }
    std::unique_ptr<DocumentArchive> archive;
    if (makers().archive) {
        // The archive's first read reports to this document's busy sheet.
        device->setDocument(this);
        archive = makers().archive(*device);
        if (!archive) {
            device->setDocument(nullptr);
            return false;
        }
    }
    device_ = std::move(device);
    device_->setDocument(this);
    mirror_ = std::move(mirror);
    archive_ = std::move(archive);
    if (!device_->isHistory()) {
        device_->syncEnvironment().applyWorkSyncEnvironment(true);
        device_->syncEnvironment().freeWorkSyncEnvironment();
    }
    // The window is named after its document.
    for (const std::unique_ptr<DeviceWindowController>& window : windows_)
        if (window->window())
            window->window()->setWindowTitle(displayName());
    return true;
}

void MobileDeviceDocument::makeWindowControllers()
{
    auto controller = std::make_unique<DeviceWindowController>(host_);
    DeviceWindowController* window = controller.get();
    addWindowController(std::move(controller));
    if (openWithPath_.isEmpty() || !owner_)
        return;
    owner_->openHistoryFolder(this, window, openWithPath_);
}

void MobileDeviceDocument::addWindowController(std::unique_ptr<DeviceWindowController> controller)
{
    if (!controller)
        return;
    DeviceWindowController* window = controller.get();
    // The window closes its document.
    connect(window, &DeviceWindowController::windowClosed, this, [this] { close(); });
    if (window->window())
        window->window()->installEventFilter(new CloseFilter(this));
    windows_.push_back(std::move(controller));
}

DeviceWindowController* MobileDeviceDocument::getDeviceWindowController() const
{
    return windows_.empty() ? nullptr : windows_.front().get();
}

void MobileDeviceDocument::showWindow(bool activate)
{
    DeviceWindowController* controller = getDeviceWindowController();
    if (!controller || !controller->window())
        return;
    controller->window()->show();
    controller->window()->raise();
    if (activate)
        controller->window()->activateWindow();
}

bool MobileDeviceDocument::readFromURL(const QString& path, QString* error)
{
    const QFileInfo folder(path);
    if (!folder.isDir()) {
        if (error)
            *error = folder.exists() ? QStringLiteral("%1 is no folder").arg(path)
                                     : QStringLiteral("%1 does not exist").arg(path);
        return false;
    }
    openWithPath_ = folder.absoluteFilePath();
    return true;
}

QString MobileDeviceDocument::getDeviceName() const
{
    return device_ ? device_->getDeviceName() : QLatin1String(kNoPhoneName);
}

QString MobileDeviceDocument::displayName() const
{
    return device_ ? device_->getDeviceName() : text(kNoPhoneDisplayName);
}

bool MobileDeviceDocument::windowCanDeactivate() const
{
    const DeviceWindowController* window = getDeviceWindowController();
    return !window || window->canDeactivate();
}

bool MobileDeviceDocument::windowHasNotFinishedBackup() const
{
    const DeviceWindowController* window = getDeviceWindowController();
    return window && window->hasNotFinishedBackup();
}

bool MobileDeviceDocument::windowSessionDidDied() const
{
    const DeviceWindowController* window = getDeviceWindowController();
    return window && window->sessionDidDied();
}

bool MobileDeviceDocument::doWarnOnQuit() const
{
    return PreferenceHandler::sharedPreferenceHandler().doWarnOnQuit();
}

bool MobileDeviceDocument::quitWasRequested() const
{
    return owner_ && owner_->quitWasRequested();
}

bool MobileDeviceDocument::isDocumentEdited() const
{
    if (!device_ || forcedQuit_ || forcedQuitAndIgnore_)
        return false;
    if (windowSessionDidDied())
        return false;
    if (windowHasNotFinishedBackup())
        return true;
    bool canDiscard = false;
    return archive_ && archive_->isSomethingDirty(&canDiscard);
}

void MobileDeviceDocument::quitRequestedCheckSoon()
{
    QPointer<DZDocumentController> owner = owner_;
    platform::runloop::performOnMainThread([owner] {
        if (owner)
            owner->quitRequestedCheck();
    });
}

void MobileDeviceDocument::canCloseDocument(std::function<void(bool)> shouldClose)
{
    // A center that cannot let go refuses the close (a quit then stops).
    if (!windowCanDeactivate()) {
        qCInfo(lcApp) << "the phone window cannot close now";
        shouldClose(false);
        return;
    }
    if (quitWasRequested() && owner_->overWriteBackupWait()) {
        shouldClose(true);
        return;
    }
    if (!forcedQuitAndIgnore_ && device_ && archive_) {
        bool canDiscard = false;
        if (archive_->isSomethingDirty(&canDiscard)) {
            DeviceWindowController* window = getDeviceWindowController();
            if (!window)
                return;
            showWindow(true);
            const QString name = device_->devInfo() ? device_->devInfo()->getTheDeviceName() : getDeviceName();
            QString message = text(kSaveOrganizerData);
            int from = 0;
            for (const QString& argument : {platform::localizedString(archive_->whatIsDirty()), name}) {
                const int at = message.indexOf(QLatin1String("%@"), from);
                if (at < 0)
                    break;
                message.replace(at, 2, argument);
                from = at + int(argument.size());
            }
            delete closeQuestion_.data();
            auto* box = new QMessageBox(QMessageBox::Warning, QString(), message, QMessageBox::NoButton,
                                        window->window());
            box->setObjectName(QStringLiteral("closeQuestion"));
            box->setWindowModality(Qt::WindowModal);
            QPushButton* send = box->addButton(text(kSendChanges), QMessageBox::AcceptRole);
            send->setObjectName(QStringLiteral("sendChanges"));
            QPushButton* other = box->addButton(canDiscard ? QStringLiteral("&") + text(kDiscardChanges)
                                                           : QStringLiteral("&") + text(kLater),
                                                QMessageBox::DestructiveRole);
            other->setObjectName(QStringLiteral("discardOrLater"));
            QPushButton* cancel = box->addButton(text(kCancel), QMessageBox::RejectRole);
            cancel->setObjectName(QStringLiteral("cancelClose"));
            // Return sends, Escape cancels.
            box->setDefaultButton(send);
            box->setEscapeButton(cancel);
            closeQuestion_ = box;
            connect(box, &QMessageBox::finished, this, [this, box, send, other, canDiscard, shouldClose](int) {
                QAbstractButton* clicked = box->clickedButton();
                const int choice = clicked == send ? 0 : clicked == other ? 1 : 2;
                box->deleteLater();
                closeSheetEnded(choice, canDiscard, shouldClose);
            });
            box->open();
            return;
        }
    }
    if (windowHasNotFinishedBackup() && doWarnOnQuit()) {
        closeWasRequested_ = true;
        shouldClose(false);
        if (!quitWasRequested()) {
            QPointer<DeviceWindowController> window = getDeviceWindowController();
            platform::runloop::performOnMainThread([window] {
                if (window)
                    window->waitBGMachineFinished();
            }, this);
        } else {
            quitRequestedCheckSoon();
        }
        return;
    }
    shouldClose(true);
}

void MobileDeviceDocument::closeSheetEnded(int choice, bool /*canDiscard*/, std::function<void(bool)> shouldClose)
{
    switch (choice) {
    case 0:
        insertNecessarySyncCommands();
        closeWasRequested_ = true;
        shouldClose(false);
        if (quitWasRequested()) {
            quitRequestedCheckSoon();
        } else if (windowHasNotFinishedBackup()) {
            QPointer<DeviceWindowController> window = getDeviceWindowController();
            platform::runloop::performOnMainThread([window] {
                if (window)
                    window->waitBGMachineFinished();
            }, this);
        }
        break;
    case 1:
        forcedQuit_ = true;
        if (!quitWasRequested()) {
            shouldClose(true);
        } else {
            shouldClose(false);
            quitRequestedCheckSoon();
        }
        break;
    default:
        shouldClose(false);
        break;
    }
}

void MobileDeviceDocument::insertNecessarySyncCommands()
{
    if (!archive_ || !device_)
        return;
    for (int property = 0; property < kSendableProperties; ++property)
        if (archive_->isStorageDirty(property) && makers().sendChanges)
            makers().sendChanges(*device_, getDeviceWindowController(), property);
}

void MobileDeviceDocument::performClose()
{
    if (closed_)
        return;
    QPointer<MobileDeviceDocument> self = this;
    canCloseDocument([self](bool close) {
        if (!self || !close)
            return;
        if (DeviceWindowController* window = self->getDeviceWindowController())
            window->windowShouldClose();
        else
            self->close();
    });
}

void MobileDeviceDocument::close()
{
    if (closed_)
        return;
    closed_ = true;
    for (const std::unique_ptr<DeviceWindowController>& window : windows_)
        if (window->window())
            window->window()->hide();
    Q_EMIT documentClosed(this);
}

bool MobileDeviceDocument::validateMenuItem(const QString& action) const
{
    return action != QLatin1String("saveDocumentAs") && action != QLatin1String("printDocument")
        && action != QLatin1String("runPageLayout");
}

SynchronizationFeedbackConsumer* MobileDeviceDocument::synchronizationFeedbackConsumer() const
{
    if (feedback_)
        return feedback_;
    return getDeviceWindowController();
}

void MobileDeviceDocument::releaseArchive()
{
    if (!archive_)
        return;
    archive_->checkForArchiveChanges();
    archive_.reset();
}

OrganizerArchive* MobileDeviceDocument::recreateArchive()
{
    if (!device_ || !makers().archive)
        return nullptr;
    archive_ = makers().archive(*device_);
    return archive_ ? archive_->organizerArchive() : nullptr;
}

void MobileDeviceDocument::startBackgroundActionsSoon()
{
    if (DeviceWindowController* window = getDeviceWindowController())
        window->startBackgroundActionsSoon();
}

DeviceWindowServices* MobileDeviceDocument::deviceWindowServices() const
{
    return getDeviceWindowController();
}

std::optional<QString> MobileDeviceDocument::getMirroredFile(const QString& path, int* error)
{
    return mirror_ ? mirror_->getMirroredFile(path, error) : std::nullopt;
}

std::optional<QString> MobileDeviceDocument::getMirrorPath(const QString& path)
{
    return mirror_ ? mirror_->getMirrorPath(path) : std::nullopt;
}

std::optional<QVariantMap> MobileDeviceDocument::getFinderInfoDictForPath(const QString& fullPath, bool isFolder)
{
    if (!mirror_)
        return std::nullopt;
    std::optional<QVariantMap> info = mirror_->getFinderInfoDictForPath(fullPath);
    if (!info && isFolder) {
        mirror_->registerDirectoryOnDevice(fullPath);
        info = mirror_->getFinderInfoDictForPath(fullPath);
    }
    return info;
}

bool MobileDeviceDocument::setFinderInfoDictForPath(const QVariantMap& info, const QString& fullPath)
{
    return mirror_ && mirror_->setFinderInfoDictForPath(info, fullPath);
}
