#include "kestrova/vendors/SLTCommDeviceSamsungExt.h"

#include "kestrova/core/CoreConstants.h"
#include "kestrova/core/KitLog.h"
#include "kestrova/sms/SLTPduList.h"
#include "kestrova/sms/pdu.h"
#include "kestrova/sms/pduList.h"

#include <QStringList>

using namespace kestrova::core;
using kestrova::kitLogWith;

namespace {
const char* kStage = "prepareSamsungReadingStage2:";
const char* kPrepare = "SLTCommDeviceSamsungPrepare";
const char* kParameters = "SLTCommDeviceSamsungParameters";
const char* kPrepare2 = "SLTCommDeviceSamsungPrepare2";
const char* kEntryRead = "SLTCommDeviceSamsungEntryRead";
constexpr int kStateText = 42;
constexpr int kStateSimStorage = 20;
constexpr int kStatePhoneStorage = 21;
constexpr int kStatePduMode = 22;

QString signalOf(const QVariantMap& result)
{
    return result.value(key(kSLTCommDeviceCommandCallbackSignal)).toString();
}

// The leading integer of a field ("100\r\n\r\nOK" gives 100); -1 without one.
int leadingInt(const QString& field)
{
    const QString trimmed = field.trimmed();
    qsizetype end = 0;
    while (end < trimmed.size() && trimmed[end].isDigit())
        ++end;
    bool ok = false;
    const int value = trimmed.left(std::min<qsizetype>(end, 9)).toInt(&ok);
    return ok ? value : -1;
}

SLTPduListPtr newList(int state)
{
    auto list = std::make_shared<kestrova::SLTPduList>();
    list->setState(state);
    return list;
}
} // namespace

SLTCommDeviceSamsungExt::SLTCommDeviceSamsungExt(SLTCommDevice& engine) : _engine(engine)
{
    _engine.registerCommandCallback(QLatin1String(kStage), [this](const QVariantMap& r) { stage2(r); });
}

std::optional<SLTCommDeviceSamsungExt::Counts> SLTCommDeviceSamsungExt::parseStorageCounts(const QString& reply)
{
    QString line = reply;
    const qsizetype at = reply.indexOf(QLatin1String("+CPMS:"));
    if (at >= 0)
        line = reply.mid(at + 6).section(QLatin1Char('\n'), 0, 0);
    const QStringList parts = line.split(QLatin1Char(','));
    if (parts.size() < 4)
        return std::nullopt;
    if (parts.size() == 9)
        return Counts{leadingInt(parts[1]), leadingInt(parts[2])};
    return Counts{leadingInt(parts[parts.size() - 2]), leadingInt(parts.last())};
}

std::optional<QPair<int, QString>> SLTCommDeviceSamsungExt::parseReadAnswer(const QString& reply)
{
    const QStringList lines = reply.split(QLatin1String("\r\n"), Qt::SkipEmptyParts);
    for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
        if (!lines[i].startsWith(QLatin1String("+CMGR")))
            continue;
        QString value = lines[i].section(QLatin1Char(' '), 1);
        if (value.isEmpty())
            value = lines[i].section(QLatin1Char(':'), 1);
        const int status = leadingInt(value.section(QLatin1Char(','), 0, 0));
        const QString pdu = lines[i + 1].trimmed();
        if (status < 0 || pdu.isEmpty() || pdu == QLatin1String("OK"))
            return std::nullopt;
        return qMakePair(status, pdu);
    }
    return std::nullopt;
}

void SLTCommDeviceSamsungExt::fail(QVariantMap result, const QString& why)
{
    kitLogWith([&] { return QStringLiteral("Samsung messages: %1; reading stopped").arg(why); });
    _getMessagesInProgress = false;
    result.remove(key(kSLTCommDeviceCommandQueueCommandResult));
    _engine.returnResultforCommandRequest(std::move(result));
}

void SLTCommDeviceSamsungExt::queueMemory(const SLTInvocationPtr& stage, bool withInfo)
{
    const auto command = [&](const char* signal, int state, const QString& text = QString()) {
        QVariantMap c = _engine.makeCommand(stage, signal, state, text);
        c.insert(key(kSLTCommandQueueCommDeviceCallbackSelString), QLatin1String(kStage));
        return c;
    };
    QList<QVariantMap> commands;
    if (withInfo) {
        commands.append(command(kPrepare, kStateText, QStringLiteral("at+info\r")));
        commands.append(command(kPrepare, kStateSimStorage));
        commands.append(command(kParameters, kStatePhoneStorage));
    } else {
        commands.append(command(kParameters, kStateSimStorage));
    }
    commands.append(command(kPrepare, kStatePduMode));
    commands.append(command(kPrepare2, kStateText, QStringLiteral("at+csdh=1\r")));
    _engine.addCommands(commands);
}

void SLTCommDeviceSamsungExt::prepareSamsungReading(const SLTInvocationPtr& stage)
{
    if (_getMessagesInProgress) {
        kitLogWith([] { return QStringLiteral("Samsung messages: a reading runs already; request ignored"); });
        return;
    }
    _getMessagesInProgress = true;
    _currentMem = QStringLiteral("ME");
    _currentEntry = 0;
    _maxEntry = kMaxSlots;
    _pduCount = 0;
    _pduListe0 = newList(0);
    _pduListe2 = newList(2);
    _pduListe3 = newList(3);
    queueMemory(stage, true);
}

void SLTCommDeviceSamsungExt::askSlot(const SLTInvocationPtr& stage)
{
    QVariantMap c = _engine.makeCommand(stage, kEntryRead, kStateText,
                                        QStringLiteral("at+cmgr=%1\r").arg(_currentEntry));
    c.insert(key(kSLTCommandQueueCommDeviceCallbackSelString), QLatin1String(kStage));
    _engine.addCommand(c);
}

void SLTCommDeviceSamsungExt::stage2(const QVariantMap& result)
{
    _engine.returnProgressforCommandRequest(result, _currentEntry, _maxEntry);
    const QString signal = signalOf(result);
    const bool answered = result.contains(key(kSLTCommDeviceCommandQueueCommandResult));
    const QString text = result.value(key(kSLTCommDeviceCommandQueueCommandResult)).toString();
    const SLTInvocationPtr stage = result.value(key(kSLTCommDeviceCommandInfo)).value<SLTInvocationPtr>();
    if (!answered && signal != QLatin1String(kEntryRead)) {
        fail(result, QStringLiteral("%1 failed").arg(signal));
        return;
    }
    if (signal == QLatin1String(kPrepare))
        return;
    if (signal == QLatin1String(kParameters)) {
        const std::optional<Counts> counts = parseStorageCounts(text);
        if (counts) {
            if (counts->slots > kMaxSlots || counts->slots < 0) {
                fail(result, QStringLiteral("memory %1 announces %2 slots").arg(_currentMem).arg(counts->slots));
                return;
            }
            _pduCount = counts->messages;
            _maxEntry = counts->slots;
        }
        _currentPdu = 1;
        _currentEntry = 1;
        return;
    }
    if (signal == QLatin1String(kPrepare2)) {
        askSlot(stage);
        return;
    }
    if (signal != QLatin1String(kEntryRead)) {
        fail(result, QStringLiteral("unexpected answer %1").arg(signal));
        return;
    }
    if (answered) {
        if (const std::optional<QPair<int, QString>> read = parseReadAnswer(text)) {
            const int status = read->first;
            const SLTPduListPtr& list = status == 3 ? _pduListe3 : status == 2 ? _pduListe2 : _pduListe0;
            list->liste().appendItem(
                std::make_unique<kestrova::pdu>(read->second.toLatin1(), unsigned(_currentEntry), status, _currentMem));
            ++_currentPdu;
        }
    }
    ++_currentEntry;
    if (_currentEntry <= _maxEntry && _currentPdu <= _pduCount) {
        askSlot(stage);
        return;
    }
    if (_currentMem == QLatin1String("ME")) {
        _currentMem = QStringLiteral("SM");
        queueMemory(stage, false);
        return;
    }
    _getMessagesInProgress = false;
    for (const SLTPduListPtr& list : {_pduListe0, _pduListe2, _pduListe3}) {
        QVariantMap answer = result;
        answer.insert(key(kSLTCommDeviceCommandQueueCommandResult), QVariant::fromValue(list));
        _engine.returnOkResultforCommandRequest(answer);
    }
}
