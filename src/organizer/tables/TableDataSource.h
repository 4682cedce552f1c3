#pragma once

#include <QList>
#include <QString>
#include <QVariant>
#include <Qt>

class DataTableView;
class QMimeData;

// What a table asks of the object that fills it: its rows, the value of each
// cell, what a cell shows besides its value, which rows may be selected, and
// what happens on a header click, a selection change, a drag out or a drop.
// One object may fill several tables; each call names the table.
class TableDataSource {
public:
    virtual ~TableDataSource() = default;

    virtual int numberOfRowsInTableView(DataTableView& table) = 0;
    // The value of a cell (shown as its text).
    virtual QVariant objectValueForTableColumn(DataTableView& table, const QString& column, int row) = 0;
    // What a cell shows besides its value, by Qt item role (decoration image,
    // background colour, font, tool tip); invalid: the table's default.
    virtual QVariant willDisplayCell(DataTableView& table, const QString& column, int row, int role)
    {
        (void)table, (void)column, (void)row, (void)role;
        return {};
    }
    virtual bool shouldSelectRow(DataTableView& table, int row) { return (void)table, (void)row, true; }
    virtual void didClickTableColumn(DataTableView& table, const QString& column) { (void)table, (void)column; }
    virtual void selectionDidChange(DataTableView& table) { (void)table; }

    // A drag out of the rows (ascending): the data it carries; null: no drag.
    virtual QMimeData* writeRowsWithIndexes(DataTableView& table, const QList<int>& rows)
    {
        (void)table, (void)rows;
        return nullptr;
    }
    // A drag over the table: the action a drop would take (IgnoreAction:
    // refused); row -1 is below the last row.
    virtual Qt::DropAction validateDrop(DataTableView& table, const QMimeData& data, int row,
                                        Qt::DropAction proposed)
    {
        (void)table, (void)data, (void)row, (void)proposed;
        return Qt::IgnoreAction;
    }
    virtual bool acceptDrop(DataTableView& table, const QMimeData& data, int row, Qt::DropAction action)
    {
        (void)table, (void)data, (void)row, (void)action;
        return false;
    }
};
