#pragma once

#include "syncmodel/QVSyncElemList.h"

#include <QList>
#include <QString>
#include <QVariant>
#include <QVariantList>

#include <memory>
#include <vector>

class QVElemTableView;

// An undo snapshot of an item table: the item list's own snapshot, the
// selected items, and those selected items that were not deleted when it was
// taken (they are undeleted when the snapshot is applied).
struct QVElemTableState {
    QVSyncElemList::State list;
    std::vector<QVSyncElemList::Elem> selection;
    std::vector<QVSyncElemList::Elem> deleteFlags;
    bool hasList = false;   // false: taken without an item list
    // The list the snapshot was taken of; a list replaced since is left alone.
    const QVSyncElemList* listObject = nullptr;
};

// What an item table asks of its controller (the pane that owns it). Rows are
// ascending row numbers of the table.
class QVElemTableViewController {
public:
    virtual ~QVElemTableViewController() = default;

    // The delete key, and the Delete command.
    virtual void deleteKeyPressed(QVElemTableView& table) = 0;
    // Return or Enter; false: the controller does not take it (the table then
    // handles the key as usual).
    virtual bool pressEnterKey(QVElemTableView& table) { return (void)table, false; }
    virtual void copyItems(QVElemTableView& table) = 0;
    // Pasted values of the pasteboard type (level 0 for a paste).
    virtual void pasteItems(const QVariantList& items, const QString& type, int level) = 0;
    virtual void performDelete() = 0;

    // Undo snapshots.
    virtual QVElemTableState getCurrentState() = 0;
    virtual void setStateFromDictionary(const QVElemTableState& state) = 0;
    // The edit of one field of an item.
    virtual QVariant getCurrentElemData(const QVariant& elem, const QVariant& data, int property) = 0;
    virtual void setElemData(const QVariant& elem, const QVariant& data, int property) = 0;
    virtual void updateContent() = 0;
    virtual void trickleRequired() = 0;

    // Drags out of the table: the rows being dragged, their delete (the drag
    // was taken as a move, as the desktop trash takes it) and any other end.
    virtual QList<int> indexSetForDrag() const = 0;
    virtual void deleteItemsFromIndexSet(const QList<int>& rows) = 0;
    virtual void dragFinished() = 0;
};
