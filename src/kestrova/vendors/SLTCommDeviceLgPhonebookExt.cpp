#include "kestrova/vendors/SLTCommDeviceLgPhonebookExt.h"

#include "kestrova/core/CoreConstants.h"
#include "kestrova/core/KitLog.h"
#include "kestrova/vendors/LgFrames.h"
#include "kestrova/vendors/LgNames.h"
#include "kestrova/vendors/LgPhonebookRecord.h"
#include "kestrova/vendors/SLTCommDeviceLgSmsExt.h"

#include <QStringList>

using namespace kestrova::core;
using namespace kestrova::lg;
using kestrova::kitLogWith;

namespace {
constexpr qsizetype kEndOfEntries = 12;
constexpr qsizetype kItemCountLength = 12;
constexpr qsizetype kNewSlotAnswer = 15;
constexpr qsizetype kStoredAnswer = 11;
constexpr qsizetype kUpdateHeader = 16;
constexpr qsizetype kRecordPrefix = 4;
constexpr int kUnknownCountMax = 10000;

QString signalOf(const QVariantMap& result)
{
    return result.value(key(kSLTCommDeviceCommandCallbackSignal)).toString();
}

QByteArray slotBytes(int slot, quint8 model)
{
    QByteArray bytes;
    bytes.append(char(slot & 0xFF)).append(char((slot >> 8) & 0xFF)).append('\0').append(char(model));
    return bytes;
}
} // namespace

SLTCommDeviceLgPhonebookExt::SLTCommDeviceLgPhonebookExt(SLTCommDevice& engine)
    : _engine(engine)
{
    const auto on = [this](const char* name, void (SLTCommDeviceLgPhonebookExt::*method)(const QVariantMap&)) {
        _engine.registerCommandCallback(QLatin1String(name), [this, method](const QVariantMap& r) { (this->*method)(r); });
    };
    on(kPhonebookPrepareStage, &SLTCommDeviceLgPhonebookExt::prepareStage2);
    on(kPhonebookReadStage, &SLTCommDeviceLgPhonebookExt::readStage2);
    on(kPhonebookWriteStage, &SLTCommDeviceLgPhonebookExt::writeStage2);
    _engine.registerCommandCallback(QLatin1String(kPhonebookUpdateStage),
                                    [this](const QVariantMap& r) { answerLengthStage2(r, kStoredAnswer); });
    _engine.registerCommandCallback(QLatin1String(kPhonebookDeleteStage),
                                    [this](const QVariantMap& r) { answerLengthStage2(r, kStoredAnswer); });
    on(kPhonebookCloseStage, &SLTCommDeviceLgPhonebookExt::closeStage2);
}

SLTCommDeviceLgSmsExt& SLTCommDeviceLgPhonebookExt::port()
{
    return _engine.extension<SLTCommDeviceLgSmsExt>();
}

void SLTCommDeviceLgPhonebookExt::fail(QVariantMap result)
{
    result.remove(key(kSLTCommDeviceCommandQueueCommandResult));
    _engine.returnResultforCommandRequest(std::move(result));
}

// --- Preparing --------------------------------------------------------------

void SLTCommDeviceLgPhonebookExt::lgViewtyPreparePhonebookReading(const SLTInvocationPtr& stage)
{
    SLTCommDeviceLgSmsExt& lg = port();
    const QByteArray count = frame(kPhonebookService, kPhonebookItemCount, lg.nextPackageCount());
    const QByteArray prepare = frame(kPhonebookService, kPhonebookPrepare, lg.nextPackageCount());
    const QByteArray prepared = frame(kPhonebookService, kPhonebookPrepared, lg.nextPackageCount());
    _engine.addCommands({lg.makeFrameCommand(stage, kPhonebookPrepareStage, kItemCountSignal, count),
                         lg.makeFrameCommand(stage, kPhonebookPrepareStage, kPrepareSignal, prepare),
                         lg.makeFrameCommand(stage, kPhonebookPrepareStage,
                                             kSLTCommDeviceLgViewtyPhonebookReadingPrepared, prepared)});
}

void SLTCommDeviceLgPhonebookExt::prepareStage2(const QVariantMap& result)
{
    if (!SLTCommDeviceLgSmsExt::hasResult(result)) {
        _engine.returnResultforCommandRequest(result);
        return;
    }
    const QString signal = signalOf(result);
    if (signal == QLatin1String(kItemCountSignal)) {
        const QByteArray reply = SLTCommDeviceLgSmsExt::unescapedReply(result);
        _maxEntry = reply.size() < kItemCountLength ? 0 : quint8(reply[10]) + 256 * quint8(reply[11]);
        return;
    }
    if (signal == QLatin1String(kSLTCommDeviceLgViewtyPhonebookReadingPrepared))
        _engine.returnOkResultforCommandRequest(result);
}

// --- Reading ----------------------------------------------------------------

void SLTCommDeviceLgPhonebookExt::lgViewtyReadPhonebookEntries(const SLTInvocationPtr& stage)
{
    _tempMutableDict.clear();
    _tempBuffer.clear();
    _entriesRead = 0;
    port().setDoAbort(false);
    SLTCommDeviceLgSmsExt& lg = port();
    _engine.addCommand(lg.makeFrameCommand(stage, kPhonebookReadStage, kSLTCommDeviceLgViewtyPhonebookEntryRead,
                                           frame(kPhonebookService, kPhonebookReadFirst, lg.nextPackageCount())));
}

void SLTCommDeviceLgPhonebookExt::readStage2(const QVariantMap& result)
{
    if (_maxEntry == 0)
        _engine.returnProgressforCommandRequest(result, 1, kUnknownCountMax);
    else
        _engine.returnProgressforCommandRequest(result, int(_tempMutableDict.size()), _maxEntry);

    if (port().doAbort()) {
        QVariantMap aborted = result;
        aborted.remove(key(kSLTCommDeviceCommandQueueCommandRawResult));
        aborted.insert(key(kSLTCommDeviceCommandQueueCommandResult), QLatin1String(kAbortedStep));
        aborted.insert(key(kSLTCommDeviceCommandCallbackSignal), QLatin1String(kAbortedStep));
        _tempBuffer.clear();
        _engine.returnOkResultforCommandRequest(aborted);
        return;
    }
    if (!SLTCommDeviceLgSmsExt::hasResult(result)) {
        _engine.returnResultforCommandRequest(result);
        return;
    }
    if (signalOf(result) != QLatin1String(kSLTCommDeviceLgViewtyPhonebookEntryRead))
        return;

    const QByteArray reply = SLTCommDeviceLgSmsExt::unescapedReply(result);
    if (reply.size() <= kEndOfEntries) {
        if (!_tempBuffer.isEmpty()) {
            kitLogWith([&] {
                return QStringLiteral("LG phonebook: entry of %1 bytes left unfinished").arg(_tempBuffer.size());
            });
            _tempBuffer.clear();
        }
        QVariantMap done = result;
        done.insert(key(kSLTCommDeviceCommandQueueCommandResult), _tempMutableDict);
        done.insert(key(kSLTCommDeviceCommandCallbackSignal), QLatin1String(kSLTCommDeviceLgViewtyPhonebookEntriesRead));
        _engine.returnOkResultforCommandRequest(done);
        return;
    }

    QByteArray data;
    if (!_tempBuffer.isEmpty()) {
        // The parts of one entry: each part's 7E and the next part's FF go.
        data = _tempBuffer.chopped(1) + reply.mid(1);
    } else {
        data = reply;
        _expectedLength = replyDeclaredLength(reply) + 2;
    }
    if (data.size() < _expectedLength) {
        _tempBuffer = data;
        QVariantMap wait = port().makeFrameCommand(result.value(key(kSLTCommDeviceCommandInfo)).value<SLTInvocationPtr>(),
                                                   kPhonebookReadStage, kSLTCommDeviceLgViewtyPhonebookEntryRead,
                                                   QByteArray());
        wait.insert(key(kSLTStateMachineHexCommandData), QByteArray());
        _engine.addCommand(wait);
        return;
    }
    _tempBuffer.clear();
    // A phone that keeps sending entries past the count it stated (or past
    // the cap where it stated none) ends the read: a partial phonebook must
    // not look whole.
    const int bound = _maxEntry == 0 ? kUnknownCountMax : _maxEntry;
    if (++_entriesRead > bound) {
        kitLogWith([&] {
            return QStringLiteral("LG phonebook: the phone sent more than %1 entries; read stopped").arg(bound);
        });
        _tempMutableDict.clear();
        fail(result);
        return;
    }
    if (data.size() > _expectedLength) {
        kitLogWith([&] {
            return QStringLiteral("LG phonebook: entry of %1 bytes where %2 were stated skipped")
                .arg(data.size())
                .arg(_expectedLength);
        });
    } else {
        QString error;
        if (std::optional<QVariantMap> contact = lgExtractAddressData(data, &error)) {
            const QString slot = contact->take(QStringLiteral("slot")).toString();
            _tempMutableDict.insert(slot, *contact);
            if (_maxEntry != 0)
                _engine.returnProgressforCommandRequest(result, int(_tempMutableDict.size()), _maxEntry);
        } else {
            kitLogWith([&] {
                return QStringLiteral("LG phonebook: entry of %1 bytes skipped: %2").arg(data.size()).arg(error);
            });
        }
    }
    readNext(result);
}

void SLTCommDeviceLgPhonebookExt::readNext(const QVariantMap& result)
{
    SLTCommDeviceLgSmsExt& lg = port();
    _engine.addCommand(lg.makeFrameCommand(result.value(key(kSLTCommDeviceCommandInfo)).value<SLTInvocationPtr>(),
                                           kPhonebookReadStage, kSLTCommDeviceLgViewtyPhonebookEntryRead,
                                           frame(kPhonebookService, kPhonebookReadNext, lg.nextPackageCount())));
}

// --- Writing ----------------------------------------------------------------

QByteArray SLTCommDeviceLgPhonebookExt::record(const QVariantMap& contact)
{
    QStringList dropped;
    const QByteArray bytes = lgViewtyPhonebookCreateRawDataForDict(contact, port().nextPackageCount2(), &dropped);
    if (!dropped.isEmpty())
        kitLogWith([&] {
            return QStringLiteral("LG phonebook: the phone keeps five numbers and two e-mail addresses; left out: %1")
                .arg(dropped.join(QLatin1String(", ")));
        });
    return bytes;
}

QByteArray SLTCommDeviceLgPhonebookExt::writeFrame(const QVariantMap& contact)
{
    const quint8 sequence = port().nextPackageCount();
    return quoteFFValuesInData(frame(kPhonebookService, kPhonebookWrite, sequence, record(contact)));
}

QByteArray SLTCommDeviceLgPhonebookExt::updateFrame(const QVariantMap& contact, int slot)
{
    const quint8 sequence = port().nextPackageCount();
    const quint8 model = modelByte(_engine.family(), ModelKind::Phonebook);
    const QByteArray body = record(contact).mid(kRecordPrefix);
    QByteArray bytes = frame(kPhonebookService, kPhonebookUpdate, sequence,
                             slotBytes(slot, model) + slotBytes(slot, model) + body);
    const qsizetype length = bytes.size();
    if ((length & 0xFF) != 0 && length >= kUpdateHeader + 13) {
        bytes[length - 13] = char(0x80);
        bytes[length - 8] = char(0x80);
    }
    return quoteFFValuesInData(bytes);
}

void SLTCommDeviceLgPhonebookExt::lgViewtyWritePhonebookEntry(const QVariantMap& contact, const SLTInvocationPtr& stage)
{
    QVariantMap command = port().makeFrameCommand(stage, kPhonebookWriteStage,
                                                  kSLTCommDeviceLgViewtyPhonebookNewEntryWritten, QByteArray(),
                                                  kStateSendEntryFrame);
    command.insert(key(kSLTStateMachineHexCommandData), writeFrame(contact));
    _engine.addCommand(command);
}

void SLTCommDeviceLgPhonebookExt::lgViewtyUpdatePhonebookEntry(const QVariantMap& contact, int slot,
                                                               const SLTInvocationPtr& stage)
{
    QVariantMap command = port().makeFrameCommand(stage, kPhonebookUpdateStage,
                                                  kSLTCommDeviceLgViewtyPhonebookEntryUpdated, QByteArray());
    command.insert(key(kSLTStateMachineHexCommandData), updateFrame(contact, slot));
    _engine.addCommand(command);
}

void SLTCommDeviceLgPhonebookExt::lgViewtyDeletePhonebookEntry(int slot, const SLTInvocationPtr& stage)
{
    SLTCommDeviceLgSmsExt& lg = port();
    const quint8 model = modelByte(_engine.family(), ModelKind::Phonebook);
    _engine.addCommand(lg.makeFrameCommand(stage, kPhonebookDeleteStage, kSLTCommDeviceLgViewtyPhonebookEntryDeleted,
                                           frame(kPhonebookService, kPhonebookDelete, lg.nextPackageCount(),
                                                 slotBytes(slot, model))));
}

void SLTCommDeviceLgPhonebookExt::writeStage2(const QVariantMap& result)
{
    if (!SLTCommDeviceLgSmsExt::hasResult(result)) {
        _engine.returnResultforCommandRequest(result);
        return;
    }
    const QByteArray reply = SLTCommDeviceLgSmsExt::unescapedReply(result);
    QVariantMap answer = result;
    if (reply.size() == kNewSlotAnswer)
        answer.insert(key(kSLTCommDeviceCommandQueueCommandResult), QString::asprintf("%i", readLe16(reply, 10)));
    else if (reply.size() == kStoredAnswer)
        answer.insert(key(kSLTCommDeviceCommandQueueCommandResult), QStringLiteral("updated"));
    else {
        kitLogWith([&] { return QStringLiteral("LG phonebook: write answered with %1 bytes").arg(reply.size()); });
        fail(answer);
        return;
    }
    _engine.returnOkResultforCommandRequest(answer);
}

void SLTCommDeviceLgPhonebookExt::answerLengthStage2(const QVariantMap& result, qsizetype successLength)
{
    if (!SLTCommDeviceLgSmsExt::hasResult(result)) {
        _engine.returnResultforCommandRequest(result);
        return;
    }
    const QByteArray reply = SLTCommDeviceLgSmsExt::unescapedReply(result);
    if (reply.size() != successLength) {
        kitLogWith([&] {
            return QStringLiteral("LG phonebook: %1 answered with %2 bytes").arg(signalOf(result)).arg(reply.size());
        });
        fail(result);
        return;
    }
    _engine.returnOkResultforCommandRequest(result);
}

// --- Closing ----------------------------------------------------------------

void SLTCommDeviceLgPhonebookExt::lgViewtyPhonebookClose(const SLTInvocationPtr& stage)
{
    SLTCommDeviceLgSmsExt& lg = port();
    const QByteArray close = frame(kPhonebookService, kPhonebookClose, lg.nextPackageCount());
    const QByteArray closed = frame(kPhonebookService, kPhonebookClosed, lg.nextPackageCount());
    _engine.addCommands({lg.makeFrameCommand(stage, kPhonebookCloseStage, kPhonebookCloseSignal, close),
                         lg.makeFrameCommand(stage, kPhonebookCloseStage, kSLTCommDeviceLgVietwyPhonebookClosed,
                                             closed)});
}

void SLTCommDeviceLgPhonebookExt::closeStage2(const QVariantMap& result)
{
    if (!SLTCommDeviceLgSmsExt::hasResult(result)) {
        _engine.returnResultforCommandRequest(result);
        return;
    }
    if (signalOf(result) == QLatin1String(kSLTCommDeviceLgVietwyPhonebookClosed))
        _engine.returnOkResultforCommandRequest(result);
}
