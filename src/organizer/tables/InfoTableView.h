#pragma once

#include "organizer/tables/DataTableView.h"

#include <QStringList>

#include <optional>

// A two-column detail table: labels in column 0, values in column 1, both
// from the data source. The columns size themselves to their contents, and
// long values are wrapped to the visible width by the items that fill a card.
class InfoTableView : public DataTableView {
    Q_OBJECT

public:
    static constexpr int kMinimumTextWidth = 5;
    static constexpr int kLabelPadding = 7;
    static constexpr int kValuePadding = 5;
    // Label width + 7 + 5 + 6 + 16 is taken from the visible width before a
    // value is wrapped.
    static constexpr int kWrapReserve = kLabelPadding + kValuePadding + 6 + 16;

    explicit InfoTableView(QWidget* parent = nullptr);

    // Sizes the label column to the widest label + 7 (width, minimum and
    // maximum) and the value column to the widest value + 5.
    virtual void updateCells();
    // None when the value fits beside the widest of the labels, else its
    // lines: words are joined by single blanks and a line is closed before
    // the word that would make it too wide. No line is empty or begins with
    // a blank; a single word wider than the room is a line of its own.
    std::optional<QStringList> wrapStringForFitCurrentSize(const QStringList& labels, const QString& value) const;
    void reloadData() override;

    // Text widths in the table's font (an empty text counts 0).
    int textWidth(const QString& text) const;

protected:
    int widestInColumn(int column) const;
};
