#include "organizer/contacts/ContactTableView.h"

#include "organizer/contacts/ContactsButtonCell.h"
#include "organizer/contacts/UnHighiteTextCell.h"
#include "syncmodel/QVVCardElem.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMenu>

#include <algorithm>

namespace {

// The value column shows its cells; the text under them is not drawn.
class ContactValueUnderlay : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter*, const QStyleOptionViewItem&, const QModelIndex&) const override {}
};

} // namespace

ContactTableView::ContactTableView(QWidget* parent)
    : ContactTableBase(parent), m_valueColumn(kContentColumn)
{
    m_valueColumn.setDataCell(std::make_unique<ContactsButtonCell>());
    setItemDelegate(new UnHighiteTextCell(this));
    setItemDelegateForColumn(kContentColumn, new ContactValueUnderlay(this));
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setShowGrid(false);
    horizontalHeader()->hide();
    verticalHeader()->hide();
    horizontalHeader()->setStretchLastSection(false);
    horizontalHeader()->setMinimumSectionSize(0);   // the widths come from the texts
    setFocusPolicy(Qt::NoFocus);   // the value cells take Tab focus themselves
}

ContactTableView::~ContactTableView()
{
    removeAll();
    m_valueColumn.clearCells();
}

bool ContactTableView::canTrack() const
{
    return isVisible() && window() && window()->isActiveWindow();
}

void ContactTableView::updateCells()
{
    QAbstractItemModel* m = model();
    if (!m)
        return;
    const QFontMetrics metrics(font());
    int widestLabel = 0;
    int widestValue = 0;
    int widestPhone = -1;   // no phone row
    const int rows = m->rowCount();
    for (int row = 0; row < rows; ++row) {
        widestLabel = std::max(widestLabel, metrics.horizontalAdvance(m->index(row, kFieldColumn).data().toString()));
        const int value = metrics.horizontalAdvance(m->index(row, kContentColumn).data().toString());
        widestValue = std::max(widestValue, value);
        if (m->columnCount() > kEntryTypeColumn
            && m->index(row, kEntryTypeColumn).data().toUInt() == QVVCardElem::kPhoneCode)
            widestPhone = std::max(widestPhone, value);
    }
    widestLabel = std::max(widestLabel, kMinTextWidth);
    widestValue = std::max(widestValue, kMinTextWidth);
    int valueWidth = widestValue + kValueExtra;
    if (widestPhone >= 0 && widestPhone + kPhoneExtra > valueWidth)
        valueWidth = widestPhone + kPhoneExtra;
    setColumnWidth(kFieldColumn, widestLabel + kLabelExtra);
    setColumnWidth(kContentColumn, valueWidth);
    if (m->columnCount() > kEntryTypeColumn)
        setColumnHidden(kEntryTypeColumn, true);
    layoutCells();
    viewport()->update();
}

void ContactTableView::updateTrackingRectCells(bool add)
{
    if (add && !canTrack())
        return;
    for (int row = 0;; ++row) {
        ContactsButtonCell* cell = m_valueColumn.existingCellForRow(row);
        if (!cell)
            break;
        // A cell stays enabled while untracked, so it keeps taking keyboard
        // focus in a window that is not the active one.
        const bool selectable = !m_selectable || m_selectable(row);
        cell->setEnabled(selectable);
        cell->updateTrackingRectCell(add && selectable);
    }
}

void ContactTableView::removeAll()
{
    // The cells are about to be reused for other values (or go): an open
    // menu of one would act on a value the card no longer shows.
    for (int row = 0; row < m_valueColumn.cellCount(); ++row) {
        if (ContactsButtonCell* cell = m_valueColumn.existingCellForRow(row))
            cell->closeMenu();
    }
    updateTrackingRectCells(false);
}

void ContactTableView::reloadData()
{
    removeAll();
    QAbstractItemModel* m = model();
    const int rows = m ? m->rowCount() : 0;
    if (rows == 0)
        m_valueColumn.clearCells();
    for (int row = 0; row < rows; ++row) {
        ContactsButtonCell* cell = m_valueColumn.dataCellForRow(row, rows, viewport());
        if (!cell)
            continue;
        cell->setText(m->index(row, kContentColumn).data().toString());
        cell->setCellType(m->columnCount() > kEntryTypeColumn ? m->index(row, kEntryTypeColumn).data().toUInt() : 0);
        cell->setEnabled(!m_selectable || m_selectable(row));
        if (m_configure)
            m_configure(cell, row);
        cell->show();
    }
    updateCells();
    updateTrackingRectCells(true);
}

void ContactTableView::layoutCells()
{
    QAbstractItemModel* m = model();
    if (!m)
        return;
    for (int row = 0; row < m->rowCount(); ++row) {
        ContactsButtonCell* cell = m_valueColumn.existingCellForRow(row);
        if (cell)
            cell->setGeometry(visualRect(m->index(row, kContentColumn)));
    }
}

QMenu* ContactTableView::menuForPosition(const QPoint& pos) const
{
    const QModelIndex index = indexAt(pos);
    if (!index.isValid() || index.column() != kContentColumn)
        return nullptr;
    ContactsButtonCell* cell = m_valueColumn.existingCellForRow(index.row());
    return cell ? cell->menu() : nullptr;
}

void ContactTableView::resizeEvent(QResizeEvent* event)
{
    ContactTableBase::resizeEvent(event);
    updateCells();
}

void ContactTableView::showEvent(QShowEvent* event)
{
    ContactTableBase::showEvent(event);
    updateTrackingRectCells(true);
}

void ContactTableView::hideEvent(QHideEvent* event)
{
    removeAll();
    ContactTableBase::hideEvent(event);
}

void ContactTableView::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::ActivationChange)
        updateTrackingRectCells(canTrack());
    ContactTableBase::changeEvent(event);
}

void ContactTableView::contextMenuEvent(QContextMenuEvent* event)
{
    // Mouse context events come through the viewport, in its coordinates.
    const QModelIndex index = indexAt(event->pos());
    ContactsButtonCell* cell = index.isValid() && index.column() == kContentColumn
                                   ? m_valueColumn.existingCellForRow(index.row())
                                   : nullptr;
    if (!cell || !cell->menu()) {
        event->ignore();
        return;
    }
    cell->popUpMenu(event->globalPos());
    event->accept();
}

void ContactTableView::updateGeometries()
{
    ContactTableBase::updateGeometries();
    layoutCells();
}

void ContactTableView::scrollContentsBy(int dx, int dy)
{
    ContactTableBase::scrollContentsBy(dx, dy);
    layoutCells();
}
