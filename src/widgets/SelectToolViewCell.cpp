#include "widgets/SelectToolViewCell.h"

#include "widgets/SlaveDrawInfo.h"

#include <QImage>
#include <QPainter>
#include <cmath>

namespace {

QSizeF pointSize(const QImage& image)
{
    return image.isNull() ? QSizeF() : image.deviceIndependentSize();
}

} // namespace

SelectToolViewCell::SelectToolViewCell(QObject* parent) : QStyledItemDelegate(parent)
{
}

QRect SelectToolViewCell::iconRect(const QRect& frame, const QSizeF& image, int rowHeight)
{
    if (image.isEmpty() || rowHeight <= 0)
        return {};
    const int width = int(std::lround(image.width() * rowHeight / image.height()));
    return {frame.x() + kIconInset, frame.y() + int(std::ceil((frame.height() - rowHeight) / 2.0)), width, rowHeight};
}

QRect SelectToolViewCell::textPart(const QRect& frame, const QSizeF& image, int rowHeight)
{
    const QRect icon = iconRect(frame, image, rowHeight);
    if (icon.isEmpty())
        return frame;
    return frame.adjusted(std::min(icon.width() + 2 * kIconInset, frame.width()), 0, 0, 0);
}

QRect SelectToolViewCell::imageFrameForCellFrame(const QRect& frame, const QSizeF& image)
{
    if (image.isEmpty())
        return {};
    const QSize size = image.toSize();
    return {frame.x() + kIconInset, frame.y() + int(std::ceil((frame.height() - size.height()) / 2.0)), size.width(),
            size.height()};
}

QRect SelectToolViewCell::editFrameForCellFrame(const QRect& frame, const QSizeF& image)
{
    if (image.isEmpty())
        return frame;
    return frame.adjusted(std::min(int(image.width()) + kIconInset, frame.width()), 0, 0, 0);
}

int SelectToolViewCell::rowHeightFor(const QStyleOptionViewItem& option) const
{
    if (option.widget) {
        const QVariant height = option.widget->property("rowHeight");
        if (height.isValid() && height.toInt() > 0)
            return height.toInt();
    }
    return option.rect.height();
}

void SelectToolViewCell::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const QRect frame = option.rect;
    const QVariant foreground = index.data(Qt::ForegroundRole);
    const QColor textColour = foreground.canConvert<QColor>() && foreground.value<QColor>().isValid()
        ? foreground.value<QColor>()
        : (option.state & QStyle::State_Selected ? QColor(Qt::white) : QColor(Qt::black));
    Slave slave = slaveLookup_ ? slaveLookup_(index) : Slave{};

    painter->save();
    if (index.data(SeparatorRole).toBool()) {
        painter->fillRect(separatorLine(frame), textColour);
        painter->restore();
        if (slave.slave)
            slave.slave->drawSlaveWithFrame(*painter, frame, const_cast<QWidget*>(option.widget), slave.context);
        return;
    }

    const QImage icon = index.data(Qt::DecorationRole).value<QImage>();
    const int rowHeight = rowHeightFor(option);
    const QRect text = textPart(frame, pointSize(icon), rowHeight);
    if (const QRect iconFrame = iconRect(frame, pointSize(icon), rowHeight); !iconFrame.isEmpty()) {
        const QVariant opacity = index.data(OpacityRole);
        painter->setOpacity(opacity.isValid() ? std::clamp(opacity.toDouble(), 0.0, 1.0) : 1.0);
        painter->setRenderHint(QPainter::SmoothPixmapTransform, true);
        painter->drawImage(iconFrame, icon);
        painter->setOpacity(1.0);
    }
    painter->setFont(option.font);
    painter->setPen(textColour);
    painter->drawText(
        text, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
        option.fontMetrics.elidedText(index.data(Qt::DisplayRole).toString(), Qt::ElideRight, text.width()));
    painter->restore();
    if (slave.slave)
        slave.slave->drawSlaveWithFrame(*painter, text, const_cast<QWidget*>(option.widget), slave.context);
}

QSize SelectToolViewCell::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const QSize base = QStyledItemDelegate::sizeHint(option, index);
    const QImage icon = index.data(Qt::DecorationRole).value<QImage>();
    return icon.isNull() ? base : QSize(base.width() + int(pointSize(icon).width()) + kIconInset, base.height());
}

void SelectToolViewCell::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                              const QModelIndex& index) const
{
    editor->setGeometry(editFrameForCellFrame(option.rect, pointSize(index.data(Qt::DecorationRole).value<QImage>())));
}
