#include "phone/OrganizerArchive.h"

#include "phone/MFDevice.h"
#include "platform/NotificationCenter.h"
#include "syncmodel/QVSmsElem.h"
#include "syncmodel/QVSyncElemList.h"

namespace {
constexpr int kArchiveSmsType = 4;
} // namespace

void OrganizerArchive::handleNewSMS()
{
    QVSyncElemList* list = storage(kArchiveSmsType);
    if (!list)
        return;
    for (int index = 0;; ++index) {
        const QVSyncElemList::Elem elem = list->objectAtIndex(index);
        if (!elem)
            return;
        const auto* sms = dynamic_cast<const QVSmsElem*>(elem.get());
        if (sms && sms->typeString() == QLatin1String("inbox") && !sms->isOldMessage()) {
            platform::NotificationCenter::defaultCenter().post(QLatin1String(kNotifyNewSMS), &_mfDevice,
                                                               sms->getDragDictionary());
            return;
        }
    }
}

void OrganizerArchive::processSynchronization(const QVariantMap& syncInfo, int type, bool isFast)
{
    QVSyncElemList* list = storage(type);
    if (!list)
        return;
    list->processSyncInfo(syncInfo, isFast);
    auto& center = platform::NotificationCenter::defaultCenter();
    center.post(QLatin1String(kNotifyDatabaseSynced), &_mfDevice);
    if (type == kArchiveSmsType) {
        center.post(QLatin1String(kNotifyMarkReadChanged), &_mfDevice);
        handleNewSMS();
    }
}

int OrganizerArchive::getUnreadedSMS_Count() const
{
    QVSyncElemList* list = storage(kArchiveSmsType);
    if (!list)
        return 0;
    int unread = 0;
    for (int index = 0;; ++index) {
        const QVSyncElemList::Elem elem = list->objectAtIndex(index);
        if (!elem)
            return unread;
        const auto* sms = dynamic_cast<const QVSmsElem*>(elem.get());
        if (sms && !sms->isMarkedRead())
            ++unread;
    }
}

void OrganizerArchive::enterSMS(const QVariant& records, int type)
{
    QVSyncElemList* list = storage(type);
    if (!list)
        return;
    list->enterSMS(records);
    _mfDevice.syncFinished(kArchiveSmsType, 0);
    auto& center = platform::NotificationCenter::defaultCenter();
    center.post(QLatin1String(kNotifyDatabaseSynced), &_mfDevice);
    center.post(QLatin1String(kNotifyMarkReadChanged), &_mfDevice);
    handleNewSMS();
}
