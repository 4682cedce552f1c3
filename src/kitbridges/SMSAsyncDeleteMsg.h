#pragma once

#include <QString>
#include <QVariantMap>

class SMSAsyncDeleter;

// What the SMS delete job hears from its bridge.
class SMSAsyncDeleteMsg {
public:
    virtual ~SMSAsyncDeleteMsg() = default;
    // prozDone: the fraction of the messages deleted so far (0.0 to 1.0).
    virtual void smsMessageDeleted(SMSAsyncDeleter* bridge, const QVariantMap& message, const QString& boxName,
                                   float prozDone) = 0;
    virtual void smsMessageDeletingFinished(SMSAsyncDeleter* bridge, int errorCode) = 0;
};
