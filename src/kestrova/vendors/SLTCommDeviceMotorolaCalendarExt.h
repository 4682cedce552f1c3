#pragma once

#include "kestrova/core/SLTInvocation.h"
#include "kestrova/vendors/MotorolaCalendarValues.h"

#include <QString>
#include <QVariantMap>
#include <optional>

class SLTCommDevice;
class SLTCommDeviceMotorolaSession;

// The Motorola calendar (date book) commands on the AT engine: the session
// opening and closing, the slot count, range reads, deletes, new and
// overwritten events, and the records as event dictionaries. Two layouts: the
// extended one (21 fields a record) and the older one of "motorola2" (10
// fields). Each request answers the kit's stage once: with the result, or
// without one when the step failed (a command that failed carries
// SLTCommDeviceCommandQueueCommandError). Texts outside "UCS2" are made safe
// for their quotes; a slot that cannot stand in a command is refused as a
// failed command, nothing sent. A record with too few fields or an
// unreadable date gives no event and a log line.
class SLTCommDeviceMotorolaCalendarExt {
public:
    static constexpr int kBatchSize = 50;
    static constexpr int kOldBatchSize = 25;

    // An extension of the engine (SLTCommDevice::extension).
    explicit SLTCommDeviceMotorolaCalendarExt(SLTCommDevice& engine);
    ~SLTCommDeviceMotorolaCalendarExt();
    SLTCommDeviceMotorolaCalendarExt(const SLTCommDeviceMotorolaCalendarExt&) = delete;
    SLTCommDeviceMotorolaCalendarExt& operator=(const SLTCommDeviceMotorolaCalendarExt&) = delete;

    void motorolaCalendarPrepare(const SLTInvocationPtr& stage);
    void motorolaCalendarCleanup(const SLTInvocationPtr& stage);
    // Limits "start" 0 and "end" the slot count - 1.
    void getMotorolaCalendarParameters(const SLTInvocationPtr& stage);
    void getMotorolaCalendarEntriesFrom(int first, int last, const SLTInvocationPtr& stage);
    void deleteMotorolaCalendarEntry(const QString& slot, const SLTInvocationPtr& stage);
    void writeNewMotorolaCalendarEntryFrom(const QVariantMap& event, const QString& slot,
                                           const SLTInvocationPtr& stage);
    // The event's own "slot" is overwritten.
    void updateMotorolaCalendarEntryFrom(const QVariantMap& event, const SLTInvocationPtr& stage);

    static std::optional<QVariantMap> parseMotorolaCalendarParameters(const QString& reply);
    // Records in the set in force; the layout by the engine's family.
    // local: the local zone's offsets kept over many lines.
    std::optional<QVariantMap> parseMotorolaCalendarLine(
        const QString& line, kestrova::vendors::motorolacalendar::LocalOffsets* local = nullptr) const;
    std::optional<QVariantMap> parseOldMotorolaCalendarLine(
        const QString& line, kestrova::vendors::motorolacalendar::LocalOffsets* local = nullptr) const;
    // The "+MDBR" lines of a reply, one event per slot ("%d").
    QVariantMap parseMotorolaCalendarEntries(const QString& reply) const;
    QString createWriteStringForEntry(const QVariantMap& event) const;
    QString createOldMotorolaWriteStringForEntry(const QVariantMap& event) const;

private:
    SLTCommDevice& engine() const { return _engine; }
    bool isOlderLayout() const;
    SLTCommDeviceMotorolaSession& session() const;
    void replyStage(const QString& selector, const QVariantMap& result);
    QVariantMap command(const SLTInvocationPtr& stage, const char* selector, const char* signal,
                        const QString& text) const;
    void refuse(const SLTInvocationPtr& stage, const char* signal, const QString& why);
    QString record(const QVariantMap& event) const;

    SLTCommDevice& _engine;
};
