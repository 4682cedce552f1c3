#pragma once

#include <QStyledItemDelegate>

// A text cell drawn the same whether its row is selected or not (no
// selection highlight, no focus frame).
class UnHighiteTextCell : public QStyledItemDelegate {
    Q_OBJECT

public:
    explicit UnHighiteTextCell(QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
};
