#include "widgets/ImageAndTextCell.h"

#include <QApplication>
#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <cmath>

namespace {

QSize pointSize(const QImage& image)
{
    return image.isNull() ? QSize() : image.deviceIndependentSize().toSize();
}

int centredTop(const QRect& frame, int height)
{
    return frame.y() + int(std::ceil((frame.height() - height) / 2.0));
}

} // namespace

ImageAndTextCell::ImageAndTextCell(QObject* parent) : QStyledItemDelegate(parent)
{
}

QImage ImageAndTextCell::imageFor(const QModelIndex& index) const
{
    const QVariant decoration = index.data(Qt::DecorationRole);
    switch (decoration.typeId()) {
    case QMetaType::QImage:
        return decoration.value<QImage>();
    case QMetaType::QPixmap:
        return decoration.value<QPixmap>().toImage();
    case QMetaType::QIcon: {
        const QIcon icon = decoration.value<QIcon>();
        const QList<QSize> sizes = icon.availableSizes();
        return icon.pixmap(sizes.isEmpty() ? QSize(16, 16) : sizes.first()).toImage();
    }
    default:
        return image_;
    }
}

int ImageAndTextCell::iconOffset(const QRect&, const QSize&) const
{
    return iconInset();
}

QRect ImageAndTextCell::imageFrameForCellFrame(const QRect& frame, const QSize& icon) const
{
    if (icon.isEmpty())
        return {};
    return {frame.x() + iconInset(), centredTop(frame, icon.height()), icon.width(), icon.height()};
}

QRect ImageAndTextCell::iconDrawFrame(const QRect& frame, const QSize& icon) const
{
    if (icon.isEmpty())
        return {};
    return {frame.x() + iconOffset(frame, icon), centredTop(frame, icon.height()), icon.width(), icon.height()};
}

QRect ImageAndTextCell::textFrameForCellFrame(const QRect& frame, const QSize& icon) const
{
    if (icon.isEmpty())
        return frame;
    const int divided = std::min(icon.width() + iconInset() + 4, frame.width());
    const int shift = int(textTopShift(frame));
    return frame.adjusted(divided, shift, 0, shift);
}

QRect ImageAndTextCell::editFrameForCellFrame(const QRect& frame, const QSize& icon) const
{
    return frame.adjusted(std::min(cellWidthForIcon(icon), frame.width()), 0, 0, 0);
}

void ImageAndTextCell::drawRowBackground(QPainter*, const QStyleOptionViewItem&, const QModelIndex&) const
{
}

void ImageAndTextCell::drawText(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index,
                                const QRect& rect, Qt::Alignment alignment) const
{
    QStyleOptionViewItem textOption = option;
    initStyleOption(&textOption, index);
    textOption.features &= ~QStyleOptionViewItem::HasDecoration;
    textOption.icon = QIcon();
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    // The selection runs under the icon too.
    style->drawPrimitive(QStyle::PE_PanelItemViewItem, &textOption, painter, widget);
    textOption.rect = rect;
    textOption.displayAlignment = alignment;
    textOption.backgroundBrush = Qt::NoBrush;
    textOption.state &= ~QStyle::State_HasFocus;
    style->drawControl(QStyle::CE_ItemViewItem, &textOption, painter, widget);
}

void ImageAndTextCell::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    drawRowBackground(painter, option, index);
    const QImage icon = imageFor(index);
    const QSize size = pointSize(icon);
    const QRect frame = option.rect;
    drawText(painter, option, index, textFrameForCellFrame(frame, size),
             size.isEmpty() ? Qt::AlignLeft | Qt::AlignVCenter : textAlignment());
    if (!size.isEmpty())
        painter->drawImage(iconDrawFrame(frame, size), icon);
}

QSize ImageAndTextCell::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QStyleOptionViewItem textOption = option;
    initStyleOption(&textOption, index);
    textOption.features &= ~QStyleOptionViewItem::HasDecoration;
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    QSize size = style->sizeFromContents(QStyle::CT_ItemViewItem, &textOption, QSize(), widget);
    const QSize icon = pointSize(imageFor(index));
    if (!icon.isEmpty())
        size = QSize(size.width() + cellWidthForIcon(icon), std::max(size.height(), icon.height()));
    return size;
}

void ImageAndTextCell::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                            const QModelIndex& index) const
{
    editor->setGeometry(editFrameForCellFrame(option.rect, pointSize(imageFor(index))));
}
