#include "kestrova/vendors/KestrovaLgPhonebookExt.h"

#include "kestrova/core/CoreConstants.h"
#include "kestrova/core/Kestrova.h"
#include "kestrova/core/KitErrors.h"
#include "kestrova/core/KitLog.h"
#include "kestrova/core/organizerKitAsync.h"
#include "kestrova/vendors/KestrovaLgCalendarExt.h"
#include "kestrova/vendors/LgNames.h"
#include "kestrova/vendors/SLTCommDeviceLgPhonebookExt.h"
#include "kestrova/vendors/SLTCommDeviceLgSmsExt.h"
#include "kestrova/vendors/StageAnswers.h"

using namespace kestrova::core;
using namespace kestrova::lg;
using kestrova::kitLogWith;
namespace kit = kestrova::kit;

using stageanswers::hasValue;
using stageanswers::is;
using stageanswers::stepOf;

namespace {
const QString kNewEntryPrefix = QStringLiteral("T-");

int failureCode(const QVariantMap& answer)
{
    return answer.contains(key(kSLTCommDeviceCommandQueueLgAppConflict)) ? kit::kLgPortInUse : kit::kFailed;
}

} // namespace

KestrovaLgPhonebookExt::KestrovaLgPhonebookExt(Kestrova& kit)
    : KestrovaVendorChain(kit)
    , _calendar(std::make_unique<KestrovaLgCalendarExt>(kit))
{
}

KestrovaLgPhonebookExt::~KestrovaLgPhonebookExt() = default;

SLTCommDeviceLgSmsExt& KestrovaLgPhonebookExt::port()
{
    return engine().extension<SLTCommDeviceLgSmsExt>();
}

SLTCommDeviceLgPhonebookExt& KestrovaLgPhonebookExt::phonebook()
{
    return engine().extension<SLTCommDeviceLgPhonebookExt>();
}

std::shared_ptr<SLTInvocation> KestrovaLgPhonebookExt::stage(void (KestrovaLgPhonebookExt::*method)(const QVariantMap&))
{
    return SLTCommDevice::getInvocationForSelector(
        lifeToken(), {}, [this, method](const QVariantMap& answer) { (this->*method)(answer); });
}

bool KestrovaLgPhonebookExt::isNewEntryKey(const QString& key)
{
    return key.startsWith(kNewEntryPrefix);
}

std::optional<int> KestrovaLgPhonebookExt::slotOfKey(const QString& key)
{
    if (key.isEmpty())
        return std::nullopt;
    for (const QChar c : key)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
    bool ok = false;
    const uint slot = key.toUInt(&ok);
    if (!ok || slot > 0xFFFF)
        return std::nullopt;
    return int(slot);
}

bool KestrovaLgPhonebookExt::getCalendarEntries()
{
    return _calendar->getCalendarEntries();
}

bool KestrovaLgPhonebookExt::writeCalendarEntries(const QVariantMap& entries)
{
    return _calendar->writeCalendarEntries(entries);
}

bool KestrovaLgPhonebookExt::getTasks()
{
    return _calendar->getTasks();
}

bool KestrovaLgPhonebookExt::abortAction()
{
    _calendar->abortAction();
    _doAbort = true;
    port().lgViewtyOrganizerAbortAction();
    return true;
}

void KestrovaLgPhonebookExt::closePort()
{
    if (_closing)
        return;
    _closing = true;
    port().lgViewtyDisconnectRequest(_stage);
}

// --- Reading ----------------------------------------------------------------

void KestrovaLgPhonebookExt::startJob(void (KestrovaLgPhonebookExt::*stageMethod)(const QVariantMap&))
{
    _doAbort = false;
    _finished = false;
    _closing = false;
    _stage = stage(stageMethod);
    port().lgViewtyPrepare(_stage);
}

void KestrovaLgPhonebookExt::finish(FinalCallback final, const std::optional<QVariantMap>& data, int errorCode)
{
    if (_finished)
        return;
    _finished = true;
    if (organizerKitAsync* cb = callback())
        (cb->*final)(&kit(), data, errorCode);
}

void KestrovaLgPhonebookExt::progress(float fraction)
{
    if (organizerKitAsync* cb = callback())
        cb->organizerKitPhonebookReadProzDone(&kit(), fraction);
}

void KestrovaLgPhonebookExt::progressStep(const QVariantMap& answer)
{
    progress(float(answer.value(key(kSLTCommDeviceReturnValue)).toDouble() / 100.0));
}

bool KestrovaLgPhonebookExt::getPhonebookEntries()
{
    _currentPhonebook.clear();
    startJob(&KestrovaLgPhonebookExt::getLgViewtyPhonebookStage2);
    return true;
}

void KestrovaLgPhonebookExt::finishRead(const std::optional<QVariantMap>& data, int errorCode)
{
    finish(&organizerKitAsync::organizerKitPhonebookRead, data, errorCode);
}

void KestrovaLgPhonebookExt::getLgViewtyPhonebookStage2(const QVariantMap& answer)
{
    if (_finished)
        return;
    const QString step = stepOf(answer);
    if (!hasValue(answer)) {
        kit().fullStop();
        finishRead(std::nullopt, failureCode(answer));
        return;
    }
    if (is(step, kAbortedStep)) {
        closePort();
    } else if (is(step, kSLTCommDeviceLgApplicationPortOpen)) {
        phonebook().lgViewtyPreparePhonebookReading(_stage);
    } else if (is(step, kSLTCommDeviceLgViewtyPhonebookReadingPrepared)) {
        phonebook().lgViewtyReadPhonebookEntries(_stage);
    } else if (is(step, kProgressStep)) {
        progressStep(answer);
    } else if (is(step, kSLTCommDeviceLgViewtyPhonebookEntriesRead)) {
        _currentPhonebook = answer.value(key(kSLTCommDeviceReturnValue)).toMap();
        progress(1.0f);
        phonebook().lgViewtyPhonebookClose(_stage);
    } else if (is(step, kSLTCommDeviceLgVietwyPhonebookClosed)) {
        closePort();
    } else if (is(step, kSLTCommDeviceLgApplicationPortClosed)) {
        finishRead(_doAbort ? std::nullopt : std::optional<QVariantMap>(_currentPhonebook), kit::kSuccess);
    }
}

// --- Writing ----------------------------------------------------------------

bool KestrovaLgPhonebookExt::writePhonebookEntries(const QVariantMap& entries)
{
    _tempMutableDict = entries;
    _tempMutableDict2.clear();
    _tempMutableDictEnum = entries.keys();
    _currentEntryString.clear();
    startJob(&KestrovaLgPhonebookExt::writeLgViewtyPhonebookStage2);
    return true;
}

void KestrovaLgPhonebookExt::finishWrite(const std::optional<QVariantMap>& conversions, int errorCode)
{
    finish(&organizerKitAsync::organizerKitPhonebookEntriesWritten, conversions, errorCode);
}

void KestrovaLgPhonebookExt::failWrite(const QVariantMap& answer)
{
    engine().close();
    finishWrite(std::nullopt, failureCode(answer));
}

void KestrovaLgPhonebookExt::writeLgViewtyPhonebookStage2(const QVariantMap& answer)
{
    if (_finished)
        return;
    const QString step = stepOf(answer);
    const bool written = is(step, kSLTCommDeviceLgViewtyPhonebookNewEntryWritten);
    const bool updated = is(step, kSLTCommDeviceLgViewtyPhonebookEntryUpdated);
    const bool deleted = is(step, kSLTCommDeviceLgViewtyPhonebookEntryDeleted);
    if ((written || updated || deleted) && !_currentEntryString.isEmpty()) {
        // An answer that comes after an abort still counts: the phone did it.
        if (hasValue(answer)) {
            const QVariant entry = _tempMutableDict.value(_currentEntryString);
            if (deleted)
                _tempMutableDict2.insert(_currentEntryString, QStringLiteral("deleted"));
            else if (updated)
                _tempMutableDict2.insert(_currentEntryString, QVariantMap{{_currentEntryString, entry}});
            else
                _tempMutableDict2.insert(_currentEntryString,
                                         QVariantMap{{answer.value(key(kSLTCommDeviceReturnValue)).toString(), entry}});
        } else {
            kitLogWith([&] { return QStringLiteral("LG phonebook: entry %1 not stored").arg(_currentEntryString); });
        }
        _currentEntryString.clear();
    }
    if (_doAbort) {
        if (is(step, kSLTCommDeviceLgApplicationPortClosed))
            finishWrite(_tempMutableDict2, kit::kSuccess);
        else
            closePort();
        return;
    }
    if (is(step, kSLTCommDeviceLgApplicationPortOpen) || is(step, kSLTCommDeviceLgViewtyPhonebookReadingPrepared)) {
        if (!hasValue(answer)) {
            failWrite(answer);
            return;
        }
        if (is(step, kSLTCommDeviceLgApplicationPortOpen))
            phonebook().lgViewtyPreparePhonebookReading(_stage);
        else
            writeNextEntry();
        return;
    }
    if (written || updated || deleted || is(step, kSLTCommDeviceLgApplicationPortHeartbeat)) {
        progress(_tempMutableDict.isEmpty() ? 1.0f : float(_tempMutableDict2.size()) / float(_tempMutableDict.size()));
        if (!_doAbort)
            writeNextEntry();
        else
            closePort();
        return;
    }
    if (is(step, kSLTCommDeviceLgApplicationPortClosed)) {
        finishWrite(_tempMutableDict2, kit::kSuccess);
        return;
    }
    if (is(step, kProgressStep)) {
        progressStep(answer);
        return;
    }
    failWrite(answer);
}

void KestrovaLgPhonebookExt::writeNextEntry()
{
    while (!_tempMutableDictEnum.isEmpty()) {
        _currentEntryString = _tempMutableDictEnum.takeFirst();
        const QVariantMap entry = _tempMutableDict.value(_currentEntryString).toMap();
        if (!entry.isEmpty() && isNewEntryKey(_currentEntryString)) {
            phonebook().lgViewtyWritePhonebookEntry(entry, _stage);
            return;
        }
        const std::optional<int> slot = slotOfKey(_currentEntryString);
        if (!slot) {
            kitLogWith([&] {
                return QStringLiteral("LG phonebook: key %1 is neither new nor a slot; entry left alone")
                    .arg(_currentEntryString);
            });
            continue;
        }
        if (entry.isEmpty())
            phonebook().lgViewtyDeletePhonebookEntry(*slot, _stage);
        else
            phonebook().lgViewtyUpdatePhonebookEntry(entry, *slot, _stage);
        return;
    }
    closePort();
}
