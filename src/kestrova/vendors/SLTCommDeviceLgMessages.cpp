#include "kestrova/vendors/SLTCommDeviceLgMessages.h"

#include "kestrova/core/CoreConstants.h"
#include "kestrova/core/KitLog.h"
#include "kestrova/sms/SLTPduList.h"
#include "kestrova/sms/pdu.h"
#include "kestrova/sms/pduList.h"
#include "kestrova/vendors/LgFrames.h"
#include "kestrova/vendors/LgNames.h"
#include "kestrova/vendors/SLTCommDeviceLgSmsExt.h"

#include <QSet>

using namespace kestrova::core;
using namespace kestrova::lg;
using kestrova::kitLogWith;

namespace {
constexpr quint8 kSmsService = 0x22;
constexpr quint8 kNextHeader = 0x80;
constexpr quint8 kReadMessage = 0x81;
constexpr quint8 kScAddress = 0x82;
constexpr quint8 kDeleteMessage = 0x8D;
constexpr quint8 kHeaderAnswer = 0x86;
constexpr quint8 kHeaderEnd = 0x87;
constexpr qsizetype kMinHeaderAnswer = 10;
constexpr qsizetype kHeaderStatus = 19;
constexpr qsizetype kMinMessageAnswer = 39;
constexpr qsizetype kPduLength = 37;
constexpr qsizetype kPduStart = 40;
constexpr qsizetype kScDigits = 12;
constexpr char kScEnd = char(0x7D);

const char* kReadingSignal = "reading";
const char* kScSignal = "getsmsc";
const char* kDeletedSignal = "lgMessageDeleted";
const char* kDeleteFinishedSignal = "SLTCommDeviceLgViewtyDeleteSmsArraySequenceFinished";
const char* kHeaderStage = "lgViewtyHeaderReadingStage2:";
const char* kMessageStage = "lgViewtySmsReadingStage2:";
const char* kDeleteStage = "lgViewtyDeleteSmsArrayStage2:";
const char* kScStage = "lgViewtyGetScAddressStage2:";

QString signalOf(const QVariantMap& result)
{
    return result.value(key(kSLTCommDeviceCommandCallbackSignal)).toString();
}

SLTInvocationPtr stageOf(const QVariantMap& result)
{
    return result.value(key(kSLTCommDeviceCommandInfo)).value<SLTInvocationPtr>();
}

QByteArray le16Bytes(int value)
{
    return QByteArray().append(char(value & 0xFF)).append(char((value >> 8) & 0xFF));
}

SLTPduListPtr newList(int state)
{
    auto list = std::make_shared<kestrova::SLTPduList>();
    list->setState(state);
    return list;
}
} // namespace

SLTCommDeviceLgMessages::SLTCommDeviceLgMessages(SLTCommDevice& engine) : _engine(engine)
{
    const auto on = [this](const char* name, void (SLTCommDeviceLgMessages::*method)(const QVariantMap&)) {
        _engine.registerCommandCallback(QLatin1String(name),
                                        [this, method](const QVariantMap& r) { (this->*method)(r); });
    };
    on(kHeaderStage, &SLTCommDeviceLgMessages::headerStage2);
    on(kMessageStage, &SLTCommDeviceLgMessages::messageStage2);
    on(kDeleteStage, &SLTCommDeviceLgMessages::deleteStage2);
    on(kScStage, &SLTCommDeviceLgMessages::scAddressStage2);
}

SLTCommDeviceLgSmsExt& SLTCommDeviceLgMessages::port()
{
    return _engine.extension<SLTCommDeviceLgSmsExt>();
}

void SLTCommDeviceLgMessages::stop(QVariantMap result, const QString& why)
{
    kitLogWith([&] { return QStringLiteral("LG messages: %1; reading stopped").arg(why); });
    _getMessagesInProgress = false;
    _memPlaces.clear();
    result.remove(key(kSLTCommDeviceCommandQueueCommandResult));
    _engine.returnResultforCommandRequest(std::move(result));
}

bool SLTCommDeviceLgMessages::abortedAnswer(const QVariantMap& result)
{
    if (!port().doAbort())
        return false;
    QVariantMap aborted = result;
    aborted.remove(key(kSLTCommDeviceCommandQueueCommandRawResult));
    aborted.insert(key(kSLTCommDeviceCommandQueueCommandResult), QLatin1String(kAbortedStep));
    aborted.insert(key(kSLTCommDeviceCommandCallbackSignal), QLatin1String(kAbortedStep));
    _engine.returnOkResultforCommandRequest(aborted);
    return true;
}

// --- Reading ----------------------------------------------------------------

void SLTCommDeviceLgMessages::lgViewtyHeaderReading(const SLTInvocationPtr& stage)
{
    if (_getMessagesInProgress) {
        kitLogWith([] { return QStringLiteral("LG messages: a reading runs already; request ignored"); });
        return;
    }
    _getMessagesInProgress = true;
    _pduListe0 = newList(0);
    _pduListe2 = newList(2);
    _pduListe3 = newList(3);
    _memPlaces.clear();
    _maxEntry = 0;
    askHeader(stage);
}

void SLTCommDeviceLgMessages::askHeader(const SLTInvocationPtr& stage)
{
    SLTCommDeviceLgSmsExt& lg = port();
    _engine.addCommand(lg.makeFrameCommand(stage, kHeaderStage, kReadingSignal,
                                           frame(kSmsService, kNextHeader, lg.nextPackageCount())));
}

void SLTCommDeviceLgMessages::askMessage(const SLTInvocationPtr& stage)
{
    SLTCommDeviceLgSmsExt& lg = port();
    const QByteArray payload = le16Bytes(_memPlaces.last().place) + QByteArray(2, '\0');
    _engine.addCommand(lg.makeFrameCommand(stage, kMessageStage, kReadingSignal,
                                           frame(kSmsService, kReadMessage, lg.nextPackageCount(), payload)));
}

void SLTCommDeviceLgMessages::headerStage2(const QVariantMap& result)
{
    if (abortedAnswer(result))
        return;
    if (!SLTCommDeviceLgSmsExt::hasResult(result)) {
        _getMessagesInProgress = false;
        _engine.returnResultforCommandRequest(result);
        return;
    }
    if (signalOf(result) != QLatin1String(kReadingSignal))
        return;
    const QByteArray reply = SLTCommDeviceLgSmsExt::unescapedReply(result);
    if (reply.size() < kMinHeaderAnswer) {
        stop(result, QStringLiteral("header answer of %1 bytes").arg(reply.size()));
        return;
    }
    const quint8 kind = quint8(reply[3]);
    if (kind == kHeaderAnswer) {
        if (_memPlaces.size() >= kMaxHeaders) {
            stop(result, QStringLiteral("more than %1 headers").arg(kMaxHeaders));
            return;
        }
        if (reply.size() <= kHeaderStatus) {
            stop(result, QStringLiteral("header answer of %1 bytes").arg(reply.size()));
            return;
        }
        _memPlaces.append({readLe16(reply, 9), quint8(reply[kHeaderStatus])});
        const int n = int(_memPlaces.size());
        _engine.returnProgressforCommandRequest(result, n, n + 10);
        askHeader(stageOf(result));
        return;
    }
    if (kind != kHeaderEnd) {
        stop(result, QStringLiteral("header answer of kind %1").arg(kind, 2, 16, QLatin1Char('0')));
        return;
    }
    _maxEntry = int(_memPlaces.size());
    if (_memPlaces.isEmpty()) {
        handOverLists(result);
        return;
    }
    _asksOfPlace = 0;
    askMessage(stageOf(result));
}

void SLTCommDeviceLgMessages::messageStage2(const QVariantMap& result)
{
    _engine.returnProgressforCommandRequest(result, _maxEntry - int(_memPlaces.size()), _maxEntry);
    if (abortedAnswer(result))
        return;
    if (!SLTCommDeviceLgSmsExt::hasResult(result)) {
        _getMessagesInProgress = false;
        _engine.returnResultforCommandRequest(result);
        return;
    }
    const QByteArray reply = SLTCommDeviceLgSmsExt::unescapedReply(result);
    if (reply.size() < kMinMessageAnswer || _memPlaces.isEmpty()) {
        stop(result, QStringLiteral("message answer of %1 bytes").arg(reply.size()));
        return;
    }
    const Header header = _memPlaces.last();
    ++_asksOfPlace;
    const int parts = quint8(reply[reply.size() - 9]);
    const int part = quint8(reply[reply.size() - 5]);
    if (reply.size() == kMinMessageAnswer) {
        kitLogWith([&] { return QStringLiteral("LG messages: place %1 holds no message; skipped").arg(header.place); });
        nextPlaceOrHandOver(result);
        return;
    }
    extractPduFromData(reply, header.status);
    if (parts < 2 || part >= parts - 1) {
        nextPlaceOrHandOver(result);
    } else if (_asksOfPlace >= parts) {
        stop(result, QStringLiteral("place %1 answered more than its %2 parts").arg(header.place).arg(parts));
    } else {
        askMessage(stageOf(result));
    }
}

void SLTCommDeviceLgMessages::nextPlaceOrHandOver(const QVariantMap& result)
{
    _memPlaces.removeLast();
    _asksOfPlace = 0;
    if (_memPlaces.isEmpty())
        handOverLists(result);
    else
        askMessage(stageOf(result));
}

void SLTCommDeviceLgMessages::handOverLists(const QVariantMap& result)
{
    _getMessagesInProgress = false;
    for (const SLTPduListPtr& list : {_pduListe0, _pduListe2, _pduListe3}) {
        QVariantMap answer = result;
        answer.insert(key(kSLTCommDeviceCommandQueueCommandResult), QVariant::fromValue(list));
        _engine.returnOkResultforCommandRequest(answer);
    }
}

void SLTCommDeviceLgMessages::extractPduFromData(const QByteArray& reply, quint8 status)
{
    SLTPduListPtr list;
    int pduStatus = 0;
    switch (status) {
    case 0:
        list = _pduListe0;
        pduStatus = 0;
        break;
    case 3:
        list = _pduListe3;
        pduStatus = 3;
        break;
    case 4:
        list = _pduListe2;
        pduStatus = 2;
        break;
    default:
        return;
    }
    if (quint8(reply[kPduLength]) == 0xFF)
        return;
    const int length = quint8(reply[kPduLength]) + 1;
    if (kPduStart + length >= reply.size())
        return;
    const QByteArray text = reply.mid(kPduStart, length).toHex().toUpper();
    list->liste().appendItem(
        std::make_unique<kestrova::pdu>(text, unsigned(readLe16(reply, 9)), pduStatus, QStringLiteral("ME")));
}

// --- Deleting ---------------------------------------------------------------

void SLTCommDeviceLgMessages::lgViewtyDeleteSmsArray(const QVariantList& messages, const SLTInvocationPtr& stage)
{
    SLTCommDeviceLgSmsExt& lg = port();
    QList<QVariantMap> commands;
    _deleteFailed.clear();
    for (const QVariant& value : messages) {
        const QVariantMap message = value.toMap();
        QList<int> places;
        for (const QString& index : message.value(QStringLiteral("memIndexes")).toString().split(QLatin1Char(','))) {
            bool ok = false;
            const int place = index.trimmed().toInt(&ok);
            if (ok && place >= 0 && place <= 0xFFFF && !places.contains(place))
                places.append(place);
        }
        if (places.isEmpty()) {
            kitLogWith([] { return QStringLiteral("LG messages: a message without places not deleted"); });
            continue;
        }
        const int which = int(_deleteFailed.size());
        _deleteFailed.append(false);
        for (qsizetype i = 0; i < places.size(); ++i) {
            const QByteArray payload = le16Bytes(places[i]) + QByteArray(2, '\0');
            QVariantMap command = lg.makeFrameCommand(
                stage, kDeleteStage, kDeletedSignal,
                frame(kSmsService, kDeleteMessage, lg.nextPackageCount(), payload));
            command.insert(QStringLiteral("lgMessage"), which);
            if (i == places.size() - 1)
                command.insert(key(kSLTCommDeviceCommandQueueCommandPayload), message);
            commands.append(command);
        }
    }
    _deletesLeft = int(commands.size());
    if (commands.isEmpty()) {
        QVariantMap done{{key(kSLTCommDeviceCommandInfo), QVariant::fromValue(stage)},
                         {key(kSLTCommDeviceCommandCallbackSignal), QLatin1String(kDeleteFinishedSignal)},
                         {key(kSLTCommDeviceCommandQueueCommandResult), true}};
        _engine.returnOkResultforCommandRequest(done);
        return;
    }
    _engine.addCommands(commands);
}

void SLTCommDeviceLgMessages::deleteStage2(const QVariantMap& result)
{
    const int which = result.value(QStringLiteral("lgMessage")).toInt();
    const bool ok = SLTCommDeviceLgSmsExt::hasResult(result);
    if (!ok && which < _deleteFailed.size())
        _deleteFailed[which] = true;
    QVariantMap answer = result;
    answer.remove(QStringLiteral("lgMessage"));
    const bool last = result.contains(key(kSLTCommDeviceCommandQueueCommandPayload));
    if (last && which < _deleteFailed.size() && !_deleteFailed[which])
        _engine.returnOkResultforCommandRequest(answer);
    else if (last)
        kitLogWith([] { return QStringLiteral("LG messages: a message was not deleted"); });
    if (--_deletesLeft == 0) {
        answer.remove(key(kSLTCommDeviceCommandQueueCommandPayload));
        answer.insert(key(kSLTCommDeviceCommandQueueCommandResult), true);
        answer.insert(key(kSLTCommDeviceCommandCallbackSignal), QLatin1String(kDeleteFinishedSignal));
        _engine.returnOkResultforCommandRequest(answer);
    }
}

// --- Service centre ---------------------------------------------------------

void SLTCommDeviceLgMessages::lgViewtyGetScAddress(const SLTInvocationPtr& stage)
{
    SLTCommDeviceLgSmsExt& lg = port();
    _engine.addCommand(
        lg.makeFrameCommand(stage, kScStage, kScSignal, frame(kSmsService, kScAddress, lg.nextPackageCount())));
}

QString SLTCommDeviceLgMessages::extractScAddress(const QByteArray& reply)
{
    const qsizetype end = reply.size() - 9;
    if (end < kScDigits)
        return {};
    QString digits;
    bool ended = false;
    for (qsizetype i = kScDigits; i < end; ++i) {
        if (reply[i] == kScEnd) {
            ended = true;
            break;
        }
        digits += QString::number(quint8(reply[i]));
    }
    if (!ended)
        while (digits.size() > 2 && digits.endsWith(QLatin1Char('0')))
            digits.chop(1);
    if (quint8(reply[end]) == 1)
        digits.prepend(QLatin1Char('+'));
    return digits;
}

void SLTCommDeviceLgMessages::scAddressStage2(const QVariantMap& result)
{
    if (!SLTCommDeviceLgSmsExt::hasResult(result)) {
        _engine.returnResultforCommandRequest(result);
        return;
    }
    const QByteArray reply = SLTCommDeviceLgSmsExt::unescapedReply(result);
    const QString address = extractScAddress(reply);
    kitLogWith([&] {
        return QStringLiteral("LG messages: service centre %1 from %2")
            .arg(address, QString::fromLatin1(reply.toHex(' ')));
    });
    QVariantMap answer = result;
    if (address.isEmpty() || address == QLatin1String("+")) {
        answer.remove(key(kSLTCommDeviceCommandQueueCommandResult));
        _engine.returnResultforCommandRequest(answer);
        return;
    }
    answer.insert(key(kSLTCommDeviceCommandQueueCommandResult), address);
    _engine.returnOkResultforCommandRequest(answer);
}
