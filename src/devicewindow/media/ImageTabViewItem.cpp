#include "devicewindow/media/ImageTabViewItem.h"

#include "devicewindow/files/FileDragAndDrop.h"
#include "devicewindow/media/ImageFile.h"
#include "devicewindow/media/MediaCenterMain.h"
#include "devicewindow/media/MediaInputFormat.h"
#include "devicewindow/media/MediaStatusView.h"
#include "devicewindow/media/PreviewMatrix.h"
#include "devicewindow/queue/ActionMediaCell.h"

#include "jobs/QVAction.h"
#include "jobs/QVActionNotify.h"
#include "phone/DZDataManager.h"
#include "phone/DZDirectory.h"
#include "phone/MFDevice.h"
#include "phone/PhoneFolders.h"
#include "platform/Localization.h"

#include <QDesktopServices>
#include <QEvent>
#include <QFileInfo>
#include <QMessageBox>
#include <QScrollArea>
#include <QScrollBar>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>

namespace {
// The requester of one media job: reports to its tab while both live.
class MediaJobNotify : public QVActionNotify {
public:
    MediaJobNotify(ImageTabViewItem* tab, const std::shared_ptr<ImageFile>& file) : tab_(tab), file_(file) {}
    bool startAction(QVAction&) override { return true; }
    bool processAction(QVAction&, float percent) override
    {
        if (auto file = file_.lock(); file && tab_)
            tab_->fileJobProgress(file, percent);
        return true;
    }
    void endAction(QVAction&, int err) override
    {
        if (auto file = file_.lock(); file && tab_)
            tab_->fileJobEnded(file, err);
    }

private:
    QPointer<ImageTabViewItem> tab_;
    std::weak_ptr<ImageFile> file_;
};

QVariantMap mediaUserInfo(const std::shared_ptr<ImageFile>& file)
{
    return {{ActionMediaCell::kMediaCenterEntryKey,
             QVariant::fromValue(std::static_pointer_cast<MediaCenterEntry>(file))}};
}
} // namespace

ImageTabViewItem::ImageTabViewItem(const QString& kind, MediaCenterMain* center, QWidget* parent)
    : QWidget(parent), kind_(kind), center_(center), matrix_(new PreviewMatrix), scroll_(new QScrollArea(this)),
      statusTable_(new MediaStatusTable(this))
{
    setObjectName(kind);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    scroll_->setWidget(matrix_);
    scroll_->setWidgetResizable(false);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    scroll_->setBackgroundRole(QPalette::Base);
    layout->addWidget(scroll_, 1);
    layout->addWidget(statusTable_);
    statusTable_->setMaximumHeight(MediaStatusView::kRowHeight * 3 + 4);
    statusTable_->setTarget([this](MediaStatusTable* table) {
        // Finished rows go; running transfers stay.
        QList<int> rows;
        for (const QModelIndex& index : table->selectionModel()->selectedRows())
            rows.append(index.row());
        std::sort(rows.rbegin(), rows.rend());
        for (int row : rows)
            if (auto* view = qobject_cast<MediaStatusView*>(table->cellWidget(row, 0));
                view && view->imageFile() && !view->imageFile()->isRunning())
                table->removeRow(row);
    });
    matrix_->setBassisBrowserView(this);
    scroll_->viewport()->installEventFilter(this);
    reload_.setCallback([this] { reloadFromTree(); });
    confirm_ = [this](const QString& question) {
        return QMessageBox::question(this, platform::localizedString(kDeleteWarning), question) == QMessageBox::Yes;
    };
}

ImageTabViewItem::~ImageTabViewItem()
{
    detachCenter();
    matrix_->setBassisBrowserView(nullptr);
}

void ImageTabViewItem::detachCenter()
{
    if (listening_)
        if (DZDataManager* data = manager())
            data->stopListenForDirectoryEntryUpdateNotifications(this);
    listening_ = false;
    reload_.stop();
    matrix_->stopPreview();
    center_ = nullptr;
}

DZDataManager* ImageTabViewItem::manager() const
{
    MFDevice* device = getMFDevice();
    return device ? dynamic_cast<DZDataManager*>(device->dataManager()) : nullptr;
}

MFDevice* ImageTabViewItem::getMFDevice() const
{
    return center_ ? center_->getMFDevice() : nullptr;
}

bool ImageTabViewItem::isHistoryDevice() const
{
    MFDevice* device = getMFDevice();
    return device && device->isHistory();
}

FileDragAndDrop* ImageTabViewItem::getFileDragAndDrop() const
{
    return center_ ? center_->getFileDragAndDrop() : nullptr;
}

QStringList ImageTabViewItem::mediaFolders() const
{
    MFDevice* device = getMFDevice();
    if (!device)
        return {};
    const PhoneFolders& folders = device->phoneFolders();
    QStringList paths;
    if (kind_ == kPhotoVideo)
        paths = {folders.getGraphicsFolderPath(false), folders.getVideosFolderPath(false),
                 folders.getCameraPhotosFolderPath(false), folders.getCameraVideosFolderPath(false)};
    else if (kind_ == kRingtone)
        paths = {folders.getRingtonesFolderPath(false)};
    else
        paths = QStringList{folders.getSoundFolderPath(false)} + folders.allMusicFolders();
    QStringList unique;
    for (const QString& path : paths)
        if (!path.isEmpty() && !unique.contains(path))
            unique.append(path);
    return unique;
}

QStringList ImageTabViewItem::suffixFilter() const
{
    const char* key = kind_ == kPhotoVideo ? mediaformat::kPictureVideo : mediaformat::kAudio;
    return FileDragAndDrop::filterList(mediaformat::getMediaInputFormat(QLatin1String(key)));
}

void ImageTabViewItem::startListing()
{
    DZDataManager* data = manager();
    if (!data)
        return;
    if (!listening_) {
        listening_ = true;
        data->listenForDirectoryEntryUpdateNotifications(this, [this](const platform::Notification&) {
            if (!reload_.isActive())
                reload_.start(0);
        });
    }
    for (const QString& path : mediaFolders())
        if (auto folder = data->getDirectory(path))
            folder->update();
    reloadFromTree();
}

void ImageTabViewItem::reloadFromTree()
{
    DZDataManager* data = manager();
    if (!data)
        return;
    const QStringList filter = suffixFilter();
    std::vector<std::shared_ptr<ImageFile>> now;
    for (const QString& path : mediaFolders()) {
        auto folder = data->getEntry(path);
        if (!folder || !folder->isDirectory())
            continue;
        for (const auto& entry : folder->entriesNoUpdate()) {
            if (!entry->isFile() || entry->isSpeculative() || entry->status() == dztree::kRemoved)
                continue;
            const QString suffix = QFileInfo(entry->name()).suffix().toLower();
            if (!filter.contains(suffix))
                continue;
            const QString phonePath = path + QLatin1Char('/') + entry->name();
            std::shared_ptr<ImageFile>& file = known_[phonePath];
            if (!file)
                file = std::make_shared<ImageFile>(phonePath, std::max<qint64>(0, entry->ftpFile()->fileSize()), ImageFile::isVideoName(entry->name()));
            file->setFileNode(entry);
            now.push_back(file);
        }
    }
    if (now != shown_) {
        shown_ = now;
        matrix_->removeAll();
        for (const auto& file : shown_)
            matrix_->addMediaData(file);
        matrix_->areaCheck();
    }
    for (const auto& file : shown_)
        mirror(file);
}

void ImageTabViewItem::mirror(const std::shared_ptr<ImageFile>& file)
{
    auto node = file->fileNode();
    if (!node || file->isRunning() || file->getMediaCenterProgressStatus() == ImageFile::kFailed || isHistoryDevice())
        return;
    if (node->hasMirrorFile())
        return;
    auto job = node->copyToMirror();
    if (!job)
        return;
    file->setStatus(ImageFile::kCopying);
    file->setProzDone(0);
    job->addNotify(std::make_shared<MediaJobNotify>(this, file), mediaUserInfo(file));
    jobs_.push_back(job);
    if (center_)
        center_->addFeedBackToMaster(job);
    statusTable_->mediaStatusForImage(file);
    if (auto cell = matrix_->getMediaCell(indexOf(file)))
        cell->setProgress(0);
}

int ImageTabViewItem::indexOf(const std::shared_ptr<ImageFile>& file) const
{
    const auto found = std::find(shown_.begin(), shown_.end(), file);
    return found == shown_.end() ? -1 : int(found - shown_.begin());
}

std::pair<int, int> ImageTabViewItem::runningCounts() const
{
    int conversions = 0;
    int transfers = 0;
    auto count = [&](const std::shared_ptr<ImageFile>& file) {
        if (file->getMediaCenterProgressStatus() == ImageFile::kConvertingStatus)
            ++conversions;
        else if (file->getMediaCenterProgressStatus() == ImageFile::kCopying)
            ++transfers;
    };
    for (const auto& file : known_)
        count(file);
    for (const auto& file : uploads_)
        count(file);
    return {conversions, transfers};
}

void ImageTabViewItem::fileJobProgress(const std::shared_ptr<ImageFile>& file, float percent)
{
    file->setProzDone(std::clamp(int(percent), 0, 100));
    if (auto cell = matrix_->getMediaCell(indexOf(file)); cell && file->prozDone() > 0)
        cell->setProgress(file->prozDone());
    if (auto* row = statusTable_->mediaStatusForImage(file))
        row->updateInfo();
}

void ImageTabViewItem::fileJobEnded(const std::shared_ptr<ImageFile>& file, int err)
{
    jobs_.erase(std::remove_if(jobs_.begin(), jobs_.end(), [](const auto& job) { return job->hasEnded(); }),
                jobs_.end());
    file->setStatus(err == 0 ? ImageFile::kDone : ImageFile::kFailed);
    if (err == 0)
        file->setConvertedFileSize(file->fileSize());
    if (auto* row = statusTable_->mediaStatusForImage(file))
        row->updateInfo();
    if (auto cell = matrix_->getMediaCell(indexOf(file)))
        cell->setProgress(err == 0 ? -1 : -2);
    if (file->isUpload()) {
        // The folder is read again and shows the new file.
        if (DZDataManager* data = manager())
            if (auto folder = data->getDirectory(QFileInfo(file->phonePath()).path()))
                folder->update();
    }
    if (center_)
        center_->mediaProgressChanged();
}

void ImageTabViewItem::importMediaFiles(const QStringList& files)
{
    DZDataManager* data = manager();
    if (!data || isHistoryDevice() || !data->fileJobs().copyToMobile)
        return;
    const QStringList folders = mediaFolders();
    if (folders.isEmpty())
        return;
    MFDevice* device = getMFDevice();
    const QString videos = kind_ == kPhotoVideo ? device->phoneFolders().getVideosFolderPath(false) : QString();
    for (const QString& path : FileDragAndDrop(nullptr).filterFiles(files, suffixFilter())) {
        const QFileInfo info(path);
        const bool video = ImageFile::isVideoName(path);
        const QString folder = video && !videos.isEmpty() ? videos : folders.first();
        auto file = std::make_shared<ImageFile>(folder + QLatin1Char('/') + info.fileName(), info.size(), video);
        file->setPreviewPath(info.absoluteFilePath());
        file->setUpload(true);
        file->setStatus(ImageFile::kCopying);
        auto notify = std::make_shared<MediaJobNotify>(this, file);
        auto job = data->fileJobs().copyToMobile(info.absoluteFilePath(), folder, info.size(), false, notify);
        if (!job) {
            file->setStatus(ImageFile::kFailed);
            statusTable_->mediaStatusForImage(file);
            continue;
        }
        job->setUserInfo(mediaUserInfo(file));
        uploads_.push_back(file);
        jobs_.push_back(job);
        data->postAction(job);
        if (center_)
            center_->addFeedBackToMaster(job);
        statusTable_->mediaStatusForImage(file);
    }
    if (center_)
        center_->mediaProgressChanged();
}

void ImageTabViewItem::removeSelectedItemsInMatrix()
{
    if (isHistoryDevice())
        return;
    std::vector<std::shared_ptr<DZDirectoryEntry>> nodes;
    QStringList names;
    for (const auto& file : matrix_->selectedFiles())
        if (auto node = file->fileNode()) {
            nodes.push_back(node);
            names.append(file->fileName());
        }
    if (nodes.empty())
        return;
    const QString question =
        nodes.size() == 1 ? platform::localizedString(QStringLiteral("DeleteMediaQuestion")).arg(names.first())
                          : platform::localizedString(QStringLiteral("DeleteMediaQuestionMany")).arg(nodes.size());
    if (!confirm_ || !confirm_(question))
        return;
    handlePrehearOrPreview(false);
    for (const auto& node : nodes)
        if (auto job = node->deleteEntry())
            if (center_)
                center_->addFeedBackToMaster(job);
    matrix_->deselectAllCells();
}

void ImageTabViewItem::handlePrehearOrPreview(bool running)
{
    inPreview_ = running;
    if (!running)
        matrix_->stopPreview();
}

void ImageTabViewItem::openMediaFile(const std::shared_ptr<ImageFile>& file)
{
    if (file && QFileInfo(file->previewPath()).isFile())
        QDesktopServices::openUrl(QUrl::fromLocalFile(file->previewPath()));
}

void ImageTabViewItem::layoutMatrix()
{
    matrix_->setFrameWidth(scroll_->viewport()->width());
    matrix_->areaCheck();
}

bool ImageTabViewItem::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == scroll_->viewport() && event->type() == QEvent::Resize)
        layoutMatrix();
    return QWidget::eventFilter(watched, event);
}
