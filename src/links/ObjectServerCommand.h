#pragma once

#include "links/ObjectPushCommand.h"

// An OBEX request the phone sent while the program is the OBEX server: the
// session collects its body and answers.
class ObjectServerCommand : public ObjectPushCommand {
public:
    ObjectServerCommand(int command, const QByteArray& data, const void* sender, FinishFunction function,
                        const std::shared_ptr<QVDeviceCallback>& higherCallback);

    static std::shared_ptr<ObjectServerCommand> objectServerCommandWithDataAndCallback(
        int command, const QByteArray& data, const void* sender, FinishFunction function,
        const std::shared_ptr<QVDeviceCallback>& higherCallback);

    QString description() const override;

protected:
    QString className() const override;
};
