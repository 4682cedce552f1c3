#pragma once

#include <QVariant>
#include <QVariantList>

// A bounded list, newest first: inserting into a full list drops the oldest.
class FifoArray {
public:
    explicit FifoArray(quint32 maxItems);

    void insertElem(const QVariant& element);
    int count() const;
    QVariant objectAtIndex(int index) const; // 0 = newest; invalid out of range
    void removeLastElem();                    // drops the oldest

private:
    quint32 m_maxItems;
    QVariantList m_data;
};
