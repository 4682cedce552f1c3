#include "kitbridges/OrganizerAsyncBridge.h"

#include "foundation/ObjectDescription.h"
#include "kitbridges/KitBridgeDevice.h"
#include "kitbridges/KitBridgesLog.h"
#include "kitbridges/OrganizerAsyncReceiver.h"
#include "platform/Exception.h"
#include "platform/RunLoop.h"
#include "platform/gui/Animation.h"

namespace {

constexpr int kNoKitError = -1;

QString conversionsText(const std::optional<QVariantMap>& conversions)
{
    return objectDescription(conversions ? QVariant(*conversions) : QVariant());
}

} // namespace

std::shared_ptr<OrganizerAsyncBridge> OrganizerAsyncBridge::organizerBridgeWithAddress(MFDeviceLinkOwner* device,
                                                                                       OrganizerAsyncReceiver* notifier,
                                                                                       const OrganizerKitMaker& makeKit)
{
    auto bridge = std::make_shared<OrganizerAsyncBridge>(Passkey{}, notifier);
    bridge->initBasisWithAddress(device, makeKit);
    return bridge;
}

void OrganizerAsyncBridge::start(const char* operation, int familyIndex,
                                 const std::function<void(OrganizerBridgeKit&)>& call, FinalCallback final)
{
    MMConnLog(QStringLiteral("[%1 %2]").arg(className(), QString::fromLatin1(operation)));
    _awaitingFinal = true;
    if (!_smsKit) {
        MMConnLog(QStringLiteral("[%1 %2] no kit").arg(className(), QString::fromLatin1(operation)));
        platform::runloop::performAfterDelay(this, QString::fromLatin1(operation), 0,
                                             [this, final] { (this->*final)(nullptr, std::nullopt, kNoKitError); });
        return;
    }
    if (familyIndex >= 0)
        _smsKit->setFamily(kitbridge::familyOf(_mfDevice, familyIndex));
    call(*_smsKit);
}

void OrganizerAsyncBridge::readMotorolaPhonebook()
{
    _isInWritingPhase = false;
    _isRunning = true;
    start(
        "readMotorolaPhonebook", 0, [](OrganizerBridgeKit& kit) { kit.getPhonebookEntries(); },
        &OrganizerAsyncBridge::organizerKitPhonebookRead);
}

void OrganizerAsyncBridge::writeMotorolaPhonebook(const QVariantMap& entries)
{
    _isInWritingPhase = true;
    start(
        "writeMotorolaPhonebook", 0, [&](OrganizerBridgeKit& kit) { kit.writePhonebookEntries(entries); },
        &OrganizerAsyncBridge::organizerKitPhonebookEntriesWritten);
}

void OrganizerAsyncBridge::readMotorolaCalendar()
{
    _isRunning = true;
    start(
        "readMotorolaCalendar", 1, [](OrganizerBridgeKit& kit) { kit.getCalendarEntries(); },
        &OrganizerAsyncBridge::organizerKitCalendarRead);
}

void OrganizerAsyncBridge::writeMotorolaCalendar(const QVariantMap& entries)
{
    start(
        "writeMotorolaCalendar", -1, [&](OrganizerBridgeKit& kit) { kit.writeCalendarEntries(entries); },
        &OrganizerAsyncBridge::organizerKitCalendarEntriesWritten);
}

void OrganizerAsyncBridge::readMotorolaTasks()
{
    _isInWritingPhase = false;
    _isRunning = true;
    start(
        "readMotorolaTasks", 1, [](OrganizerBridgeKit& kit) { kit.getTasks(); },
        &OrganizerAsyncBridge::organizerKitTasksRead);
}

void OrganizerAsyncBridge::writeMotorolaTasks(const QVariantMap&)
{
    _isInWritingPhase = true;
    throw platform::Exception(QStringLiteral("writeMotorolaTasks depricated"), QStringLiteral("### Don't call it."));
}

void OrganizerAsyncBridge::percent(float offset, float prozDone, float span)
{
    if (!_notifier || !_awaitingFinal)
        return;
    const float phase = _isInWritingPhase ? 50.0f : 0.0f;
    _notifier->displayPercent(kitbridge::truncatedPercent(phase + offset + prozDone * span));
}

void OrganizerAsyncBridge::finalCallback()
{
    _awaitingFinal = false;
    platform::runloop::cancelPreviousPerformRequests(this);
}

void OrganizerAsyncBridge::organizerKitPhonebookRead(Kestrova*, const std::optional<QVariantMap>& data, int errorCode)
{
    const auto alive = keepAlive();
    finalCallback();
    MMConnLog(QStringLiteral("[%1 smsKitPhonebookRead] returns %2").arg(className()).arg(errorCode));
    _msgDict = data;
    if (_notifier) {
        _notifier->displayProgress(100);
        _notifier->phoneBookReceived(this, errorCode);
    }
}

void OrganizerAsyncBridge::organizerKitPhonebookReadProzDone(Kestrova*, float prozDone)
{
    percent(0.0f, prozDone, 50.0f);
}

void OrganizerAsyncBridge::organizerKitPhonebookEntriesWritten(Kestrova*, const std::optional<QVariantMap>& conversions,
                                                               int errorCode)
{
    const auto alive = keepAlive();
    finalCallback();
    MMConnLog(QStringLiteral("[%1 smsKitPhonebookEntriesWritten] returns %2").arg(className()).arg(errorCode));
    MMXTLog(QStringLiteral("[SMSAsyncBridge smsKitPhonebookEntriesWritten] returned conversions:%1")
                .arg(conversionsText(conversions)));
    if (_notifier) {
        _notifier->displayProgress(100);
        _notifier->phoneBookWritten(this, errorCode, conversions);
    }
    _notifier = nullptr;
}

void OrganizerAsyncBridge::organizerKitCalendarRead(Kestrova*, const std::optional<QVariantMap>& data, int errorCode)
{
    const auto alive = keepAlive();
    finalCallback();
    MMConnLog(QStringLiteral("[%1 smsKitCalendarRead] returns %2").arg(className()).arg(errorCode));
    _msgDict = data;
    if (errorCode != 0)
        platform::gui::beep();
    if (_notifier) {
        _notifier->displayProgress(100);
        _notifier->calendarReceived(this, errorCode);
    }
}

void OrganizerAsyncBridge::organizerKitCalendarActionDone(Kestrova*, float prozDone)
{
    percent(0.0f, prozDone, 25.0f);
}

void OrganizerAsyncBridge::organizerKitCalendarEntriesWritten(Kestrova*, const std::optional<QVariantMap>& conversions,
                                                              int errorCode)
{
    const auto alive = keepAlive();
    finalCallback();
    MMConnLog(QStringLiteral("[%1 smsKitCalendarEntriesWritten] returns %2").arg(className()).arg(errorCode));
    MMXTLog(QStringLiteral("[SMSAsyncBridge smsKitCalendarEntriesWritten] returned conversions:%1")
                .arg(conversionsText(conversions)));
    if (_notifier) {
        _notifier->displayProgress(100);
        _notifier->calendarWritten(this, errorCode, conversions);
    }
}

void OrganizerAsyncBridge::organizerKitTasksRead(Kestrova*, const std::optional<QVariantMap>& data, int errorCode)
{
    const auto alive = keepAlive();
    finalCallback();
    MMConnLog(QStringLiteral("[%1 organizerKitTasksRead] returns %2").arg(className()).arg(errorCode));
    _msgDict = data;
    if (errorCode != 0)
        platform::gui::beep();
    if (_notifier) {
        _notifier->displayProgress(100);
        _notifier->tasksReceived(this, errorCode);
    }
}

void OrganizerAsyncBridge::organizerKitTasksWritten(Kestrova*, const std::optional<QVariantMap>& conversions,
                                                    int errorCode)
{
    const auto alive = keepAlive();
    finalCallback();
    MMConnLog(QStringLiteral("[%1 smsKitCalendarEntriesWritten] returns %2").arg(className()).arg(errorCode));
    MMXTLog(QStringLiteral("[SMSAsyncBridge smsKitCalendarEntriesWritten] returned conversions:%1")
                .arg(conversionsText(conversions)));
    if (_notifier) {
        _notifier->displayProgress(100);
        _notifier->tasksWritten(this, errorCode, conversions);
    }
    _notifier = nullptr;
}

void OrganizerAsyncBridge::organizerKitTasksActionDone(Kestrova*, float prozDone)
{
    percent(25.0f, prozDone, 25.0f);
}
