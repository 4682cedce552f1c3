#pragma once

#include "kestrova/core/KestrovaVendorChain.h"
#include "kestrova/core/SLTInvocation.h"
#include "kestrova/vendors/SLTCommDeviceLgCalendarExt.h"

#include <QStringList>
#include <QVariantMap>
#include <memory>
#include <optional>

class SLTCommDeviceLgSmsExt;

// The LG calendar and tasks chains of the organizer kit: the calendar read,
// the tasks read and the calendar write (events and tasks in one list), each
// opening the application port, preparing, going entry by entry and closing
// the port, with exactly one final callback. The "lg" chain object serves
// them through this part. Keys: "<slot>-E" events, "<slot>-T" tasks
// ({"task": ...}), "T-..." new entries. Main thread only.
class KestrovaLgCalendarExt : public KestrovaVendorChain {
public:
    // A read that outruns this many entries stops: the phone announces no count.
    static constexpr int kMaxEntries = 10000;

    explicit KestrovaLgCalendarExt(Kestrova& kit);
    ~KestrovaLgCalendarExt() override;

    bool getCalendarEntries() override;
    bool writeCalendarEntries(const QVariantMap& entries) override;
    bool getTasks() override;
    bool abortAction() override;

    static bool isEventKey(const QString& key);
    static QString stripKey(const QString& key);

    // The read bound of every chain; tests lower it to reach it quickly.
    static void setMaxEntries(int max) { s_maxEntries = max; }

private:
    using Kind = SLTCommDeviceLgCalendarExt::Kind;
    SLTCommDeviceLgSmsExt& port();
    SLTCommDeviceLgCalendarExt& organizer();
    void start(void (KestrovaLgCalendarExt::*stageMethod)(const QVariantMap&));
    void closePort();
    void progress(float fraction);
    void finishRead(const std::optional<QVariantMap>& data, int errorCode);
    void finishWrite(const std::optional<QVariantMap>& conversions, int errorCode);
    void readStage(const QVariantMap& answer);
    void writeStage(const QVariantMap& answer);
    void recordOutcome(const QString& step, const QVariantMap& answer);
    void writeNextEntry();

    static inline int s_maxEntries = kMaxEntries;
    std::shared_ptr<SLTInvocation> _stage;
    Kind _kind = Kind::Calendar;
    bool _doAbort = false;
    bool _finished = true;
    bool _closing = false;
    bool _bounded = false;
    int _entriesRead = 0;
    std::optional<QVariantMap> _currentCalendar;
    QVariantMap _tempMutableDict;
    QVariantMap _tempMutableDict2;
    QStringList _tempMutableDictEnum;
    QString _currentEntryString;
    Kind _currentEntryKind = Kind::Calendar;
};
