#pragma once

#include "organizer/contacts/ContactTableBase.h"
#include "organizer/contacts/ContactsColumn.h"

#include <functional>
#include <memory>

class ContactsButtonCell;
class QMenu;

// The detail table of the contact card: its model gives per row the label
// (column kFieldColumn), the value (kContentColumn) and the entry type code
// (kEntryTypeColumn, hidden; QVVCardElem::kPhoneCode, kMailCode, or none).
// Each value is a ContactsButtonCell of the value column (ContactsColumn),
// set up by the cell configurer for its row; cells of rows the data source
// lets select are enabled and tracked for hover while the window is active
// and the table visible. Columns are sized to their contents; the table
// draws no selection highlight. A right click or the menu key over a value
// opens that value's menu.
class ContactTableView : public ContactTableBase {
    Q_OBJECT

public:
    static constexpr int kFieldColumn = 0;
    static constexpr int kContentColumn = 1;
    static constexpr int kEntryTypeColumn = 2;
    // What the label and value columns get beyond their widest text, and
    // what a phone value gets for its marker.
    static constexpr int kLabelExtra = 7;
    static constexpr int kValueExtra = 5;
    static constexpr int kPhoneExtra = 24 + 2;
    static constexpr int kMinTextWidth = 5;

    using CellConfigurer = std::function<void(ContactsButtonCell* cell, int row)>;
    using RowPredicate = std::function<bool(int row)>;

    explicit ContactTableView(QWidget* parent = nullptr);
    ~ContactTableView() override;

    ContactsColumn& valueColumn() { return m_valueColumn; }
    ContactsButtonCell* cellForRow(int row) const { return m_valueColumn.existingCellForRow(row); }

    // Called for each row's value cell whenever the table reloads
    // (tableView:willDisplayCell: of the card).
    void setCellConfigurer(CellConfigurer configurer) { m_configure = std::move(configurer); }
    // Whether a row may be selected (its cell enabled); all rows without one.
    void setRowSelectable(RowPredicate predicate) { m_selectable = std::move(predicate); }

    // Column widths from the texts: label = widest + kLabelExtra, value =
    // widest + kValueExtra, or the widest phone value + kPhoneExtra when that
    // is more.
    void updateCells();
    // Enables the cells of selectable rows (disables the others) and tracks
    // them for hover (add) or untracks them.
    void updateTrackingRectCells(bool add);
    // Untracks, rebuilds the value cells from the model, tracks again.
    void reloadData();
    // Closes the value cells' open menus and untracks every value cell.
    void removeAll();
    // The menu of the value under pos (viewport coordinates); null elsewhere.
    QMenu* menuForPosition(const QPoint& pos) const;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void updateGeometries() override;
    void scrollContentsBy(int dx, int dy) override;

private:
    bool canTrack() const;
    // Places each value cell over its row of the value column.
    void layoutCells();

    ContactsColumn m_valueColumn;
    CellConfigurer m_configure;
    RowPredicate m_selectable;
};
