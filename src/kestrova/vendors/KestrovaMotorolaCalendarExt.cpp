#include "kestrova/vendors/KestrovaMotorolaCalendarExt.h"

#include "kestrova/core/CoreConstants.h"
#include "kestrova/core/Kestrova.h"
#include "kestrova/core/KitErrors.h"
#include "kestrova/core/KitLog.h"
#include "kestrova/core/SLTCommDevice.h"
#include "kestrova/core/organizerKitAsync.h"
#include "kestrova/vendors/MotorolaSignals.h"
#include "kestrova/vendors/MotorolaSlotLimits.h"
#include "kestrova/vendors/SLTCommDeviceMotorolaCalendarExt.h"

using namespace kestrova::core;
using namespace kestrova::vendors;
using kestrova::kitLogWith;

namespace {

QString stepOf(const QVariantMap& result)
{
    return result.value(key(kSLTCommDeviceCommandStep)).toString();
}

bool is(const QString& step, const char* signal)
{
    return step == QLatin1String(signal);
}

bool linkLost(const QVariantMap& result)
{
    return result.contains(key(kSLTCommDeviceCommandQueueConnectionError))
        || result.contains(key(kSLTCommDeviceConnectionError));
}

} // namespace

KestrovaMotorolaCalendarExt::KestrovaMotorolaCalendarExt(Kestrova& kit) : KestrovaVendorChain(kit)
{
}

KestrovaMotorolaCalendarExt::~KestrovaMotorolaCalendarExt() = default;

SLTCommDeviceMotorolaCalendarExt& KestrovaMotorolaCalendarExt::commands()
{
    return engine().extension<SLTCommDeviceMotorolaCalendarExt>();
}

SLTInvocationPtr KestrovaMotorolaCalendarExt::stage(std::function<void(const QVariantMap&)> onResult)
{
    return SLTCommDevice::getInvocationForSelector(lifeToken(), {}, std::move(onResult));
}

int KestrovaMotorolaCalendarExt::batchSize()
{
    return kit().family() == QLatin1String("motorola2") ? SLTCommDeviceMotorolaCalendarExt::kOldBatchSize
                                                        : SLTCommDeviceMotorolaCalendarExt::kBatchSize;
}

// --- Reading ------------------------------------------------------------------

bool KestrovaMotorolaCalendarExt::getCalendarEntries()
{
    commands().motorolaCalendarPrepare(stage([this](const QVariantMap& r) { getMotorolaCalendarStage2(r); }));
    return true;
}

void KestrovaMotorolaCalendarExt::failRead(const QVariantMap& result)
{
    kit().fullStop();
    if (organizerKitAsync* receiver = callback())
        receiver->organizerKitCalendarRead(&kit(), std::nullopt,
                                           linkLost(result) ? kestrova::kit::kLinkFailed : kestrova::kit::kFailed);
}

void KestrovaMotorolaCalendarExt::getMotorolaCalendarStage2(const QVariantMap& result)
{
    if (!result.contains(key(kSLTCommDeviceReturnValue))) {
        failRead(result);
        return;
    }
    if (is(stepOf(result), kSLTCommDeviceMotorolaCalendarPrepareFinished))
        commands().getMotorolaCalendarParameters(stage([this](const QVariantMap& r) { getMotorolaCalendarStage3(r); }));
}

void KestrovaMotorolaCalendarExt::getMotorolaCalendarStage3(const QVariantMap& result)
{
    if (!result.contains(key(kSLTCommDeviceReturnValue))) {
        failRead(result);
        return;
    }
    if (!is(stepOf(result), kSLTCommDeviceGetMotorolaCalendarParameters))
        return;
    const QVariantMap limits = result.value(key(kSLTCommDeviceReturnValue)).toMap();
    const std::optional<std::pair<int, int>> range = usableMotorolaSlotRange(limits,
                                                                             QStringLiteral("Motorola calendar"));
    if (!range) {
        commands().motorolaCalendarCleanup(stage([](const QVariantMap&) {}));
        if (organizerKitAsync* receiver = callback())
            receiver->organizerKitCalendarRead(&kit(), std::nullopt, kestrova::kit::kFailed);
        return;
    }
    _tempDict = limits;
    _startCalendarEntry = range->first;
    _endCalendarEntry = range->second;
    _currentCalendarEntry = firstMotorolaRangeEnd(range->first, range->second, batchSize());
    commands().getMotorolaCalendarEntriesFrom(_startCalendarEntry, _currentCalendarEntry,
                                              stage([this](const QVariantMap& r) { getMotorolaCalendarStage4(r); }));
}

void KestrovaMotorolaCalendarExt::getMotorolaCalendarStage4(const QVariantMap& result)
{
    if (!result.contains(key(kSLTCommDeviceReturnValue))) {
        failRead(result);
        return;
    }
    const QString step = stepOf(result);
    if (is(step, kSLTCommDeviceMotorolaCalendarCleanupFinished)) {
        engine().close();
        const QVariantMap events = result.value(key(kSLTCommDeviceReturnValue)).toMap();
        _currentCalendar = events;
        getEmptySlots();
        if (organizerKitAsync* receiver = callback())
            receiver->organizerKitCalendarRead(&kit(), events, kestrova::kit::kSuccess);
        return;
    }
    if (!is(step, kSLTCommDeviceGetMotorolaCalendarEntriesFromTo)) {
        kit().fullStop();
        if (organizerKitAsync* receiver = callback())
            receiver->organizerKitCalendarRead(&kit(), std::nullopt, kestrova::kit::kLinkFailed);
        return;
    }
    if (organizerKitAsync* receiver = callback())
        receiver->organizerKitCalendarActionDone(&kit(), float(_currentCalendarEntry) / float(_endCalendarEntry));
    const SLTInvocationPtr next = stage([this](const QVariantMap& r) { getMotorolaCalendarStage4(r); });
    if (_currentCalendarEntry >= _endCalendarEntry) {
        commands().motorolaCalendarCleanup(next);
    } else if (qint64(_currentCalendarEntry) + batchSize() < _endCalendarEntry) {
        commands().getMotorolaCalendarEntriesFrom(_currentCalendarEntry + 1, _currentCalendarEntry + batchSize(), next);
        _currentCalendarEntry += batchSize();
    } else {
        commands().getMotorolaCalendarEntriesFrom(_currentCalendarEntry + 1, _endCalendarEntry, next);
        _currentCalendarEntry = _endCalendarEntry;
    }
}

void KestrovaMotorolaCalendarExt::getEmptySlots()
{
    _emptyCalendarSlots.clear();
    for (qint64 slot = _startCalendarEntry; slot < _endCalendarEntry; ++slot) {
        const QString text = QString::number(slot);
        if (!_currentCalendar.contains(text))
            _emptyCalendarSlots.append(text);
    }
}

// --- Writing ------------------------------------------------------------------

bool KestrovaMotorolaCalendarExt::writeCalendarEntries(const QVariantMap& entries)
{
    _tempMutableDict = entries;
    _tempMutableDict2.clear();
    _currentEntryString.clear();
    _expected.clear();
    _tempMutableDictEnum = entries.keys();
    _givenCount = int(entries.size());
    commands().motorolaCalendarPrepare(stage([this](const QVariantMap& r) { writeMotorolaCalendarEntriesStage2(r); }));
    return true;
}

void KestrovaMotorolaCalendarExt::finishEntry(const QVariant& outcome)
{
    if (outcome.isValid())
        _tempMutableDict2.insert(_currentEntryString, outcome);
    _tempMutableDict.remove(_currentEntryString);
    _currentEntryString.clear();
    _expected.clear();
}

void KestrovaMotorolaCalendarExt::writeMotorolaCalendarEntriesStage2(const QVariantMap& result)
{
    const bool answered = result.contains(key(kSLTCommDeviceReturnValue));
    const bool commandFailed = result.contains(key(kSLTCommDeviceCommandQueueCommandError));
    if (!answered && !commandFailed) {
        kit().fullStop();
        if (organizerKitAsync* receiver = callback())
            receiver->organizerKitCalendarEntriesWritten(
                &kit(), _tempMutableDict2, linkLost(result) ? kestrova::kit::kLinkFailed : kestrova::kit::kFailed);
        return;
    }
    const QString step = stepOf(result);
    if (is(step, kSLTCommDeviceMotorolaCalendarCleanupFinished)) {
        engine().close();
        if (organizerKitAsync* receiver = callback())
            receiver->organizerKitCalendarEntriesWritten(&kit(), _tempMutableDict2, kestrova::kit::kSuccess);
        return;
    }
    if (!is(step, kSLTCommDeviceMotorolaCalendarPrepareFinished)
        && !is(step, kSLTCommDeviceDeleteMotorolaCalendarEntryFinished)
        && !is(step, kSLTCommDeviceWriteMotorolaCalendarEntryFinished))
        return;
    const SLTInvocationPtr next = stage([this](const QVariantMap& r) { writeMotorolaCalendarEntriesStage2(r); });
    // The answer belongs to the event in progress, and is used once.
    bool answerOfEntry = !_currentEntryString.isEmpty() && step == _expected;
    if (commandFailed && answerOfEntry) {
        kitLogWith(
            [&] { return QStringLiteral("Kit: Motorola calendar - %1 failed at %2").arg(_currentEntryString, step); });
        finishEntry();
        answerOfEntry = false;
    }
    for (;;) {
        if (_currentEntryString.isEmpty()) {
            if (_tempMutableDictEnum.isEmpty()) {
                commands().motorolaCalendarCleanup(next);
                return;
            }
            _currentEntryString = _tempMutableDictEnum.takeFirst();
            if (organizerKitAsync* receiver = callback(); receiver && _givenCount > 0)
                receiver->organizerKitCalendarActionDone(
                    &kit(), float(_givenCount - _tempMutableDict.size()) / float(_givenCount));
        }
        const QString entryKey = _currentEntryString;
        if (_tempMutableDict.value(entryKey).typeId() != QMetaType::QVariantMap) {
            kitLogWith(
                [&] { return QStringLiteral("Kit: Motorola calendar - %1 is no event; skipped").arg(entryKey); });
            finishEntry();
            continue;
        }
        const QVariantMap event = _tempMutableDict.value(entryKey).toMap();
        if (event.isEmpty()) {
            if (answerOfEntry) {
                finishEntry(QStringLiteral("deleted"));
                _emptyCalendarSlots.append(entryKey);
                answerOfEntry = false;
                continue;
            }
            _expected = QLatin1String(kSLTCommDeviceDeleteMotorolaCalendarEntryFinished);
            commands().deleteMotorolaCalendarEntry(entryKey, next);
            return;
        }
        if (entryKey.startsWith(QLatin1String("T-"))) {
            if (answerOfEntry) {
                const QString slot = _emptyCalendarSlots.isEmpty() ? QString() : _emptyCalendarSlots.takeFirst();
                finishEntry(slot);
                answerOfEntry = false;
                continue;
            }
            if (_emptyCalendarSlots.isEmpty()) {
                kitLogWith([&] {
                    return QStringLiteral("Kit: Motorola calendar - no free slot for %1; skipped").arg(entryKey);
                });
                finishEntry();
                continue;
            }
            _expected = QLatin1String(kSLTCommDeviceWriteMotorolaCalendarEntryFinished);
            commands().writeNewMotorolaCalendarEntryFrom(event, _emptyCalendarSlots.first(), next);
            return;
        }
        if (answerOfEntry) {
            finishEntry(QStringLiteral("changed"));
            answerOfEntry = false;
            continue;
        }
        QVariantMap placed = event;
        placed.insert(QStringLiteral("slot"), entryKey);
        _expected = QLatin1String(kSLTCommDeviceWriteMotorolaCalendarEntryFinished);
        commands().updateMotorolaCalendarEntryFrom(placed, next);
        return;
    }
}
