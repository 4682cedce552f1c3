#pragma once

#include "phonejobs/ActionRequestService.h"

// The base of the jobs that work through an organizer-kit or Samsung
// connection: display lines, a percentage and the status to end with.
class ActionExternalConnection : public ActionRequestService {
public:
    ActionExternalConnection(const QString& serviceName, std::shared_ptr<QVActionNotify> notify, QVariant userInfo);
    ~ActionExternalConnection() override;

    // The finish of the close a subclass makes at its end: ends the job with
    // the close's user info as code, or with the stored status when that is 0.
    void endActionStep2(QVDeviceCallback& callback);
    QString displayString() const override { return _headLine; }
    QString displaySubString() const override { return _subLine; }

protected:
    float _prozDone = 0;
    int _externalConnectionStatus = 0;
    QString _headLine;
    QString _subLine;
};
