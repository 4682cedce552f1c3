#include "links/ObjectServerCommand.h"

#include "foundation/QuorNSDataExtensions.h"

ObjectServerCommand::ObjectServerCommand(int command, const QByteArray& data, const void* sender,
                                         FinishFunction function,
                                         const std::shared_ptr<QVDeviceCallback>& higherCallback)
    : ObjectPushCommand(command, data, sender, std::move(function), QVariant(), higherCallback)
{
    _isServerCommand = true;
}

std::shared_ptr<ObjectServerCommand> ObjectServerCommand::objectServerCommandWithDataAndCallback(
    int command, const QByteArray& data, const void* sender, FinishFunction function,
    const std::shared_ptr<QVDeviceCallback>& higherCallback)
{
    return std::make_shared<ObjectServerCommand>(command, data, sender, std::move(function), higherCallback);
}

QString ObjectServerCommand::className() const
{
    return QStringLiteral("ObjectServerCommand");
}

QString ObjectServerCommand::description() const
{
    QString text = QStringLiteral("------------ ObjectServerCommand ------------\n");
    text += QStringLiteral("(Cmd = %1) Addr = %2\n").arg(command()).arg(addressText());
    if (!dataToSend().isNull())
        text += QStringLiteral("sent DATA:\n%1\n").arg(formattedDescription(dataToSend()));
    if (!dataReceived().isNull())
        text += QStringLiteral("received DATA:\n%1\n").arg(formattedDescription(dataReceived()));
    return text;
}
