#pragma once

#include "kestrova/core/KestrovaVendorChain.h"
#include "kestrova/core/organizerKitAsync.h"
#include "kestrova/core/SLTInvocation.h"

#include <QStringList>
#include <QVariantMap>
#include <memory>
#include <optional>

class SLTCommDeviceLgSmsExt;
class SLTCommDeviceLgPhonebookExt;
class KestrovaLgCalendarExt;

// The LG chains of the organizer kit for every family beginning "lg": the
// phonebook read and write, each opening the application port, preparing the
// phonebook, reading or writing entry by entry and closing the port, with
// exactly one final callback; the calendar and tasks go to its calendar part.
// Main thread only.
class KestrovaLgPhonebookExt : public KestrovaVendorChain {
public:
    explicit KestrovaLgPhonebookExt(Kestrova& kit);
    ~KestrovaLgPhonebookExt() override;

    bool getPhonebookEntries() override;
    bool writePhonebookEntries(const QVariantMap& entries) override;
    bool getCalendarEntries() override;
    bool writeCalendarEntries(const QVariantMap& entries) override;
    bool getTasks() override;
    KestrovaLgCalendarExt& calendar() { return *_calendar; }
    // Sets the kit's and the engine's abort flags: a read closes the port at
    // the next entry and reports nothing with 0, a write closes it and
    // reports the conversions so far.
    bool abortAction() override;

    // Whether a write-list key names a new entry ("T-...") or a slot.
    static bool isNewEntryKey(const QString& key);
    static std::optional<int> slotOfKey(const QString& key);

private:
    SLTCommDeviceLgSmsExt& port();
    SLTCommDeviceLgPhonebookExt& phonebook();
    std::shared_ptr<SLTInvocation> stage(void (KestrovaLgPhonebookExt::*method)(const QVariantMap&));
    using FinalCallback = void (organizerKitAsync::*)(Kestrova*, const std::optional<QVariantMap>&, int);
    // Clears the flags and opens the port for a job whose stage is stageMethod.
    void startJob(void (KestrovaLgPhonebookExt::*stageMethod)(const QVariantMap&));
    // The job's one final callback.
    void finish(FinalCallback final, const std::optional<QVariantMap>& data, int errorCode);
    void progress(float fraction);
    // A "progress" step's percentage as a fraction.
    void progressStep(const QVariantMap& answer);
    void getLgViewtyPhonebookStage2(const QVariantMap& answer);
    void writeLgViewtyPhonebookStage2(const QVariantMap& answer);
    void writeNextEntry();
    void closePort();
    void finishRead(const std::optional<QVariantMap>& data, int errorCode);
    void finishWrite(const std::optional<QVariantMap>& conversions, int errorCode);
    void failWrite(const QVariantMap& answer);

    std::unique_ptr<KestrovaLgCalendarExt> _calendar;
    std::shared_ptr<SLTInvocation> _stage;
    bool _doAbort = false;
    bool _finished = true;
    bool _closing = false;
    QVariantMap _currentPhonebook;
    QVariantMap _tempMutableDict;
    QVariantMap _tempMutableDict2;
    QStringList _tempMutableDictEnum;
    QString _currentEntryString;
};
