#pragma once

#include <QString>
#include <QVariantList>

#include <memory>

class QVSyncElem;

// Where removed and conflicting items go, so the user can restore them.
class ItemTrash {
public:
    virtual ~ItemTrash() = default;
    virtual void putItemToTrash(const std::shared_ptr<QVSyncElem>& elem, const QString& device,
                                bool reasonWasConflict) = 0;
    virtual QVariantList getList() = 0;
    virtual void setList(const QVariantList& list) = 0;
};
