#include "organizer/tables/DataTableView.h"

#include "organizer/tables/TableDataSource.h"

#include <QDrag>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMimeData>
#include <QScrollBar>

#include <algorithm>

DataTableModel::DataTableModel(DataTableView& table)
    : QAbstractTableModel(&table)
    , table_(table)
{
}

int DataTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : rows_;
}

int DataTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(table_.columns_.size());
}

QVariant DataTableModel::data(const QModelIndex& index, int role) const
{
    TableDataSource* source = table_.dataSource_;
    if (!source || !index.isValid() || index.column() >= table_.columns_.size())
        return {};
    const QString& column = table_.columns_.at(index.column()).identifier;
    if (role == Qt::DisplayRole) {
        const QVariant value = source->objectValueForTableColumn(table_, column, index.row());
        const QVariant shown = source->willDisplayCell(table_, column, index.row(), role);
        return shown.isValid() ? shown : value;
    }
    return source->willDisplayCell(table_, column, index.row(), role);
}

QVariant DataTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0
        || section >= table_.columns_.size())
        return {};
    return table_.columns_.at(section).title;
}

Qt::ItemFlags DataTableModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::ItemIsDropEnabled;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsDragEnabled;
    if (!table_.dataSource_ || table_.dataSource_->shouldSelectRow(table_, index.row()))
        flags |= Qt::ItemIsSelectable;
    return flags;
}

int DataTableModel::sourceRowCount() const
{
    return table_.dataSource_ ? std::max(0, table_.dataSource_->numberOfRowsInTableView(table_)) : 0;
}

void DataTableModel::reload()
{
    // Rows go or come at the end, so the header keeps its sections and the
    // selection its row numbers; every cell is read again.
    const int count = sourceRowCount();
    if (count < rows_) {
        beginRemoveRows({}, count, rows_ - 1);
        rows_ = count;
        endRemoveRows();
    } else if (count > rows_) {
        beginInsertRows({}, rows_, count - 1);
        rows_ = count;
        endInsertRows();
    }
    if (rows_ > 0 && !table_.columns_.isEmpty())
        Q_EMIT dataChanged(index(0, 0), index(rows_ - 1, int(table_.columns_.size()) - 1));
}

void DataTableModel::columnsChanged()
{
    beginResetModel();
    rows_ = sourceRowCount();
    endResetModel();
}

DataTableView::DataTableView(QWidget* parent)
    : QTableView(parent)
    , model_(new DataTableModel(*this))
{
    setModel(model_);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setShowGrid(false);
    setWordWrap(false);
    verticalHeader()->hide();
    horizontalHeader()->setSectionsClickable(true);
    horizontalHeader()->setStretchLastSection(false);
    horizontalHeader()->setMinimumSectionSize(1);
    horizontalHeader()->setSortIndicatorShown(false);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { tableSelectionChanged(); });
    connect(horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int section) { headerClicked(section); });
}

DataTableView::~DataTableView()
{
    dataSource_ = nullptr;
}

void DataTableView::setTableColumns(const QList<TableColumn>& columns)
{
    reloading_ = true;
    columns_ = columns;
    model_->columnsChanged();
    applyColumnWidths();
    reloading_ = false;
}

void DataTableView::addTableColumn(const TableColumn& column)
{
    QList<TableColumn> columns;
    for (int i = 0; i < columns_.size(); ++i)
        columns.append(tableColumn(i));
    columns.append(column);
    setTableColumns(columns);
}

void DataTableView::applyColumnWidths()
{
    for (int i = 0; i < columns_.size(); ++i)
        setColumnWidth(i, std::clamp(columns_.at(i).width, columns_.at(i).minWidth,
                                     std::max(columns_.at(i).minWidth, columns_.at(i).maxWidth)));
}

int DataTableView::columnWithIdentifier(const QString& identifier) const
{
    for (int i = 0; i < columns_.size(); ++i) {
        if (columns_.at(i).identifier == identifier)
            return i;
    }
    return -1;
}

QString DataTableView::columnIdentifier(int column) const
{
    return column >= 0 && column < columns_.size() ? columns_.at(column).identifier : QString();
}

TableColumn DataTableView::tableColumn(int column) const
{
    if (column < 0 || column >= columns_.size())
        return {};
    TableColumn answer = columns_.at(column);
    answer.width = columnWidth(column);
    return answer;
}

void DataTableView::setColumnTitle(int column, const QString& title)
{
    if (column < 0 || column >= columns_.size())
        return;
    columns_[column].title = title;
    Q_EMIT model_->headerDataChanged(Qt::Horizontal, column, column);
}

void DataTableView::setColumnMinWidth(int column, int width)
{
    if (column >= 0 && column < columns_.size())
        columns_[column].minWidth = width;
}

void DataTableView::setColumnMaxWidth(int column, int width)
{
    if (column >= 0 && column < columns_.size())
        columns_[column].maxWidth = width;
}

int DataTableView::columnMinWidth(int column) const
{
    return column >= 0 && column < columns_.size() ? columns_.at(column).minWidth : 0;
}

int DataTableView::columnMaxWidth(int column) const
{
    return column >= 0 && column < columns_.size() ? columns_.at(column).maxWidth : 0;
}

void DataTableView::setHighlightedTableColumn(int column)
{
    highlighted_ = column >= 0 && column < columns_.size() ? column : -1;
    horizontalHeader()->viewport()->update();
}

void DataTableView::setIndicatorImage(int column, bool descending)
{
    if (column < 0 || column >= columns_.size()) {
        clearIndicatorImage();
        return;
    }
    QHeaderView* header = horizontalHeader();
    header->setSortIndicatorShown(true);
    header->setSortIndicator(column, descending ? Qt::DescendingOrder : Qt::AscendingOrder);
}

void DataTableView::clearIndicatorImage()
{
    horizontalHeader()->setSortIndicatorShown(false);
}

bool DataTableView::hasIndicatorImage() const
{
    return horizontalHeader()->isSortIndicatorShown() && horizontalHeader()->sortIndicatorSection() >= 0;
}

bool DataTableView::indicatorDescending() const
{
    return horizontalHeader()->sortIndicatorOrder() == Qt::DescendingOrder;
}

int DataTableView::numberOfRows() const
{
    return model_->rowCount();
}

void DataTableView::reloadData()
{
    // The rows are asked for anew; selected rows that still exist stay
    // selected, and a selection change is announced only when one was lost.
    const QList<int> before = selectedRowIndexes();
    reloading_ = true;
    model_->reload();
    reloading_ = false;
    if (selectedRowIndexes() != before)
        tableSelectionChanged();
}

QList<int> DataTableView::selectedRowIndexes() const
{
    QList<int> rows;
    if (!selectionModel())
        return rows;
    for (const QModelIndex& index : selectionModel()->selectedRows())
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

int DataTableView::selectedRow() const
{
    const QList<int> rows = selectedRowIndexes();
    return rows.isEmpty() ? -1 : rows.first();
}

bool DataTableView::isRowSelected(int row) const
{
    return selectionModel() && selectionModel()->isRowSelected(row, QModelIndex());
}

void DataTableView::selectRowIndexes(const QList<int>& rows, bool extend)
{
    QItemSelection selection;
    const int count = numberOfRows();
    const int lastColumn = std::max(0, int(columns_.size()) - 1);
    for (int row : rows) {
        if (row < 0 || row >= count)
            continue;
        selection.select(model_->index(row, 0), model_->index(row, lastColumn));
    }
    const bool wasReloading = reloading_;
    reloading_ = true;
    const QList<int> before = selectedRowIndexes();
    selectionModel()->select(selection, extend ? QItemSelectionModel::Select
                                               : QItemSelectionModel::ClearAndSelect);
    if (!rows.isEmpty()) {
        for (int row : rows) {
            if (row >= 0 && row < count) {
                selectionModel()->setCurrentIndex(model_->index(row, 0), QItemSelectionModel::NoUpdate);
                break;
            }
        }
    }
    reloading_ = wasReloading;
    if (!reloading_ && before != selectedRowIndexes())
        tableSelectionChanged();
}

void DataTableView::deselectAllRows()
{
    if (selectedRowIndexes().isEmpty())
        return;
    selectionModel()->clearSelection();
}

void DataTableView::selectAllRows()
{
    QList<int> rows;
    for (int row = 0; row < numberOfRows(); ++row)
        rows.append(row);
    selectRowIndexes(rows, false);
}

int DataTableView::visibleWidth() const
{
    return viewport()->width();
}

int DataTableView::frameWidth() const
{
    int total = 0;
    for (int i = 0; i < columns_.size(); ++i)
        total += columnWidth(i);
    return std::max(visibleWidth(), total);
}

void DataTableView::tableSelectionChanged()
{
    if (reloading_)
        return;
    Q_EMIT selectionDidChange();
    if (dataSource_)
        dataSource_->selectionDidChange(*this);
}

void DataTableView::headerClicked(int section)
{
    if (dataSource_ && section >= 0 && section < columns_.size())
        dataSource_->didClickTableColumn(*this, columns_.at(section).identifier);
}

void DataTableView::startDrag(Qt::DropActions supportedActions)
{
    (void)supportedActions;
    const QList<int> rows = selectedRowIndexes();
    if (rows.isEmpty() || !dataSource_)
        return;
    QMimeData* data = dataSource_->writeRowsWithIndexes(*this, rows);
    if (!data)
        return;
    auto* drag = new QDrag(this);
    drag->setMimeData(data);
    const Qt::DropAction action = drag->exec(draggingSourceOperationMask(), Qt::CopyAction);
    draggingEnded(action);
}

int DataTableView::dropRowAt(const QPoint& position) const
{
    return rowAt(position.y());
}

void DataTableView::dragEnterEvent(QDragEnterEvent* event)
{
    // Entering asks the data source the same question as every move.
    dragMoveEvent(event);
}

void DataTableView::dragMoveEvent(QDragMoveEvent* event)
{
    if (!dataSource_ || !event->mimeData()) {
        event->ignore();
        return;
    }
    const Qt::DropAction action = dataSource_->validateDrop(*this, *event->mimeData(),
                                                            dropRowAt(event->position().toPoint()),
                                                            event->proposedAction());
    if (action == Qt::IgnoreAction) {
        event->ignore();
        return;
    }
    event->setDropAction(action);
    event->accept();
}

void DataTableView::dropEvent(QDropEvent* event)
{
    if (!dataSource_ || !event->mimeData()) {
        event->ignore();
        return;
    }
    const Qt::DropAction action = event->dropAction();
    if (dataSource_->acceptDrop(*this, *event->mimeData(), dropRowAt(event->position().toPoint()), action)) {
        event->setDropAction(action);
        event->accept();
    } else {
        event->ignore();
    }
}

QItemSelectionModel::SelectionFlags DataTableView::selectionCommand(const QModelIndex& index,
                                                                    const QEvent* event) const
{
    if (index.isValid() && dataSource_
        && !dataSource_->shouldSelectRow(const_cast<DataTableView&>(*this), index.row()))
        return QItemSelectionModel::NoUpdate;
    return QTableView::selectionCommand(index, event);
}
