#include "syncmodel/QVSyncElemList.h"

#include "syncmodel/QVSmsElem.h"
#include "syncmodel/SyncModelLog.h"

// The SMS storage: one item per record, in the given order. A record that is
// not a dictionary is skipped with a log line.
void QVSyncElemList::enterSMS(const QVariant& records)
{
    if (records.typeId() != QMetaType::QVariantList) {
        if (records.isValid())
            qCWarning(lcSyncModel).noquote() << "enterSMS: the records are no list (" << records.typeName() << ")";
        return;
    }
    for (const QVariant& record : records.toList()) {
        if (record.typeId() != QMetaType::QVariantMap) {
            qCWarning(lcSyncModel).noquote()
                << "enterSMS: skipping a record of the wrong kind (" << record.typeName() << ")";
            continue;
        }
        auto elem = QVSmsElem::elemWithRecord(record.toMap());
        elem->setProperty(_property);
        addObject(elem);
    }
}
