#pragma once

#include "kestrova/core/MultiCommDevice.h"

#include <QVariantMap>
#include <optional>

class Kestrova;

// What the organizer kit tells its caller; every method has the kit that
// calls as its first argument. data and conversions are nullopt when the
// request produced none; progress is a fraction from 0 to 1.
class organizerKitAsync : public SLTWillCloseCallback {
public:
    ~organizerKitAsync() override = default;
    virtual void organizerKitPhonebookRead(Kestrova*, const std::optional<QVariantMap>&, int) {}
    virtual void organizerKitPhonebookReadProzDone(Kestrova*, float) {}
    virtual void organizerKitPhonebookEntriesWritten(Kestrova*, const std::optional<QVariantMap>&, int) {}
    virtual void organizerKitCalendarRead(Kestrova*, const std::optional<QVariantMap>&, int) {}
    virtual void organizerKitCalendarActionDone(Kestrova*, float) {}
    virtual void organizerKitCalendarEntriesWritten(Kestrova*, const std::optional<QVariantMap>&, int) {}
    virtual void organizerKitTasksRead(Kestrova*, const std::optional<QVariantMap>&, int) {}
    virtual void organizerKitTasksWritten(Kestrova*, const std::optional<QVariantMap>&, int) {}
    virtual void organizerKitTasksActionDone(Kestrova*, float) {}
    void smsKitWillCloseChannel(const void*) override {}
};
