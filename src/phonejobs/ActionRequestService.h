#pragma once

#include "phonejobs/ActionDeviceCallback.h"

// A job that uses one service of the phone (its action type): when it is its
// pipe's head it asks the device to open the service's connection and starts
// only once that open has finished, with the open's result.
class ActionRequestService : public ActionDeviceCallback {
public:
    ActionRequestService(const QString& serviceName, std::shared_ptr<QVActionNotify> notify, QVariant userInfo);
    ~ActionRequestService() override;
    // Null for an empty service name.
    static std::shared_ptr<ActionRequestService> initActionRequestService(const QString& serviceName,
                                                                         std::shared_ptr<QVActionNotify> notify,
                                                                         QVariant userInfo);

    QString description() const override;
    // An open completion is pending.
    bool inOpenRequest() const { return bool(_openDeviceCallback); }
    // phonejobcodes::kOpenNotRequested, kIOReturnBusy while the open runs, 0
    // once open, else the open's error.
    int openError() const { return _openError; }
    void openConnectionFinished(QVDeviceCallback& callback);
    bool readyToExecute() override;
    int startAction() override;
    QString actionType() const override;
    void resetActionForStartAfterSuspend() override;

protected:
    std::shared_ptr<QVDeviceCallback> _openDeviceCallback;
    QString _serviceName;
    int _openError;
    bool _checkingReadyToExecute = false;
};
