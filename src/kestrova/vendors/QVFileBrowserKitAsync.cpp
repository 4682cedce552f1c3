#include "kestrova/vendors/QVFileBrowserKitAsync.h"

#include "kestrova/core/CoreConstants.h"
#include "kestrova/core/EngineReplies.h"
#include "kestrova/core/KitErrors.h"
#include "kestrova/core/KitLog.h"
#include "kestrova/vendors/LgFileListing.h"
#include "kestrova/vendors/LgNames.h"
#include "kestrova/vendors/SLTCommDeviceLgFileBrowserExt.h"
#include "kestrova/vendors/SLTCommDeviceLgSmsExt.h"
#include "kestrova/vendors/StageAnswers.h"

#include <QSaveFile>

using namespace kestrova::core;
using kestrova::core::engine::stageOf;
using namespace kestrova::lg;
using kestrova::kitLogWith;
namespace kit = kestrova::kit;

using stageanswers::is;
using stageanswers::stepOf;

namespace {

const QString kLg2 = QStringLiteral("lg2");
const QString kLg3 = QStringLiteral("lg3");

bool hasRaw(const QVariantMap& answer)
{
    return answer.contains(key(kSLTCommDeviceCommandQueueCommandRawResult));
}

QByteArray rawOf(const QVariantMap& answer)
{
    return answer.value(key(kSLTCommDeviceCommandQueueCommandRawResult)).toByteArray();
}

QVariantMap valueMap(const QVariantMap& answer)
{
    return answer.value(key(kSLTCommDeviceReturnValue)).toMap();
}

int failureOf(bool done)
{
    return done ? kit::kSuccess : kit::kLgFileBrowserFailed;
}

} // namespace

QVFileBrowserKitAsync::QVFileBrowserKitAsync()
    : QVFileBrowserKitAsync(std::make_unique<SLTCommDevice>())
{
}

QVFileBrowserKitAsync::QVFileBrowserKitAsync(std::unique_ptr<SLTCommDevice> engine)
    : QVSmsKitAsync(std::move(engine))
{
}

QVFileBrowserKitAsync::~QVFileBrowserKitAsync()
{
    stopObservingDisconnect();
}

void QVFileBrowserKitAsync::setCallback(fileBrowserKitAsync* callback)
{
    _fileBrowserCallback = callback;
    engine().setWillCloseCallback(callback);
}

SLTCommDeviceLgFileBrowserExt& QVFileBrowserKitAsync::files()
{
    return engine().extension<SLTCommDeviceLgFileBrowserExt>();
}

SLTInvocationPtr QVFileBrowserKitAsync::fileStage(Stage method)
{
    // Once a stage has given its request's final callback, whatever the
    // engine still sends it is dropped.
    auto done = std::make_shared<bool>(false);
    return SLTCommDevice::getInvocationForSelector(lifeToken(), {}, [this, method, done](const QVariantMap& answer) {
        if (!*done)
            (this->*method)(answer, *done);
    });
}

void QVFileBrowserKitAsync::observeDisconnect()
{
    stopObservingDisconnect();
    _disconnectObserver = platform::NotificationCenter::defaultCenter().addObserver(
        this, key(kSLTCommDeviceCommandQueueDisconnected), &engine().commandQueue(),
        [this](const platform::Notification&) {
            stopObservingDisconnect();
            _browsing = false;
            restoreFamily();
            later([this] {
                if (_fileBrowserCallback)
                    _fileBrowserCallback->fileBrowserKitDisconnected(this, kit::kLgLinkDropped);
            });
        });
}

void QVFileBrowserKitAsync::stopObservingDisconnect()
{
    if (_disconnectObserver)
        platform::NotificationCenter::defaultCenter().removeObserver(std::exchange(_disconnectObserver, 0));
}

void QVFileBrowserKitAsync::restoreFamily()
{
    if (std::exchange(_familySwitched, false))
        engine().setFamily(_family);
}

// --- Session ----------------------------------------------------------------

void QVFileBrowserKitAsync::fileBrowserConnect()
{
    files().lgViewtyFileBrowserPrepare(fileStage(&QVFileBrowserKitAsync::connectStage));
}

void QVFileBrowserKitAsync::connectStage(const QVariantMap& answer, bool& done)
{
    done = true;
    if (hasRaw(answer)) {
        _browsing = true;
        observeDisconnect();
        if (_fileBrowserCallback)
            _fileBrowserCallback->fileBrowserKitConnected(this, kit::kSuccess);
        return;
    }
    fullStop();
    const bool busy = answer.contains(key(kSLTCommDeviceCommandQueueLgAppConflict));
    if (_fileBrowserCallback)
        _fileBrowserCallback->fileBrowserKitConnected(this, busy ? kit::kLgPortInUse : kit::kLgFileBrowserFailed);
}

void QVFileBrowserKitAsync::fileBrowserDisconnect()
{
    stopObservingDisconnect();
    _browsing = false;
    engine().extension<SLTCommDeviceLgSmsExt>().lgViewtyDisconnectRequest(
        fileStage(&QVFileBrowserKitAsync::disconnectStage));
}

void QVFileBrowserKitAsync::disconnectStage(const QVariantMap& answer, bool& done)
{
    done = true;
    const bool closed = answer.contains(key(kSLTCommDeviceReturnValue));
    if (_fileBrowserCallback)
        _fileBrowserCallback->fileBrowserKitDisconnected(this, failureOf(closed));
}

void QVFileBrowserKitAsync::fileBrowserAbortAction()
{
    if (_browsing)
        files().lgViewtyFileBrowserAbortActionAndCall(fileStage(&QVFileBrowserKitAsync::abortStage));
    else
        fullStop();
}

void QVFileBrowserKitAsync::abortStage(const QVariantMap& answer, bool& done)
{
    if (!answer.contains(key(kSLTCommDeviceReturnValue))) {
        restoreFamily();
        done = true;
        if (_fileBrowserCallback)
            _fileBrowserCallback->fileBrowserKitAbortComplete(this, kit::kLgFileBrowserFailed);
        return;
    }
    if (is(stepOf(answer), kAbortedStep)) {
        restoreFamily();
        files().lgViewtyFileBrowserListItem(_currentEntryString, stageOf(answer));
        return;
    }
    done = true;
    if (_fileBrowserCallback)
        _fileBrowserCallback->fileBrowserKitAbortComplete(this, kit::kSuccess);
}

// --- Listings ---------------------------------------------------------------

void QVFileBrowserKitAsync::getRootDirectory()
{
    files().lgViewtyFileBrowserGetRootDirectory(fileStage(&QVFileBrowserKitAsync::rootListingStage));
}

void QVFileBrowserKitAsync::rootListingStage(const QVariantMap& answer, bool& done)
{
    const QString step = stepOf(answer);
    if (hasRaw(answer) && is(step, kSLTCommDeviceLgFileBrowserOpen)) {
        files().lgViewtyFileBrowserGetRootDirectory(stageOf(answer));
        return;
    }
    if (hasRaw(answer) && !is(step, kRootListingSignal))
        return;
    done = true;
    const std::optional<QVariantList> folders =
        hasRaw(answer) ? extractDirectoriesFromData(rawOf(answer)) : std::nullopt;
    if (_fileBrowserCallback)
        _fileBrowserCallback->fileBrowserKitDirectoryRead(this, folders, failureOf(folders.has_value()));
}

void QVFileBrowserKitAsync::getDirectoryAtPath(const QString& path)
{
    files().lgViewtyFileBrowserGetDirectoryAtPath(path, fileStage(&QVFileBrowserKitAsync::folderListingStage));
}

void QVFileBrowserKitAsync::folderListingStage(const QVariantMap& answer, bool& done)
{
    if (hasRaw(answer) && !is(stepOf(answer), kListingStep))
        return;
    done = true;
    if (!hasRaw(answer)) {
        if (_fileBrowserCallback)
            _fileBrowserCallback->fileBrowserKitDirectoryRead(this, std::nullopt, kit::kLgFileBrowserFailed);
        return;
    }
    const QVariantList listing =
        parseLgDirectoryListingFromXMLString(getXmlStringFromDirData(rawOf(answer)).value_or(QString()));
    if (_fileBrowserCallback)
        _fileBrowserCallback->fileBrowserKitDirectoryRead(this, listing, kit::kSuccess);
}

// --- Copies -----------------------------------------------------------------

void QVFileBrowserKitAsync::fileBrowserCopyRemoteFile(const QString& remotePath, const QString& localPath)
{
    _currentEntryString = remotePath;
    _localPath = localPath;
    files().lgViewtyFileBrowserGetFileAtPath(remotePath, fileStage(&QVFileBrowserKitAsync::copyToMacStage));
}

void QVFileBrowserKitAsync::copyToMacStage(const QVariantMap& answer, bool& done)
{
    const QString step = stepOf(answer);
    const auto finish = [&](int code) {
        done = true;
        if (_fileBrowserCallback)
            _fileBrowserCallback->fileBrowserKitCopyToMacFinished(this, code);
    };
    if (is(step, kProgressStep)) {
        if (_fileBrowserCallback)
            _fileBrowserCallback->fileBrowserKitCopyToMacProgress(this, valueMap(answer));
        return;
    }
    if (!hasRaw(answer))
        return finish(kit::kLgFileBrowserFailed);
    if (is(step, kFileStep)) {
        QSaveFile file(_localPath);
        const QByteArray contents = rawOf(answer);
        if (_localPath.isEmpty() || !file.open(QIODevice::WriteOnly) || file.write(contents) != contents.size()
            || !file.commit()) {
            kitLogWith([&] {
                return QStringLiteral("LG file browser: %1 not written to %2: %3")
                    .arg(_currentEntryString, _localPath, file.errorString());
            });
            return finish(kit::kLgFileBrowserFailed);
        }
        if (_family == kLg2)
            files().lgViewtyHeartBeat(stageOf(answer));
        else
            files().lgViewtyFileBrowserListItem(_currentEntryString, stageOf(answer));
        return;
    }
    finish(failureOf(is(step, kListItemSignal) || is(step, kHeartBeatSignal)));
}

void QVFileBrowserKitAsync::fileBrowserCopyFile(const QString& localPath, const QString& remotePath)
{
    _currentEntryString = remotePath;
    if (_family == kLg2) {
        _familySwitched = true;
        engine().setFamily(kLg3);
    }
    files().lgViewtyFileBrowserPutFile(localPath, remotePath, fileStage(&QVFileBrowserKitAsync::copyFromMacStage));
}

void QVFileBrowserKitAsync::copyFromMacStage(const QVariantMap& answer, bool& done)
{
    const QString step = stepOf(answer);
    const auto finish = [&](int code) {
        restoreFamily();
        done = true;
        if (_fileBrowserCallback)
            _fileBrowserCallback->fileBrowserKitCopyFromMacFinished(this, code);
    };
    if (is(step, kProgressStep)) {
        if (_fileBrowserCallback)
            _fileBrowserCallback->fileBrowserKitCopyFromMacProgress(this, valueMap(answer));
        return;
    }
    if (!hasRaw(answer))
        return finish(kit::kLgFileBrowserFailed);
    if (is(step, kPutFileSignal)) {
        restoreFamily();
        files().lgViewtyFileBrowserListItem(_currentEntryString, stageOf(answer));
        return;
    }
    finish(failureOf(is(step, kListItemSignal)));
}

// --- Changes ----------------------------------------------------------------

void QVFileBrowserKitAsync::fileBrowserDeleteItem(const QString& path, int type)
{
    const SLTInvocationPtr stage = fileStage(&QVFileBrowserKitAsync::deleteStage);
    if (type != 0)
        files().lgViewtyFileBrowserDeleteFolder(path, stage);
    else
        files().lgViewtyFileBrowserDeleteFile(path, stage);
}

void QVFileBrowserKitAsync::deleteStage(const QVariantMap& answer, bool& done)
{
    done = true;
    if (_fileBrowserCallback)
        _fileBrowserCallback->fileBrowserKitDeleteItemFinished(
            this, failureOf(hasRaw(answer) && is(stepOf(answer), kRemoveItemSignal)));
}

void QVFileBrowserKitAsync::fileBrowserMakeDir(const QString& path)
{
    files().lgViewtyFileBrowserMakeDir(path, fileStage(&QVFileBrowserKitAsync::makeDirStage));
}

void QVFileBrowserKitAsync::makeDirStage(const QVariantMap& answer, bool& done)
{
    done = true;
    if (_fileBrowserCallback)
        _fileBrowserCallback->fileBrowserKitCreateFolderFinished(
            this, failureOf(hasRaw(answer) && is(stepOf(answer), kMakeDirSignal)));
}
