#pragma once

#include "kitbridges/OrganizerAsyncBasisBridge.h"

#include <functional>

class OrganizerAsyncReceiver;

// The bridge of the organizer jobs: phonebook, calendar and task reads and
// writes through the organizer kit, one at a time, each answered by one
// received or written callback. Progress comes as percent: a phonebook read
// 0-50 and its write 50-100, a calendar read 0-25, a task read 25-50. Progress
// the kit sends after a final callback reaches no receiver; after the
// phonebook- or tasks-written callback the bridge reports nothing more. On a
// phone without kit each operation ends with -1 on a later pass.
class OrganizerAsyncBridge : public OrganizerAsyncBasisBridge {
public:
    static std::shared_ptr<OrganizerAsyncBridge> organizerBridgeWithAddress(
        MFDeviceLinkOwner* device, OrganizerAsyncReceiver* notifier, const OrganizerKitMaker& makeKit = makeKestrova);

    void readMotorolaPhonebook();
    void writeMotorolaPhonebook(const QVariantMap& entries);
    void readMotorolaCalendar();
    void writeMotorolaCalendar(const QVariantMap& entries);
    void readMotorolaTasks();
    // Not served: raises "writeMotorolaTasks depricated".
    [[noreturn]] void writeMotorolaTasks(const QVariantMap& entries);

    void organizerKitPhonebookRead(Kestrova* kit, const std::optional<QVariantMap>& data, int errorCode) override;
    void organizerKitPhonebookReadProzDone(Kestrova* kit, float prozDone) override;
    void organizerKitPhonebookEntriesWritten(Kestrova* kit, const std::optional<QVariantMap>& conversions,
                                             int errorCode) override;
    void organizerKitCalendarRead(Kestrova* kit, const std::optional<QVariantMap>& data, int errorCode) override;
    void organizerKitCalendarActionDone(Kestrova* kit, float prozDone) override;
    void organizerKitCalendarEntriesWritten(Kestrova* kit, const std::optional<QVariantMap>& conversions,
                                            int errorCode) override;
    void organizerKitTasksRead(Kestrova* kit, const std::optional<QVariantMap>& data, int errorCode) override;
    void organizerKitTasksWritten(Kestrova* kit, const std::optional<QVariantMap>& conversions, int errorCode) override;
    void organizerKitTasksActionDone(Kestrova* kit, float prozDone) override;

protected:
    QString className() const override { return QStringLiteral("OrganizerAsyncBridge"); }

private:
    struct Passkey { };

public:
    OrganizerAsyncBridge(Passkey, OrganizerAsyncReceiver* notifier) : _notifier(notifier) { }

private:
    // Logs the operation, sets the family of the index (none: -1) and starts
    // the kit call; without kit the final callback gets -1 later.
    using FinalCallback = void (OrganizerAsyncBridge::*)(Kestrova*, const std::optional<QVariantMap>&, int);
    void start(const char* operation, int familyIndex, const std::function<void(OrganizerBridgeKit&)>& call,
               FinalCallback final);
    void percent(float offset, float prozDone, float span);
    void finalCallback();

    OrganizerAsyncReceiver* _notifier = nullptr;
    bool _isInWritingPhase = false;
    bool _awaitingFinal = false;
};
