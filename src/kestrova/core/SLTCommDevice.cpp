#include "kestrova/core/SLTCommDevice.h"

#include "kestrova/core/CoreConstants.h"
#include "kestrova/core/EngineReplies.h"
#include "kestrova/core/KitLog.h"
#include "kestrova/sms/Constants.h"
#include "kestrova/sms/PduCodec.h"
#include "kestrova/sms/addressList.h"
#include "kestrova/sms/sms.h"
#include "platform/RunLoop.h"
#include "platform/UserDefaults.h"

#include <QHash>

#include <algorithm>

using namespace kestrova::core;
using namespace kestrova::core::engine;
using kestrova::kitLog;
using kestrova::kitLogWith;

namespace {

const QString kDeliverAction = QStringLiteral("deliverToStage");
const QString kLastMessageReference = QStringLiteral("lastMessageReference");
const QString kSmscAddress = QStringLiteral("smscAddress");
const QString kEmptyStorageLists = QStringLiteral("+CPMS: (),(),()\r\n\r\nOK\r\n");
constexpr int kMaxMessageReference = 255;

bool isDigits(const QString& text)
{
    if (text.isEmpty())
        return false;
    for (QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    return true;
}

// The first storage name of a preference order that a list offers.
// A message asked to be deleted is still the one the phone holds when it sits
// in the same memory at the same places and, where the request carries them,
// has the same text and number. A request may hold more keys than a fresh
// read gives (a caller's own record keys), so whole dictionaries never match.
bool sameMessageOnPhone(const QVariantMap& request, const QVariantMap& onPhone)
{
    for (const char* identity : {"memory", "memIndexes"}) {
        const QString wanted = request.value(QLatin1String(identity)).toString();
        if (wanted.isEmpty() || wanted != onPhone.value(QLatin1String(identity)).toString())
            return false;
    }
    for (const char* content : {"message", "number"}) {
        const QVariant wanted = request.value(QLatin1String(content));
        if (wanted.isValid() && wanted.toString() != onPhone.value(QLatin1String(content)).toString())
            return false;
    }
    return true;
}

bool stillOnPhone(const QVariantMap& request, const QVariantList& current)
{
    return std::any_of(current.begin(), current.end(),
                       [&](const QVariant& onPhone) { return sameMessageOnPhone(request, onPhone.toMap()); });
}

QString firstOffered(const QString& list, std::initializer_list<const char*> order, const char* fallback)
{
    for (const char* name : order)
        if (list.contains(QLatin1String(name)))
            return QLatin1String(name);
    return QLatin1String(fallback);
}

} // namespace

SLTCommDevice::SLTCommDevice()
    : SLTCommDevice(std::make_unique<SLTCommDeviceCommandQueue>())
{
}

SLTCommDevice::SLTCommDevice(std::unique_ptr<SLTCommDeviceCommandQueue> queue)
    : _commandQueue(std::move(queue))
    , _storedSendTimer([this] { insertStoredSend(); })
{
    _commandQueue->setDelegate(this);
}

SLTCommDevice::~SLTCommDevice()
{
    if (_queueEmptyObserver)
        platform::NotificationCenter::defaultCenter().removeObserver(_queueEmptyObserver);
    platform::runloop::cancelPreviousPerformRequests(this);
    _commandQueue->setDelegate(nullptr);
}

void SLTCommDevice::setFamily(const QString& family)
{
    _family = family;
    _commandQueue->setFamily(family);
    // "lg3" phones take larger packets; any other family gets the sizes of
    // a new engine back (an "lg2" upload runs under "lg3" for a while).
    const bool lg3 = family == QLatin1String("lg3");
    _maxDataPacketSize = lg3 ? kLg3MaxDataPacketSize : kMaxDataPacketSize;
    _maxTransportPacketSize = lg3 ? kLg3MaxTransportPacketSize : kMaxTransportPacketSize;
}

void SLTCommDevice::setType(int type)
{
    _type = type;
    _commandQueue->setDeviceType(type);
}

void SLTCommDevice::setQuorvalisID(int identifier)
{
    _quorvalisID = identifier;
    _commandQueue->setQuorvalisID(identifier);
}

void SLTCommDevice::close(const QString& signal)
{
    if (_stayConnected && _type == kDeviceTypeBluetooth)
        return;
    _commandQueue->addCommand({{key(kSLTCommDeviceRequestFinishedSignal), signal},
                               {key(kSLTCommDeviceCommandQueueValueRequestedState), kStateClosed}});
}

void SLTCommDevice::fullStop()
{
    _storedSendTimer.stop();
    _storedSendStage.reset();
    platform::runloop::cancelPreviousPerformRequests(this);
    _commandQueue->fullStop();
    _getMessagesInProgress = false;
}

bool SLTCommDevice::notFinishedYet()
{
    if (_commandQueue->isEmpty())
        return false;
    if (!_queueEmptyObserver) {
        auto& center = platform::NotificationCenter::defaultCenter();
        _queueEmptyObserver = center.addObserver(
            this, key(kSLTCommDeviceCommandQueueEmpty), _commandQueue.get(), [this](const platform::Notification&) {
                platform::NotificationCenter::defaultCenter().removeObserver(_queueEmptyObserver);
                _queueEmptyObserver = 0;
                platform::NotificationCenter::defaultCenter().post(key(kSLTCommDeviceFinishedQueue), this);
            });
    }
    return true;
}

SLTInvocationPtr SLTCommDevice::getInvocationForSelector(std::weak_ptr<const void> target,
                                                         SLTInvocation::NotificationStage stage,
                                                         SLTInvocation::CommandStage commandStage)
{
    return std::make_shared<SLTInvocation>(std::move(target), std::move(stage), std::move(commandStage));
}

void SLTCommDevice::commandResult(const platform::Notification& n)
{
    using Stage = void (SLTCommDevice::*)(const platform::Notification&);
    static const QHash<QString, Stage> stages = [] {
        QHash<QString, Stage> table;
        table.insert(key(kSLTCommDeviceGetImsi), &SLTCommDevice::imsiStage);
        table.insert(key(kSLTCommDeviceGetSmscAddress), &SLTCommDevice::smscStage);
        table.insert(key(kSLTCommDeviceSetPreferredSmsMemory), &SLTCommDevice::preferredMemoryStage2);
        table.insert(key(kSLTCommDeviceSetPreferredSmsMemory2), &SLTCommDevice::preferredMemoryStage3);
        table.insert(key(kSLTCommDeviceGetMessagesGetMemories), &SLTCommDevice::inboxStage2);
        for (const char* step : {kSLTCommDeviceGetMessagesInboxSetPduMode, kSLTCommDeviceGetMessagesInboxSetMemory,
                                 kSLTCommDeviceGetMessagesInboxGetMessagesState0,
                                 kSLTCommDeviceGetMessagesInboxGetMessagesState1,
                                 kSLTCommDeviceGetMessagesDraftsSetPduMode, kSLTCommDeviceGetMessagesDraftsSetMemory,
                                 kSLTCommDeviceGetMessagesDraftsGetMessagesState2,
                                 kSLTCommDeviceGetMessagesSentSetPduMode, kSLTCommDeviceGetMessagesSentSetMemory,
                                 kSLTCommDeviceGetMessagesSentGetMessagesState3})
            table.insert(key(step), &SLTCommDevice::listStep);
        for (const char* end : {kSLTCommDeviceGetMessagesInboxSequenceFinished,
                                kSLTCommDeviceGetMessagesDraftsSequenceFinished,
                                kSLTCommDeviceGetMessagesSentSequenceFinished})
            table.insert(key(end), &SLTCommDevice::listEnd);
        table.insert(key(kSLTCommDeviceGetFreeMemory), &SLTCommDevice::freeMemoryStage);
        addPhonebookStages(table);
        for (const char* step : {kSLTCommDeviceDeleteSms, kSLTCommDeviceDeleteSmsSequenceFinished,
                                 kSLTCommDeviceCommandDeleteSMSSequenceFinished, kSLTCommDeviceDeleteSmsArray,
                                 kSLTCommDeviceDeleteSmsArrayMessageDeleted,
                                 kSLTCommDeviceDeleteSmsArraySequenceFinished})
            table.insert(key(step), &SLTCommDevice::deleteStage);
        for (const char* step :
             {kSLTCommDeviceCommandSendTextMessageGetMemories, kSLTCommDeviceCommandSendTextMessageMemoriesSet,
              kSLTCommDeviceCommandSendTextMessageTimeoutIncreased, kSLTCommDeviceCommandSendTextMessagePduPre,
              kSLTCommDeviceCommandSendTextMessagePduSent, kSLTCommDeviceCommandSendTextMessagePduStored,
              kSLTCommDeviceCommandSendTextMessagePduSentFromMemory, kSLTCommDeviceCommandSendTextMessagePduDeleted,
              kSLTCommDeviceCommandSendTextMessageWaitAfterPdu, kSLTCommDeviceCommandSendTextMessageTimeoutDecreased,
              kSLTCommDeviceCommandSendTextMessageFinished})
            table.insert(key(step), &SLTCommDevice::sendStage);
        return table;
    }();
    const auto found = stages.constFind(n.name);
    if (found != stages.constEnd())
        (this->*found.value())(n);
}

void SLTCommDevice::registerCommandCallback(const QString& selector, CommandCallback callback)
{
    _commandCallbacks.insert(selector, std::move(callback));
}

void SLTCommDevice::performCommandCallback(const QString& selector, const QVariantMap& result)
{
    const auto found = _commandCallbacks.constFind(selector);
    if (found != _commandCallbacks.constEnd()) {
        // A copy: the callback may register others while it runs.
        const CommandCallback callback = found.value();
        callback(result);
        return;
    }
    kitLogWith([&] { return QStringLiteral("SLTCommDevice: no engine method %1").arg(selector); });
}

void SLTCommDevice::returnResult(const QVariant& result, const platform::Notification& n)
{
    const SLTInvocationPtr stage = stageOf(n.userInfo);
    if (!stage) {
        kitLog("SLTCommDevice returnResult: missing signalName or invocation");
        return;
    }
    QVariantMap info;
    const char* kind = nullptr;
    if (n.userInfo.contains(key(kSLTCommDeviceCommandQueueCommandResult)))
        kind = result.isValid() ? nullptr : kSLTCommDeviceCommandReturnedError;
    else if (n.userInfo.contains(key(kSLTCommDeviceCommandQueueConnectionError)))
        kind = kSLTCommDeviceConnectionError;
    else if (n.userInfo.contains(key(kSLTCommDeviceCommandQueueCommandError)))
        kind = kSLTCommDeviceCommandReturnedError;
    else if (n.userInfo.contains(key(kSLTCommDeviceCommandQueueTimeout)))
        kind = kSLTCommDeviceCommandQueueTimeout;
    if (kind)
        info = {{key(kind), key(kind)}, {key(kSLTCommDeviceCommandStep), n.name}};
    else if (hasReply(n))
        info = {{key(kSLTCommDeviceReturnValue), result}};
    stage->invoke(platform::Notification{n.name, this, info});
}

void SLTCommDevice::returnOkResultforCommandRequest(QVariantMap command)
{
    command.insert(key(kSLTCommDeviceReturnValue), command.take(key(kSLTCommDeviceCommandQueueCommandResult)));
    returnResultforCommandRequest(std::move(command));
}

void SLTCommDevice::returnResultforCommandRequest(QVariantMap command)
{
    command.insert(key(kSLTCommDeviceCommandStep), command.take(key(kSLTCommDeviceCommandCallbackSignal)));
    if (const SLTInvocationPtr stage = stageOf(command))
        stage->invoke(command);
}

void SLTCommDevice::returnProgressforCommandRequest(const QVariantMap& command, int current, int max)
{
    QVariantMap progress = command;
    progress.insert(key(kSLTCommDeviceCommandQueueCommandResult), max == 0 ? 0.0 : double(current * 100 / max));
    progress.insert(key(kSLTCommDeviceCommandCallbackSignal), QStringLiteral("progress"));
    returnOkResultforCommandRequest(std::move(progress));
}

QString SLTCommDevice::convertToCurrentEncoding(const QString& text) const
{
    if (_currentEncoding == QLatin1String("UCS2"))
        return kestrova::Constants::encodeToUcs2CocoaAsciiStream(text);
    if (_currentEncoding == QLatin1String("GSM"))
        return kestrova::Constants::encodeToGsmAsciiStream(text);
    return text;
}

QString SLTCommDevice::convertToNSStringEncoding(const QString& field) const
{
    const QByteArray ascii = field.toLatin1();
    if (_currentEncoding == QLatin1String("UCS2"))
        return kestrova::Constants::decodeFromUcs2AsciiStream(ascii);
    if (_currentEncoding == QLatin1String("GSM"))
        return kestrova::Constants::decodeFromGsmAsciiStream(ascii);
    return QString::fromLatin1(ascii);
}

QString SLTCommDevice::parseCurrentTerminalEncoding(const QString& reply)
{
    if (reply.contains(QLatin1String("UCS2")) || reply.contains(QLatin1String("0055004300530032")))
        return QStringLiteral("UCS2");
    if (reply.contains(QLatin1String("GSM")) || reply.contains(QLatin1String("00470053004D")))
        return QStringLiteral("GSM");
    return QStringLiteral("ASCII");
}

QString SLTCommDevice::getEncodedStringForEncoding(const QString& current, const QString& wanted) const
{
    if (current != QLatin1String("UCS2") || _family != QLatin1String("se"))
        return wanted;
    if (wanted == QLatin1String("UCS2"))
        return QStringLiteral("0055004300530032");
    if (wanted == QLatin1String("UTF-8"))
        return QStringLiteral("005500540046002D0038");
    if (wanted == QLatin1String("UTF8"))
        return QStringLiteral("0055005400460038");
    return QStringLiteral("00470053004D");
}

QString SLTCommDevice::stripQuotationMarks(const QString& field)
{
    const QStringList parts = field.split(QLatin1Char('"'));
    return parts.size() == 3 ? parts.at(1) : parts.first();
}

// --- Commands -------------------------------------------------------------

QVariantMap SLTCommDevice::makeCommand(const SLTInvocationPtr& stage, const char* signal, int requestedState,
                                       const QString& text) const
{
    QVariantMap command{{key(kSLTCommDeviceCommandInfo), QVariant::fromValue(stage)},
                        {key(kSLTCommDeviceCommandCallbackSignal), key(signal)},
                        {key(kSLTCommDeviceCommandQueueValueRequestedState), requestedState}};
    if (!text.isNull())
        command.insert(key(kSLTStateMachineCommandCustom), text);
    return command;
}

QVariantMap SLTCommDevice::makeSequenceEnd(const SLTInvocationPtr& stage, const char* signal,
                                           const QVariant& payload) const
{
    QVariantMap command{{key(kSLTCommDeviceCommandInfo), QVariant::fromValue(stage)},
                        {key(kSLTCommDeviceCommandCallbackSignal), key(signal)},
                        {key(kSLTCommDeviceCommandSequenceFinished), key(kSLTCommDeviceCommandSequenceFinished)}};
    if (payload.isValid())
        command.insert(key(kSLTCommDeviceCommandQueueCommandPayload), payload);
    return command;
}

QVariantMap SLTCommDevice::makePlaceholder(const SLTInvocationPtr& stage, const char* signal) const
{
    return {{key(kSLTCommDeviceCommandInfo), QVariant::fromValue(stage)},
            {key(kSLTCommDeviceCommandCallbackSignal), key(signal)},
            {key(kSLTCommDeviceCommandQueueCommandPlaceholder), key(kSLTCommDeviceCommandQueueCommandPlaceholder)}};
}

void SLTCommDevice::deliverLater(const SLTInvocationPtr& stage, const QString& name, const QVariantMap& userInfo)
{
    platform::runloop::performAfterDelay(this, kDeliverAction, 0, [this, stage, name, userInfo] {
        if (stage)
            stage->invoke(platform::Notification{name, this, userInfo});
    });
}

void SLTCommDevice::deliverKindLater(const SLTInvocationPtr& stage, const QString& name, const char* kind)
{
    deliverLater(stage, name, {{key(kind), key(kind)}, {key(kSLTCommDeviceCommandStep), name}});
}

void SLTCommDevice::deliverValue(const platform::Notification& n, const QString& name, const QVariant& value)
{
    if (const SLTInvocationPtr stage = stageOf(n.userInfo))
        stage->invoke(platform::Notification{name, this, {{key(kSLTCommDeviceReturnValue), value}}});
}

// --- SIM queries ----------------------------------------------------------

void SLTCommDevice::getImsi(const SLTInvocationPtr& stage)
{
    _commandQueue->addCommand(makeCommand(stage, kSLTCommDeviceGetImsi, 11));
}

QString SLTCommDevice::parseImsi(const QString& reply)
{
    const QStringList parts = reply.split(QStringLiteral("\r\n"));
    if (parts.size() == 4) {
        QString imsi = parts.at(1);
        if (imsi.endsWith(QLatin1Char('\r')))
            imsi.truncate(imsi.indexOf(QLatin1Char('\r')));
        return imsi;
    }
    if (parts.size() == 5) {
        const QString& line = parts.at(1);
        if (line.count(QLatin1Char(' ')) == 1)
            return line.section(QLatin1Char(' '), 1);
        return line;
    }
    return QString(QLatin1String(""));
}

void SLTCommDevice::imsiStage(const platform::Notification& n)
{
    returnResult(hasReply(n) ? QVariant(parseImsi(replyText(n))) : QVariant(), n);
}

void SLTCommDevice::getSmscAddress(const SLTInvocationPtr& stage)
{
    _commandQueue->addCommand(makeCommand(stage, kSLTCommDeviceGetSmscAddress, 12));
}

std::optional<QString> SLTCommDevice::parseSmscAddress(const QString& reply)
{
    const QStringList parts = reply.split(QLatin1Char('"'));
    if (parts.size() < 3)
        return std::nullopt;
    QString number = parts.at(1);
    if (!number.startsWith(QLatin1Char('+')) && parts.at(2).startsWith(QLatin1String(",145")))
        number.prepend(QLatin1Char('+'));
    return number;
}

void SLTCommDevice::smscStage(const platform::Notification& n)
{
    const std::optional<QString> number = hasReply(n) ? parseSmscAddress(replyText(n)) : std::nullopt;
    returnResult(number ? QVariant(*number) : QVariant(), n);
}

// --- Storages ---------------------------------------------------------------

std::optional<QString> SLTCommDevice::parsePduMemoriesFrom(const QString& reply, const QString& family)
{
    const QStringList lines = reply.split(QStringLiteral("\r\n"));
    if (lines.size() != 4 && lines.size() != 5)
        return std::nullopt;
    QStringList lists = lines.at(1).split(QLatin1Char('('));
    if (lists.size() == 3 && family == QLatin1String("samsung"))
        lists.append(lists.last());
    if (lists.size() != 4)
        return std::nullopt;
    const QString first = firstOffered(lists.at(1), {"ME", "MT"}, "SM");
    const QString second = firstOffered(lists.at(2), {"ME", "MT", "DM"}, "SM");
    const QString third = firstOffered(lists.at(3), {"ME", "IM", "MT"}, "SM");
    return QStringLiteral("AT+CPMS=\"%1\",\"%2\",\"%3\"\r").arg(first, second, third);
}

std::optional<QStringList> SLTCommDevice::parseReadingPduMemoriesFrom(const QString& reply)
{
    const QStringList lines = reply.split(QStringLiteral("\r\n"));
    bool found = false;
    for (const QString& line : lines)
        found = found || line.toUpper().startsWith(QLatin1String("+CPMS"));
    if (!found || lines.size() < 2)
        return std::nullopt;
    const QStringList lists = lines.at(1).split(QLatin1Char('('));
    if (lists.size() < 2)
        return std::nullopt;
    const QString& offered = lists.at(1);
    QStringList storages;
    if (offered.contains(QLatin1String("SM")))
        storages.append(QStringLiteral("SM"));
    if (offered.contains(QLatin1String("ME")))
        storages.append(QStringLiteral("ME"));
    else if (offered.contains(QLatin1String("MT")))
        storages.append(QStringLiteral("MT"));
    if (storages.isEmpty())
        return std::nullopt;
    return storages;
}

void SLTCommDevice::setPreferredSmsMemory(const SLTInvocationPtr& stage)
{
    _commandQueue->addCommands({makeCommand(stage, kSLTCommDeviceSetPreferredSmsMemory, 14),
                                makePlaceholder(stage, kSLTCommDeviceSetPreferredSmsMemory2)});
}

void SLTCommDevice::preferredMemoryStage2(const platform::Notification& n)
{
    const std::optional<QString> command = hasReply(n) ? parsePduMemoriesFrom(replyText(n), _family) : std::nullopt;
    if (!command) {
        // Nothing will replace the placeholder: drop it with the step.
        _commandQueue->removeRestOfCommandSequence();
        returnResult(QVariant(), n);
        return;
    }
    _commandQueue->insertCommand(makeCommand(stageOf(n.userInfo), kSLTCommDeviceSetPreferredSmsMemory2, 13, *command));
}

void SLTCommDevice::preferredMemoryStage3(const platform::Notification& n)
{
    returnResult(QStringLiteral("ok"), n);
}

std::optional<QVariantList> SLTCommDevice::parseFreeMemory(const QString& reply, const QString& family)
{
    const QStringList lines = reply.split(QStringLiteral("\r\n"));
    if (lines.size() != 5)
        return std::nullopt;
    const QStringList fields = lines.at(1).split(QLatin1Char(','));
    if (fields.size() != 9)
        return std::nullopt;
    QHash<QString, QVariantMap> byStorage;
    for (qsizetype i = 0; i + 2 < fields.size();) {
        if (!fields.at(i).contains(QLatin1Char('"'))) {
            ++i;
            continue;
        }
        const QString name = stripQuotationMarks(fields.at(i));
        bool countOk = false;
        bool maxOk = false;
        const int count = fields.at(i + 1).trimmed().toInt(&countOk);
        const int max = fields.at(i + 2).trimmed().toInt(&maxOk);
        if (countOk && maxOk)
            byStorage.insert(name, {{QStringLiteral("ist"), count},
                                    {QStringLiteral("max"), max},
                                    {QStringLiteral("free"), max - count},
                                    {QStringLiteral("type"), name == QLatin1String("SM") ? QStringLiteral("sim")
                                                                                         : QStringLiteral("device")}});
        i += 3;
    }
    QVariantList usage;
    if (family != QLatin1String("motorola") && byStorage.contains(QStringLiteral("SM")))
        usage.append(byStorage.value(QStringLiteral("SM")));
    if (byStorage.contains(QStringLiteral("ME")))
        usage.append(byStorage.value(QStringLiteral("ME")));
    else if (byStorage.contains(QStringLiteral("MT")))
        usage.append(byStorage.value(QStringLiteral("MT")));
    if (usage.isEmpty())
        return std::nullopt;
    return usage;
}

void SLTCommDevice::getFreeMemory(const SLTInvocationPtr& stage)
{
    _commandQueue->addCommand(makeCommand(stage, kSLTCommDeviceGetFreeMemory, 23));
}

void SLTCommDevice::getFreeMemorySM(const SLTInvocationPtr& stage)
{
    _commandQueue->addCommands(
        {makeCommand(stage, kSLTCommDeviceGetFreeMemory, 13, QStringLiteral("AT+CPMS=\"SM\",\"SM\",\"SM\"\r")),
         makeCommand(stage, kSLTCommDeviceGetFreeMemory, 23)});
}

void SLTCommDevice::freeMemoryStage(const platform::Notification& n)
{
    // The storage selection before a query reports only a failure that ends
    // the whole operation; the query's answer reports the rest, once.
    if (n.userInfo.value(key(kSLTCommDeviceCommandQueueValueRequestedState)).toInt() == 13
        && !n.userInfo.contains(key(kSLTCommDeviceCommandQueueConnectionError))
        && !n.userInfo.contains(key(kSLTCommDeviceCommandQueueTimeout)))
        return;
    const std::optional<QVariantList> usage = hasReply(n) ? parseFreeMemory(replyText(n), _family) : std::nullopt;
    returnResult(usage ? QVariant(*usage) : QVariant(), n);
}

// --- Reading ------------------------------------------------------------------

SLTPduListPtr& SLTCommDevice::listForState(int state)
{
    return state == 2 ? _pduListe2 : state == 3 ? _pduListe3 : _pduListe0;
}

SLTPduListPtr SLTCommDevice::messageList(int state) const
{
    return state == 2 ? _pduListe2 : state == 3 ? _pduListe3 : _pduListe0;
}

void SLTCommDevice::getMessagesInbox(const SLTInvocationPtr& stage)
{
    if (_getMessagesInProgress)
        return;
    _getMessagesInProgress = true;
    _pduListe0.reset();
    _commandQueue->addCommand(makeCommand(stage, kSLTCommDeviceGetMessagesGetMemories, 14));
}

void SLTCommDevice::inboxStage2(const platform::Notification& n)
{
    const std::optional<QStringList> storages =
        hasReply(n) ? parseReadingPduMemoriesFrom(replyText(n)) : std::nullopt;
    if (!storages) {
        fullStop();
        returnResult(QVariant(), n);
        return;
    }
    setMemories(*storages);
    const SLTInvocationPtr stage = stageOf(n.userInfo);
    QList<QVariantMap> commands{makeCommand(stage, kSLTCommDeviceGetMessagesInboxSetPduMode, 22)};
    for (const QString& storage : *storages) {
        const QString select = storage == QLatin1String("SM") && _quorvalisID == kSimOnlyModel
                                   ? QStringLiteral("AT+CPMS=\"%1\",\"%1\",\"%1\"\r").arg(storage)
                                   : QStringLiteral("AT+CPMS=\"%1\"\r").arg(storage);
        commands.append(makeCommand(stage, kSLTCommDeviceGetMessagesInboxSetMemory, 38, select));
        QVariantMap unread = makeCommand(stage, kSLTCommDeviceGetMessagesInboxGetMessagesState0, 15);
        unread.insert(key(kSLTCommDeviceCommandQueueCommandPayload), storage);
        QVariantMap read = makeCommand(stage, kSLTCommDeviceGetMessagesInboxGetMessagesState1, 16);
        read.insert(key(kSLTCommDeviceCommandQueueCommandPayload), storage);
        commands << unread << read;
    }
    commands.append(makeSequenceEnd(stage, kSLTCommDeviceGetMessagesInboxSequenceFinished));
    _commandQueue->addCommands(commands);
}

void SLTCommDevice::getMessagesDrafts(const SLTInvocationPtr& stage)
{
    if (_memories.isEmpty()) {
        deliverLater(stage, key(kSLTCommDeviceCommandQueueCommandResult), {});
        return;
    }
    _pduListe2.reset();
    QList<QVariantMap> commands{makeCommand(stage, kSLTCommDeviceGetMessagesDraftsSetPduMode, 22)};
    for (const QString& storage : std::as_const(_memories)) {
        commands.append(makeCommand(stage, kSLTCommDeviceGetMessagesDraftsSetMemory, 38,
                                    QStringLiteral("AT+CPMS=\"%1\"\r").arg(storage)));
        QVariantMap list = makeCommand(stage, kSLTCommDeviceGetMessagesDraftsGetMessagesState2, 17);
        list.insert(key(kSLTCommDeviceCommandQueueCommandPayload), storage);
        commands.append(list);
    }
    commands.append(makeSequenceEnd(stage, kSLTCommDeviceGetMessagesDraftsSequenceFinished));
    _commandQueue->addCommands(commands);
}

void SLTCommDevice::getMessagesSent(const SLTInvocationPtr& stage)
{
    if (_memories.isEmpty()) {
        deliverLater(stage, key(kSLTCommDeviceCommandQueueCommandResult), {});
        return;
    }
    _pduListe3.reset();
    QList<QVariantMap> commands{makeCommand(stage, kSLTCommDeviceGetMessagesSentSetPduMode, 22)};
    for (const QString& storage : std::as_const(_memories)) {
        commands.append(makeCommand(stage, kSLTCommDeviceGetMessagesSentSetMemory, 38,
                                    QStringLiteral("AT+CPMS=\"%1\"\r").arg(storage)));
        QVariantMap list = makeCommand(stage, kSLTCommDeviceGetMessagesSentGetMessagesState3, 18);
        list.insert(key(kSLTCommDeviceCommandQueueCommandPayload), storage);
        commands.append(list);
    }
    commands.append(makeSequenceEnd(stage, kSLTCommDeviceGetMessagesSentSequenceFinished));
    _commandQueue->addCommands(commands);
}

void SLTCommDevice::listStep(const platform::Notification& n)
{
    const QString storage = n.userInfo.value(key(kSLTCommDeviceCommandQueueCommandPayload)).toString();
    const bool drafts = n.name == key(kSLTCommDeviceGetMessagesDraftsGetMessagesState2);
    const bool sent = n.name == key(kSLTCommDeviceGetMessagesSentGetMessagesState3);
    if (hasReply(n)) {
        if (n.name == key(kSLTCommDeviceGetMessagesInboxGetMessagesState1))
            getMessagesParseBuffer(replyText(n), 1, storage);
        else if (drafts)
            getMessagesParseBuffer(replyText(n), 2, storage);
        else if (sent)
            getMessagesParseBuffer(replyText(n), 3, storage);
        return;
    }
    if (drafts && _family == QLatin1String("motorola")) {
        getMessagesParseBuffer(QString(), 2, QStringLiteral("MT"));
        return;
    }
    if (drafts || sent)
        getMessagesParseBuffer(QString(), drafts ? 2 : 3, storage.isEmpty() ? QStringLiteral("SM") : storage);
    fullStop();
    returnResult(QVariant(), n);
}

void SLTCommDevice::listEnd(const platform::Notification& n)
{
    _getMessagesInProgress = false;
    if (!hasReply(n)) {
        fullStop();
        returnResult(QVariant(), n);
        return;
    }
    const int state = n.name == key(kSLTCommDeviceGetMessagesDraftsSequenceFinished) ? 2
                      : n.name == key(kSLTCommDeviceGetMessagesSentSequenceFinished) ? 3
                                                                                      : 0;
    const SLTPduListPtr list = listForState(state);
    returnResult(list ? QVariant::fromValue(list) : QVariant(), n);
}

void SLTCommDevice::getMessagesParseBuffer(const QString& reply, int state, const QString& memory)
{
    if (memory.isEmpty() || state < 0 || state > 3)
        return;
    const int listState = state >= 2 ? state : 0;
    SLTPduListPtr& list = listForState(listState);
    if (!list) {
        list = std::make_shared<kestrova::SLTPduList>();
        list->setState(listState);
    }
    const QStringList lines = reply.split(QStringLiteral("\r\n"));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString& line = lines.at(i);
        if (line == QLatin1String("OK"))
            break;
        if (!line.startsWith(QLatin1String("+CMGL")))
            continue;
        QString fieldsText;
        if (line.count(QLatin1Char(' ')) == 1)
            fieldsText = line.section(QLatin1Char(' '), 1);
        else if (line.contains(QLatin1Char(':')))
            fieldsText = line.section(QLatin1Char(':'), 1);
        else {
            kitLogWith([&] { return QStringLiteral("error while reading pdu header data, line was: %1").arg(line); });
            continue;
        }
        const QString index = fieldsText.section(QLatin1Char(','), 0, 0).trimmed();
        if (index.isEmpty())
            kitLog("memIndex null");
        qsizetype next = i + 1;
        if (next < lines.size() && lines.at(next).isEmpty())
            ++next;
        if (next >= lines.size() || lines.at(next).size() <= 9 || !isDigits(index)) {
            kitLog("#\n#ParseError pduData\n#\n");
            continue;
        }
        list->liste().appendItem(
            std::make_unique<kestrova::pdu>(lines.at(next).toLatin1(), index.toUInt(), state, memory));
        i = next;
    }
}

// --- Deleting -----------------------------------------------------------------

std::optional<QList<QVariantMap>> SLTCommDevice::deleteCommands(const QVariantMap& message,
                                                               const SLTInvocationPtr& stage,
                                                               const char* stepSignal, const char* endSignal) const
{
    const QString memory = message.value(QStringLiteral("memory")).toString();
    const QStringList indexes =
        message.value(QStringLiteral("memIndexes")).toString().split(QLatin1Char(','), Qt::SkipEmptyParts);
    const int select = memory == QLatin1String("MT")   ? 19
                       : memory == QLatin1String("SM") ? 20
                       : memory == QLatin1String("ME") ? 21
                                                       : 0;
    if (select == 0 || indexes.isEmpty())
        return std::nullopt;
    QList<QVariantMap> commands{makeCommand(stage, stepSignal, select)};
    for (const QString& index : indexes) {
        // An index goes into a command line: digits only.
        if (!isDigits(index.trimmed()))
            return std::nullopt;
        commands.append(makeCommand(stage, stepSignal, 24, QStringLiteral("AT+CMGD=%1\r").arg(index.trimmed())));
    }
    commands.append(makeSequenceEnd(stage, endSignal, message));
    return commands;
}

void SLTCommDevice::deleteSms(const QVariantMap& message, const SLTInvocationPtr& stage)
{
    const auto commands = deleteCommands(message, stage, kSLTCommDeviceDeleteSms, kSLTCommDeviceDeleteSmsSequenceFinished);
    if (!commands) {
        deliverLater(stage, key(kSLTCommDeviceCommandQueueCommandError), {});
        return;
    }
    _commandQueue->addCommands(*commands);
}

void SLTCommDevice::deleteSmsArray(const QVariantList& messages, const SLTInvocationPtr& stage)
{
    deleteSmsArray(messages, std::nullopt, stage);
}

void SLTCommDevice::deleteSmsArray(const QVariantList& messages, const std::optional<QVariantList>& current,
                                   const SLTInvocationPtr& stage)
{
    QList<QVariantMap> commands;
    for (const QVariant& message : messages) {
        if (current && !current->isEmpty() && !stillOnPhone(message.toMap(), *current)) {
            kitLog("Kit: a message asked to be deleted is no longer on the phone");
            continue;
        }
        const auto one = deleteCommands(message.toMap(), stage, kSLTCommDeviceDeleteSmsArray,
                                        kSLTCommDeviceDeleteSmsArrayMessageDeleted);
        if (!one) {
            deliverLater(stage, key(kSLTCommDeviceCommandQueueCommandError), {});
            return;
        }
        commands.append(*one);
    }
    commands.append(makeSequenceEnd(stage, kSLTCommDeviceDeleteSmsArraySequenceFinished));
    _commandQueue->addCommands(commands);
}

void SLTCommDevice::deleteSmsFinished(const SLTInvocationPtr& stage)
{
    _commandQueue->addCommand(makeSequenceEnd(stage, kSLTCommDeviceCommandDeleteSMSSequenceFinished));
}

void SLTCommDevice::deleteStage(const platform::Notification& n)
{
    const bool end = n.userInfo.contains(key(kSLTCommDeviceCommandSequenceFinished));
    if (!hasReply(n)) {
        returnResult(QVariant(), n);
        return;
    }
    if (!end)
        return;
    const QVariant payload = n.userInfo.value(key(kSLTCommDeviceCommandQueueCommandPayload));
    returnResult(payload.isValid() ? payload : QVariant(QStringLiteral("ok")), n);
}

// --- Sending ------------------------------------------------------------------

void SLTCommDevice::sendTextMessage(const QString& text, const QStringList& recipients, bool specialChars,
                                    const QString& smsc, const SLTInvocationPtr& stage)
{
    auto& defaults = platform::UserDefaults::standard();
    int reference = defaults.integer(kLastMessageReference);
    if (reference >= kMaxMessageReference || reference < 0)
        reference = 0;
    defaults.setObject(kLastMessageReference, reference + 1);
    defaults.synchronize();

    kestrova::sms message;
    message.setMR(reference);
    if (_validityPeriod != 0)
        message.setRelativeValidity(_validityPeriod);
    if (specialChars) {
        message.setTP_DCS(8);
        message.setUcs2Text(text);
    }
    auto addresses = std::make_unique<kestrova::addressList>();
    for (const QString& number : recipients)
        addresses->appendItem(number);
    message.setAddressList(std::move(addresses));
    const QString storedCentre = defaults.string(kSmscAddress);
    message.setSmsc(!storedCentre.isEmpty() ? storedCentre : !smsc.isEmpty() ? smsc : QStringLiteral("00"));
    message.setUtf8String(text.toUtf8());

    int error = 0;
    const std::unique_ptr<kestrova::pduList> pdus = kestrova::createPduListFromSms(message, &error);
    if (!pdus || pdus->length() == 0) {
        kitLogWith([&] { return QStringLiteral("SLTCommDevice: sending - no PDU made (error %1)").arg(error); });
        deliverKindLater(stage, key(kSLTCommDeviceCommandSendTextMessageFinished), kSLTCommDeviceCommandReturnedError);
        return;
    }

    const bool motorola = _family == QLatin1String("motorola");
    QList<QVariantMap> commands{makeCommand(stage, kSLTCommDeviceCommandSendTextMessageGetMemories, 14),
                                makePlaceholder(stage, kSLTCommDeviceCommandSendTextMessageMemoriesSet),
                                makeCommand(stage, kSLTCommDeviceCommandSendTextMessageTimeoutIncreased, 27)};
    if (_family == QLatin1String("samsung")) {
        commands.append(
            makeCommand(stage, kSLTCommDeviceCommandSendTextMessageTimeoutIncreased, 42, QStringLiteral("atz\r")));
        commands.append(makeCommand(stage, kSLTCommDeviceCommandSendTextMessageTimeoutIncreased, 22));
    }
    const qsizetype count = pdus->length();
    for (const auto& part : *pdus) {
        const QString body = QString::fromLatin1(part->getPduText()) + QChar(0x1A);
        if (motorola) {
            commands.append(makeCommand(stage, kSLTCommDeviceCommandSendTextMessagePduPre, 25,
                                        QStringLiteral("AT+CMGW=%1\r").arg(part->getTpduLength())));
            commands.append(makeCommand(stage, kSLTCommDeviceCommandSendTextMessagePduStored, 26, body));
            commands.append(makePlaceholder(stage, kSLTCommDeviceCommandSendTextMessagePduSentFromMemory));
            commands.append(makePlaceholder(stage, kSLTCommDeviceCommandSendTextMessagePduDeleted));
        } else {
            commands.append(makeCommand(stage, kSLTCommDeviceCommandSendTextMessagePduPre, 25,
                                        QStringLiteral("AT+CMGS=%1\r").arg(part->getTpduLength())));
            commands.append(makeCommand(stage, kSLTCommDeviceCommandSendTextMessagePduSent, 26, body));
            if (count >= 2)
                commands.append(makeCommand(stage, kSLTCommDeviceCommandSendTextMessageWaitAfterPdu, 46));
        }
    }
    commands.append(makeCommand(stage, kSLTCommDeviceCommandSendTextMessageTimeoutDecreased, 28));
    commands.append(makeSequenceEnd(stage, kSLTCommDeviceCommandSendTextMessageFinished));
    _commandQueue->addCommands(commands);
}

QString SLTCommDevice::parseMR(const QString& reply)
{
    const QStringList lines = reply.split(QStringLiteral("\r\n"));
    if (lines.size() != 5)
        return QString(QLatin1String(""));
    const QString& line = lines.at(1);
    const qsizetype blank = line.indexOf(QLatin1Char(' '));
    return blank < 0 ? QString(QLatin1String("")) : line.mid(blank + 1);
}

void SLTCommDevice::sendStage(const platform::Notification& n)
{
    if (!hasReply(n)) {
        _commandQueue->removeRestOfCommandSequence();
        returnResult(QVariant(), n);
        kitLog("SLTCommDevice: sending - removing observers");
        return;
    }
    const SLTInvocationPtr stage = stageOf(n.userInfo);
    const QString reply = replyText(n);
    if (n.name == key(kSLTCommDeviceCommandSendTextMessageGetMemories)) {
        const std::optional<QString> command =
            reply.endsWith(kEmptyStorageLists) ? QStringLiteral("AT\r") : parsePduMemoriesFrom(reply, _family);
        if (!command) {
            _commandQueue->removeRestOfCommandSequence();
            returnResult(QVariant(), n);
            kitLog("SLTCommDevice: sending - removing observers");
            return;
        }
        _commandQueue->insertCommand(makeCommand(stage, kSLTCommDeviceCommandSendTextMessageMemoriesSet, 13, *command));
    } else if (n.name == key(kSLTCommDeviceCommandSendTextMessagePduPre)) {
        deliverValue(n, key(kSLTCommDeviceSendingPdu), key(kSLTCommDeviceSendingPdu));
    } else if (n.name == key(kSLTCommDeviceCommandSendTextMessagePduSent)) {
        deliverValue(n, key(kSLTCommDevicePduSent), key(kSLTCommDevicePduSent));
    } else if (n.name == key(kSLTCommDeviceCommandSendTextMessagePduStored)) {
        // The phone needs a moment before it sends what it has just stored;
        // the send from storage replaces the placeholder after the pause.
        _mr = parseMR(reply).trimmed();
        // The index goes into the next command lines: digits only.
        if (!isDigits(_mr)) {
            _commandQueue->removeRestOfCommandSequence();
            returnResult(QVariant(), n);
            kitLog("SLTCommDevice: sending - removing observers");
            return;
        }
        _storedSendStage = stage;
        _storedSendTimer.start(kMotorolaStoragePauseSeconds);
    } else if (n.name == key(kSLTCommDeviceCommandSendTextMessagePduSentFromMemory)) {
        if (_family == QLatin1String("motorola"))
            _commandQueue->insertCommand(makeCommand(stage, kSLTCommDeviceCommandSendTextMessagePduDeleted, 24,
                                                     QStringLiteral("AT+CMGD=%1\r").arg(_mr)));
        deliverValue(n, key(kSLTCommDevicePduSent), key(kSLTCommDevicePduSent));
    } else if (n.name == key(kSLTCommDeviceCommandSendTextMessageFinished)) {
        deliverValue(n, key(kSLTCommDeviceCommandSuccessful), key(kSLTCommDeviceCommandSuccessful));
    }
}

void SLTCommDevice::insertStoredSend()
{
    const SLTInvocationPtr stage = std::move(_storedSendStage);
    _commandQueue->insertCommand(makeCommand(stage, kSLTCommDeviceCommandSendTextMessagePduSentFromMemory, 26,
                                             QStringLiteral("AT+CMSS=%1\r").arg(_mr)));
}
