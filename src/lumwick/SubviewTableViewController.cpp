#include "lumwick/SubviewTableViewController.h"

#include <QHeaderView>

class SubviewTableViewController::Model : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;
    int rows = 0;
    int rowCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : rows; }
    int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : 1; }
    QVariant data(const QModelIndex&, int) const override { return {}; }
    void reset(int count)
    {
        beginResetModel();
        rows = count;
        endResetModel();
    }
};

void SubviewTableViewCell::drawWithFrame(const QRect& frame, QWidget* control)
{
    if (!m_subview)
        return;
    if (m_subview->parentWidget() != control)
        m_subview->setParent(control);
    m_subview->setGeometry(frame);
    m_subview->show();
}

SubviewTableViewController::SubviewTableViewController(QTableView* table)
    : QObject(table), m_table(table), m_model(new Model(this))
{
    table->setModel(m_model);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->horizontalHeader()->setStretchLastSection(true);
    table->horizontalHeader()->hide();
    table->verticalHeader()->hide();
    table->verticalHeader()->setMinimumSectionSize(1);
    table->setFocusPolicy(Qt::StrongFocus);
}

SubviewTableViewController::~SubviewTableViewController() = default;

void SubviewTableViewController::setDelegate(SubviewTableViewControllerDataSourceProtocol* delegate)
{
    m_delegate = delegate;
}

void SubviewTableViewController::reloadTableView()
{
    if (!m_table)
        return;
    for (int row = int(m_cells.size()) - 1; row >= 0; --row)
        delete m_table->indexWidget(m_model->index(row, 0));
    m_cells.clear();
    const int rows = m_delegate ? std::max(0, m_delegate->numberOfRows()) : 0;
    m_model->reset(rows);
    m_cells.resize(size_t(rows));
    for (int row = 0; row < rows; ++row) {
        QWidget* view = m_delegate->viewForRow(row);
        m_cells[size_t(row)].addSubview(view);
        m_table->setRowHeight(row, heightOfRow(row, view));
        if (view)
            m_table->setIndexWidget(m_model->index(row, 0), view);
    }
}

QWidget* SubviewTableViewController::viewForRow(int row) const
{
    return row >= 0 && row < int(m_cells.size()) ? m_cells[size_t(row)].view() : nullptr;
}

int SubviewTableViewController::heightOfRow(int, QWidget*) const
{
    return kDefaultRowHeight;
}

int DynHeightSubviewTableViewController::heightOfRow(int row, QWidget* view) const
{
    if (!dynamic_cast<SubviewTableViewRowHeights*>(delegate()) || !view)
        return SubviewTableViewController::heightOfRow(row, view);
    return view->height();
}
