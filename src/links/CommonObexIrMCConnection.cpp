#include "links/CommonObexIrMCConnection.h"

#include "links/LinkCodes.h"
#include "links/ObexHeaders.h"
#include "links/ObexPacket.h"
#include "links/ObjectPushCommand.h"

namespace {
constexpr uint8_t kSetPathUp = 0x01;
constexpr uint8_t kSetPathDontCreate = 0x02;

bool commonObexIrMCNameIsSafe(const QString& part)
{
    return !part.isEmpty() && part != QLatin1String(".") && part != QLatin1String("..") && !part.contains(QChar(0));
}
} // namespace

QString CommonObexIrMCConnection::className() const
{
    return QStringLiteral("CommonObexIrMCConnection");
}

QString CommonObexIrMCConnection::changeLogName(const QString& anchor)
{
    return QStringLiteral("telecom/pb/luid/%1.log").arg(anchor);
}

QString CommonObexIrMCConnection::luidObjectName(const QString& luid)
{
    return QStringLiteral("telecom/pb/luid/%1.vcf").arg(luid);
}

QString CommonObexIrMCConnection::indexObjectName(const QString& index)
{
    return QStringLiteral("telecom/pb/%1.vcf").arg(index);
}

QString CommonObexIrMCConnection::newEntryObjectName()
{
    return luidObjectName(QStringLiteral("zapis"));
}

int CommonObexIrMCConnection::startCheck() const
{
    if (_canceled)
        return kCancelled;
    if (!_obexSession || !_obexSession->hasOpenTransportConnection())
        return kNoSession;
    if (_currentCommand) {
        logLine(QStringLiteral("\n##### [%1] BUSY: one request at a time\n").arg(className()));
        return kBusy;
    }
    return 0;
}

int CommonObexIrMCConnection::getObject(const std::shared_ptr<ObjectPushCommand>& command, const QString& name,
                                        const QByteArray& type)
{
    QByteArray headers;
    obex::addConnectionIDHeader(headers, _sessionID);
    if (!name.isNull() && !obex::addNameHeader(headers, name))
        return kBadName;
    if (!type.isEmpty())
        obex::addTypeHeader(headers, type);
    setGetHeader(headers);
    _expectedAmountOfData = 0;
    const int status = _obexSession->OBEXGet(true, headers.constData(), int(headers.size()), eventHandler(),
                                             command->asVariant());
    if (status != 0)
        _getHeaders.clear();
    return status;
}

int CommonObexIrMCConnection::putObject(const std::shared_ptr<ObjectPushCommand>& command, const QString& name,
                                        bool askAppParams)
{
    QByteArray headers;
    obex::addConnectionIDHeader(headers, _sessionID);
    if (!obex::addNameHeader(headers, name))
        return kBadName;
    const QByteArray& data = command->dataToSend();
    if (data.isEmpty()) {
        // No body at all: the phone deletes the object.
        return _obexSession->OBEXPut(true, headers.constData(), int(headers.size()), nullptr, 0, eventHandler(),
                                     command->asVariant());
    }
    obex::addLengthHeader(headers, uint32_t(data.size()));
    if (askAppParams)
        obex::addApplicationParameterHeader(headers, QByteArray());
    setPutHeader(headers);
    bool done = false;
    const int status = sendPutChunk(command, maxLenWithoutHeader(), headers, &done);
    if (status != 0)
        _putHeaders.clear();
    return status;
}

namespace {
// Starts one request with the command as the one in flight; a request that
// did not go out leaves no command behind.
int commonObexIrMCStart(CommonObexIrMCConnection& connection, std::shared_ptr<ObjectPushCommand>& current,
                        const std::shared_ptr<ObjectPushCommand>& command, const std::function<int()>& send)
{
    (void)connection;
    current = command;
    const int status = send();
    if (status != 0 && current == command)
        current.reset();
    return status;
}
} // namespace

int CommonObexIrMCConnection::requestInfoLogForPB(const std::shared_ptr<ObjectPushCommand>& command)
{
    if (const int busy = startCheck())
        return busy;
    return commonObexIrMCStart(*this, _currentCommand, command,
                               [&] { return getObject(command, QLatin1String(kInfoLogName), QByteArray()); });
}

int CommonObexIrMCConnection::requestChangeLogForPB(const std::shared_ptr<ObjectPushCommand>& command)
{
    if (const int busy = startCheck())
        return busy;
    return commonObexIrMCStart(*this, _currentCommand, command,
                               [&] { return getObject(command, QLatin1String(kChangeCounterName), QByteArray()); });
}

int CommonObexIrMCConnection::requestNumberedLogForPB(const std::shared_ptr<ObjectPushCommand>& command,
                                                      const QString& anchor)
{
    if (const int busy = startCheck())
        return busy;
    return commonObexIrMCStart(*this, _currentCommand, command,
                               [&] { return getObject(command, changeLogName(anchor), QByteArray()); });
}

int CommonObexIrMCConnection::requestMainDataForPB(const std::shared_ptr<ObjectPushCommand>& command)
{
    if (const int busy = startCheck())
        return busy;
    return commonObexIrMCStart(*this, _currentCommand, command,
                               [&] { return getObject(command, QLatin1String(kPhonebookName), QByteArray()); });
}

int CommonObexIrMCConnection::requestNumberedObjectStoreForPB(const std::shared_ptr<ObjectPushCommand>& command,
                                                              const QString& luid)
{
    if (const int busy = startCheck())
        return busy;
    return commonObexIrMCStart(*this, _currentCommand, command,
                               [&] { return getObject(command, luidObjectName(luid), QByteArray()); });
}

int CommonObexIrMCConnection::requestIndexItemForPB(const std::shared_ptr<ObjectPushCommand>& command,
                                                    const QString& index)
{
    if (const int busy = startCheck())
        return busy;
    return commonObexIrMCStart(*this, _currentCommand, command,
                               [&] { return getObject(command, indexObjectName(index), QByteArray()); });
}

int CommonObexIrMCConnection::pushDataObjectForPB(const std::shared_ptr<ObjectPushCommand>& command,
                                                  const QString& objectName, bool askAppParams)
{
    if (const int busy = startCheck())
        return busy;
    return commonObexIrMCStart(*this, _currentCommand, command,
                               [&] { return putObject(command, objectName, askAppParams); });
}

// --- folders and files ---

std::optional<QStringList> CommonObexIrMCConnection::pathSteps(const QString& path)
{
    QStringList steps{QString()};
    for (const QString& part : path.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (!commonObexIrMCNameIsSafe(part))
            return std::nullopt;
        steps.append(part);
    }
    return steps;
}

int CommonObexIrMCConnection::sendSetPathStep(const std::shared_ptr<ObjectPushCommand>& command)
{
    const QString step = _setPathSteps.takeFirst();
    QByteArray headers;
    obex::addConnectionIDHeader(headers, _sessionID);
    uint8_t flags = kSetPathDontCreate;
    if (step == QLatin1String(".."))
        flags |= kSetPathUp;
    else if (!obex::addNameHeader(headers, step))
        return kBadName;
    return _obexSession->OBEXSetPath(flags, 0, headers.constData(), int(headers.size()), eventHandler(),
                                     command->asVariant());
}

int CommonObexIrMCConnection::runWithSteps(const std::shared_ptr<ObjectPushCommand>& command, const QStringList& steps,
                                           std::function<int()> after)
{
    if (const int busy = startCheck())
        return busy;
    _setPathSteps = steps;
    _afterSetPath = std::move(after);
    const int status = commonObexIrMCStart(*this, _currentCommand, command, [&] {
        if (_setPathSteps.isEmpty())
            return std::exchange(_afterSetPath, nullptr)();
        return sendSetPathStep(command);
    });
    if (status != 0) {
        _setPathSteps.clear();
        _afterSetPath = nullptr;
    }
    return status;
}

void CommonObexIrMCConnection::OBEXSetPathHandler(const OBEXSessionEvent& event)
{
    const bool ok = event.response.serverResponseOpCode == obex::kResponseSuccess;
    const auto command = _currentCommand;
    if (!ok || !command) {
        _setPathSteps.clear();
        _afterSetPath = nullptr;
        ObexServiceConnection::OBEXSetPathHandler(event);
        return;
    }
    int status = 0;
    if (!_setPathSteps.isEmpty()) {
        status = sendSetPathStep(command);
    } else if (_afterSetPath) {
        status = std::exchange(_afterSetPath, nullptr)();
    } else {
        ObexServiceConnection::OBEXSetPathHandler(event);
        return;
    }
    if (status != 0) {
        _setPathSteps.clear();
        _afterSetPath = nullptr;
        removeCommand(command, status, true);
    }
}

int CommonObexIrMCConnection::setPath(const std::shared_ptr<ObjectPushCommand>& command, const QString& path)
{
    if (path == QLatin1String(".."))
        return runWithSteps(command, {QStringLiteral("..")}, nullptr);
    const auto steps = pathSteps(path);
    if (!steps)
        return kBadName;
    return runWithSteps(command, *steps, nullptr);
}

int CommonObexIrMCConnection::requestDirectoryListing(const std::shared_ptr<ObjectPushCommand>& command)
{
    if (const int busy = startCheck())
        return busy;
    return commonObexIrMCStart(*this, _currentCommand, command,
                               [&] { return getObject(command, QString(), QByteArray(kListingType)); });
}

namespace {
// The folder steps and the last component of a file path.
std::optional<std::pair<QStringList, QString>> commonObexIrMCSplitFile(const QString& path)
{
    QStringList parts = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (parts.isEmpty())
        return std::nullopt;
    for (const QString& part : parts) {
        if (!commonObexIrMCNameIsSafe(part))
            return std::nullopt;
    }
    // A bare name is taken in the current folder; a path from the root.
    QStringList steps;
    if (path.contains(QLatin1Char('/')))
        steps.append(QString());
    const QString name = parts.takeLast();
    steps.append(parts);
    return std::make_pair(steps, name);
}
} // namespace

int CommonObexIrMCConnection::requestDownloadFile(const std::shared_ptr<ObjectPushCommand>& command,
                                                  const QString& path)
{
    const auto split = commonObexIrMCSplitFile(path);
    if (!split)
        return kBadName;
    const QString name = split->second;
    return runWithSteps(command, split->first, [this, command, name] { return getObject(command, name, {}); });
}

int CommonObexIrMCConnection::pushFileData(const std::shared_ptr<ObjectPushCommand>& command, const QString& path)
{
    const auto split = commonObexIrMCSplitFile(path);
    if (!split)
        return kBadName;
    const QString name = split->second;
    return runWithSteps(command, split->first, [this, command, name] {
        if (!command->dataToSend().isEmpty())
            return putObject(command, name, false);
        // An empty file goes with an empty End-of-Body: a Put without any
        // body would delete the phone's file.
        QByteArray headers;
        obex::addConnectionIDHeader(headers, _sessionID);
        if (!obex::addNameHeader(headers, name))
            return kBadName;
        obex::addLengthHeader(headers, 0);
        obex::addBodyHeader(headers, QByteArray(), true);
        return _obexSession->OBEXPut(true, headers.constData(), int(headers.size()), nullptr, 0, eventHandler(),
                                     command->asVariant());
    });
}

int CommonObexIrMCConnection::deleteFile(const std::shared_ptr<ObjectPushCommand>& command, const QString& path)
{
    const auto split = commonObexIrMCSplitFile(path);
    if (!split)
        return kBadName;
    const QString name = split->second;
    return runWithSteps(command, split->first, [this, command, name] {
        // A delete never carries data, whatever the command holds.
        command->setDataToSend(QByteArray());
        return putObject(command, name, false);
    });
}
