#include "kitbridges/SMSAsyncDeleter.h"

#include "kitbridges/KitBridgesLog.h"
#include "kitbridges/SMSAsyncDeleteMsg.h"
#include "syncmodel/SmsRecordKeys.h"

#include <algorithm>

namespace {

// An SMS record keeps the text and the number under its own keys; the kit
// tells the message on the phone by its memory, places, text and number.
QVariant kitDeleteRequest(const QVariant& message)
{
    QVariantMap request = message.toMap();
    const std::pair<const char*, const char*> kitKeys[] = {{"message", smsrecord::kText},
                                                           {"number", smsrecord::kNumber}};
    for (const auto& [kitKey, recordKey] : kitKeys) {
        const QString kit = QLatin1String(kitKey);
        const QString record = QLatin1String(recordKey);
        if (!request.contains(kit) && request.contains(record))
            request.insert(kit, request.value(record));
    }
    return request;
}

} // namespace

std::shared_ptr<SMSAsyncDeleter> SMSAsyncDeleter::smsDeleterWithAdress(MFDeviceLinkOwner* device,
                                                                       SMSAsyncDeleteMsg* notifier,
                                                                       const SmsKitMaker& makeKit)
{
    auto bridge = std::make_shared<SMSAsyncDeleter>(Passkey{}, notifier);
    bridge->initBasisWithAdress(device, makeKit);
    return bridge;
}

int SMSAsyncDeleter::startDeleting(const QVariantList& messages, const QString& boxName)
{
    MMConnLog(QStringLiteral("[%1 startDeleting]").arg(className()));
    if (!_smsKit) {
        logNoKit("startDeleting");
        return -1;
    }
    if (messages.isEmpty())
        return -2;
    _curCount = 0;
    _msgCount = qint32(messages.size());
    _boxName = boxName;
    _requested = messages;
    _kitRequests.clear();
    for (const QVariant& message : messages)
        _kitRequests.append(kitDeleteRequest(message));
    if (!_smsKit->removeMessages(_kitRequests)) {
        _msgCount = 0;
        return -3;
    }
    return 0;
}

void SMSAsyncDeleter::stopDeleting()
{
    MMConnLog(QStringLiteral("[%1 stopDeleting]").arg(className()));
    fullStop();
}

void SMSAsyncDeleter::smsKitMessageDeleted(QVSmsKitAsync*, const QVariantMap& message)
{
    const auto alive = keepAlive();
    ++_curCount;
    // The kit answers with the request it deleted: report the caller's own.
    const qsizetype which = _kitRequests.indexOf(QVariant(message));
    const QVariantMap reported = which >= 0 ? _requested.at(which).toMap() : message;
    if (_notifier)
        _notifier->smsMessageDeleted(this, reported, _boxName,
                                     _msgCount > 0 ? std::min(1.0f, float(_curCount) / float(_msgCount)) : 1.0f);
}

void SMSAsyncDeleter::smsKitMessageDeletingFinished(QVSmsKitAsync*, int errorCode)
{
    const auto alive = keepAlive();
    _msgCount = 0;
    _curCount = 0;
    MMXTLog(QStringLiteral("smsKitMessageDeletingFinished (%1): %2").arg(errorCode).arg(QString()));
    if (_notifier)
        _notifier->smsMessageDeletingFinished(this, errorCode);
    if (_smsKit)
        _smsKit->fullStop();
}
