#include "kestrova/sms/PduCodec.h"

#include "kestrova/sms/SmsLog.h"
#include "kestrova/sms/sms.h"

namespace kestrova {

std::unique_ptr<pduList> createPduListFromSms(sms& message, int* error)
{
    int ignored = 0;
    int& rc = error ? *error : ignored;
    rc = kSmsOk;

    if (message.getTP_DCS() == kSmsDcsGsm7) {
        message.encodeGSMString();
    } else if (message.getTP_DCS() == kSmsDcsUcs2) {
        if (message.getUcs2Length() == 0 && message.getUtf8Length() > 0)
            message.setUcs2Text(message.getUtf8Text());
    } else {
        rc = kSmsErrorCodingNotSupported;
        return nullptr;
    }

    addressList* recipients = message.getAddressList();
    if (!recipients || recipients->length() == 0) {
        rc = kSmsErrorNoAddress;
        return nullptr;
    }

    auto list = std::make_unique<pduList>();
    recipients->resetPos();
    while (recipients->isEnd()) {
        const QString number = recipients->nextItem();
        if (message.setAddress(number) != kSmsOk) {
            rc = kSmsErrorNoAddress; // never fall back on the previous recipient
            return nullptr;
        }
        int more = 0;
        do {
            auto part = std::make_unique<pdu>();
            rc = part->encodePdu(message, more);
            if (rc != kSmsOk) {
                message.reloadCharBuffers();
                return nullptr;
            }
            list->appendItem(std::move(part));
        } while (more);
        message.reloadCharBuffers();
    }
    list->resetPos();
    return list;
}

int createSmsListFromPduList(smsList& list, const pduList& pdus)
{
    int firstError = kSmsOk;
    for (const auto& item : pdus) {
        auto message = std::make_unique<sms>();
        const int rc = item->decodePdu(*message);
        if (rc != kSmsOk) {
            if (smsKitLogIsOpen())
                smsKitLog(QStringLiteral("PDU at index %1 in %2 dropped (error %3)")
                              .arg(item->getStorageIndex())
                              .arg(item->getMemory())
                              .arg(rc));
            if (firstError == kSmsOk)
                firstError = rc;
            continue;
        }
        if (!message->isMultiPart()) {
            list.appendItem(std::move(message));
            continue;
        }
        sms* entry = nullptr;
        list.searchMultiPart(*message, entry);
        if (entry && entry->insertMultiPart(*message) == 0)
            continue;
        message->setMultiPartTags();
        list.appendItem(std::move(message));
    }
    list.resetPos();
    while (sms* entry = list.nextItem())
        entry->decodeCodedString();
    list.resetPos();
    return firstError;
}

} // namespace kestrova
