#include "app/DZDocumentController.h"

#include "app/AppController.h"
#include "app/AppLog.h"
#include "app/MobileDeviceDocument.h"

#include "devicewindow/DeviceWindowController.h"
#include "jobs/QVActionMachine.h"
#include "phone/MFDevice.h"
#include "platform/PropertyList.h"
#include "platform/RunLoop.h"

#include <QDir>
#include <QFileInfo>
#include <QPointer>

#include <algorithm>
#include <optional>

namespace {

DZDocumentController* g_shared = nullptr;

// The archive's device entry, or nothing (error set).
std::optional<QVariantMap> readHistoryEntry(const QString& folder, QString* error)
{
    const QString path = QDir(folder).filePath(QLatin1String(MobileDeviceDocument::kMirrorDeviceDict));
    QString problem;
    const QVariant dict = platform::plist::readFile(path, &problem);
    if (dict.typeId() != QMetaType::QVariantMap) {
        if (error)
            *error = QStringLiteral("%1 holds no readable %2%3")
                         .arg(folder, QLatin1String(MobileDeviceDocument::kMirrorDeviceDict),
                              problem.isEmpty() ? QString() : QStringLiteral(": ") + problem);
        return std::nullopt;
    }
    return dict.toMap();
}

} // namespace

DZDocumentController::DZDocumentController(DeviceWindowHost* host, QObject* parent)
    : QObject(parent)
    , host_(host)
{
    g_shared = this;
}

DZDocumentController::~DZDocumentController()
{
    platform::runloop::cancelPreviousPerformRequests(this);
    // The windows go before the documents' phones.
    while (!documents_.empty()) {
        std::unique_ptr<MobileDeviceDocument> last = std::move(documents_.back());
        documents_.pop_back();
        last.reset();
    }
    if (g_shared == this)
        g_shared = nullptr;
}

DZDocumentController* DZDocumentController::sharedDocumentController()
{
    return g_shared;
}

std::vector<MobileDeviceDocument*> DZDocumentController::documents() const
{
    std::vector<MobileDeviceDocument*> open;
    for (const std::unique_ptr<MobileDeviceDocument>& document : documents_)
        if (!document->isClosed())
            open.push_back(document.get());
    return open;
}

MobileDeviceDocument* DZDocumentController::addDocument(std::unique_ptr<MobileDeviceDocument> document)
{
    if (!document)
        return nullptr;
    MobileDeviceDocument* added = document.get();
    connect(added, &MobileDeviceDocument::documentClosed, this, [this](MobileDeviceDocument* closed) {
        // Not inside the close's own call chain.
        platform::runloop::performOnMainThread([this, closed] { remove(closed); }, this);
    });
    documents_.push_back(std::move(document));
    return added;
}

MobileDeviceDocument* DZDocumentController::newDocument()
{
    MobileDeviceDocument* document = addDocument(std::make_unique<MobileDeviceDocument>(host_, this));
    document->makeWindowControllers();
    return document;
}

void DZDocumentController::remove(MobileDeviceDocument* document)
{
    const auto found = std::find_if(documents_.begin(), documents_.end(),
                                    [document](const auto& each) { return each.get() == document; });
    if (found == documents_.end())
        return;
    std::unique_ptr<MobileDeviceDocument> gone = std::move(*found);
    documents_.erase(found);
    gone.reset();
    Q_EMIT documentRemoved();
}

MobileDeviceDocument* DZDocumentController::openDocument(const QString& folder, QString* error)
{
    auto document = std::make_unique<MobileDeviceDocument>(host_, this);
    if (!document->readFromURL(folder, error))
        return nullptr;
    if (!readHistoryEntry(document->documentPath(), error))
        return nullptr;
    MobileDeviceDocument* opened = addDocument(std::move(document));
    opened->makeWindowControllers();
    if (!opened->hasDevice()) {
        if (error)
            *error = QStringLiteral("the archive %1 could not be opened").arg(folder);
        opened->close();
        return nullptr;
    }
    return opened;
}

void DZDocumentController::openHistoryFolder(MobileDeviceDocument* /*document*/, DeviceWindowController* window,
                                             const QString& folder)
{
    const std::optional<QVariantMap> entry = readHistoryEntry(folder, nullptr);
    if (!entry || !historyOpener_)
        return;
    historyOpener_(*entry, window, QLatin1String(MobileDeviceDocument::kHistoryState), folder);
}

void DZDocumentController::closeAllDocuments(std::function<void(bool closed)> done)
{
    quitWasRequested_ = true;
    const std::vector<MobileDeviceDocument*> open = documents();
    dirtyCount_ = int(std::count_if(open.begin(), open.end(),
                                    [](MobileDeviceDocument* document) { return document->isDocumentEdited(); }));
    askNext(std::make_shared<std::vector<MobileDeviceDocument*>>(open.rbegin(), open.rend()), std::move(done), false);
}

void DZDocumentController::askNext(std::shared_ptr<std::vector<MobileDeviceDocument*>> left,
                                   std::function<void(bool)> done, bool pending)
{
    // Documents may go while an earlier one's sheet is open.
    while (!left->empty()) {
        const std::vector<MobileDeviceDocument*> open = documents();
        if (std::find(open.begin(), open.end(), left->back()) != open.end())
            break;
        left->pop_back();
    }
    if (left->empty()) {
        if (!pending)
            done(true);
        return;
    }
    MobileDeviceDocument* document = left->back();
    left->pop_back();
    QPointer<MobileDeviceDocument> asked = document;
    document->canCloseDocument([this, asked, left, done, pending](bool close) {
        if (close) {
            if (asked)
                asked->close();
            askNext(left, done, pending);
            return;
        }
        // A document that waits for its changes or backup settles through
        // quitRequestedCheck; any other refusal cancels the quit.
        if (asked && (asked->closeWasRequested() || asked->forcedQuit())) {
            askNext(left, done, true);
            return;
        }
        quitWasRequested_ = false;
        dirtyCount_ = 0;
        const QString reason = asked ? QStringLiteral("%1 stays open").arg(asked->displayName()) : QString();
        qCInfo(lcApp).noquote() << "quit cancelled:" << reason;
        if (asked)
            asked->showWindow(true);
        Q_EMIT quitCancelled(reason);
        done(false);
    });
}

void DZDocumentController::quitRequestedCheck()
{
    if (!quitWasRequested_)
        return;
    --dirtyCount_;
    if (dirtyCount_ > 0)
        return;
    platform::runloop::performOnMainThread([this] {
        if (askToWait_)
            askToWait_();
        else if (AppController* app = AppController::sharedAppController())
            app->askToWait();
    }, this);
}

bool DZDocumentController::anyBackupPending() const
{
    for (MobileDeviceDocument* document : documents())
        if (DeviceWindowController* window = document->getDeviceWindowController();
            window && window->hasNotFinishedBackup())
            return true;
    return false;
}

bool DZDocumentController::anyBlockedDeactivates() const
{
    for (MobileDeviceDocument* document : documents())
        if (DeviceWindowController* window = document->getDeviceWindowController(); window && !window->canDeactivate())
            return true;
    return false;
}

void DZDocumentController::doCancelDocuments()
{
    for (MobileDeviceDocument* document : documents())
        if (document->mfDevice() && document->mfDevice()->actionMachine())
            document->mfDevice()->actionMachine()->cancelAllActionsForClose();
}

bool DZDocumentController::closeSafeFirstDoc()
{
    for (MobileDeviceDocument* document : documents()) {
        const std::shared_ptr<MFDevice>& device = document->mfDevice();
        if (!device || !device->actionMachine() || device->actionMachine()->actionCount() == 0)
            continue;
        if (DeviceWindowController* window = document->getDeviceWindowController())
            window->doProceedSafeClose();
        document->setForceQuitAndIgnore();
        return true;
    }
    return false;
}
