#include "kestrova/vendors/KestrovaMotorolaPhonebookExt.h"

#include "kestrova/core/CoreConstants.h"
#include "kestrova/core/Kestrova.h"
#include "kestrova/core/KitErrors.h"
#include "kestrova/core/KitLog.h"
#include "kestrova/core/SLTCommDevice.h"
#include "kestrova/core/organizerKitAsync.h"
#include "kestrova/vendors/KestrovaMotorolaCalendarExt.h"
#include "kestrova/vendors/MotorolaSignals.h"
#include "kestrova/vendors/MotorolaSlotLimits.h"
#include "kestrova/vendors/SLTCommDeviceMotorolaPhonebookExt.h"
#include "kestrova/vendors/StageAnswers.h"

#include <algorithm>

using namespace kestrova::core;
using namespace kestrova::vendors;
using kestrova::kitLogWith;

using stageanswers::is;
using stageanswers::stepOf;

namespace {

const QString kSlot = QStringLiteral("slot");
const QString kSubSlot = QStringLiteral("subSlot");
const QString kMainEntry = QStringLiteral("mainEntry");
const QString kNewSlot = QStringLiteral("newSlot");
const QString kFakeSubSlot = QStringLiteral("fakeSubSlot");
const QString kDelete = QStringLiteral("delete");
const QString kInSync = QStringLiteral("inSync");
const QString kErrorRecovery = QStringLiteral("errorRecovery");
const QString kFullname = QStringLiteral("fullname");
const QString kYes = QStringLiteral("yes");

bool linkLost(const QVariantMap& result)
{
    return result.contains(key(kSLTCommDeviceCommandQueueConnectionError))
           || result.contains(key(kSLTCommDeviceConnectionError));
}

bool isNewKey(const QString& key)
{
    return key.startsWith(QLatin1String("T-")) || key.startsWith(QLatin1String(".T-"));
}

// Whether the contact still has a field item to send.
bool hasFieldLeft(const QVariantMap& contact)
{
    for (auto it = contact.cbegin(); it != contact.cend(); ++it) {
        if (it.key() != kDelete && it.value().typeId() == QMetaType::QVariantList && !it.value().toList().isEmpty())
            return true;
    }
    return false;
}

bool hasText(const QVariantMap& contact, const char* name)
{
    const QVariant value = contact.value(QLatin1String(name));
    return value.typeId() == QMetaType::QString && !value.toString().isEmpty();
}

QVariantMap withoutPlaces(QVariantMap item)
{
    item.remove(kSubSlot);
    item.remove(kMainEntry);
    return item;
}

} // namespace

KestrovaMotorolaPhonebookExt::KestrovaMotorolaPhonebookExt(Kestrova& kit)
    : KestrovaVendorChain(kit)
    , _calendar(std::make_unique<KestrovaMotorolaCalendarExt>(kit))
{
}

bool KestrovaMotorolaPhonebookExt::getCalendarEntries()
{
    return _calendar->getCalendarEntries();
}

bool KestrovaMotorolaPhonebookExt::writeCalendarEntries(const QVariantMap& entries)
{
    return _calendar->writeCalendarEntries(entries);
}

KestrovaMotorolaPhonebookExt::~KestrovaMotorolaPhonebookExt() = default;

SLTCommDeviceMotorolaPhonebookExt& KestrovaMotorolaPhonebookExt::commands()
{
    return engine().extension<SLTCommDeviceMotorolaPhonebookExt>();
}

SLTInvocationPtr KestrovaMotorolaPhonebookExt::stage(std::function<void(const QVariantMap&)> onResult)
{
    return SLTCommDevice::getInvocationForSelector(lifeToken(), {}, std::move(onResult));
}

bool KestrovaMotorolaPhonebookExt::isOlderLayout()
{
    return kit().family() == QLatin1String("motorola2");
}

int KestrovaMotorolaPhonebookExt::batchSize()
{
    return isOlderLayout() ? SLTCommDeviceMotorolaPhonebookExt::kOldBatchSize
                           : SLTCommDeviceMotorolaPhonebookExt::kBatchSize;
}

// --- Reading ------------------------------------------------------------------

bool KestrovaMotorolaPhonebookExt::getPhonebookEntries()
{
    commands().motorolaPhonebookPrepare(stage([this](const QVariantMap& r) { getMotorolaPhonebookStage2(r); }));
    return true;
}

void KestrovaMotorolaPhonebookExt::failRead(const QVariantMap& result)
{
    kit().fullStop();
    if (organizerKitAsync* receiver = callback())
        receiver->organizerKitPhonebookRead(&kit(), std::nullopt,
                                            linkLost(result) ? kestrova::kit::kLinkFailed : kestrova::kit::kFailed);
}

void KestrovaMotorolaPhonebookExt::readRange(int first, int last)
{
    const SLTInvocationPtr next = stage([this](const QVariantMap& r) { getMotorolaPhonebookStage4(r); });
    if (isOlderLayout())
        commands().getOldMotorolaPhonebookEntriesFrom(first, last, next);
    else
        commands().getMotorolaPhonebookEntriesFrom(first, last, next);
}

void KestrovaMotorolaPhonebookExt::getMotorolaPhonebookStage2(const QVariantMap& result)
{
    if (!result.contains(key(kSLTCommDeviceReturnValue))) {
        failRead(result);
        return;
    }
    if (is(stepOf(result), kSLTCommDeviceMotorolaPhonebookPrepareFinished))
        commands().getMotorolaPhonebookParameters(stage([this](const QVariantMap& r) { getMotorolaPhonebookStage3(r); }));
}

void KestrovaMotorolaPhonebookExt::getMotorolaPhonebookStage3(const QVariantMap& result)
{
    if (!result.contains(key(kSLTCommDeviceReturnValue))) {
        failRead(result);
        return;
    }
    if (!is(stepOf(result), kSLTCommDeviceGetMotorolaPhonebookParameters))
        return;
    const QVariantMap limits = result.value(key(kSLTCommDeviceReturnValue)).toMap();
    const std::optional<std::pair<int, int>> range = usableMotorolaSlotRange(limits,
                                                                             QStringLiteral("Motorola phonebook"));
    if (!range) {
        commands().motorolaPhonebookCleanup(stage([](const QVariantMap&) {}));
        if (organizerKitAsync* receiver = callback())
            receiver->organizerKitPhonebookRead(&kit(), std::nullopt, kestrova::kit::kFailed);
        return;
    }
    const auto [start, end] = *range;
    _tempDict = limits;
    _startPhonebookEntry = start;
    _endPhonebookEntry = end;
    _currentPhonebookEntry = firstMotorolaRangeEnd(start, end, batchSize());
    readRange(start, _currentPhonebookEntry);
}

void KestrovaMotorolaPhonebookExt::getMotorolaPhonebookStage4(const QVariantMap& result)
{
    if (!result.contains(key(kSLTCommDeviceReturnValue))) {
        failRead(result);
        return;
    }
    const QString step = stepOf(result);
    if (is(step, kSLTCommDeviceMotorolaPhonebookCleanupFinished)) {
        engine().close();
        const QVariantMap contacts = result.value(key(kSLTCommDeviceReturnValue)).toMap();
        _currentPhonebook = contacts;
        if (organizerKitAsync* receiver = callback())
            receiver->organizerKitPhonebookRead(&kit(), contacts, kestrova::kit::kSuccess);
        return;
    }
    if (!is(step, kSLTCommDeviceGetMotorolaPhonebookEntriesFromTo)
        && !is(step, kSLTCommDeviceGetOldMotorolaPhonebookEntriesFromTo)) {
        kit().fullStop();
        if (organizerKitAsync* receiver = callback())
            receiver->organizerKitPhonebookRead(&kit(), std::nullopt, kestrova::kit::kLinkFailed);
        return;
    }
    if (organizerKitAsync* receiver = callback())
        receiver->organizerKitPhonebookReadProzDone(&kit(), float(_currentPhonebookEntry) / float(_endPhonebookEntry));
    if (_currentPhonebookEntry >= _endPhonebookEntry) {
        commands().motorolaPhonebookCleanup(stage([this](const QVariantMap& r) { getMotorolaPhonebookStage4(r); }));
    } else if (qint64(_currentPhonebookEntry) + batchSize() < _endPhonebookEntry) {
        readRange(_currentPhonebookEntry + 1, _currentPhonebookEntry + batchSize());
        _currentPhonebookEntry += batchSize();
    } else {
        readRange(_currentPhonebookEntry + 1, _endPhonebookEntry);
        _currentPhonebookEntry = _endPhonebookEntry;
    }
}

// --- Writing ------------------------------------------------------------------

bool KestrovaMotorolaPhonebookExt::writePhonebookEntries(const QVariantMap& entries)
{
    _tempMutableDict = entries;
    _tempMutableDict2.clear();
    _tempMutableDictEnum = entries.keys();
    _entriesAvailableForDeleting = true;
    _endPhonebookEntry = int(entries.size());
    _currentEntryString.clear();
    _currentSearchString.clear();
    _expected.clear();
    commands().motorolaPhonebookPrepare(
        stage([this](const QVariantMap& r) { writeMotorolaPhonebookEntriesStage2(r); }));
    return true;
}

QString KestrovaMotorolaPhonebookExt::getNextProcessingEntry()
{
    if (_entriesAvailableForDeleting) {
        while (!_tempMutableDictEnum.isEmpty()) {
            const QString next = _tempMutableDictEnum.takeFirst();
            if (_tempMutableDict.contains(next) && _tempMutableDict.value(next).toMap().isEmpty())
                return next;
        }
        _entriesAvailableForDeleting = false;
        _tempMutableDictEnum = _tempMutableDict.keys();
    }
    while (!_tempMutableDictEnum.isEmpty()) {
        const QString next = _tempMutableDictEnum.takeFirst();
        if (_tempMutableDict.contains(next))
            return next;
    }
    return QString();
}

void KestrovaMotorolaPhonebookExt::finishEntry(const QString& key, const QVariant& outcome)
{
    if (outcome.isValid())
        _tempMutableDict2.insert(key, outcome);
    _tempMutableDict.remove(key);
    _currentEntryString.clear();
    _expected.clear();
}

void KestrovaMotorolaPhonebookExt::writeMotorolaPhonebookEntriesStage2(const QVariantMap& result)
{
    const bool answered = result.contains(key(kSLTCommDeviceReturnValue));
    const bool commandFailed = result.contains(key(kSLTCommDeviceCommandQueueCommandError));
    if (!answered && !commandFailed) {
        kit().fullStop();
        if (organizerKitAsync* receiver = callback())
            receiver->organizerKitPhonebookEntriesWritten(&kit(), _tempMutableDict2,
                                                          linkLost(result) ? kestrova::kit::kLinkFailed
                                                                           : kestrova::kit::kFailed);
        return;
    }
    const QString step = stepOf(result);
    if (is(step, kSLTCommDeviceMotorolaPhonebookCleanupFinished)) {
        engine().close();
        if (organizerKitAsync* receiver = callback())
            receiver->organizerKitPhonebookEntriesWritten(&kit(), _tempMutableDict2, kestrova::kit::kSuccess);
        return;
    }
    static const QStringList loopSignals = {
        QLatin1String(kSLTCommDeviceMotorolaPhonebookPrepareFinished),
        QLatin1String(kSLTCommDeviceMotorolaPhonebookDeletingFinished),
        QLatin1String(kSLTCommDeviceWriteMotorolaPhonebookMainEntryFrom),
        QLatin1String(kSLTCommDeviceWriteMotorolaPhonebookSubEntryFrom),
        QLatin1String(kSLTCommDeviceWriteOldMotorolaPhonebookEntry),
        QLatin1String(kSLTCommDeviceMotorolaPhonebookEntryRead)};
    if (!loopSignals.contains(step))
        return;
    // The answer belongs to the contact in progress, and is used once.
    QVariantMap answer = !_currentEntryString.isEmpty() && step == _expected ? result : QVariantMap();
    bool failed = commandFailed && !_currentEntryString.isEmpty();
    for (;;) {
        if (_currentEntryString.isEmpty()) {
            const QString next = getNextProcessingEntry();
            if (next.isEmpty()) {
                commands().motorolaPhonebookCleanup(
                    stage([this](const QVariantMap& r) { writeMotorolaPhonebookEntriesStage2(r); }));
                return;
            }
            _currentEntryString = next;
            if (organizerKitAsync* receiver = callback(); receiver && _endPhonebookEntry > 0)
                receiver->organizerKitPhonebookReadProzDone(
                    &kit(), float(_endPhonebookEntry - _tempMutableDict.size()) / float(_endPhonebookEntry));
        }
        const QString entryKey = _currentEntryString;
        QVariantMap contact = _tempMutableDict.value(entryKey).toMap();
        if (failed) {
            failed = false;
            answer.clear();
            kitLogWith([&] { return QStringLiteral("Kit: Motorola phonebook - %1 failed at %2").arg(entryKey, step); });
            const bool searching = is(step, kSLTCommDeviceMotorolaPhonebookEntryRead);
            if (isOlderLayout() && !searching && !contact.contains(kErrorRecovery)) {
                // Find what the phone holds now, and take it away again.
                contact.insert(kErrorRecovery, kYes);
                _tempMutableDict.insert(entryKey, contact);
                _expected = QLatin1String(kSLTCommDeviceMotorolaPhonebookEntryRead);
                commands().findMotorolaPhonebookEntry(contact.value(kFullname).toString(),
                                                      stage([this](const QVariantMap& r) { writeMotorolaPhonebookEntriesStage2(r); }));
                return;
            }
            const QString created = contact.value(kNewSlot).toString();
            finishEntry(entryKey);
            if (!isOlderLayout() && !searching && !created.isEmpty()) {
                // A contact created but not finished goes again.
                commands().deleteMotorolaPhonebookEntry(created, QString(),
                                                        stage([this](const QVariantMap& r) { writeMotorolaPhonebookEntriesStage2(r); }));
                return;
            }
            continue;
        }
        if (contact.contains(kErrorRecovery) && !answer.isEmpty() && is(step, kSLTCommDeviceMotorolaPhonebookEntryRead)) {
            const QVariantMap found = answer.value(key(kSLTCommDeviceReturnValue)).toMap();
            answer.clear();
            if (found.isEmpty()) {
                finishEntry(entryKey);
                continue;
            }
            QVariantMap phoneCopy = found.first().toMap();
            phoneCopy.insert(kErrorRecovery, kYes);
            _currentPhonebook.insert(entryKey, phoneCopy);
            contact.clear();
            _tempMutableDict.insert(entryKey, contact);
        }
        if (!answer.isEmpty() && is(step, kSLTCommDeviceWriteMotorolaPhonebookMainEntryFrom)) {
            const QString slot = answer.value(key(kSLTCommDeviceReturnValue)).toString();
            if (slot.toInt() > 0)
                contact.insert(kNewSlot, slot);
        }
        if (!sendNext(entryKey, contact, answer)) {
            answer.clear();
            continue;
        }
        return;
    }
}

bool KestrovaMotorolaPhonebookExt::sendNext(const QString& entryKey, QVariantMap& contact, const QVariantMap& answer)
{
    const SLTInvocationPtr next = stage([this](const QVariantMap& r) { writeMotorolaPhonebookEntriesStage2(r); });
    const auto send = [&](const char* expected) {
        _tempMutableDict.insert(entryKey, contact);
        _expected = QLatin1String(expected);
        return true;
    };
    const bool answeredRead = !answer.isEmpty() && is(stepOf(answer), kSLTCommDeviceMotorolaPhonebookEntryRead);
    const QVariantMap readBack = answer.value(key(kSLTCommDeviceReturnValue)).toMap();

    if (contact.isEmpty()) {
        // A deletion.
        if (isOlderLayout()) {
            QVariantMap phoneCopy = _currentPhonebook.value(entryKey).toMap();
            while (const std::optional<QVariantMap> line =
                       SLTCommDeviceMotorolaPhonebookExt::motorolaGetFirstAvailableAddressFrom(phoneCopy, true)) {
                _currentPhonebook.insert(entryKey, phoneCopy);
                const int index = line->value(kSubSlot).toInt();
                if (index > 0) {
                    commands().deleteMotorolaPhonebookEntry(QString::number(index), QString(), next);
                    return send(kSLTCommDeviceMotorolaPhonebookDeletingFinished);
                }
            }
            const bool recovered = phoneCopy.contains(kErrorRecovery);
            finishEntry(entryKey, recovered ? QVariant() : QVariant(QStringLiteral("deleted")));
            return false;
        }
        if (!answer.isEmpty() && is(stepOf(answer), kSLTCommDeviceMotorolaPhonebookDeletingFinished)) {
            finishEntry(entryKey, QStringLiteral("deleted"));
            return false;
        }
        commands().deleteMotorolaPhonebookEntry(entryKey, QString(), next);
        return send(kSLTCommDeviceMotorolaPhonebookDeletingFinished);
    }

    if (isNewKey(entryKey)) {
        if (isOlderLayout()) {
            if (hasFieldLeft(contact)) {
                commands().writeOldMotorolaPhonebookEntryFrom(contact, next);
                return send(kSLTCommDeviceWriteOldMotorolaPhonebookEntry);
            }
            if (answeredRead) {
                for (const QString& name : QStringList{_currentSearchString, QLatin1Char('.') + _currentSearchString}) {
                    if (readBack.contains(name)) {
                        finishEntry(entryKey, QVariantMap{{name, readBack.value(name)}});
                        return false;
                    }
                }
                finishEntry(entryKey);
                return false;
            }
            _currentSearchString = contact.value(kFullname).toString();
            commands().findMotorolaPhonebookEntry(_currentSearchString, next);
            return send(kSLTCommDeviceMotorolaPhonebookEntryRead);
        }
        if (contact.value(kNewSlot).toString().isEmpty()) {
            commands().writeMotorolaPhonebookMainEntryFrom(contact, next);
            return send(kSLTCommDeviceWriteMotorolaPhonebookMainEntryFrom);
        }
        if (hasFieldLeft(contact)) {
            commands().writeMotorolaPhonebookSubEntryFrom(contact, next);
            return send(kSLTCommDeviceWriteMotorolaPhonebookSubEntryFrom);
        }
        if (answeredRead) {
            finishEntry(entryKey, readBack);
            return false;
        }
        commands().getMotorolaPhonebookEntry(contact.value(kNewSlot).toString(), next);
        return send(kSLTCommDeviceMotorolaPhonebookEntryRead);
    }

    if (!contact.contains(kInSync)) {
        const bool known = _currentPhonebook.contains(entryKey);
        QVariantMap phoneCopy = _currentPhonebook.value(entryKey).toMap();
        const std::optional<QVariantMap> difference =
            getMotorolaPhonebookEntryDiffFrom(contact, known ? &phoneCopy : nullptr);
        if (known)
            _currentPhonebook.insert(entryKey, phoneCopy);
        if (!difference) {
            kitLogWith([&] { return QStringLiteral("Kit: Motorola phonebook - %1 has no phone copy to compare").arg(entryKey); });
            finishEntry(entryKey);
            return false;
        }
        contact = *difference;
        contact.insert(kInSync, kYes);
        contact.insert(kSlot, entryKey);
        _tempMutableDict.insert(entryKey, contact);
    }
    QVariantList deletes = contact.value(kDelete).toList();
    if (!isOlderLayout()) {
        if (hasText(contact, "firstname") || hasText(contact, "lastname")) {
            commands().writeMotorolaPhonebookMainEntryFrom(contact, next);
            contact.remove(kFakeSubSlot);
            return send(kSLTCommDeviceWriteMotorolaPhonebookMainEntryFrom);
        }
        if (hasFieldLeft(contact)) {
            commands().writeMotorolaPhonebookSubEntryFrom(contact, next);
            return send(kSLTCommDeviceWriteMotorolaPhonebookSubEntryFrom);
        }
        if (!deletes.isEmpty()) {
            const QString subSlot = deletes.takeLast().toString();
            contact.insert(kDelete, deletes);
            commands().deleteMotorolaPhonebookEntry(entryKey, subSlot, next);
            return send(kSLTCommDeviceMotorolaPhonebookDeletingFinished);
        }
        finishEntry(entryKey, QStringLiteral("changed"));
        return false;
    }
    if (!deletes.isEmpty()) {
        const QString line = deletes.takeLast().toString();
        contact.insert(kDelete, deletes);
        commands().deleteMotorolaPhonebookEntry(line, QString(), next);
        return send(kSLTCommDeviceMotorolaPhonebookDeletingFinished);
    }
    if (hasFieldLeft(contact)) {
        commands().writeOldMotorolaPhonebookEntryFrom(contact, next);
        return send(kSLTCommDeviceWriteOldMotorolaPhonebookEntry);
    }
    finishEntry(entryKey, QStringLiteral("changed"));
    return false;
}

std::optional<QVariantMap> KestrovaMotorolaPhonebookExt::getMotorolaPhonebookEntryDiffFrom(const QVariantMap& contact,
                                                                                           QVariantMap* phoneCopy)
{
    if (!phoneCopy)
        return std::nullopt;
    QVariantMap& phone = *phoneCopy;
    QVariantMap difference = contact;
    for (auto it = contact.cbegin(); it != contact.cend(); ++it) {
        if (it.value().typeId() == QMetaType::QString) {
            // Texts are always sent again.
            phone.remove(it.key());
            continue;
        }
        if (it.value().typeId() != QMetaType::QVariantList)
            return std::nullopt;
        const bool phoneHasList = phone.value(it.key()).typeId() == QMetaType::QVariantList;
        QVariantList phoneItems = phoneHasList ? phone.value(it.key()).toList() : QVariantList();
        QVariantList kept;
        QVariantList unmatched;
        for (const QVariant& value : it.value().toList()) {
            QVariantMap item = value.toMap();
            if (item.contains(kSubSlot)) {
                const QString subSlot = item.value(kSubSlot).toString();
                const auto same = std::find_if(phoneItems.begin(), phoneItems.end(), [&](const QVariant& p) {
                    return p.toMap().value(kSubSlot).toString() == subSlot;
                });
                if (same != phoneItems.end()) {
                    const bool equal = same->toMap() == item;
                    phoneItems.erase(same);
                    if (equal) {
                        if (!difference.contains(kFakeSubSlot))
                            difference.insert(kFakeSubSlot, subSlot);
                    } else {
                        kept.append(item);
                    }
                    continue;
                }
                // A sub-slot the phone does not hold: a field like a new one.
                item.remove(kSubSlot);
            }
            const auto alike = std::find_if(phoneItems.begin(), phoneItems.end(), [&](const QVariant& p) {
                return withoutPlaces(p.toMap()) == withoutPlaces(item);
            });
            if (alike != phoneItems.end()) {
                phoneItems.erase(alike);
                continue;
            }
            unmatched.append(item);
        }
        for (const QVariant& value : std::as_const(unmatched)) {
            QVariantMap item = value.toMap();
            if (!phoneItems.isEmpty()) {
                // It overwrites a field the phone would otherwise lose.
                item.insert(kSubSlot, phoneItems.first().toMap().value(kSubSlot));
                phoneItems.removeFirst();
            }
            kept.append(item);
        }
        if (kept.isEmpty())
            difference.remove(it.key());
        else
            difference.insert(it.key(), kept);
        if (phoneHasList) {
            if (phoneItems.isEmpty())
                phone.remove(it.key());
            else
                phone.insert(it.key(), phoneItems);
        }
    }
    QVariantList deletes;
    for (auto it = phone.cbegin(); it != phone.cend(); ++it) {
        if (it.value().typeId() != QMetaType::QVariantList)
            continue;
        for (const QVariant& item : it.value().toList()) {
            const QString subSlot = item.toMap().value(kSubSlot).toString();
            deletes.append(subSlot);
            if (!difference.contains(kFakeSubSlot))
                difference.insert(kFakeSubSlot, subSlot);
        }
    }
    difference.insert(kDelete, deletes);
    return difference;
}
