#include "kitbridges/SMSAsyncBridge.h"

#include "kitbridges/KitBridgeDevice.h"

#include "kitbridges/KitBridgesLog.h"
#include "kitbridges/SMSAsyncReceiver.h"
#include "syncmodel/SmsRecords.h"

namespace {

QString smsKey(const char* name)
{
    return QString::fromLatin1(name);
}

} // namespace

std::shared_ptr<SMSAsyncBridge> SMSAsyncBridge::smsBridgeWithAdress(MFDeviceLinkOwner* device,
                                                                    SMSAsyncReceiver* notifier,
                                                                    const SmsKitMaker& makeKit)
{
    auto bridge = std::make_shared<SMSAsyncBridge>(Passkey{}, notifier);
    bridge->initBasisWithAdress(device, makeKit);
    return bridge;
}

int SMSAsyncBridge::startReading()
{
    _msgList = QVariantList();
    _msgList.reserve(32);
    _msgKeys.clear();
    _isRunning = true;
    addSMSBox(smsKey(smsrecord::kInbox), smsrecord::kInboxNumber);
    addSMSBox(smsKey(smsrecord::kSent), smsrecord::kSentNumber);
    addSMSBox(smsKey(smsrecord::kDraft), smsrecord::kDraftNumber);
    addSMSBox(smsKey(smsrecord::kTrash), smsrecord::kTrashNumber);
    if (!_smsKit) {
        logNoKit("startReading");
        return -2;
    }
    return _smsKit->startReading() ? 0 : -2;
}

void SMSAsyncBridge::stopReading()
{
    if (_isRunning)
        fullStop();
}

void SMSAsyncBridge::addSMSBox(const QString& name, unsigned lokalID)
{
    for (const QVariant& entry : _msgList) {
        const QVariantMap box = entry.toMap();
        const QString boxName = box.value(smsKey(smsrecord::kName)).toString();
        if (box.value(smsKey(smsrecord::kType)).toString() == smsKey(smsrecord::kBoxListType) && !boxName.isEmpty()
            && boxName == name)
            return;
    }
    append(getNewSMSBoxDict(name, lokalID));
}

void SMSAsyncBridge::append(const QVariantMap& record)
{
    _msgKeys.insert(record.value(smsKey(smsrecord::kDate)).toString());
    _msgList.append(record);
}

QVariantMap SMSAsyncBridge::getNewSMSBoxDict(const QString& name, unsigned lokalID)
{
    return smsrecord::newBoxEntry(name, lokalID);
}

QString SMSAsyncBridge::nextDatelessKey()
{
    return smsrecord::ReadCounter::shared().nextNoDateKey(
        [&](const QString& key) { return _msgKeys.contains(key) || (_isTaken && _isTaken(key)); });
}

void SMSAsyncBridge::smsKitReadingBoxData(QVSmsKitAsync*, const QVariantList& list, const QString& box)
{
    MMConnLog(QStringLiteral("[%1 smsKitReadingBoxData]").arg(className()));
    if (box.isEmpty())
        return;
    const QString name = box == QLatin1String("drafts") ? smsKey(smsrecord::kDraft) : box;
    addSMSBox(name, smsrecord::kLocalNumber);
    for (const QVariant& message : list) {
        if (message.typeId() != QMetaType::QVariantMap) {
            MMConnLog(QStringLiteral("[%1 smsKitReadingBoxData] a message that is no dictionary is dropped")
                          .arg(className()));
            continue;
        }
        const auto record = smsrecord::recordFromKitMessage(message.toMap(), name,
                                                            [this] { return nextDatelessKey(); });
        if (!record) {
            MMConnLog(QStringLiteral("[%1 smsKitReadingBoxData] an incomplete message of \"%2\" is dropped")
                          .arg(className(), name));
            continue;
        }
        append(*record);
    }
}

void SMSAsyncBridge::smsKitReadingProgress(QVSmsKitAsync*, float percent)
{
    if (_notifier)
        _notifier->displayPercent(kitbridge::truncatedPercent(percent));
}

void SMSAsyncBridge::smsKitReadingFinished(QVSmsKitAsync*, int errorCode)
{
    const auto alive = keepAlive();
    MMConnLog(QStringLiteral("[%1 smsKitReadingFinished] returns %2").arg(className()).arg(errorCode));
    MMXTLog(QStringLiteral("smsKitReadingFinished (%1): %2").arg(errorCode).arg(QString()));
    if (_notifier) {
        _notifier->displayProgress(100);
        _notifier->smsReceived(this, errorCode);
    }
    if (_smsKit)
        _smsKit->fullStop();
}

void SMSAsyncBridge::smsKitOrganizerAbortComplete(QVSmsKitAsync*, int)
{
    fullStop();
}
