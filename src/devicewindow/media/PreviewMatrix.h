#pragma once

#include "devicewindow/media/MediaPreviewCell.h"
#include "devicewindow/media/MyMovieView.h"

#include "platform/Clock.h"

#include <QPointer>
#include <QWidget>

#include <deque>
#include <memory>
#include <set>
#include <vector>

class FileDragAndDrop;
class ImageFile;
class MFDevice;
class QMimeData;
class PreviewMatrixOwner;

// The media grid: one thumbnail cell per file in rows of maxCol columns,
// cells 4:3 plus a 32-point title band, filled in row-major order. It selects
// by click, Ctrl-click, Shift-click, rubber band and keyboard; plays a video
// in its cell; drags the selection out as file copies and takes dropped
// picture and video files for its owner. Thumbnails are made one at a time
// by a refresh pump that shows at most one per tick.
class PreviewMatrix : public QWidget {
    Q_OBJECT

public:
    static constexpr double kRefreshInterval = 0.12;
    static constexpr int kSpacing = 1;
    static constexpr int kDragFlagsCopy = 1;
    static constexpr int kDragFlagsCopyDelete = 33;
    static inline const QString kSelectionBadge = QStringLiteral("QVBSelectionBadge");

    explicit PreviewMatrix(QWidget* parent = nullptr);
    ~PreviewMatrix() override;

    void setBassisBrowserView(PreviewMatrixOwner* owner) { owner_ = owner; }
    PreviewMatrixOwner* bassisBrowserView() const { return owner_; }
    MFDevice* getMFDevice() const;
    void setMaxCol(int columns);
    int maxCol() const { return maxCol_; }
    int count() const { return count_; }
    int numberOfRows() const { return rows_; }
    QSizeF cellSize() const { return cellSize_; }
    QRectF cellFrame(int index) const;

    void addMediaData(const std::shared_ptr<ImageFile>& file);
    void removeAll();
    void removeSongFromMatrix(const std::shared_ptr<ImageFile>&) { }
    std::shared_ptr<MediaPreviewCell> getMediaCell(int index) const;
    int tagOfCell(int index) const;
    void selectCells(const std::set<int>& indexes);
    std::set<int> selectedIndexes() const { return selected_; }
    std::vector<std::shared_ptr<ImageFile>> selectedFiles() const;
    bool isCellSelected(const std::shared_ptr<MediaPreviewCell>& cell) const;
    void deselectAllCells();
    void areaCheck();

    // Layout.
    void adjustMatrix();
    void sizeToCells();
    // The frame changes (the scroll view's width): the owner's preview stops.
    void setFrameWidth(int width);

    // The refresh pump.
    void addToRefreshAction(const std::shared_ptr<MediaPreviewCell>& cell);
    void refreshAction();
    bool isRefreshRunning() const { return refreshTimer_.isActive(); }
    int refreshQueueLength() const { return int(refreshCells_.size()); }

    // In-cell preview of the focused or selected video.
    void listPreviewAction();
    void stopPreview();
    bool isInPreview() const { return bool(prehearMovie_); }
    void updateVolumen();
    MyMovieView* movieView() const { return prehearMovie_; }

    // Which cell a point hits: a cell holding media with a picture, inside
    // its thumbnail area (inset 1 × 2); any cell while a rubber band runs.
    int cellIndexAt(const QPointF& point) const;
    QRectF trackRect() const { return trackRect_; }
    bool isInTrack() const { return inTrack_; }

    int getDragDropFlags() const;
    int draggingSourceOperationMaskForLocal(bool local) const { return local ? 0 : getDragDropFlags(); }
    // The drag picture: the cell's picture with the count badge.
    QImage getDragImage(int index, int selCount) const;
    // A drop enters: the action taken (none, or link), and the highlight.
    Qt::DropAction draggingEntered(const QMimeData* data, QObject* source, Qt::DropActions allowed);
    bool performDragOperation(const QMimeData* data, QObject* source, Qt::DropActions allowed);
    QStringList dropFilter() const;
    void draggingExited();
    bool isDragHighlighted() const { return drawDrag_; }
    // Starts the drag of the selection (from the cell at index) once its
    // copies are made off the GUI thread; no drag when the button went up
    // meanwhile.
    void startDragOfSelection(int index);
    bool isPreparingDrag() const { return dragPreparing_; }
    // The temporary copies made for the last drag (tests look at them).
    QStringList lastDragCopies() const { return lastDragCopies_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    std::shared_ptr<MediaPreviewCell> makeCell();
    void addRow();
    void tellOwner(bool running);
    void trackTo(const QPointF& point);
    void moveFocus(int delta, bool extend);
    int indexOf(const std::shared_ptr<MediaPreviewCell>& cell) const;
    int scrollHeight() const;
    void runDragOfCopies(FileDragAndDrop* dnd, const QStringList& copies, const QStringList& phonePaths, int index,
                         int count);

    PreviewMatrixOwner* owner_ = nullptr;
    std::vector<std::shared_ptr<MediaPreviewCell>> cells_;
    std::vector<int> tags_;
    std::set<int> selected_;
    int anchor_ = -1;
    int focus_ = -1;
    int count_ = 0;
    int maxCol_ = 3;
    int rows_ = 1;
    QSizeF cellSize_;
    QRectF trackRect_;
    QPointF pressPoint_;
    bool inTrack_ = false;
    bool dragArmed_ = false;
    bool leftHeld_ = false;
    bool dragPreparing_ = false;
    bool drawDrag_ = false;
    bool liveResize_ = false;
    QPointer<MyMovieView> prehearMovie_;
    int previewIndex_ = -1;
    std::deque<std::shared_ptr<MediaPreviewCell>> refreshCells_;
    platform::Timer refreshTimer_;
    platform::Timer resizeEnd_;
    QStringList lastDragCopies_;
};

class QDrag;
// Runs the grid's drags instead of the platform's drag loop (tests); an
// empty function restores the platform's.
void setPreviewMatrixDragRunner(std::function<Qt::DropAction(QDrag&)> runner);
