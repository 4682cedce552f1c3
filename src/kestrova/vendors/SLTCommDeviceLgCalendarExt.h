#pragma once

#include "kestrova/core/SLTCommDevice.h"

#include <QByteArray>
#include <QVariantMap>
#include <optional>

class SLTCommDeviceLgSmsExt;

// The calendar and the to-do list of an LG phone (an engine extension): the
// two share their commands and answers and differ in the service byte (0x12,
// 0x13) and the record. Prepare, read one entry, acknowledge it, write a new
// entry, replace or delete the entry of a slot; the caller drives the loop.
// Results reach the caller's stage as command dictionaries. Main thread only.
class SLTCommDeviceLgCalendarExt {
public:
    enum class Kind { Calendar, Tasks };

    explicit SLTCommDeviceLgCalendarExt(SLTCommDevice& engine);
    SLTCommDeviceLgCalendarExt(const SLTCommDeviceLgCalendarExt&) = delete;
    SLTCommDeviceLgCalendarExt& operator=(const SLTCommDeviceLgCalendarExt&) = delete;

    // Sets counter 2 to 1 and clears the abort flag; the stage gets the
    // prepared signal, or the kind's "no more entries" for an empty list.
    void prepareReading(Kind kind, const SLTInvocationPtr& stage);
    // The read answer carries the decoded entry (a dictionary) when there is
    // one; the acknowledge answer says whether another entry follows.
    void getEntry(Kind kind, const SLTInvocationPtr& stage);
    void getEntryAck(Kind kind, const SLTInvocationPtr& stage);
    // New entry (no slot) or replacement of a slot; result: the slot "%i".
    void writeEntry(Kind kind, const QVariantMap& entry, std::optional<int> slot, const SLTInvocationPtr& stage);
    void deleteEntry(Kind kind, int slot, const SLTInvocationPtr& stage);

    // The frame of a write or replacement (unescaped), taking counter values
    // as the operation does; for tests and benchmarks.
    QByteArray writeFrame(Kind kind, const QVariantMap& entry, std::optional<int> slot);

    // The signals of a kind.
    static const char* preparedSignal(Kind kind);
    static const char* readSignal(Kind kind);
    static const char* ackSignal(Kind kind);
    static const char* noMoreSignal(Kind kind);
    static const char* writtenSignal(Kind kind);
    static const char* deletedSignal(Kind kind);

private:
    SLTCommDeviceLgSmsExt& port();
    QByteArray shortFrame(Kind kind, quint8 opcode);
    void prepareStage2(Kind kind, const QVariantMap& result);
    void entryStage2(Kind kind, const QVariantMap& result);
    void writeStage2(const QVariantMap& result);
    void deleteStage2(const QVariantMap& result);
    // A prepare or acknowledge answer: failure under 17 bytes, else handed
    // on (as "no more entries" when bytes 13-14 are 0).
    void handOnListAnswer(Kind kind, const QVariantMap& result);
    void fail(QVariantMap result, const QString& why);

    SLTCommDevice& _engine;
};
