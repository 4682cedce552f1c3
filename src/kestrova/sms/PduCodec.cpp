#include "kestrova/sms/PduCodec.h"

#include "kestrova/sms/SmsJoinIndex.h"
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

int createSmsListFromPduList(smsList& list, const pduList& pdus, int* dropped)
{
    int droppedCount = 0;
    // Decoding never asks the clock (without TZ every look at the local time
    // reads the zone file): a listed SMS-SUBMIT, which carries no time of its
    // own, keeps the empty time stamp, the same for all its parts.
    const sms::Timestamp none{};
    SmsJoinIndex joiner(list);
    for (const auto& item : pdus) {
        auto message = std::make_unique<sms>(none);
        const int rc = item->decodePdu(*message);
        if (rc != kSmsOk) {
            ++droppedCount;
            if (smsKitLogIsOpen())
                smsKitLog(QStringLiteral("PDU at index %1 in %2 dropped (error %3)")
                              .arg(item->getStorageIndex())
                              .arg(item->getMemory())
                              .arg(rc));
            continue;
        }
        joiner.append(std::move(message));
    }
    for (const auto& entry : list)
        entry->decodeCodedString();
    list.resetPos();
    if (dropped)
        *dropped = droppedCount;
    return kSmsOk;
}

} // namespace kestrova
