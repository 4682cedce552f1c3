#pragma once

#include "phonejobs/ActionRequestService.h"

#include <memory>

class CommonSerialConnection;

// A job on the phone's AT connection (service "Serial").
class ActionDUNServices : public ActionRequestService {
public:
    ActionDUNServices(std::shared_ptr<QVActionNotify> notify, QVariant userInfo);
    ~ActionDUNServices() override;
    template <class T = ActionDUNServices>
    static std::shared_ptr<T> allocActionDUNServices(std::shared_ptr<QVActionNotify> notify, QVariant userInfo)
    {
        return std::make_shared<T>(std::move(notify), std::move(userInfo));
    }

    // kIOReturnNoDevice on a device without AT connection.
    int startAction() override;
    QString description() const override;
    // Extends the device's pause by its pause after a close; on a Gigaset
    // closes the AT connection first and waits for the close (at most 99
    // slices of 0.1 s).
    void endAction(int code) override;

protected:
    // The device's AT connection, or null.
    CommonSerialConnection* serialLink() const;
};
