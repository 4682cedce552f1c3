#include "devicewindow/media/PreviewMatrix.h"

#include "devicewindow/files/FileDragAndDrop.h"
#include "devicewindow/media/ImageFile.h"
#include "devicewindow/media/MediaInputFormat.h"
#include "devicewindow/media/MyMovieView.h"
#include "devicewindow/media/PreviewMatrixOwner.h"

#include "phone/DZDataGUINotificator.h"
#include "phone/MFDevice.h"
#include "platform/gui/Images.h"

#include <QApplication>
#include <QDrag>
#include <QPointer>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMediaPlayer>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QUrl>

#include <algorithm>

namespace {
std::function<Qt::DropAction(QDrag&)>& matrixDragRunner()
{
    static std::function<Qt::DropAction(QDrag&)> runner;
    return runner;
}
} // namespace

// Tests run the drag without the platform's nested drag loop.
void setPreviewMatrixDragRunner(std::function<Qt::DropAction(QDrag&)> runner)
{
    matrixDragRunner() = std::move(runner);
}

PreviewMatrix::PreviewMatrix(QWidget* parent) : QWidget(parent)
{
    setAccessibleName(QStringLiteral("Media files"));
    setFocusPolicy(Qt::StrongFocus);
    setAcceptDrops(true);
    setAutoFillBackground(true);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    refreshTimer_.setCallback([this] { refreshAction(); });
    resizeEnd_.setCallback([this] {
        liveResize_ = false;
        update();
    });
    for (int column = 0; column < maxCol_; ++column) {
        cells_.push_back(makeCell());
        tags_.push_back(0);
    }
    const double width = std::max(1, this->width()) / double(maxCol_);
    cellSize_ = QSizeF(width, width * 3.0 / 4.0 + 32.0);
}

PreviewMatrix::~PreviewMatrix()
{
    refreshTimer_.stop();
    stopPreview();
}

std::shared_ptr<MediaPreviewCell> PreviewMatrix::makeCell()
{
    auto cell = std::make_shared<MediaPreviewCell>();
    cell->setCanDrawHighlite(true);
    cell->setDrawShadow(true);
    cell->setHighCell(false);
    cell->setTitle(QString());
    std::weak_ptr<MediaPreviewCell> weak = cell;
    cell->setControlView(this, [this, weak] {
        if (auto alive = weak.lock())
            addToRefreshAction(alive);
    });
    return cell;
}

MFDevice* PreviewMatrix::getMFDevice() const
{
    return owner_ ? owner_->getMFDevice() : nullptr;
}

void PreviewMatrix::setMaxCol(int columns)
{
    if (columns < 1 || columns == maxCol_)
        return;
    std::vector<std::shared_ptr<ImageFile>> files;
    for (int index = 0; index < count_; ++index)
        files.push_back(cells_[index]->mediaFile());
    removeAll();
    maxCol_ = columns;
    removeAll();
    for (const auto& file : files)
        addMediaData(file);
}

QRectF PreviewMatrix::cellFrame(int index) const
{
    const int row = index / maxCol_;
    const int column = index % maxCol_;
    return QRectF(column * (cellSize_.width() + kSpacing), row * (cellSize_.height() + kSpacing), cellSize_.width(),
                  cellSize_.height());
}

void PreviewMatrix::addRow()
{
    for (int column = 0; column < maxCol_; ++column) {
        cells_.push_back(makeCell());
        tags_.push_back(0);
    }
    ++rows_;
}

void PreviewMatrix::addMediaData(const std::shared_ptr<ImageFile>& file)
{
    if (!file)
        return;
    const int index = count_++;
    while (index >= rows_ * maxCol_)
        addRow();
    const auto& cell = cells_[index];
    cell->setImageFile(file);
    cell->setPreview(file);
    sizeToCells();
    addToRefreshAction(cell);
    tags_[index] = file->hash();
    update();
}

void PreviewMatrix::removeAll()
{
    refreshTimer_.stop();
    refreshCells_.clear();
    stopPreview();
    cells_.clear();
    tags_.clear();
    selected_.clear();
    anchor_ = focus_ = -1;
    rows_ = 0;
    addRow();
    count_ = 0;
    adjustMatrix();
    update();
}

std::shared_ptr<MediaPreviewCell> PreviewMatrix::getMediaCell(int index) const
{
    return index >= 0 && index < count_ ? cells_[index] : nullptr;
}

int PreviewMatrix::tagOfCell(int index) const
{
    return index >= 0 && index < int(tags_.size()) ? tags_[index] : 0;
}

int PreviewMatrix::indexOf(const std::shared_ptr<MediaPreviewCell>& cell) const
{
    const auto found = std::find(cells_.begin(), cells_.end(), cell);
    return found == cells_.end() ? -1 : int(found - cells_.begin());
}

void PreviewMatrix::selectCells(const std::set<int>& indexes)
{
    for (int index : indexes)
        if (index >= 0 && index < rows_ * maxCol_)
            selected_.insert(index);
    if (!indexes.empty())
        focus_ = anchor_ = *indexes.begin();
    update();
}

std::vector<std::shared_ptr<ImageFile>> PreviewMatrix::selectedFiles() const
{
    std::vector<std::shared_ptr<ImageFile>> files;
    for (int index : selected_)
        if (index < count_ && cells_[index]->mediaFile())
            files.push_back(cells_[index]->mediaFile());
    return files;
}

bool PreviewMatrix::isCellSelected(const std::shared_ptr<MediaPreviewCell>& cell) const
{
    const int index = indexOf(cell);
    return index >= 0 && selected_.count(index);
}

void PreviewMatrix::deselectAllCells()
{
    selected_.clear();
    update();
}

int PreviewMatrix::scrollHeight() const
{
    return parentWidget() ? parentWidget()->height() : 0;
}

void PreviewMatrix::areaCheck()
{
    while (cellSize_.height() > 0 && rows_ * cellSize_.height() + (rows_ - 1) * kSpacing < scrollHeight() - 1)
        addRow();
    sizeToCells();
}

void PreviewMatrix::adjustMatrix()
{
    const double width = (this->width() - (maxCol_ - 1) * kSpacing) / double(maxCol_);
    cellSize_ = QSizeF(std::max(1.0, width), std::max(1.0, width) * 3.0 / 4.0 + 32.0);
    sizeToCells();
}

void PreviewMatrix::sizeToCells()
{
    const double width = maxCol_ * cellSize_.width() + (maxCol_ - 1) * kSpacing;
    const double height = std::max(rows_ * cellSize_.height() + (rows_ - 1) * kSpacing,
                                   double(scrollHeight() - (rows_ + 1) * kSpacing));
    const QSize size(qRound(width), qRound(height));
    if (size != this->size())
        resize(size);
}

void PreviewMatrix::setFrameWidth(int width)
{
    tellOwner(false);
    resize(width, height());
    adjustMatrix();
}

void PreviewMatrix::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    liveResize_ = true;
    resizeEnd_.start(0.25);
}

void PreviewMatrix::tellOwner(bool running)
{
    if (owner_)
        owner_->handlePrehearOrPreview(running);
    else if (!running)
        stopPreview();
}

// The pump.

void PreviewMatrix::addToRefreshAction(const std::shared_ptr<MediaPreviewCell>& cell)
{
    if (!cell || std::find(refreshCells_.begin(), refreshCells_.end(), cell) != refreshCells_.end())
        return;
    refreshCells_.push_back(cell);
    if (!refreshTimer_.isActive())
        refreshTimer_.start(kRefreshInterval, true);
}

void PreviewMatrix::refreshAction()
{
    if (refreshCells_.empty()) {
        refreshTimer_.stop();
        return;
    }
    const std::shared_ptr<MediaPreviewCell> cell = refreshCells_.front();
    if (cell->checkRefresh()) {
        update();
        refreshCells_.pop_front();
    } else if (!cell->isLoading()) {
        refreshCells_.pop_front();
    }
    // A cell whose picture is being made stays first: one at a time.
}

// Hit testing.

int PreviewMatrix::cellIndexAt(const QPointF& point) const
{
    if (cellSize_.width() <= 0 || point.x() < 0 || point.y() < 0)
        return -1;
    const int column = int(point.x() / (cellSize_.width() + kSpacing));
    const int row = int(point.y() / (cellSize_.height() + kSpacing));
    if (column >= maxCol_ || row >= rows_)
        return -1;
    const int index = row * maxCol_ + column;
    if (!cellFrame(index).contains(point))
        return -1;
    if (inTrack_)
        return index;
    if (index >= count_ || cells_[index]->image().isNull())
        return -1;
    const QRectF area = cells_[index]->imageFrameForCellFrame(cellFrame(index)).adjusted(1, 2, -1, -2);
    return area.contains(point) ? index : -1;
}

// Mouse and keys.

void PreviewMatrix::mousePressEvent(QMouseEvent* event)
{
    tellOwner(false);
    setFocus(Qt::MouseFocusReason);
    pressPoint_ = event->position();
    dragArmed_ = false;
    leftHeld_ = event->button() == Qt::LeftButton;
    inTrack_ = false;
    if (event->button() != Qt::LeftButton)
        return;
    const int index = cellIndexAt(pressPoint_);
    if (index < 0) {
        deselectAllCells();
        return;
    }
    const Qt::KeyboardModifiers mods = event->modifiers();
    if (mods & Qt::ControlModifier) {
        selected_.insert(index);
        anchor_ = index;
    } else if (mods & Qt::ShiftModifier) {
        const int from = anchor_ >= 0 ? anchor_ : (selected_.empty() ? index : *selected_.begin());
        selected_.clear();
        for (int i = std::min(from, index); i <= std::max(from, index); ++i)
            selected_.insert(i);
    } else if (!selected_.count(index)) {
        selected_ = {index};
        anchor_ = index;
    }
    focus_ = index;
    dragArmed_ = selected_.count(index) > 0;
    update();
}

void PreviewMatrix::mouseMoveEvent(QMouseEvent* event)
{
    if (!(event->buttons() & Qt::LeftButton))
        return;
    if ((event->position() - pressPoint_).manhattanLength() < QApplication::startDragDistance() && !inTrack_)
        return;
    if (dragArmed_) {
        dragArmed_ = false;
        startDragOfSelection(cellIndexAt(pressPoint_));
        return;
    }
    if (selected_.empty() || inTrack_) {
        if (!inTrack_) {
            inTrack_ = true;
            trackRect_ = QRectF();
        }
        trackTo(event->position());
    }
}

void PreviewMatrix::trackTo(const QPointF& point)
{
    const QRectF old = trackRect_;
    const QRectF now = QRectF(pressPoint_, point).normalized();
    if (now.width() < old.width() || now.height() < old.height())
        selected_.clear();
    trackRect_ = now;
    const int first = cellIndexAt(pressPoint_);
    const int second = cellIndexAt(point);
    if (!old.united(now).isEmpty() && first >= 0 && second >= 0) {
        const int r0 = std::min(first, second) / maxCol_, r1 = std::max(first, second) / maxCol_;
        const int c0 = std::min(first % maxCol_, second % maxCol_), c1 = std::max(first % maxCol_, second % maxCol_);
        for (int row = r0; row <= r1; ++row)
            for (int column = c0; column <= c1; ++column)
                if (row * maxCol_ + column < count_)
                    selected_.insert(row * maxCol_ + column);
        anchor_ = first;
    }
    update();
}

void PreviewMatrix::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        leftHeld_ = false;
    if (inTrack_) {
        inTrack_ = false;
        trackRect_ = QRectF();
        update();
    }
    dragArmed_ = false;
}

void PreviewMatrix::mouseDoubleClickEvent(QMouseEvent* event)
{
    const int index = cellIndexAt(event->position());
    if (index < 0) {
        mousePressEvent(event);
        return;
    }
    selected_ = {index};
    focus_ = anchor_ = index;
    // The double action: a video plays in its cell.
    listPreviewAction();
}

void PreviewMatrix::moveFocus(int delta, bool extend)
{
    if (count_ == 0)
        return;
    const int from = focus_ < 0 ? 0 : focus_;
    const int to = std::clamp(from + delta, 0, count_ - 1);
    focus_ = to;
    if (extend) {
        if (anchor_ < 0)
            anchor_ = from;
        selected_.clear();
        for (int i = std::min(anchor_, to); i <= std::max(anchor_, to); ++i)
            selected_.insert(i);
    } else {
        selected_ = {to};
        anchor_ = to;
    }
    update();
}

void PreviewMatrix::keyPressEvent(QKeyEvent* event)
{
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    switch (event->key()) {
    case Qt::Key_Left: moveFocus(-1, shift); return;
    case Qt::Key_Right: moveFocus(1, shift); return;
    case Qt::Key_Up: moveFocus(-maxCol_, shift); return;
    case Qt::Key_Down: moveFocus(maxCol_, shift); return;
    case Qt::Key_Delete:
    case Qt::Key_Backspace:
        if (!selected_.empty() && owner_)
            owner_->removeSelectedItemsInMatrix();
        return;
    case Qt::Key_Space:
        if (isInPreview() && previewIndex_ == focus_) {
            QMediaPlayer* player = prehearMovie_->player();
            if (player->playbackState() == QMediaPlayer::PlayingState)
                player->pause();
            else
                player->play();
        } else {
            listPreviewAction();
        }
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (owner_ && focus_ >= 0 && focus_ < count_)
            owner_->openMediaFile(cells_[focus_]->mediaFile());
        return;
    default: break;
    }
    if (event->matches(QKeySequence::SelectAll)) {
        selected_.clear();
        for (int i = 0; i < count_; ++i)
            selected_.insert(i);
        update();
        return;
    }
    QWidget::keyPressEvent(event);
}

// Preview.

void PreviewMatrix::listPreviewAction()
{
    tellOwner(false);
    int index = focus_ >= 0 && selected_.count(focus_) ? focus_ : (selected_.empty() ? -1 : *selected_.begin());
    const auto cell = getMediaCell(index);
    if (!cell || !cell->isMovie() || !QFileInfo(cell->previewPath()).isFile())
        return;
    stopPreview();
    auto* view = new MyMovieView(this);
    const QRectF area = cell->imageFrameForCellFrame(cellFrame(index));
    view->setGeometry((area.isEmpty() ? cellFrame(index) : area).toRect());
    connect(view->player(), &QMediaPlayer::mediaStatusChanged, this, [this](QMediaPlayer::MediaStatus status) {
        if (status == QMediaPlayer::EndOfMedia || status == QMediaPlayer::InvalidMedia)
            tellOwner(false);
    });
    prehearMovie_ = view;
    previewIndex_ = index;
    updateVolumen();
    view->player()->setSource(QUrl::fromLocalFile(cell->previewPath()));
    view->show();
    view->player()->play();
    if (owner_)
        owner_->handlePrehearOrPreview(true);
}

void PreviewMatrix::stopPreview()
{
    if (!prehearMovie_)
        return;
    MyMovieView* view = prehearMovie_;
    prehearMovie_ = nullptr;
    previewIndex_ = -1;
    view->player()->stop();
    view->hide();
    // The player's own window leaves its picture behind until the grid draws
    // again once it is gone.
    connect(view, &QObject::destroyed, this, [this] { update(); });
    view->deleteLater();
    update();
}

void PreviewMatrix::updateVolumen()
{
    if (prehearMovie_)
        prehearMovie_->setVolume(owner_ ? std::clamp(owner_->getCurrentVolumen(), 0.0f, 1.0f) : 1.0f);
}

// Drawing.

void PreviewMatrix::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.fillRect(event->rect(), Qt::white);
    for (int index = 0; index < rows_ * maxCol_; ++index) {
        const QRectF frame = cellFrame(index);
        if (!frame.intersects(event->rect()) || index >= count_)
            continue;
        MediaPreviewCell::DrawState state;
        state.highlighted = selected_.count(index) > 0;
        state.enabled = isEnabled();
        state.liveResize = liveResize_;
        cells_[index]->drawWithFrame(painter, frame, state);
        if (index == focus_ && hasFocus()) {
            painter.setPen(QPen(palette().color(QPalette::Highlight), 1, Qt::DotLine));
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(frame.adjusted(1, 1, -1, -1));
        }
    }
    if (inTrack_ && !trackRect_.isEmpty()) {
        painter.fillRect(trackRect_, QColor::fromRgbF(1.0f, 1.0f, 0.0f, 0.4f));
        painter.setPen(Qt::yellow);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(trackRect_);
    }
    if (drawDrag_) {
        painter.setPen(QPen(palette().color(QPalette::Highlight), 3));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5));
    }
}

// Dragging out.

int PreviewMatrix::getDragDropFlags() const
{
    return owner_ && owner_->isHistoryDevice() ? kDragFlagsCopy : kDragFlagsCopyDelete;
}

QImage PreviewMatrix::getDragImage(int index, int selCount) const
{
    const auto cell = getMediaCell(index);
    if (!cell)
        return QImage();
    QImage badge = platform::gui::image(QStringLiteral("program"), kSelectionBadge)
                       .convertToFormat(QImage::Format_ARGB32_Premultiplied);
    {
        QPainter text(&badge);
        QFont font = text.font();
        font.setPixelSize(12);
        font.setBold(true);
        text.setFont(font);
        text.setPen(Qt::white);
        const QSizeF logical = badge.deviceIndependentSize();
        text.drawText(QRectF(0, 0, logical.width(), logical.height() - 2), Qt::AlignCenter,
                      QString::asprintf("%d", selCount));
    }
    const QRectF area = cell->imageFrameForCellFrame(cellFrame(index));
    const QSize size = area.isEmpty() ? QSize(32, 32) : area.size().toSize().expandedTo(QSize(1, 1));
    QImage made(size, QImage::Format_ARGB32_Premultiplied);
    made.fill(Qt::transparent);
    QPainter painter(&made);
    painter.setOpacity(0.8);
    painter.drawImage(QRectF(QPointF(0, 0), QSizeF(size)), cell->image());
    painter.setOpacity(0.99);
    painter.drawImage(QPointF(2, 2), badge);
    return made;
}

void PreviewMatrix::startDragOfSelection(int index)
{
    tellOwner(false);
    FileDragAndDrop* dnd = owner_ ? owner_->getFileDragAndDrop() : nullptr;
    if (!dnd || dragPreparing_)
        return;
    QStringList phonePaths;
    QList<QPair<QString, QString>> copies;
    for (const auto& file : selectedFiles()) {
        const QString local = file->previewPath();
        if (local.isEmpty() || !QFileInfo(local).isFile())
            continue;
        const auto node = file->fileNode();
        phonePaths.append(node ? dnd->getDragHandyPath(node) : file->phonePath());
        copies.append({local, file->fileName()});
    }
    if (copies.isEmpty())
        return;
    // Large videos take a while: the copies are made on a worker thread and
    // the drag starts once they are whole, the window working meanwhile.
    const int from = index >= 0 ? index : *selected_.begin();
    const int count = int(copies.size());
    dragPreparing_ = true;
    setCursor(Qt::BusyCursor);
    QPointer<FileDragAndDrop> maker(dnd);
    dnd->makeDragCopies(copies, this, [this, maker, phonePaths, from, count](const QStringList& made) {
        dragPreparing_ = false;
        unsetCursor();
        runDragOfCopies(maker, made, phonePaths, from, count);
    });
}

void PreviewMatrix::runDragOfCopies(FileDragAndDrop* dnd, const QStringList& copies, const QStringList& phonePaths,
                                    int index, int count)
{
    lastDragCopies_ = copies;
    if (!dnd || copies.isEmpty())
        return;
    if (!leftHeld_) {
        // The button went up while the copies were made: no drag.
        dnd->dragEnded();
        return;
    }
    auto* mime = new QMimeData;
    QList<QUrl> urls;
    for (const QString& copy : copies)
        urls.append(QUrl::fromLocalFile(copy));
    mime->setUrls(urls);
    dnd->fillPasteBoard(phonePaths, mime, this);
    // The phone's tree notifications wait until the drag is over.
    std::unique_ptr<DataGUIAutoBlock> block;
    if (MFDevice* device = getMFDevice())
        if (auto* gui = dynamic_cast<DZDataGUINotificator*>(device->dataGUIManager()))
            block = gui->autblock();
    // The drag runs its own event loop: the grid or its helper may go
    // meanwhile, and nothing is touched after that.
    QPointer<PreviewMatrix> self(this);
    QPointer<FileDragAndDrop> dndGuard(dnd);
    QPointer<QDrag> drag = new QDrag(this);
    drag->setMimeData(mime);
    const QImage image = getDragImage(index, count);
    drag->setPixmap(QPixmap::fromImage(image));
    drag->setHotSpot(QPoint(image.width() / 2, image.height() / 2));
    if (matrixDragRunner())
        matrixDragRunner()(*drag);
    else
        drag->exec(Qt::CopyAction, Qt::CopyAction);
    block.reset();
    if (dndGuard)
        dndGuard->dragEnded();
    if (!self)
        return;
    leftHeld_ = false;   // the drag's loop took the release
    if (drag)
        drag->deleteLater();
    update();
}

// Dropping in: what the tab shows (pictures and videos unless its owner
// says otherwise).

QStringList PreviewMatrix::dropFilter() const
{
    const QStringList own = owner_ ? owner_->dropSuffixFilter() : QStringList();
    return own.isEmpty()
        ? FileDragAndDrop::filterList(mediaformat::getMediaInputFormat(QLatin1String(mediaformat::kPictureVideo)))
        : own;
}

Qt::DropAction PreviewMatrix::draggingEntered(const QMimeData* data, QObject* source, Qt::DropActions allowed)
{
    FileDragAndDrop* dnd = owner_ ? owner_->getFileDragAndDrop() : nullptr;
    if (!data || !data->hasUrls() || !dnd || source == this || (owner_ && owner_->isHistoryDevice()))
        return Qt::IgnoreAction;
    if (allowed != Qt::IgnoreAction && !(allowed & (Qt::CopyAction | Qt::LinkAction)))
        return Qt::IgnoreAction;
    QStringList paths;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile())
            paths.append(url.toLocalFile());
    if (!dnd->availableFiles(paths, dropFilter()))
        return Qt::IgnoreAction;
    drawDrag_ = true;
    update();
    return Qt::LinkAction;
}

void PreviewMatrix::draggingExited()
{
    drawDrag_ = false;
    update();
}

bool PreviewMatrix::performDragOperation(const QMimeData* data, QObject* source, Qt::DropActions allowed)
{
    if (owner_ && owner_->isHistoryDevice())
        return false;
    draggingExited();
    FileDragAndDrop* dnd = owner_ ? owner_->getFileDragAndDrop() : nullptr;
    if (!data || !dnd || source == this)
        return true;
    if (allowed != Qt::IgnoreAction && !(allowed & (Qt::CopyAction | Qt::LinkAction)))
        return true;
    QStringList paths;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile())
            paths.append(url.toLocalFile());
    const QStringList accepted = dnd->filterFiles(paths, dropFilter());
    if (!accepted.isEmpty())
        owner_->importMediaFiles(accepted);
    return true;
}

void PreviewMatrix::dragEnterEvent(QDragEnterEvent* event)
{
    const Qt::DropAction action = draggingEntered(event->mimeData(), event->source(), event->possibleActions());
    if (action == Qt::IgnoreAction) {
        event->ignore();
        return;
    }
    event->setDropAction(event->possibleActions() & Qt::LinkAction ? Qt::LinkAction : Qt::CopyAction);
    event->accept();
}

void PreviewMatrix::dragMoveEvent(QDragMoveEvent* event)
{
    event->setDropAction(event->possibleActions() & Qt::LinkAction ? Qt::LinkAction : Qt::CopyAction);
    event->accept();
}

void PreviewMatrix::dragLeaveEvent(QDragLeaveEvent* event)
{
    Q_UNUSED(event);
    draggingExited();
}

void PreviewMatrix::dropEvent(QDropEvent* event)
{
    if (performDragOperation(event->mimeData(), event->source(), event->possibleActions()))
        event->acceptProposedAction();
    else
        event->ignore();
}
