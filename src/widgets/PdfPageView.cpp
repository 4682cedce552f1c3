#include "widgets/PdfPageView.h"

#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>

#include <poppler-qt6.h>

namespace {
constexpr int kCacheLimit = 24;
constexpr int kArrowStep = 40;
} // namespace

PdfPageView::PdfPageView(QWidget* parent) : QAbstractScrollArea(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setAutoFillBackground(true);
    QPalette palette = viewport()->palette();
    palette.setColor(QPalette::Window, QColor(128, 128, 128));
    viewport()->setPalette(palette);
}

PdfPageView::~PdfPageView() = default;

void PdfPageView::setDocument(std::shared_ptr<Poppler::Document> document)
{
    document_ = std::move(document);
    cache_.clear();
    pageSizes_.clear();
    const int count = document_ ? document_->numPages() : 0;
    for (int index = 0; index < count; ++index) {
        std::unique_ptr<Poppler::Page> page = document_->page(index);
        pageSizes_.append(page ? page->pageSizeF() : QSizeF(612, 792));
    }
    current_ = 0;
    clearSelection();
    layoutRows();
    goToPage(0);
}

int PdfPageView::pageCount() const
{
    return pageSizes_.size();
}

void PdfPageView::setDisplayMode(DisplayMode mode)
{
    if (mode == mode_)
        return;
    const int page = current_;
    mode_ = mode;
    layoutRows();
    goToPage(page);
}

QSizeF PdfPageView::pageSize(int index) const
{
    return pageSizes_.value(index) * kScale;
}

int PdfPageView::rowOf(int pageIndex) const
{
    return isTwoUp() ? pageIndex / 2 : pageIndex;
}

int PdfPageView::rowCount() const
{
    return isTwoUp() ? (pageCount() + 1) / 2 : pageCount();
}

int PdfPageView::firstPageOfRow(int row) const
{
    return isTwoUp() ? row * 2 : row;
}

QSize PdfPageView::rowSize(int pageIndex) const
{
    const int first = firstPageOfRow(rowOf(pageIndex));
    QSizeF size = pageSize(first);
    if (isTwoUp() && first + 1 < pageCount()) {
        const QSizeF second = pageSize(first + 1);
        size = QSizeF(size.width() + kGap + second.width(), std::max(size.height(), second.height()));
    }
    return size.toSize() + QSize(2 * kGap, 2 * kGap);
}

int PdfPageView::rowTop(int row) const
{
    return isContinuous() ? rowTops_.value(row) : 0;
}

QRect PdfPageView::pageRect(int pageIndex) const
{
    const int row = rowOf(pageIndex);
    const QSize row_ = rowSize(pageIndex);
    const int contentWidth = std::max(viewport()->width(), row_.width());
    int x = (contentWidth - row_.width()) / 2 + kGap;
    if (isTwoUp() && pageIndex % 2 == 1)
        x += int(pageSize(pageIndex - 1).width()) + kGap;
    return QRect(QPoint(x, rowTop(row) + kGap), pageSize(pageIndex).toSize());
}

void PdfPageView::layoutRows()
{
    rowTops_.clear();
    int top = 0;
    int width = 0;
    for (int row = 0; row < rowCount(); ++row) {
        rowTops_.append(top);
        const QSize size = rowSize(firstPageOfRow(row));
        top += size.height();
        width = std::max(width, size.width());
    }
    const int height = isContinuous() ? top : (pageCount() ? rowSize(current_).height() : 0);
    verticalScrollBar()->setRange(0, std::max(0, height - viewport()->height()));
    verticalScrollBar()->setPageStep(viewport()->height());
    verticalScrollBar()->setSingleStep(kArrowStep);
    horizontalScrollBar()->setRange(0, std::max(0, width - viewport()->width()));
    horizontalScrollBar()->setPageStep(viewport()->width());
    viewport()->update();
}

void PdfPageView::setCurrent(int index)
{
    if (index == current_)
        return;
    current_ = index;
    Q_EMIT pageChanged(index);
}

void PdfPageView::goToPage(int index)
{
    if (pageCount() == 0)
        return;
    index = std::clamp(index, 0, pageCount() - 1);
    const int previous = current_;
    current_ = index;
    if (!isContinuous())
        layoutRows();
    scrollingToPage_ = true;
    verticalScrollBar()->setValue(isContinuous() ? rowTop(rowOf(index)) : 0);
    scrollingToPage_ = false;
    viewport()->update();
    if (previous != index)
        Q_EMIT pageChanged(index);
}

void PdfPageView::showSelection(int pageIndex, const QRectF& rect)
{
    if (pageIndex < 0 || pageIndex >= pageCount())
        return;
    selectedPage_ = pageIndex;
    selectedRect_ = rect;
    if (rowOf(pageIndex) != rowOf(current_) || isContinuous())
        goToPage(pageIndex);
    const QRect page = pageRect(pageIndex);
    const QPointF centre = page.topLeft() + rect.center() * kScale;
    scrollingToPage_ = true;
    verticalScrollBar()->setValue(int(centre.y()) - viewport()->height() / 2);
    horizontalScrollBar()->setValue(int(centre.x()) - viewport()->width() / 2);
    scrollingToPage_ = false;
    updateCurrentFromScroll();
    viewport()->update();
}

void PdfPageView::clearSelection()
{
    selectedPage_ = -1;
    selectedRect_ = QRectF();
    viewport()->update();
}

void PdfPageView::updateCurrentFromScroll()
{
    if (!isContinuous() || rowTops_.isEmpty())
        return;
    // The row under the upper third of the visible area.
    const int y = verticalScrollBar()->value() + viewport()->height() / 3;
    int row = int(std::upper_bound(rowTops_.begin(), rowTops_.end(), y) - rowTops_.begin()) - 1;
    row = std::clamp(row, 0, rowCount() - 1);
    if (rowOf(current_) != row)
        setCurrent(firstPageOfRow(row));
}

void PdfPageView::scrollContentsBy(int, int)
{
    if (!scrollingToPage_)
        updateCurrentFromScroll();
    viewport()->update();
}

void PdfPageView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    layoutRows();
}

QImage PdfPageView::pageImage(int index)
{
    auto found = cache_.constFind(index);
    if (found != cache_.constEnd())
        return *found;
    if (cache_.size() >= kCacheLimit)
        cache_.clear();
    std::unique_ptr<Poppler::Page> page = document_ ? document_->page(index) : nullptr;
    QImage image = page ? page->renderToImage(72.0 * kScale, 72.0 * kScale) : QImage();
    cache_.insert(index, image);
    return image;
}

void PdfPageView::paintEvent(QPaintEvent*)
{
    QPainter painter(viewport());
    const QPoint offset(-horizontalScrollBar()->value(), -verticalScrollBar()->value());
    const QRect visible = viewport()->rect().translated(-offset);
    QList<int> pages;
    if (isContinuous()) {
        for (int index = 0; index < pageCount(); ++index)
            if (pageRect(index).intersects(visible))
                pages.append(index);
    } else if (pageCount()) {
        const int first = firstPageOfRow(rowOf(current_));
        pages.append(first);
        if (isTwoUp() && first + 1 < pageCount())
            pages.append(first + 1);
    }
    for (int index : pages) {
        const QRect target = pageRect(index).translated(offset);
        painter.fillRect(target.translated(2, 2), QColor(0, 0, 0, 60));
        painter.fillRect(target, Qt::white);
        painter.drawImage(target, pageImage(index));
        if (index == selectedPage_) {
            const QRectF mark(target.topLeft() + selectedRect_.topLeft() * kScale, selectedRect_.size() * kScale);
            painter.fillRect(mark.adjusted(-1, -1, 1, 1), QColor(255, 210, 0, 110));
        }
    }
}

void PdfPageView::keyPressEvent(QKeyEvent* event)
{
    const int row = rowOf(current_);
    const int step = isTwoUp() ? 2 : 1;
    switch (event->key()) {
    case Qt::Key_PageDown:
        goToPage(firstPageOfRow(row) + step);
        break;
    case Qt::Key_PageUp:
        goToPage(firstPageOfRow(row) - step);
        break;
    case Qt::Key_Home:
        goToPage(0);
        break;
    case Qt::Key_End:
        goToPage(pageCount() - 1);
        break;
    default:
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    event->accept();
}
