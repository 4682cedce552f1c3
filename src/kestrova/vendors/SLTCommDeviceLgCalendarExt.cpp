#include "kestrova/vendors/SLTCommDeviceLgCalendarExt.h"

#include "kestrova/core/CoreConstants.h"
#include "kestrova/core/KitLog.h"
#include "kestrova/vendors/LgCalendarRecord.h"
#include "kestrova/vendors/LgFrames.h"
#include "kestrova/vendors/LgNames.h"
#include "kestrova/vendors/LgTaskRecord.h"
#include "kestrova/vendors/SLTCommDeviceLgSmsExt.h"

using namespace kestrova::core;
using namespace kestrova::lg;
using kestrova::kitLogWith;
using Kind = SLTCommDeviceLgCalendarExt::Kind;

namespace {
constexpr qsizetype kMinListAnswer = 17;
constexpr qsizetype kMinReadAnswer = 31;
constexpr qsizetype kMinWriteAnswer = 17;
constexpr qsizetype kMinDeleteAnswer = 21;
constexpr qsizetype kAnswerSlot = 13;
// Prefix bytes of a written record.
constexpr qsizetype kPrefixSlot = 2;
constexpr qsizetype kPrefixModel = 5;
constexpr qsizetype kPrefixLength = 6;

struct Names {
    const char* prepareStage;
    const char* entryStage;
    const char* writeStage;
    const char* updateStage;
    const char* deleteStage;
    const char* prepared;
    const char* read;
    const char* ack;
    const char* noMore;
    const char* written;
    const char* deleted;
    quint8 service;
    const char* what;
};

const Names kCalendar{"lgViewtyPrepareCalendarReadingStage2:",
                      "lgViewtyGetCalendarEntryStage2:",
                      "lgViewtyWriteCalendarEntryStage2:",
                      "lgViewtyUpdateCalendarEntryStage2:",
                      "lgViewtyDeleteCalendarEntryStage2:",
                      kSLTCommDeviceLgViewtyCalendarReadingPrepared,
                      kSLTCommDeviceLgViewtyCalendarEntryRead,
                      kSLTCommDeviceLgViewtyCalendarEntryReadAck,
                      kSLTCommDeviceLgViewtyCalendarNoMoreEntries,
                      kSLTCommDeviceLgViewtyCalendarNewEntryWritten,
                      kSLTCommDeviceLgViewtyCalendarEntryDeleted,
                      kCalendarService,
                      "calendar"};
const Names kTasks{"lgViewtyPrepareTasksReadingStage2:",
                   "lgViewtyGetTaskStage2:",
                   "lgViewtyWriteTaskStage2:",
                   "lgViewtyUpdateTaskStage2:",
                   "lgViewtyDeleteTaskStage2:",
                   kSLTCommDeviceLgViewtyTasksReadingPrepared,
                   kSLTCommDeviceLgViewtyTaskRead,
                   kSLTCommDeviceLgViewtyTaskReadAck,
                   kSLTCommDeviceLgViewtyTasksNoMoreEntries,
                   kSLTCommDeviceLgViewtyTaskNewEntryWritten,
                   kSLTCommDeviceLgViewtyTaskDeleted,
                   kTasksService,
                   "tasks"};

const Names& names(Kind kind)
{
    return kind == Kind::Calendar ? kCalendar : kTasks;
}

QString signalOf(const QVariantMap& result)
{
    return result.value(key(kSLTCommDeviceCommandCallbackSignal)).toString();
}
} // namespace

SLTCommDeviceLgCalendarExt::SLTCommDeviceLgCalendarExt(SLTCommDevice& engine) : _engine(engine)
{
    for (const Kind kind : {Kind::Calendar, Kind::Tasks}) {
        const Names& n = names(kind);
        _engine.registerCommandCallback(QLatin1String(n.prepareStage),
                                        [this, kind](const QVariantMap& r) { prepareStage2(kind, r); });
        _engine.registerCommandCallback(QLatin1String(n.entryStage),
                                        [this, kind](const QVariantMap& r) { entryStage2(kind, r); });
        for (const char* stage : {n.writeStage, n.updateStage})
            _engine.registerCommandCallback(QLatin1String(stage), [this](const QVariantMap& r) { writeStage2(r); });
        _engine.registerCommandCallback(QLatin1String(n.deleteStage),
                                        [this](const QVariantMap& r) { deleteStage2(r); });
    }
}

const char* SLTCommDeviceLgCalendarExt::preparedSignal(Kind kind)
{
    return names(kind).prepared;
}
const char* SLTCommDeviceLgCalendarExt::readSignal(Kind kind)
{
    return names(kind).read;
}
const char* SLTCommDeviceLgCalendarExt::ackSignal(Kind kind)
{
    return names(kind).ack;
}
const char* SLTCommDeviceLgCalendarExt::noMoreSignal(Kind kind)
{
    return names(kind).noMore;
}
const char* SLTCommDeviceLgCalendarExt::writtenSignal(Kind kind)
{
    return names(kind).written;
}
const char* SLTCommDeviceLgCalendarExt::deletedSignal(Kind kind)
{
    return names(kind).deleted;
}

SLTCommDeviceLgSmsExt& SLTCommDeviceLgCalendarExt::port()
{
    return _engine.extension<SLTCommDeviceLgSmsExt>();
}

void SLTCommDeviceLgCalendarExt::fail(QVariantMap result, const QString& why)
{
    kitLogWith([&] { return QStringLiteral("LG %1").arg(why); });
    result.remove(key(kSLTCommDeviceCommandQueueCommandResult));
    _engine.returnResultforCommandRequest(std::move(result));
}

QByteArray SLTCommDeviceLgCalendarExt::shortFrame(Kind kind, quint8 opcode)
{
    SLTCommDeviceLgSmsExt& lg = port();
    const quint8 sequence = lg.nextPackageCount();
    QByteArray payload;
    payload.append(char(0xFF)).append(char(opcode - 0x80)).append(char(lg.nextPackageCount2()));
    payload.append(char(names(kind).service)).append(6, '\0');
    return frame(names(kind).service, opcode, sequence, payload);
}

// --- Reading ----------------------------------------------------------------

void SLTCommDeviceLgCalendarExt::prepareReading(Kind kind, const SLTInvocationPtr& stage)
{
    SLTCommDeviceLgSmsExt& lg = port();
    lg.setPackageCount2(1);
    lg.setDoAbort(false);
    const Names& n = names(kind);
    _engine.addCommand(lg.makeFrameCommand(stage, n.prepareStage, n.prepared, shortFrame(kind, kOrganizerPrepare)));
}

void SLTCommDeviceLgCalendarExt::getEntry(Kind kind, const SLTInvocationPtr& stage)
{
    const Names& n = names(kind);
    _engine.addCommand(port().makeFrameCommand(stage, n.entryStage, n.read, shortFrame(kind, kOrganizerRead)));
}

void SLTCommDeviceLgCalendarExt::getEntryAck(Kind kind, const SLTInvocationPtr& stage)
{
    const Names& n = names(kind);
    _engine.addCommand(port().makeFrameCommand(stage, n.entryStage, n.ack, shortFrame(kind, kOrganizerAck)));
}

void SLTCommDeviceLgCalendarExt::handOnListAnswer(Kind kind, const QVariantMap& result)
{
    const QByteArray reply = SLTCommDeviceLgSmsExt::unescapedReply(result);
    if (reply.size() < kMinListAnswer) {
        fail(result,
             QStringLiteral("%1: %2 answered with %3 bytes")
                 .arg(QLatin1String(names(kind).what), signalOf(result))
                 .arg(reply.size()));
        return;
    }
    QVariantMap answer = result;
    if (reply[kAnswerSlot] == 0 && reply[kAnswerSlot + 1] == 0)
        answer.insert(key(kSLTCommDeviceCommandCallbackSignal), QLatin1String(names(kind).noMore));
    _engine.returnOkResultforCommandRequest(answer);
}

void SLTCommDeviceLgCalendarExt::prepareStage2(Kind kind, const QVariantMap& result)
{
    if (!SLTCommDeviceLgSmsExt::hasResult(result)) {
        _engine.returnResultforCommandRequest(result);
        return;
    }
    if (signalOf(result) != QLatin1String(names(kind).prepared))
        return;
    handOnListAnswer(kind, result);
}

void SLTCommDeviceLgCalendarExt::entryStage2(Kind kind, const QVariantMap& result)
{
    const Names& n = names(kind);
    if (port().doAbort()) {
        QVariantMap aborted = result;
        aborted.remove(key(kSLTCommDeviceCommandQueueCommandRawResult));
        aborted.insert(key(kSLTCommDeviceCommandQueueCommandResult), QLatin1String(kAbortedStep));
        aborted.insert(key(kSLTCommDeviceCommandCallbackSignal), QLatin1String(kAbortedStep));
        _engine.returnOkResultforCommandRequest(aborted);
        return;
    }
    if (!SLTCommDeviceLgSmsExt::hasResult(result)) {
        _engine.returnResultforCommandRequest(result);
        return;
    }
    const QString signal = signalOf(result);
    if (signal == QLatin1String(n.ack)) {
        handOnListAnswer(kind, result);
        return;
    }
    if (signal != QLatin1String(n.read)) {
        fail(result, QStringLiteral("%1: unexpected answer %2").arg(QLatin1String(n.what), signal));
        return;
    }
    const QByteArray raw = result.value(key(kSLTCommDeviceCommandQueueCommandRawResult)).toByteArray();
    if (raw.size() < kMinReadAnswer) {
        fail(result, QStringLiteral("%1: entry answer of %2 bytes").arg(QLatin1String(n.what)).arg(raw.size()));
        return;
    }
    const QByteArray reply = removeQuotedFFValuesFromData(raw);
    QString error;
    const std::optional<QVariantMap> entry = kind == Kind::Calendar
        ? lgExtractCalendarData(reply, &error)
        : lgExtractTaskData(reply, _engine.family() == QLatin1String("lgGD900"), &error);
    QVariantMap answer = result;
    if (entry && !entry->isEmpty())
        answer.insert(key(kSLTCommDeviceCommandQueueCommandResult), *entry);
    else
        kitLogWith([&] { return QStringLiteral("LG %1: entry skipped: %2").arg(QLatin1String(n.what), error); });
    _engine.returnOkResultforCommandRequest(answer);
}

// --- Writing ----------------------------------------------------------------

QByteArray SLTCommDeviceLgCalendarExt::writeFrame(Kind kind, const QVariantMap& entry, std::optional<int> slot)
{
    SLTCommDeviceLgSmsExt& lg = port();
    const quint8 sequence = lg.nextPackageCount();
    const quint8 counter2 = lg.nextPackageCount2();
    QByteArray record = kind == Kind::Calendar ? lgViewtyCalendarCreateRawDataForDict(entry, counter2)
                                               : lgViewtyTaskCreateRawDataForDict(entry, counter2);
    record[kPrefixLength] = char(record.size() & 0xFF);
    quint8 opcode = kOrganizerWrite;
    if (slot) {
        opcode = kOrganizerReplace;
        record[kPrefixSlot] = char(*slot & 0xFF);
        record[kPrefixSlot + 1] = char((*slot >> 8) & 0xFF);
        record[kPrefixModel] = char(
            modelByte(_engine.family(), kind == Kind::Calendar ? ModelKind::Calendar : ModelKind::ReplacedTask));
    }
    QByteArray payload;
    payload.append(char(0xFF)).append(char(opcode - 0x80)).append(record);
    return frame(names(kind).service, opcode, sequence, payload);
}

void SLTCommDeviceLgCalendarExt::writeEntry(Kind kind, const QVariantMap& entry, std::optional<int> slot,
                                            const SLTInvocationPtr& stage)
{
    const Names& n = names(kind);
    _engine.addCommand(
        port().makeFrameCommand(stage, slot ? n.updateStage : n.writeStage, n.written, writeFrame(kind, entry, slot)));
}

void SLTCommDeviceLgCalendarExt::deleteEntry(Kind kind, int slot, const SLTInvocationPtr& stage)
{
    SLTCommDeviceLgSmsExt& lg = port();
    const Names& n = names(kind);
    const quint8 sequence = lg.nextPackageCount();
    QByteArray payload;
    payload.append(char(0xFF)).append(char(kOrganizerDelete - 0x80)).append(char(lg.nextPackageCount2()));
    payload.append(char(n.service)).append(char(slot & 0xFF)).append(char((slot >> 8) & 0xFF)).append('\0');
    payload.append(char(modelByte(_engine.family(), kind == Kind::Calendar ? ModelKind::Calendar : ModelKind::Tasks)));
    payload.append(4, '\0');
    _engine.addCommand(
        lg.makeFrameCommand(stage, n.deleteStage, n.deleted, frame(n.service, kOrganizerDelete, sequence, payload)));
}

void SLTCommDeviceLgCalendarExt::writeStage2(const QVariantMap& result)
{
    if (!SLTCommDeviceLgSmsExt::hasResult(result)) {
        _engine.returnResultforCommandRequest(result);
        return;
    }
    const QByteArray reply = SLTCommDeviceLgSmsExt::unescapedReply(result);
    if (reply.size() < kMinWriteAnswer) {
        fail(result, QStringLiteral("organizer write answered with %1 bytes").arg(reply.size()));
        return;
    }
    QVariantMap answer = result;
    answer.insert(key(kSLTCommDeviceCommandQueueCommandResult), QString::asprintf("%i", readLe16(reply, kAnswerSlot)));
    _engine.returnOkResultforCommandRequest(answer);
}

void SLTCommDeviceLgCalendarExt::deleteStage2(const QVariantMap& result)
{
    if (!SLTCommDeviceLgSmsExt::hasResult(result)) {
        _engine.returnResultforCommandRequest(result);
        return;
    }
    const QByteArray reply = SLTCommDeviceLgSmsExt::unescapedReply(result);
    if (reply.size() < kMinDeleteAnswer) {
        fail(result, QStringLiteral("organizer delete answered with %1 bytes").arg(reply.size()));
        return;
    }
    _engine.returnOkResultforCommandRequest(result);
}
