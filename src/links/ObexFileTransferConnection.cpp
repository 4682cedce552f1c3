#include "links/ObexFileTransferConnection.h"

#include "foundation/NamedLog.h"
#include "foundation/QuickLog.h"
#include "links/BTObexSession.h"
#include "links/CommonObexATSwitchTransportLayer.h"
#include "links/CommonSerialConnection.h"
#include "links/ConnectionRegistration.h"
#include "links/LinkCodes.h"
#include "links/MFDeviceLinkOwner.h"
#include "links/ObexFolderListing.h"
#include "links/ObexPacket.h"
#include "links/QVDeviceCallback.h"
#include "platform/RunLoop.h"
#include "platform/bluetooth/QuorBluetoothExtensions.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr uint8_t kSetPathBackup = 0x01;
constexpr uint8_t kSetPathNoCreate = 0x02;
constexpr uint8_t kAnswerSuccessNotFinal = 0x20;

void logFT(const QString& line)
{
    QuickLogToNamedLog(qvlog::kXT, QStringLiteral("%1"), line);
}

bool isSuccess(uint8_t code)
{
    return code == obex::kResponseSuccess || code == kAnswerSuccessNotFinal;
}

// A refusal's status: the response code itself (never 0).
int refusal(uint8_t code)
{
    return code == 0 ? links::kIOReturnError : int(code);
}

// Opens a local regular file for reading without blocking on a FIFO or a
// device; nullptr for anything else.
std::unique_ptr<QFile> openRegularFile(const QString& path, qint64* size)
{
    const QByteArray local = QFile::encodeName(path);
    const int fd = local.isEmpty() ? -1 : ::open(local.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    struct stat info {};
    if (fd < 0 || ::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        if (fd >= 0)
            ::close(fd);
        return nullptr;
    }
    auto file = std::make_unique<QFile>();
    if (!file->open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return nullptr;
    }
    *size = qint64(info.st_size);
    return file;
}
} // namespace

ObexFileTransferConnection::ObexFileTransferConnection(MFDevice* device, const MFDeviceInfo* devInfo,
                                                       const QString& connType, TransportFactory factory,
                                                       FTPFileOwner* owner, bool pcSuite)
    : FileTransferConnection(device, nullptr, devInfo)
    , _connType(connType)
    , _factory(std::move(factory))
    , _owner(owner)
    , _pcSuite(pcSuite)
{
}

ObexFileTransferConnection::~ObexFileTransferConnection()
{
    _alive.reset();
    _next = nullptr;
    if (_target)
        _target->cancelWriting();
    for (const auto& command : std::exchange(_queue, {})) {
        if (command->getDevCallback())
            command->getDevCallback()->senderIsDying();
    }
    if (_current && _current->getDevCallback())
        _current->getDevCallback()->senderIsDying();
}

bool ObexFileTransferConnection::hasConnection() const
{
    return _session && _obexConnected && _session->hasOpenTransportConnection();
}

// --- paths ---

bool ObexFileTransferConnection::isSoundPhonePath(const QString& path)
{
    if (path == QLatin1String("/"))
        return true;
    if (!path.startsWith(QLatin1Char('/')) || path.endsWith(QLatin1Char('/')))
        return false;
    const QStringList names = path.mid(1).split(QLatin1Char('/'));
    return std::all_of(names.cbegin(), names.cend(), obexlisting::isSoundEntryName);
}

QString ObexFileTransferConnection::parentOf(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash <= 0 ? QStringLiteral("/") : path.left(slash);
}

QString ObexFileTransferConnection::nameOf(const QString& path)
{
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

QString ObexFileTransferConnection::joined(const QString& folder, const QString& name)
{
    return folder == QLatin1String("/") ? QString(QLatin1Char('/') + name) : QString(folder + QLatin1Char('/') + name);
}

QByteArray ObexFileTransferConnection::connectionIDHeader() const
{
    QByteArray headers;
    if (_hasConnectionID)
        obex::addConnectionIDHeader(headers, _connectionID);
    return headers;
}

// --- the queue ---

int ObexFileTransferConnection::enqueue(quint32 code, const std::shared_ptr<QVDeviceCallback>& callback,
                                        const QString& folder, const QVariant& param, const QVariant& param2)
{
    const bool openOrClose = code == ObexCommand::kOpen || code == ObexCommand::kClose;
    if (!openOrClose && !hasConnection() && !_isInProgress)
        return links::kErrNotConnected;
    auto command = ObexCommand::commandWithData(code, callback, folder, param, param2);
    command->enqueue();
    _queue.push_back(command);
    runNext();
    return 0;
}

void ObexFileTransferConnection::runNext()
{
    if (_current || _queue.empty())
        return;
    _current = _queue.front();
    _queue.pop_front();
    start();
}

void ObexFileTransferConnection::endCommand(int status, const QVariant& result)
{
    _next = nullptr;
    _nextTakesErrors = false;
    _source.reset();
    if (_target) {
        if (status != 0)
            _target->cancelWriting();
        _target.reset();
    }
    _collected.clear();
    auto command = std::exchange(_current, std::shared_ptr<ObexCommand>());
    if (command)
        command->setStatusAndResultSilent(status, result, false);
    // The next command starts on a later pass, after the caller saw its end.
    std::weak_ptr<int> alive = _alive;
    platform::runloop::performOnMainThread([this, alive] {
        if (!alive.expired())
            runNext();
    });
}

OBEXSessionEventHandler ObexFileTransferConnection::handler()
{
    std::weak_ptr<int> alive = _alive;
    return [this, alive](const OBEXSessionEvent& event) {
        if (!alive.expired())
            onEvent(event);
    };
}

void ObexFileTransferConnection::onEvent(const OBEXSessionEvent& event)
{
    Continuation next = std::exchange(_next, Continuation());
    const bool takesErrors = std::exchange(_nextTakesErrors, false);
    if (!next || !_current) {
        logFT(QStringLiteral("[%1 onEvent] answer without a request (type 0x%2)").arg(className()).arg(event.type, 0, 16));
        return;
    }
    if (event.type == obex::kEventError && !takesErrors) {
        const int error = event.errorData.error;
        logFT(QStringLiteral("[%1 onEvent] request failed: %2").arg(className()).arg(error));
        if (error == links::kErrRequestTimeout || error == links::kErrTransportDied || error == links::kErrNotConnected) {
            _obexConnected = false;
            _isOpen = false;
        }
        _currentPath.clear();
        endCommand(error);
        return;
    }
    next(event);
}

bool ObexFileTransferConnection::sent(int status)
{
    if (status != 0) {
        _next = nullptr;
        endCommand(status);
        return false;
    }
    return true;
}

void ObexFileTransferConnection::start()
{
    const quint32 code = _current->getCmd();
    switch (code) {
    case ObexCommand::kOpen:
        doOpen();
        return;
    case ObexCommand::kClose:
        doClose();
        return;
    case kCapability:
        action();
        return;
    default:
        break;
    }
    if (!hasConnection()) {
        endCommand(links::kErrNotConnected);
        return;
    }
    navigateTo(_current->getWantedDirectory().toString(), [this] { action(); });
}

// --- open and close ---

int ObexFileTransferConnection::openConnection(const std::shared_ptr<QVDeviceCallback>& callback)
{
    if (_isInProgress)
        return links::kIOReturnExclusiveAccess;
    _isInProgress = true;
    return enqueue(ObexCommand::kOpen, callback, QString());
}

void ObexFileTransferConnection::doOpen()
{
    if (hasConnection()) {
        _isInProgress = false;
        endCommand(0);
        return;
    }
    _session = _factory ? _factory() : nullptr;
    if (!_session) {
        _isInProgress = false;
        endCommand(links::kIOReturnNoDevice);
        return;
    }
    _obexConnected = false;
    _hasConnectionID = false;
    std::weak_ptr<int> alive = _alive;
    auto opened = _transportStep = QVDeviceCallback::commandObject(
        this,
        [this, alive](QVDeviceCallback& c) {
            if (alive.expired())
                return;
            const int status = c.returnStatus();
            if (status != 0 || !_session) {
                _isInProgress = false;
                _session.reset();
                endCommand(status != 0 ? status : links::kIOReturnNoDevice);
                return;
            }
            QByteArray headers;
            obex::addTargetHeader(headers, obex::fileTransferTarget());
            _next = [this](const OBEXSessionEvent& event) {
                _isInProgress = false;
                const uint8_t code = event.response.serverResponseOpCode;
                logFT(QStringLiteral("[%1 OBEXConnectHandler] returns 0x%2").arg(className()).arg(code, 0, 16));
                const auto parsed = obex::parseHeaders(reinterpret_cast<const char*>(event.response.headerDataPtr),
                                                       qsizetype(event.response.headerDataLength));
                if (code != obex::kResponseSuccess || !parsed) {
                    endCommand(code != obex::kResponseSuccess ? refusal(code) : obex::kErrBadResponse);
                    return;
                }
                if (const obex::Header* id = obex::findHeader(*parsed, obex::kHeaderConnectionID)) {
                    _connectionID = id->number;
                    _hasConnectionID = true;
                    _session->setSessionID(int32_t(id->number));
                }
                _obexConnected = true;
                _isOpen = true;
                _currentPath = QStringLiteral("/");
                endCommand(0);
            };
            const int sentStatus = _session->OBEXConnect(0, uint16_t(obex::kMaxPacketLength), headers.constData(),
                                                         int(headers.size()), handler());
            if (sentStatus != 0)
                _isInProgress = false;
            sent(sentStatus);
        },
        {});
    const int status = _session->openTransportLayer(opened);
    if (status != 0) {
        opened->senderIsDying();
        _isInProgress = false;
        _session.reset();
        endCommand(status);
    }
}

int ObexFileTransferConnection::closeConnection(const std::shared_ptr<QVDeviceCallback>& callback)
{
    if (_isInProgress)
        return links::kIOReturnExclusiveAccess;
    return enqueue(ObexCommand::kClose, callback, QString());
}

void ObexFileTransferConnection::doClose()
{
    std::weak_ptr<int> alive = _alive;
    auto closeTransport = [this, alive] {
        _obexConnected = false;
        _isOpen = false;
        _currentPath.clear();
        if (!_session || !_session->hasOpenTransportConnection()) {
            endCommand(0);
            return;
        }
        auto closed = _transportStep = QVDeviceCallback::commandObject(
            this,
            [this, alive](QVDeviceCallback& c) {
                if (!alive.expired())
                    endCommand(c.returnStatus());
            },
            {});
        const int status = _session->closeTransportLayer(closed);
        if (status != 0) {
            closed->senderIsDying();
            endCommand(status);
        }
    };
    if (!hasConnection()) {
        closeTransport();
        return;
    }
    const QByteArray headers = connectionIDHeader();
    _nextTakesErrors = true;
    _next = [closeTransport](const OBEXSessionEvent&) { closeTransport(); };
    const int status = _session->OBEXDisconnect(headers.isEmpty() ? nullptr : headers.constData(), int(headers.size()),
                                                handler());
    if (status != 0) {
        _next = nullptr;
        _nextTakesErrors = false;
        closeTransport();
    }
}

int ObexFileTransferConnection::killJobs(bool, const std::shared_ptr<QVDeviceCallback>& callback)
{
    for (const auto& command : std::exchange(_queue, {}))
        command->setStatusAndResultSilent(kCancelled, QVariant(), false);
    if (callback)
        callback->finishSuccessfullyInMainThread(QVariant());
    return 0;
}

// --- folder walk ---

void ObexFileTransferConnection::navigateTo(const QString& folder, std::function<void()> then)
{
    if (!isSoundPhonePath(folder)) {
        endCommand(kMissingFolder);
        return;
    }
    if (folder == _currentPath) {
        then();
        return;
    }
    QStringList steps;
    const QString below = _currentPath == QLatin1String("/") ? _currentPath : _currentPath + QLatin1Char('/');
    QString rest;
    if (!_currentPath.isEmpty() && folder.startsWith(below)) {
        rest = folder.mid(below.size());
    } else {
        steps.append(QString());   // the root
        rest = folder.mid(1);
    }
    if (!rest.isEmpty())
        steps += rest.split(QLatin1Char('/'));
    navigateStep(steps, std::move(then));
}

void ObexFileTransferConnection::navigateStep(QStringList steps, std::function<void()> then)
{
    if (steps.isEmpty()) {
        then();
        return;
    }
    const QString name = steps.takeFirst();
    QByteArray headers = connectionIDHeader();
    obex::addNameHeader(headers, name);
    _next = [this, name, steps, then](const OBEXSessionEvent& event) {
        const uint8_t code = event.response.serverResponseOpCode;
        if (!isSuccess(code)) {
            _currentPath.clear();
            endCommand(code == obex::kResponseNotFound ? kMissingFolder : refusal(code));
            return;
        }
        _currentPath = name.isEmpty() ? QStringLiteral("/") : joined(_currentPath, name);
        navigateStep(steps, then);
    };
    sent(_session->OBEXSetPath(kSetPathNoCreate, 0, headers.constData(), int(headers.size()), handler()));
}

void ObexFileTransferConnection::setCurrentPath(const QString& path)
{
    // Only a path the connection walked itself is taken; any other makes
    // the next command start from the root.
    if (path != _currentPath)
        _currentPath.clear();
}

int ObexFileTransferConnection::changeCurrentFolderToRoot()
{
    return changeCurrentFolderForwardToPath(QStringLiteral("/"));
}

int ObexFileTransferConnection::changeCurrentFolderForwardToPath(const QString& path)
{
    const QString folder = path.startsWith(QLatin1Char('/')) ? path : joined(_currentPath.isEmpty() ? QStringLiteral("/") : _currentPath, path);
    std::weak_ptr<int> alive = _alive;
    auto reported = QVDeviceCallback::commandObject(
        this,
        [this, alive](QVDeviceCallback& c) {
            if (alive.expired() || !_ftpDelegate)
                return;
            _ftpDelegate->fileTransferServicesPathChangeComplete(c.returnStatus(),
                                                                 c.returnStatus() == 0 ? _currentPath : QString());
        },
        {});
    return enqueue(ObexCommand::kSetDirectory, reported, folder);
}

// --- the commands ---

void ObexFileTransferConnection::action()
{
    const QString folder = _current->getWantedDirectory().toString();
    const QString name = _current->getParam().toString();
    switch (_current->getCmd()) {
    case ObexCommand::kSetDirectory:
        endCommand(0, _currentPath);
        return;
    case ObexCommand::kDirList:
        listFolder([this](int status, const FTPFileList& entries) {
            endCommand(status, status == 0 ? QVariant::fromValue(entries) : QVariant());
        });
        return;
    case kExists:
        if (name.isEmpty()) {
            endCommand(0, true);
            return;
        }
        listFolder([this, name](int status, const FTPFileList& entries) {
            const bool found = std::any_of(entries.cbegin(), entries.cend(),
                                           [&](const std::shared_ptr<FTPFile>& e) { return e->fileName() == name; });
            endCommand(status, status == 0 ? QVariant(found) : QVariant());
        });
        return;
    case ObexCommand::kNewFolder: {
        QByteArray headers = connectionIDHeader();
        obex::addNameHeader(headers, name);
        _next = [this, name](const OBEXSessionEvent& event) {
            const uint8_t code = event.response.serverResponseOpCode;
            if (!isSuccess(code)) {
                endCommand(code == obex::kResponseNotFound ? kMissingFolder : refusal(code));
                return;
            }
            // The phone is now in the new folder.
            _currentPath = joined(_currentPath, name);
            endCommand(0);
        };
        sent(_session->OBEXSetPath(0, 0, headers.constData(), int(headers.size()), handler()));
        return;
    }
    case ObexCommand::kDelete: {
        QByteArray headers = connectionIDHeader();
        obex::addNameHeader(headers, name);
        _next = [this](const OBEXSessionEvent& event) {
            const uint8_t code = event.response.serverResponseOpCode;
            endCommand(isSuccess(code) ? 0 : code == obex::kResponseNotFound ? kMissingSource : refusal(code));
        };
        sent(_session->OBEXPut(true, headers.constData(), int(headers.size()), nullptr, 0, handler()));
        return;
    }
    case ObexCommand::kCopyToMac:
        copyToMac();
        return;
    case ObexCommand::kCopyToMobile:
        copyToMobile();
        return;
    case kCapability: {
        if (!hasConnection()) {
            endCommand(links::kErrNotConnected);
            return;
        }
        QByteArray headers = connectionIDHeader();
        obex::addTypeHeader(headers, QByteArray(kCapabilityType));
        getObject(
            headers,
            [this](const QList<obex::Header>& parsed) {
                for (const obex::Header& h : parsed) {
                    if (h.identifier != obex::kHeaderBody && h.identifier != obex::kHeaderEndOfBody)
                        continue;
                    if (_collected.size() + h.value.size() > kMaxListing)
                        return false;
                    _collected += h.value;
                }
                return true;
            },
            [this](int status) {
                const QByteArray data = std::exchange(_collected, QByteArray());
                endCommand(status, status == 0 ? QVariant(data) : QVariant());
            });
        return;
    }
    default:
        endCommand(links::kIOReturnUnsupported);
        return;
    }
}

void ObexFileTransferConnection::getObject(const QByteArray& headers,
                                           std::function<bool(const QList<obex::Header>&)> sink,
                                           std::function<void(int status)> done)
{
    auto step = std::make_shared<Continuation>();
    *step = [this, sink, done, weakStep = std::weak_ptr<Continuation>(step)](const OBEXSessionEvent& event) {
        const uint8_t code = event.response.serverResponseOpCode;
        if (code != obex::kResponseContinue && !isSuccess(code)) {
            done(code == obex::kResponseNotFound ? kMissingSource : refusal(code));
            return;
        }
        const auto parsed = obex::parseHeaders(reinterpret_cast<const char*>(event.response.headerDataPtr),
                                               qsizetype(event.response.headerDataLength));
        if (!parsed) {
            done(obex::kErrBadResponse);
            return;
        }
        if (!sink(*parsed)) {
            if (isSuccess(code))
                done(kCancelled);
            else
                abortThenEnd(kCancelled);
            return;
        }
        if (isSuccess(code)) {
            done(0);
            return;
        }
        auto self = weakStep.lock();
        if (!self)
            return;
        _next = [self](const OBEXSessionEvent& next) { (*self)(next); };
        sent(_session->OBEXGet(true, nullptr, 0, handler()));
    };
    _next = [step](const OBEXSessionEvent& event) { (*step)(event); };
    sent(_session->OBEXGet(true, headers.constData(), int(headers.size()), handler()));
}

void ObexFileTransferConnection::abortThenEnd(int status)
{
    _nextTakesErrors = true;
    _next = [this, status](const OBEXSessionEvent&) { endCommand(status); };
    const int sentStatus = _session ? _session->OBEXAbort(nullptr, 0, handler()) : links::kErrNotConnected;
    if (sentStatus != 0)
        endCommand(status);
}

void ObexFileTransferConnection::listFolder(std::function<void(int status, const FTPFileList& entries)> done)
{
    QByteArray headers = connectionIDHeader();
    obex::addTypeHeader(headers, QByteArray(kFolderListingType));
    _collected.clear();
    const QString folder = _currentPath;
    getObject(
        headers,
        [this](const QList<obex::Header>& parsed) {
            for (const obex::Header& h : parsed) {
                if (h.identifier != obex::kHeaderBody && h.identifier != obex::kHeaderEndOfBody)
                    continue;
                if (_collected.size() + h.value.size() > kMaxListing) {
                    logFT(QStringLiteral("### [%1 listFolder] listing larger than %2 bytes").arg(className()).arg(kMaxListing));
                    return false;
                }
                _collected += h.value;
            }
            return true;
        },
        [this, folder, done](int status) {
            const QByteArray xml = std::exchange(_collected, QByteArray());
            if (status != 0) {
                done(status == kMissingSource ? kMissingFolder : status, {});
                return;
            }
            const auto entries = obexlisting::read(xml, folder, _owner);
            if (!entries) {
                done(obex::kErrBadResponse, {});
                return;
            }
            done(0, *entries);
        });
}

void ObexFileTransferConnection::copyToMac()
{
    const QString name = _current->getParam().toString();
    const QVariantMap options = _current->getParam2().toMap();
    const QString macFolder = options.value(QStringLiteral("folder")).toString();
    const bool overwrite = options.value(QStringLiteral("overwrite")).toBool();
    if (!QFileInfo(macFolder).isDir()) {
        endCommand(kMissingFolder);
        return;
    }
    const QString targetPath = QDir(macFolder).filePath(name);
    if (QFileInfo::exists(targetPath) && !overwrite) {
        endCommand(kDuplicateName);
        return;
    }
    // Written beside the target and renamed over it only when whole.
    _target = std::make_unique<QSaveFile>(targetPath);
    _target->setDirectWriteFallback(false);
    if (!_target->open(QIODevice::WriteOnly)) {
        endCommand(links::kIOReturnIOError);
        return;
    }
    _total = -1;
    _done = 0;
    QByteArray headers = connectionIDHeader();
    obex::addNameHeader(headers, name);
    auto callback = _current->getDevCallback();
    getObject(
        headers,
        [this, callback](const QList<obex::Header>& parsed) {
            for (const obex::Header& h : parsed) {
                if (h.identifier == obex::kHeaderLength)
                    _total = qint64(h.number);
                if (h.identifier != obex::kHeaderBody && h.identifier != obex::kHeaderEndOfBody)
                    continue;
                if (_target->write(h.value) != h.value.size())
                    return false;
                _done += h.value.size();
            }
            const float percent = _total > 0 ? float(std::min<double>(100.0, double(_done) * 100.0 / double(_total))) : 0.0f;
            return !callback || callback->registerProgress(double(_done), percent);
        },
        [this, callback](int status) {
            if (status == 0 && !_target->commit())
                status = links::kIOReturnIOError;
            if (status == 0 && callback)
                callback->registerProgress(double(_done), 100.0f);
            endCommand(status);
        });
}

void ObexFileTransferConnection::copyToMobile()
{
    const QString macFile = _current->getParam().toString();
    const bool overwrite = _current->getParam2().toBool();
    qint64 size = 0;
    _source = openRegularFile(macFile, &size);
    if (!_source) {
        endCommand(kMissingSource);
        return;
    }
    if (size > qint64(0xFFFFFFFFll)) {
        endCommand(links::kIOReturnOverrun);
        return;
    }
    _total = size;
    _done = 0;
    const QString name = QFileInfo(macFile).fileName();
    if (overwrite) {
        putNextChunk(true);
        return;
    }
    listFolder([this, name](int status, const FTPFileList& entries) {
        if (status != 0) {
            endCommand(status);
            return;
        }
        if (std::any_of(entries.cbegin(), entries.cend(),
                        [&](const std::shared_ptr<FTPFile>& e) { return e->fileName() == name; })) {
            endCommand(kDuplicateName);
            return;
        }
        putNextChunk(true);
    });
}

void ObexFileTransferConnection::putNextChunk(bool first)
{
    QByteArray headers;
    if (first) {
        headers = connectionIDHeader();
        obex::addNameHeader(headers, QFileInfo(_current->getParam().toString()).fileName());
        obex::addLengthHeader(headers, uint32_t(_total));
    }
    const int room = _session->putBodyRoom(int(headers.size()));
    if (room <= 0) {
        endCommand(obex::kErrHeadersTooLong);
        return;
    }
    const QByteArray chunk = _source->read(std::min<qint64>(room, _total - _done));
    if (chunk.isEmpty() && _done < _total) {
        // The file shrank while it was sent.
        endCommand(links::kIOReturnIOError);
        return;
    }
    _done += chunk.size();
    const bool final = _done >= _total;
    auto callback = _current->getDevCallback();
    _next = [this, callback, final](const OBEXSessionEvent& event) {
        const uint8_t code = event.response.serverResponseOpCode;
        if (code == obex::kResponseContinue && !final) {
            const float percent = _total > 0 ? float(double(_done) * 100.0 / double(_total)) : 100.0f;
            if (callback && !callback->registerProgress(double(_done), percent)) {
                abortThenEnd(kCancelled);
                return;
            }
            putNextChunk(false);
            return;
        }
        if (!isSuccess(code)) {
            endCommand(code == obex::kResponseNotFound ? kMissingFolder : refusal(code));
            return;
        }
        if (callback)
            callback->registerProgress(double(_done), 100.0f);
        endCommand(0);
    };
    sent(_session->OBEXPut(final, headers.isEmpty() ? nullptr : headers.constData(), int(headers.size()),
                           chunk.constData(), int(chunk.size()), handler()));
}

// --- the file jobs' calls ---

int ObexFileTransferConnection::getDirectoryContentsAtPath(const QString& path,
                                                           const std::shared_ptr<QVDeviceCallback>& callback)
{
    if (!isSoundPhonePath(path))
        return kMissingFolder;
    return enqueue(ObexCommand::kDirList, callback, path);
}

int ObexFileTransferConnection::makeFolder(const QString& path, const std::shared_ptr<QVDeviceCallback>& callback)
{
    if (!isSoundPhonePath(path) || path == QLatin1String("/"))
        return kMissingFolder;
    return enqueue(ObexCommand::kNewFolder, callback, parentOf(path), nameOf(path));
}

int ObexFileTransferConnection::deleteFile(const QString& path, const std::shared_ptr<QVDeviceCallback>& callback)
{
    if (!isSoundPhonePath(path) || path == QLatin1String("/"))
        return kMissingSource;
    return enqueue(ObexCommand::kDelete, callback, parentOf(path), nameOf(path));
}

int ObexFileTransferConnection::copyFromMobileToMac(const QString& phoneFile, const QString& macFolder,
                                                    bool overwritingAllowed,
                                                    const std::shared_ptr<QVDeviceCallback>& callback)
{
    if (!isSoundPhonePath(phoneFile) || phoneFile == QLatin1String("/"))
        return kMissingSource;
    return enqueue(ObexCommand::kCopyToMac, callback, parentOf(phoneFile), nameOf(phoneFile),
                   QVariantMap{{QStringLiteral("folder"), macFolder}, {QStringLiteral("overwrite"), overwritingAllowed}});
}

int ObexFileTransferConnection::copyFromMacToMobile(const QString& macFile, const QString& phoneFolder,
                                                    bool overwritingAllowed,
                                                    const std::shared_ptr<QVDeviceCallback>& callback)
{
    if (!isSoundPhonePath(phoneFolder))
        return kMissingFolder;
    if (!obexlisting::isSoundEntryName(QFileInfo(macFile).fileName()))
        return kMissingSource;
    return enqueue(ObexCommand::kCopyToMobile, callback, phoneFolder, macFile, overwritingAllowed);
}

int ObexFileTransferConnection::doesExist(const QString& path, const std::shared_ptr<QVDeviceCallback>& callback)
{
    if (!isSoundPhonePath(path))
        return kMissingFolder;
    return enqueue(kExists, callback, parentOf(path), path == QLatin1String("/") ? QString() : nameOf(path));
}

int ObexFileTransferConnection::getCapabilities(const std::shared_ptr<QVDeviceCallback>& callback)
{
    return enqueue(kCapability, callback, QString());
}

// --- volumes ---

void ObexFileTransferConnection::arrangeVolumes(const QString& internalPath, const QString& externalPath,
                                                const FTPFileList& root)
{
    const auto listed = [&](const QString& path) {
        if (!isSoundPhonePath(path) || path == QLatin1String("/"))
            return false;
        if (root.isEmpty())
            return true;   // no listing to check against: taken as given
        const QString first = path.mid(1).section(QLatin1Char('/'), 0, 0);
        return std::any_of(root.cbegin(), root.cend(), [&](const std::shared_ptr<FTPFile>& e) {
            return e && e->isDirectory() && e->fileName().compare(first, Qt::CaseInsensitive) == 0;
        });
    };
    _disks[0] = listed(internalPath) ? internalPath : QStringLiteral("/");
    _disks[1] = listed(externalPath) && externalPath != _disks[0] ? externalPath : QString();
    _volumesArranged = true;
}

void ObexFileTransferConnection::findAndArrangeSamsungVolumes(const QString& internalPath,
                                                              const QString& externalPath, const FTPFileList& root)
{
    QString internal = internalPath;
    if (internal.isEmpty()) {
        // The phone's memory is the first root folder that is not the card.
        for (const auto& entry : root) {
            const QString path = QLatin1Char('/') + entry->fileName();
            if (entry->isDirectory() && path.compare(externalPath, Qt::CaseInsensitive) != 0) {
                internal = path;
                break;
            }
        }
    }
    arrangeVolumes(internal, externalPath, root);
}

QString ObexFileTransferConnection::diskName(int disk) const
{
    return disk == 0 || disk == 1 ? _disks[disk] : QString();
}

QString ObexFileTransferConnection::pathToFileOnDisk(const QString& path, int disk) const
{
    const QString base = diskName(disk);
    if (base.isEmpty())
        return QString();
    const QString rest = path.startsWith(QLatin1Char('/')) ? path.mid(1) : path;
    return rest.isEmpty() ? base : joined(base, rest);
}

// --- the maker ---

namespace links {

std::unique_ptr<ObexFileTransferConnection> makeObexFileTransferConnection(MFDeviceLinkOwner& owner,
                                                                           const ObexSwitchSettings& settings,
                                                                           const QVariantMap& connectionDict,
                                                                           FTPFileOwner* fileOwner)
{
    const QString connType = owner.connType();
    MFDevice* device = owner.linkDevice();
    if (connType == QLatin1String(CommonSerialConnection::kConnTypeBluetooth)) {
        const auto btDevice =
            platform::btDeviceForAddress(connectionDict.value(QStringLiteral("BT.BT_Address")).toString());
        if (!btDevice)
            return nullptr;
        bool ok = false;
        int channel = connectionDict.value(QStringLiteral("BT.DeviceChannel")).toString().toInt(&ok);
        if (!ok || channel <= 0 || channel >= platform::kNoRfcommChannel)
            channel = platform::obexFTPChannel(*btDevice);
        if (channel <= 0 || channel >= platform::kNoRfcommChannel)
            return nullptr;
        const quint8 pcSuiteChannel = platform::nokiaPCSuiteChannel(*btDevice);
        const bool pcSuite = pcSuiteChannel != platform::kNoRfcommChannel && pcSuiteChannel == channel;
        auto connection = std::make_unique<ObexFileTransferConnection>(
            device, owner.linkDeviceInfo(), connType,
            [device, connectionDict, channel] {
                return std::make_unique<BTObexSession>(device, connectionDict, quint8(channel));
            },
            fileOwner, pcSuite);
        owner.registerConnection(QStringLiteral("FTP"), {{QStringLiteral("type"), connType},
                                                          {QStringLiteral("channel"), QVariant::fromValue(short(channel))}});
        return connection;
    }
    if (connType == QLatin1String(CommonSerialConnection::kConnTypeUSBSerial)) {
        auto connection = std::make_unique<ObexFileTransferConnection>(
            device, owner.linkDeviceInfo(), connType,
            [device, settings, connectionDict, connType]() -> std::unique_ptr<ObexATSwitchTransportLayer> {
                return std::make_unique<CommonObexATSwitchTransportLayer>(device, settings, connectionDict, connType,
                                                                          false);
            },
            fileOwner, false);
        registerWithOwner(owner, QStringLiteral("FTP"), connectionDict);
        return connection;
    }
    return nullptr;
}

} // namespace links
