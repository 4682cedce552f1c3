#include "links/ObjectPushCommand.h"

#include "foundation/NamedLog.h"
#include "foundation/QuickLog.h"
#include "foundation/QuorNSDataExtensions.h"
#include "platform/RunLoop.h"
#include "platform/gui/Animation.h"

namespace {
const QString kCollectedFormat = QStringLiteral("[%1 finishCommandDelayed] collected %2 bytes:\n%3\n");
} // namespace

ObjectPushCommand::ObjectPushCommand(int command, const QByteArray& data, const void* sender, FinishFunction function,
                                     const QVariant& userInfo, const std::shared_ptr<QVDeviceCallback>& higherCallback)
    : QVEmbeddedCallback(sender, std::move(function), ProgressFunction{}, userInfo, higherCallback)
    , _command(command)
    , _dataToSend(data)
{
}

std::shared_ptr<ObjectPushCommand> ObjectPushCommand::pushCommandWithData(int command, const QByteArray& data,
                                                                          const void* sender, FinishFunction function)
{
    return pushCommandWithDataUserAndCallback(command, data, sender, std::move(function), QVariant(), nullptr);
}

std::shared_ptr<ObjectPushCommand> ObjectPushCommand::pushCommandWithDataAndCallback(
    int command, const QByteArray& data, const void* sender, FinishFunction function,
    const std::shared_ptr<QVDeviceCallback>& higherCallback)
{
    return pushCommandWithDataUserAndCallback(command, data, sender, std::move(function), QVariant(), higherCallback);
}

std::shared_ptr<ObjectPushCommand> ObjectPushCommand::pushCommandWithDataUserAndCallback(
    int command, const QByteArray& data, const void* sender, FinishFunction function, const QVariant& userInfo,
    const std::shared_ptr<QVDeviceCallback>& higherCallback)
{
    return std::make_shared<ObjectPushCommand>(command, data, sender, std::move(function), userInfo, higherCallback);
}

std::shared_ptr<ObjectPushCommand> ObjectPushCommand::fromVariant(const QVariant& value)
{
    return std::dynamic_pointer_cast<ObjectPushCommand>(value.value<std::shared_ptr<QVDeviceCallback>>());
}

QVariant ObjectPushCommand::asVariant()
{
    return QVariant::fromValue(std::static_pointer_cast<QVDeviceCallback>(shared_from_this()));
}

double ObjectPushCommand::percentSent() const
{
    if (_dataToSend.isEmpty())
        return 0;
    return 100.0 * static_cast<double>(_bytesTransfered) / static_cast<double>(_dataToSend.size());
}

void ObjectPushCommand::collectDataReceived(const char* bytes, qsizetype length)
{
    if (!bytes || length <= 0)
        return;
    if (_dataReceived.isNull())
        _dataReceived.reserve(length);
    _dataReceived.append(bytes, length);
}

void ObjectPushCommand::setAppParams(const char* bytes, qsizetype length)
{
    _appParams = (bytes && length > 0) ? QByteArray(bytes, length) : QByteArray("");
}

long long ObjectPushCommand::appParamsAsLong() const
{
    const qsizetype size = _appParams.size();
    if (size == 0)
        return 0;
    if (size != 1 && size != 2 && size != 4)
        return -1;
    long long value = 0;
    for (const char byte : _appParams)
        value = (value << 8) | static_cast<unsigned char>(byte);
    return value;
}

int ObjectPushCommand::status() const
{
    const int result = returnStatus();
    return result > 0 ? -result : result;
}

void ObjectPushCommand::finishCommand(int status)
{
    auto self = std::static_pointer_cast<ObjectPushCommand>(shared_from_this());
    platform::runloop::performOnMainThread([self, status] { self->finishCommandDelayed(status); });
}

void ObjectPushCommand::finishCommandDelayed(int status)
{
    if (hasSender() && !_dataReceived.isNull())
        QuickLogToNamedLog(qvlog::kXT, kCollectedFormat, className(), _dataReceived.size(),
                           shortDescription(_dataReceived));
    if (status == kStatusCancelled)
        platform::gui::beep();
    finishWithResult(status, QVariant());
}

QString ObjectPushCommand::className() const
{
    return QStringLiteral("ObjectPushCommand");
}

QString ObjectPushCommand::addressText() const
{
    return QStringLiteral("0x%1").arg(reinterpret_cast<quintptr>(this), 8, 16, QLatin1Char('0'));
}

QString ObjectPushCommand::description() const
{
    QString text = QStringLiteral("[ObjectPushCommand] (Cmd = %1) Addr = %2").arg(_command).arg(addressText());
    if (_dataToSend.isNull())
        return text + QStringLiteral("\n");
    return text + QStringLiteral(": %1\n").arg(shortDescription(_dataToSend));
}
