#pragma once

#include <QAbstractTableModel>
#include <QPointer>
#include <QTableView>
#include <QWidget>

// What a table of live row widgets asks its delegate.
class SubviewTableViewControllerDataSourceProtocol {
public:
    virtual ~SubviewTableViewControllerDataSourceProtocol() = default;
    virtual int numberOfRows() = 0;
    // The widget shown in the row; the table takes it over.
    virtual QWidget* viewForRow(int row) = 0;
};

// A delegate that wants rows as high as their widgets derives from this too.
class SubviewTableViewRowHeights {
public:
    virtual ~SubviewTableViewRowHeights() = default;
};

// Holds the widget of one row and puts it in place.
class SubviewTableViewCell {
public:
    void addSubview(QWidget* view) { m_subview = view; }
    QWidget* view() const { return m_subview; }
    // Gives the widget the cell's frame inside control, adopting it when it
    // is not there yet.
    void drawWithFrame(const QRect& frame, QWidget* control);

private:
    QPointer<QWidget> m_subview;
};

// Shows one live widget per row of a table: the rows' widgets come from the
// delegate and are replaced on every reload.
class SubviewTableViewController : public QObject {
public:
    static constexpr int kDefaultRowHeight = 16;

    explicit SubviewTableViewController(QTableView* table);
    ~SubviewTableViewController() override;

    QTableView* subviewTableView() const { return m_table; }
    void setDelegate(SubviewTableViewControllerDataSourceProtocol* delegate);
    SubviewTableViewControllerDataSourceProtocol* delegate() const { return m_delegate; }
    // Drops every row widget, then asks the delegate again.
    void reloadTableView();
    // The row's widget, or null.
    QWidget* viewForRow(int row) const;

protected:
    virtual int heightOfRow(int row, QWidget* view) const;

private:
    class Model;
    QPointer<QTableView> m_table;
    Model* m_model;
    SubviewTableViewControllerDataSourceProtocol* m_delegate = nullptr;   // not owned
    std::vector<SubviewTableViewCell> m_cells;
};

// Rows as high as their widgets when the delegate asks for that; 16 otherwise.
class DynHeightSubviewTableViewController : public SubviewTableViewController {
public:
    using SubviewTableViewController::SubviewTableViewController;

protected:
    int heightOfRow(int row, QWidget* view) const override;
};
