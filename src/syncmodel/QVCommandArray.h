#pragma once

#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class QVSyncElem;

// The commands a session sends back to the phone: items paired with "Add",
// "Replace" or "Delete", index i of one list belonging to index i of the other.
class QVCommandArray {
public:
    using Elem = std::shared_ptr<QVSyncElem>;
    static inline const QString kAdd = QStringLiteral("Add");
    static inline const QString kReplace = QStringLiteral("Replace");
    static inline const QString kDelete = QStringLiteral("Delete");

    QVCommandArray();
    static std::unique_ptr<QVCommandArray> newCommandArray() { return std::make_unique<QVCommandArray>(); }

    void addObject(const Elem& elem, const QString& command);
    // A deletion item for the item's phone id, "Delete", in front of all.
    void insertDeleteObject(const Elem& elem);
    int count() const { return int(_elems.size()); }
    Elem elemAtIndex(int index) const;
    QString commandAtIndex(int index) const;
    // YES when an item with the same phone id is present.
    bool containsElem(const Elem& elem) const;
    void removeElemAndCommandAtIndex(int index);
    void removeAllObjects();
    QString description() const;

private:
    std::vector<Elem> _elems;
    QStringList _commands;
};
