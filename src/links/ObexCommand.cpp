#include "links/ObexCommand.h"

#include "foundation/MoreUNIX.h"
#include "foundation/NamedLog.h"
#include "links/QVDeviceCallback.h"

namespace {
QString shown(const QVariant& value)
{
    return value.toString();
}
} // namespace

ObexCommand::ObexCommand(quint32 command, std::shared_ptr<QVDeviceCallback> callback, QVariant wantedDirectory,
                         QVariant param, QVariant param2)
    : _command(command)
    , _devCallback(std::move(callback))
    , _wantedDirectory(std::move(wantedDirectory))
    , _param(std::move(param))
    , _param2(std::move(param2))
{
}

std::shared_ptr<ObexCommand> ObexCommand::commandWithData(quint32 command, std::shared_ptr<QVDeviceCallback> callback,
                                                          QVariant wantedDirectory, QVariant param, QVariant param2)
{
    return std::make_shared<ObexCommand>(command, std::move(callback), std::move(wantedDirectory), std::move(param),
                                         std::move(param2));
}

std::shared_ptr<ObexCommand> ObexCommand::commandWithDataAsync(quint32 command,
                                                               std::shared_ptr<QVDeviceCallback> callback,
                                                               QVariant wantedDirectory, QVariant param,
                                                               QVariant param2)
{
    return commandWithData(command, std::move(callback), std::move(wantedDirectory), std::move(param),
                           std::move(param2));
}

std::shared_ptr<ObexCommand> ObexCommand::commandWithError(int error, std::shared_ptr<QVDeviceCallback> callback)
{
    auto command = commandWithData(kDummy, std::move(callback), {}, {}, {});
    command->setStatusAndResultSilent(error, QVariant(), false);
    return command;
}

QString ObexCommand::description() const
{
    const auto with = [](const char* text, const QVariant& value) {
        return QStringLiteral("<ObexCommand>  %1 (%2)").arg(QLatin1String(text), shown(value));
    };
    switch (_command) {
    case kOpen:
        return QStringLiteral("<ObexCommand>  Open Connection");
    case kClose:
        return QStringLiteral("<ObexCommand>  Close Connection");
    case kSetDirectory:
        return with("Set Directory", _param);
    case kDirList:
        return with("Dirlist", _wantedDirectory);
    case kCopyToMobile:
        return with("Copy to mobile", _param);
    case kCopyToMac:
        return with("Copy to Mac", _param);
    case kDelete:
        return with("Delete file", _param);
    case kNewFolder:
        return with("New folder", _param);
    case kPush:
        return with("Push file", _param);
    case kDummy:
        return QStringLiteral("<ObexCommand> Dummy");
    default:
        return QStringLiteral("<ObexCommand>  ????");
    }
}

void ObexCommand::setStatusAndResultSilent(int status, const QVariant& result, bool silent)
{
    _status = status;
    _retData = result;
    _isBusy = false;
    if (status != 0 && status != moreunix::kCancelled)
        QVLOG(qvlog::kXT, QStringLiteral("Command %1 failed with error:%2").arg(description()).arg(status));
    if (!silent && _devCallback)
        _devCallback->finishWithResult(status, result);
}

void ObexCommand::setStepDirectory(const QVariant& folder, int reqLevel)
{
    _stepDirectory = folder;
    _reqPathLevel = reqLevel;
}
