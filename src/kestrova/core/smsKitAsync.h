#pragma once

#include "kestrova/core/MultiCommDevice.h"

#include <QString>
#include <QVariantList>
#include <QVariantMap>
#include <optional>

class QVSmsKitAsync;

// What an SMS kit tells its caller; every method has the kit that calls as
// its first argument. Progress is a percent; error codes as in KitErrors.h.
// The transports also tell the callback, just before a channel closes
// (smsKitWillCloseChannel).
class smsKitAsync : public SLTWillCloseCallback {
public:
    ~smsKitAsync() override = default;
    // Once per box holding messages: "inbox", "drafts", "sent", in that order.
    virtual void smsKitReadingBoxData(QVSmsKitAsync*, const QVariantList&, const QString&) {}
    virtual void smsKitReadingFinished(QVSmsKitAsync*, int) {}
    virtual void smsKitReadingProgress(QVSmsKitAsync*, float) {}
    virtual void smsKitMessageDeleted(QVSmsKitAsync*, const QVariantMap&) {}
    virtual void smsKitMessageDeletingFinished(QVSmsKitAsync*, int) {}
    virtual void smsKitSendTextMessageFinished(QVSmsKitAsync*, int) {}
    virtual void smsKitMessagePartSent(QVSmsKitAsync*) {}
    // nullopt: the usage could not be read.
    virtual void smsKitMemoryUsage(QVSmsKitAsync*, const std::optional<QVariantList>&) {}
    void smsKitWillCloseChannel(const void*) override {}
};
