#include "devicewindow/media/MediaStatusView.h"

#include "devicewindow/media/ImageFile.h"
#include "devicewindow/media/MediaPreviewCell.h"

#include "foundation/FormattingUtil.h"
#include "platform/Localization.h"

#include <QGridLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>

MediaStatusView::MediaStatusView(QWidget* parent)
    : QWidget(parent), progress_(new QProgressBar(this)), statusName_(new QLabel(this)), sourceSize_(new QLabel(this)),
      convertSize_(new QLabel(this))
{
    setFixedHeight(kRowHeight);
    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(kRowHeight + 4, 2, 6, 2);
    layout->setVerticalSpacing(1);
    layout->addWidget(statusName_, 0, 0);
    layout->addWidget(sourceSize_, 0, 1, Qt::AlignRight);
    layout->addWidget(convertSize_, 0, 2, Qt::AlignRight);
    layout->addWidget(progress_, 1, 0, 1, 3);
    progress_->setRange(0, 100);
    progress_->setValue(0);
    progress_->setTextVisible(false);
    progress_->setMaximumHeight(10);
    progress_->setAccessibleName(QStringLiteral("Transfer progress"));
}

MediaStatusView::~MediaStatusView() = default;

MediaStatusView* MediaStatusView::loadMediaStatusView(QWidget* parent)
{
    return new MediaStatusView(parent);
}

void MediaStatusView::setImageFile(const std::shared_ptr<ImageFile>& file)
{
    if (!cell_ || cell_->mediaFile() != file) {
        cell_ = std::make_shared<MediaPreviewCell>();
        cell_->setTitle(QString());
        cell_->setControlView(this, {});
        cell_->setPreview(file);
        cell_->setTitle(QString());
    }
    updateInfo();
}

std::shared_ptr<ImageFile> MediaStatusView::imageFile() const
{
    return cell_ ? cell_->mediaFile() : nullptr;
}

QString MediaStatusView::statusText() const
{
    return statusName_->text();
}

QString MediaStatusView::sourceSizeText() const
{
    return sourceSize_->text();
}

QString MediaStatusView::convertedSizeText() const
{
    return convertSize_->text();
}

void MediaStatusView::updateInfo()
{
    const std::shared_ptr<ImageFile> file = imageFile();
    if (!file)
        return;
    const int status = file->getMediaCenterProgressStatus();
    const bool working = file->isInPreviewCreate() || file->isInExport();
    update();
    if (status == oldStatus_) {
        if (working && file->prozDone() != progress_->value())
            progress_->setValue(file->prozDone());
        return;
    }
    statusName_->setText(platform::localizedString(kStatusKey.arg(status)));
    if (origSize_ == 0) {
        origSize_ = file->fileSize();
        sourceSize_->setText(FormattingUtil::displayableDataAmount(origSize_));
    }
    if (status > ImageFile::kConvertingStatus && convSize_ == 0) {
        convSize_ = file->getConvertedFileSize();
        convertSize_->setText(FormattingUtil::displayableDataAmount(convSize_));
    }
    if (working) {
        progress_->setRange(0, 100);
        progress_->setValue(file->prozDone());
    } else {
        progress_->setRange(0, 0);   // turning
        progress_->setValue(0);
    }
    oldStatus_ = status;
}

void MediaStatusView::paintEvent(QPaintEvent* event)
{
    QWidget::paintEvent(event);
    if (!cell_)
        return;
    // The file's thumbnail once the grid has made it.
    QImage picture = cell_->image();
    if (picture.isNull() && cell_->mediaFile() && cell_->mediaFile()->getCachedImage())
        picture = *cell_->mediaFile()->getCachedImage();
    if (picture.isNull())
        return;
    QPainter painter(this);
    const QRectF frame(2, 2, kRowHeight - 4, kRowHeight - 4);
    painter.drawImage(MediaPreviewCell::imageFrameForCellFrame(frame.adjusted(0, 0, 0, 8), picture.size(), true),
                      picture);
}

void MediaStatusCell::updateInfo()
{
    if (auto* status = qobject_cast<MediaStatusView*>(view()))
        status->updateInfo();
}

MediaStatusTable::MediaStatusTable(QWidget* parent) : QTableWidget(0, 1, parent)
{
    setAccessibleName(QStringLiteral("Media transfers"));
    horizontalHeader()->hide();
    horizontalHeader()->setStretchLastSection(true);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(MediaStatusView::kRowHeight);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
}

MediaStatusView* MediaStatusTable::mediaStatusForImage(const std::shared_ptr<ImageFile>& file)
{
    if (!file)
        return nullptr;
    for (int row = 0; row < rowCount(); ++row)
        if (auto* view = qobject_cast<MediaStatusView*>(cellWidget(row, 0)); view && view->imageFile() == file)
            return view;
    MediaStatusView* view = MediaStatusView::loadMediaStatusView(viewport());
    view->move(-123, -123);
    view->setImageFile(file);
    const int row = rowCount();
    insertRow(row);
    setItem(row, 0, new QTableWidgetItem);
    setCellWidget(row, 0, view);
    return view;
}

void MediaStatusTable::updateAll()
{
    for (int row = 0; row < rowCount(); ++row)
        if (auto* view = qobject_cast<MediaStatusView*>(cellWidget(row, 0)))
            view->updateInfo();
}

void MediaStatusTable::keyPressEvent(QKeyEvent* event)
{
    if ((event->key() == Qt::Key_Delete || event->key() == Qt::Key_Backspace) && !selectedItems().isEmpty()) {
        if (target_)
            target_(this);
        return;
    }
    QTableWidget::keyPressEvent(event);
}
