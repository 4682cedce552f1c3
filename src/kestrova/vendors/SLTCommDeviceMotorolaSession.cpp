#include "kestrova/vendors/SLTCommDeviceMotorolaSession.h"

#include "kestrova/core/AtTextFields.h"
#include "kestrova/core/CoreConstants.h"
#include "kestrova/core/KitLog.h"
#include "kestrova/core/SLTCommDevice.h"
#include "kestrova/vendors/MotorolaSignals.h"
#include "platform/RunLoop.h"

using namespace kestrova::core;
using namespace kestrova::vendors;
using kestrova::kitLogWith;

const SLTCommDeviceMotorolaSession::Signals SLTCommDeviceMotorolaSession::kPhonebookSignals = {
    kSLTCommDeviceMotorolaPhonebookPrepare,
    kSLTCommDeviceMotorolaPhonebookPrepareGetCurrentTerminalEncoding,
    kSLTCommDeviceMotorolaPhonebookPrepareGetTerminalEncodings,
    kSLTCommDeviceMotorolaPhonebookPrepareFinished,
    kSLTCommDeviceMotorolaPhonebookCleanup,
    kSLTCommDeviceMotorolaPhonebookCleanupFinished,
};

const SLTCommDeviceMotorolaSession::Signals SLTCommDeviceMotorolaSession::kCalendarSignals = {
    kSLTCommDeviceMotorolaCalendarPrepare,
    kSLTCommDeviceMotorolaCalendarPrepareGetCurrentTerminalEncoding,
    kSLTCommDeviceMotorolaCalendarPrepareGetTerminalEncodings,
    kSLTCommDeviceMotorolaCalendarPrepareFinished,
    kSLTCommDeviceMotorolaCalendarCleanup,
    kSLTCommDeviceMotorolaCalendarCleanupFinished,
    kSLTCommDeviceMotorolaCalendarPrepareGetTime,
};

namespace {

bool is(const QVariantMap& result, const char* signal)
{
    return result.value(key(kSLTCommDeviceCommandCallbackSignal)).toString() == QLatin1String(signal);
}

// The queue was emptied behind this result: the link failed, timed out or
// is taken.
bool endsTheQueue(const QVariantMap& result)
{
    return result.contains(key(kSLTCommDeviceCommandQueueConnectionError))
           || result.contains(key(kSLTCommDeviceCommandQueueTimeout))
           || result.contains(key(kSLTCommDeviceCommandQueueLgAppConflict));
}

} // namespace

QVariantMap SLTCommDeviceMotorolaSession::command(const SLTInvocationPtr& stage, const char* signal, int requestedState,
                                                  const QString& text) const
{
    return commandFor(stage, kStageSelector, signal, requestedState, text);
}

QVariantMap SLTCommDeviceMotorolaSession::commandFor(const SLTInvocationPtr& stage, const char* selector,
                                                     const char* signal, int requestedState, const QString& text) const
{
    QVariantMap command = engine().makeCommand(stage, signal, requestedState, text);
    command.insert(key(kSLTCommandQueueCommDeviceCallbackSelString), QLatin1String(selector));
    return command;
}

void SLTCommDeviceMotorolaSession::refuse(const void* owner, const QString& setName, const SLTInvocationPtr& stage,
                                          const char* signal, const QString& why)
{
    kitLogWith([&] { return QStringLiteral("%1: refused, %2").arg(setName, why); });
    QVariantMap failed = engine().makeCommand(stage, signal, 42);
    failed.insert(key(kSLTCommDeviceCommandQueueCommandError), key(kSLTCommDeviceCommandQueueCommandError));
    SLTCommDevice* device = &engine();
    platform::runloop::performAfterDelay(owner, QStringLiteral("refuse"), 0,
                                         [device, failed] { device->returnResultforCommandRequest(failed); });
}

QVariantMap SLTCommDeviceMotorolaSession::openingWait(const SLTInvocationPtr& stage, const char* signal) const
{
    return command(stage, signal, 27);
}

void SLTCommDeviceMotorolaSession::open(const SLTInvocationPtr& stage, const Signals& names,
                                        const QList<QVariantMap>& ownCommands)
{
    _signals = &names;
    QList<QVariantMap> commands = ownCommands;
    commands.append(command(stage, names.getCurrentEncoding, 31));
    commands.append(command(stage, names.getEncodings, 34));
    QVariantMap placeholder = engine().makePlaceholder(stage, names.prepareFinished);
    placeholder.insert(key(kSLTCommandQueueCommDeviceCallbackSelString), QLatin1String(kStageSelector));
    commands.append(placeholder);
    QVariantMap end = engine().makeSequenceEnd(stage, names.prepare);
    end.insert(key(kSLTCommandQueueCommDeviceCallbackSelString), QLatin1String(kStageSelector));
    commands.append(end);
    engine().commandQueue().addCommands(commands);
}

void SLTCommDeviceMotorolaSession::close(const SLTInvocationPtr& stage, const Signals& names,
                                         const QList<QVariantMap>& ownCommands)
{
    _signals = &names;
    QList<QVariantMap> commands = ownCommands;
    commands.append(command(stage, names.cleanupFinished, 33,
                            QStringLiteral("AT+CSCS=\"%1\"\r")
                                .arg(engine().getEncodedStringForEncoding(engine().currentEncoding(),
                                                                         engine().origEncoding()))));
    engine().commandQueue().addCommands(commands);
}

SLTCommDeviceMotorolaSession::SLTCommDeviceMotorolaSession(SLTCommDevice& engine) : _engine(engine)
{
    _engine.registerCommandCallback(QLatin1String(kStageSelector), [this](const QVariantMap& result) { stage(result); });
}

void SLTCommDeviceMotorolaSession::stage(const QVariantMap& result)
{
    const Signals& names = *_signals;
    const bool answered = result.contains(key(kSLTCommDeviceCommandQueueCommandResult));
    const QString reply = result.value(key(kSLTCommDeviceCommandQueueCommandResult)).toString();
    if (result.contains(key(kSLTCommDeviceCommandSequenceFinished)))
        return;
    if (is(result, names.prepare) || is(result, names.cleanup) || (names.getTime && is(result, names.getTime))) {
        // Whatever these answer, the session goes on; only a link that is
        // gone ends it.
        if (!answered && endsTheQueue(result))
            engine().returnResultforCommandRequest(result);
        return;
    }
    if (!answered) {
        if (!endsTheQueue(result))
            engine().commandQueue().removeRestOfCommandSequence();
        engine().returnResultforCommandRequest(result);
        return;
    }
    if (is(result, names.getCurrentEncoding)) {
        const QStringList parts = reply.split(QLatin1Char('"'));
        if (parts.size() != 3) {
            kitLogWith([&] { return QStringLiteral("Motorola session: unusable character set answer: %1").arg(reply); });
            engine().commandQueue().removeRestOfCommandSequence();
            QVariantMap failed = result;
            failed.remove(key(kSLTCommDeviceCommandQueueCommandResult));
            engine().returnResultforCommandRequest(failed);
            return;
        }
        engine().setOrigEncoding(parts.at(1));
    } else if (is(result, names.getEncodings)) {
        engine().setCurrentEncoding(SLTCommDevice::parseCurrentTerminalEncoding(reply));
        const SLTInvocationPtr kitStage = result.value(key(kSLTCommDeviceCommandInfo)).value<SLTInvocationPtr>();
        engine().commandQueue().insertCommand(
            command(kitStage, names.prepareFinished, 33,
                    QStringLiteral("AT+CSCS=\"%1\"\r")
                        .arg(engine().getEncodedStringForEncoding(engine().origEncoding(), engine().currentEncoding()))));
    } else if (is(result, names.prepareFinished)) {
        _entries.clear();
        engine().returnOkResultforCommandRequest(result);
    } else if (is(result, names.cleanupFinished)) {
        QVariantMap finished = result;
        finished.insert(key(kSLTCommDeviceCommandQueueCommandResult), std::exchange(_entries, QVariantMap()));
        engine().returnOkResultforCommandRequest(finished);
    }
}

bool SLTCommDeviceMotorolaSession::isUcs2() const
{
    return engine().currentEncoding() == QLatin1String("UCS2");
}

QString SLTCommDeviceMotorolaSession::encode(const QString& text) const
{
    if (text.isEmpty())
        return QString(QLatin1String(""));
    if (isUcs2())
        return engine().convertToCurrentEncoding(text);
    return atfields::blankUnsafeCharacters(engine().convertToCurrentEncoding(atfields::quotedArgumentText(text)));
}

QString SLTCommDeviceMotorolaSession::encodeQuoted(const QString& text) const
{
    const QString coded = encode(text);
    return isUcs2() ? coded : QLatin1Char('"') + coded + QLatin1Char('"');
}

QString SLTCommDeviceMotorolaSession::decode(const QString& field) const
{
    if (field.isEmpty())
        return field;
    return engine().convertToNSStringEncoding(field);
}
