#pragma once

#include <QList>
#include <QString>
#include <QVariantMap>

#include <optional>

class TrashedItem;

// What the organizer windows ask of the application shell: the trash period
// and the main window's current phone. The shell implements it and installs
// it at start; without one the organizer reads the period from the user
// defaults and knows no current phone.
class OrganizerHost {
public:
    virtual ~OrganizerHost() = default;

    // Days after which trashed items go ("Empty trash after"; 61 when unset).
    virtual int emptyTrashPeriod() = 0;
    // The device-list entry of the main window's current phone; none when
    // the main window has no phone.
    virtual std::optional<QVariantMap> currentPhoneEntry() = 0;
    // Hands the entries to the current phone's organizer storages; false
    // (nothing done) when there is no current phone or it is not open.
    virtual bool restoreToCurrentPhone(const QList<TrashedItem*>& items) = 0;

    static OrganizerHost* shared();
    static void setShared(OrganizerHost* host);
    // The host's period, else the user defaults' (61 when unset or not a
    // positive number).
    static int trashPeriodDays();
};
