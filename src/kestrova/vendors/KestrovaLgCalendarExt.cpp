#include "kestrova/vendors/KestrovaLgCalendarExt.h"

#include "kestrova/core/CoreConstants.h"
#include "kestrova/core/Kestrova.h"
#include "kestrova/core/KitErrors.h"
#include "kestrova/core/KitLog.h"
#include "kestrova/core/organizerKitAsync.h"
#include "kestrova/vendors/KestrovaLgPhonebookExt.h"
#include "kestrova/vendors/LgNames.h"
#include "kestrova/vendors/SLTCommDeviceLgSmsExt.h"
#include "kestrova/vendors/StageAnswers.h"

using namespace kestrova::core;
using namespace kestrova::lg;
using kestrova::kitLogWith;
namespace kit = kestrova::kit;
using Kind = SLTCommDeviceLgCalendarExt::Kind;
using Ext = SLTCommDeviceLgCalendarExt;

using stageanswers::hasValue;
using stageanswers::is;
using stageanswers::stepOf;

namespace {
const QString kEventSuffix = QStringLiteral("-E");
const QString kTaskSuffix = QStringLiteral("-T");

int failureCode(const QVariantMap& answer)
{
    return answer.contains(key(kSLTCommDeviceCommandQueueLgAppConflict)) ? kit::kLgPortInUse : kit::kFailed;
}

} // namespace

KestrovaLgCalendarExt::KestrovaLgCalendarExt(Kestrova& kit) : KestrovaVendorChain(kit)
{
}

KestrovaLgCalendarExt::~KestrovaLgCalendarExt() = default;

SLTCommDeviceLgSmsExt& KestrovaLgCalendarExt::port()
{
    return engine().extension<SLTCommDeviceLgSmsExt>();
}

SLTCommDeviceLgCalendarExt& KestrovaLgCalendarExt::organizer()
{
    return engine().extension<SLTCommDeviceLgCalendarExt>();
}

bool KestrovaLgCalendarExt::isEventKey(const QString& key)
{
    return key.endsWith(kEventSuffix);
}

QString KestrovaLgCalendarExt::stripKey(const QString& key)
{
    return key.size() <= 2 ? key : key.chopped(2);
}

bool KestrovaLgCalendarExt::abortAction()
{
    _doAbort = true;
    port().lgViewtyOrganizerAbortAction();
    return true;
}

void KestrovaLgCalendarExt::start(void (KestrovaLgCalendarExt::*stageMethod)(const QVariantMap&))
{
    _doAbort = false;
    _finished = false;
    _closing = false;
    _bounded = false;
    _entriesRead = 0;
    _currentCalendar.reset();
    _stage = SLTCommDevice::getInvocationForSelector(
        lifeToken(), {}, [this, stageMethod](const QVariantMap& answer) { (this->*stageMethod)(answer); });
    port().lgViewtyPrepare(_stage);
}

void KestrovaLgCalendarExt::closePort()
{
    if (_closing)
        return;
    _closing = true;
    port().lgViewtyDisconnectRequest(_stage);
}

void KestrovaLgCalendarExt::progress(float fraction)
{
    organizerKitAsync* cb = callback();
    if (!cb)
        return;
    if (_kind == Kind::Tasks)
        cb->organizerKitTasksActionDone(&kit(), fraction);
    else
        cb->organizerKitCalendarActionDone(&kit(), fraction);
}

// --- Reading ----------------------------------------------------------------

bool KestrovaLgCalendarExt::getCalendarEntries()
{
    _kind = Kind::Calendar;
    start(&KestrovaLgCalendarExt::readStage);
    return true;
}

bool KestrovaLgCalendarExt::getTasks()
{
    _kind = Kind::Tasks;
    start(&KestrovaLgCalendarExt::readStage);
    return true;
}

void KestrovaLgCalendarExt::finishRead(const std::optional<QVariantMap>& data, int errorCode)
{
    if (std::exchange(_finished, true))
        return;
    if (organizerKitAsync* cb = callback()) {
        if (_kind == Kind::Tasks)
            cb->organizerKitTasksRead(&kit(), data, errorCode);
        else
            cb->organizerKitCalendarRead(&kit(), data, errorCode);
    }
}

void KestrovaLgCalendarExt::readStage(const QVariantMap& answer)
{
    if (_finished)
        return;
    const QString step = stepOf(answer);
    // Progress before each step of the read; the port's closing comes after
    // the final 1.0.
    if (_currentCalendar && !is(step, kSLTCommDeviceLgApplicationPortClosed)) {
        const float count = float(_currentCalendar->size());
        progress(count / (count + 10.0f));
    }
    if (!hasValue(answer)) {
        kit().fullStop();
        finishRead(std::nullopt, failureCode(answer));
        return;
    }
    if (is(step, kAbortedStep)) {
        closePort();
    } else if (is(step, kSLTCommDeviceLgApplicationPortOpen)) {
        _currentCalendar = QVariantMap();
        organizer().prepareReading(_kind, _stage);
    } else if (is(step, Ext::preparedSignal(_kind)) || is(step, Ext::ackSignal(_kind))) {
        organizer().getEntry(_kind, _stage);
    } else if (is(step, Ext::readSignal(_kind))) {
        if (++_entriesRead > s_maxEntries) {
            kitLogWith([&] {
                return QStringLiteral("LG %1: the phone sent more than %2 entries; read stopped")
                    .arg(_kind == Kind::Tasks ? QStringLiteral("tasks") : QStringLiteral("calendar"))
                    .arg(s_maxEntries);
            });
            _bounded = true;
            closePort();
            return;
        }
        QVariantMap entry = answer.value(key(kSLTCommDeviceReturnValue)).toMap();
        // An event keeps its slot inside "event", a task at its top.
        const QString eventKey = QStringLiteral("event");
        QVariantMap event = entry.value(eventKey).toMap();
        QVariantMap& holder = _kind == Kind::Tasks ? entry : event;
        if (holder.contains(QStringLiteral("slot"))) {
            const QString slot = holder.take(QStringLiteral("slot")).toString();
            if (_kind == Kind::Tasks) {
                _currentCalendar->insert(slot + kTaskSuffix, QVariantMap{{QStringLiteral("task"), entry}});
            } else {
                entry.insert(eventKey, event);
                _currentCalendar->insert(slot + kEventSuffix, entry);
            }
        }
        organizer().getEntryAck(_kind, _stage);
    } else if (is(step, Ext::noMoreSignal(_kind))) {
        progress(1.0f);
        closePort();
    } else if (is(step, kSLTCommDeviceLgApplicationPortClosed)) {
        if (_bounded)
            finishRead(std::nullopt, kit::kFailed);
        else
            finishRead(_doAbort ? std::nullopt : _currentCalendar, kit::kSuccess);
    }
}

// --- Writing ----------------------------------------------------------------

bool KestrovaLgCalendarExt::writeCalendarEntries(const QVariantMap& entries)
{
    _kind = Kind::Calendar;
    _tempMutableDict = entries;
    _tempMutableDict2.clear();
    _tempMutableDictEnum = entries.keys();
    _currentEntryString.clear();
    start(&KestrovaLgCalendarExt::writeStage);
    return true;
}

void KestrovaLgCalendarExt::finishWrite(const std::optional<QVariantMap>& conversions, int errorCode)
{
    if (std::exchange(_finished, true))
        return;
    if (organizerKitAsync* cb = callback())
        cb->organizerKitCalendarEntriesWritten(&kit(), conversions, errorCode);
}

void KestrovaLgCalendarExt::recordOutcome(const QString& step, const QVariantMap& answer)
{
    if (_currentEntryString.isEmpty())
        return;
    if (hasValue(answer)) {
        if (is(step, Ext::deletedSignal(_currentEntryKind))) {
            _tempMutableDict2.insert(_currentEntryString, QStringLiteral("deleted"));
        } else {
            const QString slot = answer.value(key(kSLTCommDeviceReturnValue)).toString();
            _tempMutableDict2.insert(
                _currentEntryString,
                QVariantMap{{slot + (_currentEntryKind == Kind::Tasks ? kTaskSuffix : kEventSuffix),
                             _tempMutableDict.value(_currentEntryString)}});
        }
    } else {
        kitLogWith([&] { return QStringLiteral("LG calendar: entry %1 not stored").arg(_currentEntryString); });
    }
    _currentEntryString.clear();
}

void KestrovaLgCalendarExt::writeStage(const QVariantMap& answer)
{
    if (_finished)
        return;
    const QString step = stepOf(answer);
    const bool outcome = is(step, kSLTCommDeviceLgViewtyCalendarNewEntryWritten)
        || is(step, kSLTCommDeviceLgViewtyTaskNewEntryWritten) || is(step, kSLTCommDeviceLgViewtyCalendarEntryDeleted)
        || is(step, kSLTCommDeviceLgViewtyTaskDeleted);
    if (outcome)
        recordOutcome(step, answer);
    if (_doAbort) {
        if (is(step, kSLTCommDeviceLgApplicationPortClosed))
            finishWrite(_tempMutableDict2, kit::kSuccess);
        else
            closePort();
        return;
    }
    const bool prepared = is(step, kSLTCommDeviceLgViewtyCalendarReadingPrepared)
        || is(step, kSLTCommDeviceLgViewtyCalendarNoMoreEntries);
    if (is(step, kSLTCommDeviceLgApplicationPortOpen) || prepared) {
        if (!hasValue(answer)) {
            engine().close();
            finishWrite(std::nullopt, failureCode(answer));
        } else if (prepared) {
            writeNextEntry();
        } else {
            organizer().prepareReading(Kind::Calendar, _stage);
        }
        return;
    }
    if (outcome) {
        progress(_tempMutableDict.isEmpty() ? 1.0f : float(_tempMutableDict2.size()) / float(_tempMutableDict.size()));
        writeNextEntry();
    } else if (is(step, kSLTCommDeviceLgApplicationPortClosed)) {
        finishWrite(_tempMutableDict2, kit::kSuccess);
    } else if (is(step, kProgressStep)) {
        progress(float(answer.value(key(kSLTCommDeviceReturnValue)).toDouble() / 100.0));
    } else {
        engine().close();
        finishWrite(std::nullopt, failureCode(answer));
    }
}

void KestrovaLgCalendarExt::writeNextEntry()
{
    while (!_tempMutableDictEnum.isEmpty()) {
        _currentEntryString = _tempMutableDictEnum.takeFirst();
        const QVariantMap entry = _tempMutableDict.value(_currentEntryString).toMap();
        if (!entry.isEmpty() && KestrovaLgPhonebookExt::isNewEntryKey(_currentEntryString)) {
            _currentEntryKind = entry.contains(QStringLiteral("event")) ? Kind::Calendar : Kind::Tasks;
            organizer().writeEntry(_currentEntryKind, entry, std::nullopt, _stage);
            return;
        }
        const std::optional<int> slot = KestrovaLgPhonebookExt::slotOfKey(stripKey(_currentEntryString));
        if (!slot || KestrovaLgPhonebookExt::isNewEntryKey(_currentEntryString)) {
            kitLogWith([&] {
                return QStringLiteral("LG calendar: key %1 names no slot; entry left alone").arg(_currentEntryString);
            });
            _currentEntryString.clear();
            continue;
        }
        _currentEntryKind = isEventKey(_currentEntryString) ? Kind::Calendar : Kind::Tasks;
        if (entry.isEmpty())
            organizer().deleteEntry(_currentEntryKind, *slot, _stage);
        else
            organizer().writeEntry(_currentEntryKind, entry, *slot, _stage);
        return;
    }
    closePort();
}
