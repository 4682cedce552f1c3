#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QPointer>
#include <QString>
#include <QTableView>

class DataTableView;
class TableDataSource;

// One column of a DataTableView: its identifier (what the data source is
// asked by), header title and width limits.
struct TableColumn {
    QString identifier;
    QString title;
    int width = 100;
    int minWidth = 10;
    int maxWidth = 100000;
};

// The model between a DataTableView and its data source: rows and values
// come from the source every time they are read.
class DataTableModel : public QAbstractTableModel {
    Q_OBJECT

public:
    explicit DataTableModel(DataTableView& table);
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // The rows again from the source (reload), or everything (new columns).
    void reload();
    void columnsChanged();

private:
    int sourceRowCount() const;
    DataTableView& table_;
    int rows_ = 0;
};

// A table of rows and named columns filled by a data source (which is not
// owned and must outlive the table, or be cleared): the table base of the
// organizer panes. Rows are selected whole; reloadData asks the source again
// and keeps the selected rows that still exist.
class DataTableView : public QTableView {
    Q_OBJECT

public:
    explicit DataTableView(QWidget* parent = nullptr);
    ~DataTableView() override;

    void setDataSource(TableDataSource* source) { dataSource_ = source; }
    TableDataSource* dataSource() const { return dataSource_; }

    // Columns.
    void setTableColumns(const QList<TableColumn>& columns);
    void addTableColumn(const TableColumn& column);
    int numberOfColumns() const { return int(columns_.size()); }
    // The column with the identifier, -1 when none.
    int columnWithIdentifier(const QString& identifier) const;
    QString columnIdentifier(int column) const;
    // The column with its current width.
    TableColumn tableColumn(int column) const;
    void setColumnTitle(int column, const QString& title);
    void setColumnMinWidth(int column, int width);
    void setColumnMaxWidth(int column, int width);
    int columnMinWidth(int column) const;
    int columnMaxWidth(int column) const;

    // The highlighted (sort) column and its sort indicator; -1 for none.
    void setHighlightedTableColumn(int column);
    int highlightedTableColumn() const { return highlighted_; }
    // descending: the descending image, else the ascending one.
    void setIndicatorImage(int column, bool descending);
    void clearIndicatorImage();
    bool hasIndicatorImage() const;
    bool indicatorDescending() const;

    // Rows and the selection (row numbers ascending).
    int numberOfRows() const;
    virtual void reloadData();
    QList<int> selectedRowIndexes() const;
    int selectedRow() const;   // the first selected row, -1 when none
    int numberOfSelectedRows() const { return int(selectedRowIndexes().size()); }
    bool isRowSelected(int row) const;
    // extend NO replaces the selection; rows out of range are skipped.
    void selectRowIndexes(const QList<int>& rows, bool extend);
    void deselectAllRows();
    void selectAllRows();

    // Widths: the visible part of the table (the viewport) and the table's
    // own frame (at least the visible width).
    virtual int visibleWidth() const;
    virtual int frameWidth() const;

    DataTableModel* tableModel() const { return model_; }

Q_SIGNALS:
    void selectionDidChange();

protected:
    void startDrag(Qt::DropActions supportedActions) override;
    // The drag's actions; the action a finished drag ended with.
    virtual Qt::DropActions draggingSourceOperationMask() const { return Qt::CopyAction; }
    virtual void draggingEnded(Qt::DropAction action) { (void)action; }
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event = nullptr) const override;

private:
    void tableSelectionChanged();
    void headerClicked(int section);
    void applyColumnWidths();
    int dropRowAt(const QPoint& position) const;

    TableDataSource* dataSource_ = nullptr;
    DataTableModel* model_;
    QList<TableColumn> columns_;
    int highlighted_ = -1;
    bool reloading_ = false;
    friend class DataTableModel;
};
