#pragma once

#include <QList>
#include <QPointer>

#include <memory>

class ContactsButtonCell;
class QWidget;

// A column of the contact card's detail table that has a cell of its own per
// row: copies of its data cell (the prototype), made when the row count
// changes. The cells belong to the widget given as their parent.
class ContactsColumn {
public:
    explicit ContactsColumn(int modelColumn = 1);
    ~ContactsColumn();
    ContactsColumn(const ContactsColumn&) = delete;
    ContactsColumn& operator=(const ContactsColumn&) = delete;

    int modelColumn() const { return m_column; }

    // The prototype; setting it drops the per-row cells.
    void setDataCell(std::unique_ptr<ContactsButtonCell> cell);
    ContactsButtonCell* dataCell() const { return m_dataCell.get(); }

    // The cell of row among rowCount rows: the list of copies is made again
    // (parented to parent) when missing or of another length. Null for a
    // row out of range or without a prototype.
    ContactsButtonCell* dataCellForRow(int row, int rowCount, QWidget* parent);
    // The cell of row as the list stands (null when none was made).
    ContactsButtonCell* existingCellForRow(int row) const;
    int cellCount() const { return int(m_cells.size()); }
    // Deletes the per-row cells.
    void clearCells();

private:
    int m_column;
    std::unique_ptr<ContactsButtonCell> m_dataCell;
    QList<QPointer<ContactsButtonCell>> m_cells;
    bool m_hasList = false;
};
