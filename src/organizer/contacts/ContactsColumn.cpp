#include "organizer/contacts/ContactsColumn.h"

#include "organizer/contacts/ContactsButtonCell.h"

ContactsColumn::ContactsColumn(int modelColumn) : m_column(modelColumn) {}

ContactsColumn::~ContactsColumn()
{
    clearCells();
}

void ContactsColumn::setDataCell(std::unique_ptr<ContactsButtonCell> cell)
{
    clearCells();
    m_dataCell = std::move(cell);
}

ContactsButtonCell* ContactsColumn::dataCellForRow(int row, int rowCount, QWidget* parent)
{
    if (!m_dataCell)
        return nullptr;
    if (!m_hasList || m_cells.size() != rowCount) {
        clearCells();
        m_cells.reserve(rowCount);
        for (int i = 0; i < rowCount; ++i)
            m_cells.append(m_dataCell->copyCell(parent));
        m_hasList = true;
    }
    return existingCellForRow(row);
}

ContactsButtonCell* ContactsColumn::existingCellForRow(int row) const
{
    if (row < 0 || row >= m_cells.size())
        return nullptr;
    return m_cells[row].data();
}

void ContactsColumn::clearCells()
{
    for (const QPointer<ContactsButtonCell>& cell : std::as_const(m_cells))
        delete cell.data();
    m_cells.clear();
    m_hasList = false;
}
