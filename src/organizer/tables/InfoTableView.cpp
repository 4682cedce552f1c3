#include "organizer/tables/InfoTableView.h"

#include "organizer/tables/TableDataSource.h"

#include <QFontMetrics>

#include <algorithm>

InfoTableView::InfoTableView(QWidget* parent)
    : DataTableView(parent)
{
}

int InfoTableView::textWidth(const QString& text) const
{
    return text.isEmpty() ? 0 : QFontMetrics(font()).horizontalAdvance(text);
}

int InfoTableView::widestInColumn(int column) const
{
    int widest = kMinimumTextWidth;
    TableDataSource* source = dataSource();
    if (!source || column >= numberOfColumns())
        return widest;
    const QString identifier = columnIdentifier(column);
    auto& self = const_cast<InfoTableView&>(*this);
    const int rows = source->numberOfRowsInTableView(self);
    for (int row = 0; row < rows; ++row)
        widest = std::max(widest, textWidth(source->objectValueForTableColumn(self, identifier, row).toString()));
    return widest;
}

void InfoTableView::updateCells()
{
    if (numberOfColumns() < 2)
        return;
    const int labels = widestInColumn(0) + kLabelPadding;
    setColumnMinWidth(0, labels);
    setColumnMaxWidth(0, labels);
    setColumnWidth(0, labels);
    const int values = widestInColumn(1) + kValuePadding;
    setColumnMaxWidth(1, std::max(columnMaxWidth(1), values));
    setColumnWidth(1, values);
    viewport()->update();
}

std::optional<QStringList> InfoTableView::wrapStringForFitCurrentSize(const QStringList& labels,
                                                                     const QString& value) const
{
    int widestLabel = kMinimumTextWidth;
    for (const QString& label : labels)
        widestLabel = std::max(widestLabel, textWidth(label));
    const int available = visibleWidth() - (widestLabel + kWrapReserve);
    if (textWidth(value) < available)
        return std::nullopt;

    // Words are joined with one blank between them; a line is closed before
    // the word that would make it too wide, so no line begins with a blank
    // and none is empty.
    QStringList lines;
    QString current;
    for (const QString& word : value.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QString joined = current.isEmpty() ? word : current + QLatin1Char(' ') + word;
        if (!current.isEmpty() && textWidth(joined) > available) {
            lines.append(current);
            current = word;
        } else {
            current = joined;
        }
    }
    if (!current.isEmpty())
        lines.append(current);
    return lines;
}

void InfoTableView::reloadData()
{
    DataTableView::reloadData();
    updateCells();
}
