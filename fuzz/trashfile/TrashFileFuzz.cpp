#include "organizer/trash/TrashManager.h"

#include <QByteArray>
#include <QDateTime>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QDateTime now(QDate(2024, 6, 1), QTime(12, 0), Qt::UTC);
    QString damage;
    const TrashManager::Loaded loaded = TrashManager::parseTrashFile(bytes, 61 * 86400, now, &damage);
    for (const TrashElemPtr& elem : loaded.elems) {
        (void)elem->dictionaryForArchive();
        (void)elem->getTitleForList();
        (void)elem->getFieldsAndContents();
    }
    return 0;
}
