#pragma once

#include "organizer/trash/TrashElem.h"

#include <QAbstractTableModel>

class TrashManager;

// The trash window's table of entries: columns "title" (with the item's
// icon), "type" (trashed or lost a conflict), "date" and "phone" (with the
// phone's icon). Sorting reorders the store's entries. Rows drag out as a
// vCard file of their contacts.
class TrashTableModel : public QAbstractTableModel {
    Q_OBJECT

public:
    static constexpr int kIconSide = 32;
    enum Column { Title = 0, Type, Date, Phone, ColumnCount };

    explicit TrashTableModel(TrashManager& store, QObject* parent = nullptr);

    static QString columnIdentifier(int column);
    TrashElemPtr elemAt(int row) const;
    // Resets the view after the store changed, sorted as last asked.
    void reload();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    void sort(int column, Qt::SortOrder order) override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDragActions() const override { return Qt::CopyAction; }

private:
    void sortStore();

    TrashManager& _store;
    int _sortColumn = -1;
    Qt::SortOrder _sortOrder = Qt::AscendingOrder;
};
