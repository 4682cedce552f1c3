#include "organizer/contacts/UnHighiteTextCell.h"

#include <QPainter>

UnHighiteTextCell::UnHighiteTextCell(QObject* parent) : QStyledItemDelegate(parent) {}

void UnHighiteTextCell::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    option->state &= ~(QStyle::State_Selected | QStyle::State_HasFocus);
}

void UnHighiteTextCell::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QStyleOptionViewItem plain(option);
    plain.state &= ~(QStyle::State_Selected | QStyle::State_HasFocus);
    QStyledItemDelegate::paint(painter, plain, index);
}
