#include "app/TarnexDeviceMatrix.h"

#include "app/TarnexImages.h"

#include "platform/Localization.h"
#include "widgets/PhoneButtonOnBlackCell.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDrag>
#include <QKeyEvent>
#include <QMap>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QScrollArea>

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

// A phone button that shows its picture above its title: the picture fitted
// to the cell's picture box (again whenever the cell is resized), centred
// over the title and standing right on it.
class MatrixPhoneCell : public PhoneButtonOnBlackCell {
public:
    using PhoneButtonOnBlackCell::PhoneButtonOnBlackCell;
    void setPicture(const QImage& picture, bool syncOn)
    {
        source_ = picture;
        syncOn_ = syncOn;
        fitPicture();
    }
    const QImage& picture() const { return picture_; }
    // The phone's name, cut with an ellipsis where the cell is too narrow.
    void setName(const QString& name)
    {
        name_ = name;
        fitName();
    }

protected:
    void resizeEvent(QResizeEvent* event) override
    {
        PhoneButtonOnBlackCell::resizeEvent(event);
        fitPicture();
        fitName();
    }
    void paintEvent(QPaintEvent* event) override
    {
        PhoneButtonOnBlackCell::paintEvent(event);
        if (picture_.isNull())
            return;
        QPainter painter(this);
        const QSize box = TarnexDeviceMatrix::pictureBox(size());
        const QSizeF shown = picture_.deviceIndependentSize();
        painter.drawImage(QPointF((width() - shown.width()) / 2, box.height() - shown.height()), picture_);
    }

private:
    // The title's room: the cell less the inset the button draws it in.
    static constexpr int kTitleInset = 6;

    void fitPicture()
    {
        picture_ = TarnexDeviceMatrix::cellPicture(source_, size(), syncOn_);
        update();
    }
    void fitName() { setText(fontMetrics().elidedText(name_, Qt::ElideRight, std::max(0, width() - 2 * kTitleInset))); }

    QString name_;
    QImage source_;
    QImage picture_;
    bool syncOn_ = false;
};

const char* const kTagProperty = "tag";

QString text(const char* key)
{
    return platform::localizedString(QLatin1String(key));
}

}   // namespace

TarnexDeviceMatrix::TarnexDeviceMatrix(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("connectedDevices"));
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleName(QStringLiteral("Phones"));
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

QSize TarnexDeviceMatrix::pictureBox(QSize cell)
{
    const int height = cell.height() - kTitleSpace;
    if (height >= kMinimumPictureHeight)
        return {cell.width(), height};
    if (height <= 0)
        return {cell.width(), kMinimumPictureHeight};
    return {cell.width() * kMinimumPictureHeight / height, kMinimumPictureHeight};
}

QImage TarnexDeviceMatrix::fittedBadge(int size, qreal scale)
{
    static QMap<std::pair<int, qreal>, QImage> made;
    const std::pair<int, qreal> key(size, scale);
    auto it = made.find(key);
    if (it == made.end()) {
        const QImage badge = tarnex::image("SyncSuccess");
        const int pixels = int(std::lround(size * scale));
        QImage fitted(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
        fitted.fill(Qt::transparent);
        {
            QPainter painter(&fitted);
            if (!badge.isNull()) {
                painter.setRenderHint(QPainter::SmoothPixmapTransform);
                painter.drawImage(QRect(0, 0, pixels, pixels), badge);
            } else {
                painter.setRenderHint(QPainter::Antialiasing);
                painter.setBrush(QColor(0x30, 0xb0, 0x30));
                painter.setPen(Qt::NoPen);
                painter.drawEllipse(QRect(0, 0, pixels, pixels));
            }
        }
        fitted.setDevicePixelRatio(scale);
        it = made.insert(key, fitted);
    }
    return *it;
}

QImage TarnexDeviceMatrix::cellPicture(const QImage& picture, QSize cell, bool syncOn)
{
    if (picture.isNull())
        return {};
    // The box is in points; a picture drawn for a finer screen keeps its
    // pixels per point and fills the box just the same.
    const qreal scale = picture.devicePixelRatio();
    const QSize box = pictureBox(cell);
    QImage fitted = picture.scaled(box * scale, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                        .convertToFormat(QImage::Format_ARGB32_Premultiplied);
    fitted.setDevicePixelRatio(scale);
    if (!syncOn)
        return fitted;
    QPainter painter(&fitted);
    // The badge sits in the lower left corner: a clear ring punched out, the
    // badge laid under what is left.
    const qreal outerY = fitted.deviceIndependentSize().height() - kOuterBadgeSize;
    painter.setCompositionMode(QPainter::CompositionMode_DestinationOut);
    painter.drawImage(QPointF(0, outerY), fittedBadge(kOuterBadgeSize, scale));
    painter.setCompositionMode(QPainter::CompositionMode_DestinationOver);
    painter.drawImage(QPointF(kInnerBadgeOffset, outerY + kInnerBadgeOffset), fittedBadge(kInnerBadgeSize, scale));
    return fitted;
}

void TarnexDeviceMatrix::addDevice(int tag, const QString& name, const QImage& picture, bool syncOn)
{
    auto* cell = new MatrixPhoneCell(this);
    cell->setName(name);
    cell->setAccessibleName(name);
    cell->setProperty(kTagProperty, tag);
    cell->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
    cell->setFixedSize(kCellWidth, kCellHeight);
    cell->setFocusPolicy(Qt::NoFocus);
    cell->setPicture(picture, syncOn);
    cell->updateTrackingRectCell(tracking_);
    cell->installEventFilter(this);
    connect(cell, &QAbstractButton::clicked, this, [this, cell] {
        selectColumn(int(cells_.indexOf(cell)));
        if (actions_.connect)
            actions_.connect(cell->property(kTagProperty).toInt());
    });
    cells_.push_back(cell);
    cell->show();
    layoutCells();
}

void TarnexDeviceMatrix::removeAll()
{
    qDeleteAll(cells_);
    cells_.clear();
    selected_ = -1;
    layoutCells();
}

PhoneButtonOnBlackCell* TarnexDeviceMatrix::cellAt(int column) const
{
    return column >= 0 && column < cells_.size() ? cells_.at(column) : nullptr;
}

PhoneButtonOnBlackCell* TarnexDeviceMatrix::cellWithTag(int tag) const
{
    for (PhoneButtonOnBlackCell* cell : cells_)
        if (cell->property(kTagProperty).toInt() == tag)
            return cell;
    return nullptr;
}

void TarnexDeviceMatrix::selectColumn(int column)
{
    if (cells_.isEmpty()) {
        selected_ = -1;
        return;
    }
    column = std::clamp(column, 0, int(cells_.size()) - 1);
    if (PhoneButtonOnBlackCell* old = cellAt(selected_))
        old->doHighlite(false);
    selected_ = column;
    if (hasFocus())
        cells_.at(column)->doHighlite(true);
    update();
}

void TarnexDeviceMatrix::updateTrackingRectCells(bool on)
{
    // Whether the window is active is asked as the pointer enters a cell,
    // not here: cells made while it was not still brighten once it is.
    tracking_ = on;
    for (PhoneButtonOnBlackCell* cell : cells_)
        cell->updateTrackingRectCell(on);
}

TarnexDeviceMatrix::Grid TarnexDeviceMatrix::gridFor(int width, int cells)
{
    const int n = std::max(1, cells);
    const int step = kCellWidth + kSpacing;
    if (n <= std::max(1, (width + kSpacing) / step))
        return {n, kCellWidth};
    const int narrowed = (width + kSpacing) / n - kSpacing;
    if (narrowed >= kMinimumCellWidth)
        return {n, narrowed};
    const int perRow = std::max(1, (width + kSpacing) / (kMinimumCellWidth + kSpacing));
    return {perRow, std::clamp((width + kSpacing) / perRow - kSpacing, kMinimumCellWidth, kCellWidth)};
}

void TarnexDeviceMatrix::layoutCells()
{
    const Grid grid = gridFor(width(), int(cells_.size()));
    const int inRow = std::min<int>(grid.perRow, int(cells_.size()));
    const int rowWidth = inRow * grid.cellWidth + std::max(0, inRow - 1) * kSpacing;
    const int left = std::max(0, (width() - rowWidth) / 2);
    for (int i = 0; i < cells_.size(); ++i) {
        PhoneButtonOnBlackCell* cell = cells_.at(i);
        cell->setFixedSize(grid.cellWidth, kCellHeight);
        cell->move(left + (i % grid.perRow) * (grid.cellWidth + kSpacing), (i / grid.perRow) * kCellHeight);
    }
    updateGeometry();
}

void TarnexDeviceMatrix::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    layoutCells();
}

QSize TarnexDeviceMatrix::sizeHint() const
{
    const int n = std::max<int>(1, int(cells_.size()));
    return {n * (kCellWidth + kSpacing) - kSpacing, kCellHeight};
}

QSize TarnexDeviceMatrix::minimumSizeHint() const
{
    return {kMinimumCellWidth, kCellHeight};
}

int TarnexDeviceMatrix::heightForWidth(int width) const
{
    const Grid grid = gridFor(width, int(cells_.size()));
    const int rows = (std::max<int>(1, int(cells_.size())) + grid.perRow - 1) / grid.perRow;
    return rows * kCellHeight;
}

QMenu* TarnexDeviceMatrix::contextMenuFor(int tag)
{
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addAction(text("kConnect"), this, [this, tag] {
        if (actions_.connect)
            actions_.connect(tag);
    });
    menu->addAction(text("Remove phone"), this, [this, tag] {
        if (actions_.remove)
            actions_.remove(tag);
    });
    QAction* off = menu->addAction(text("kSwitchOffSync"), this, [this, tag] {
        if (actions_.switchOffSync)
            actions_.switchOffSync(tag);
    });
    off->setEnabled(actions_.canSwitchOffSync && actions_.canSwitchOffSync(tag));
    return menu;
}

void TarnexDeviceMatrix::openMenu(int column, QPoint globalPos)
{
    PhoneButtonOnBlackCell* cell = cellAt(column);
    if (!cell)
        return;
    selectColumn(column);
    menu_ = contextMenuFor(cell->property(kTagProperty).toInt());
    menu_->popup(globalPos);
}

bool TarnexDeviceMatrix::event(QEvent* event)
{
    // The grid's own keys win over the window's shortcuts (Return is also
    // the default button's) while a phone is chosen.
    if (event->type() == QEvent::ShortcutOverride && selected_ >= 0) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Delete || key == Qt::Key_Backspace ||
            key == Qt::Key_Menu) {
            event->accept();
            return true;
        }
    }
    return QWidget::event(event);
}

void TarnexDeviceMatrix::keyPressEvent(QKeyEvent* event)
{
    const int perRow = gridFor(width(), int(cells_.size())).perRow;
    const int current = std::max(0, selected_);
    PhoneButtonOnBlackCell* cell = cellAt(selected_);
    switch (event->key()) {
    case Qt::Key_Left:
        selectColumn(current - 1);
        revealSelected();
        return;
    case Qt::Key_Right:
        selectColumn(selected_ < 0 ? 0 : current + 1);
        revealSelected();
        return;
    case Qt::Key_Up:
        selectColumn(current - perRow);
        revealSelected();
        return;
    case Qt::Key_Down:
        selectColumn(current + perRow);
        revealSelected();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (cell && actions_.connect)
            actions_.connect(cell->property(kTagProperty).toInt());
        return;
    case Qt::Key_Delete:
    case Qt::Key_Backspace:
        if (cell && actions_.remove)
            actions_.remove(cell->property(kTagProperty).toInt());
        return;
    case Qt::Key_Menu:
        if (cell)
            openMenu(selected_, mapToGlobal(cell->geometry().center()));
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

void TarnexDeviceMatrix::revealSelected()
{
    // Inside a scroll area the phone chosen by key is scrolled into sight.
    QWidget* viewport = parentWidget();
    auto* area = qobject_cast<QScrollArea*>(viewport ? viewport->parentWidget() : nullptr);
    if (area && cellAt(selected_))
        area->ensureWidgetVisible(cellAt(selected_), 0, 0);
}

void TarnexDeviceMatrix::focusInEvent(QFocusEvent* event)
{
    QWidget::focusInEvent(event);
    if (selected_ < 0 && !cells_.isEmpty())
        selectColumn(0);
    else
        selectColumn(selected_);
}

void TarnexDeviceMatrix::contextMenuEvent(QContextMenuEvent* event)
{
    for (int i = 0; i < cells_.size(); ++i) {
        if (cells_.at(i)->geometry().contains(event->pos())) {
            openMenu(i, event->globalPos());
            return;
        }
    }
}

bool TarnexDeviceMatrix::eventFilter(QObject* watched, QEvent* event)
{
    auto* cell = qobject_cast<PhoneButtonOnBlackCell*>(watched);
    if (!cell)
        return QWidget::eventFilter(watched, event);
    if (event->type() == QEvent::ContextMenu) {
        auto* menuEvent = static_cast<QContextMenuEvent*>(event);
        openMenu(int(cells_.indexOf(cell)), menuEvent->globalPos());
        return true;
    }
    if (event->type() == QEvent::MouseButtonDblClick) {
        if (actions_.connect)
            actions_.connect(cell->property(kTagProperty).toInt());
        return true;
    }
    if (event->type() == QEvent::MouseButtonPress)
        pressPos_ = static_cast<QMouseEvent*>(event)->position().toPoint();
    if (event->type() == QEvent::MouseMove) {
        auto* move = static_cast<QMouseEvent*>(event);
        if ((move->buttons() & Qt::LeftButton) &&
            (move->position().toPoint() - pressPos_).manhattanLength() >= QApplication::startDragDistance()) {
            startDrag(cell);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TarnexDeviceMatrix::startDrag(PhoneButtonOnBlackCell* cell)
{
    const int tag = cell->property(kTagProperty).toInt();
    auto* drag = new QDrag(this);
    auto* data = new QMimeData;
    data->setData(QLatin1String(kPhoneDragType), QByteArray::number(tag));
    drag->setMimeData(data);
    drag->setPixmap(cell->grab());
    cell->setDown(false);
    drag->exec(Qt::MoveAction);
    // Dropped outside the window: the phone is to be removed.
    if (!window()->frameGeometry().contains(QCursor::pos()) && actions_.remove)
        actions_.remove(tag);
}
