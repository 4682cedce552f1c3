#pragma once

#include "devicewindow/queue/ActionMediaCell.h"

#include <QImage>
#include <QString>

#include <memory>
#include <optional>

class DZDirectoryEntry;

// One media file of the media center: a file on the phone (its tree entry)
// or a desktop file on its way to the phone. It keeps the thumbnail made
// from its local copy, what is being done with it and how far that is.
// Main thread only.
class ImageFile : public MediaCenterEntry {
public:
    // The status numbers shown as "MediaStatus_%d".
    static constexpr int kWaiting = 0;
    static constexpr int kCopying = 1;
    static constexpr int kConvertingStatus = 2;
    static constexpr int kDone = 3;
    static constexpr int kFailed = 4;

    // A file on the phone at phonePath (full tree path).
    ImageFile(const QString& phonePath, qint64 size, bool isVideo);
    ~ImageFile() override;

    // Whether the suffix of a name is one of the video suffixes.
    static bool isVideoName(const QString& name);

    QString phonePath() const { return phonePath_; }
    // Where a thumbnail or preview can be made from: the local source of an
    // upload, else the mirror copy of the phone's file.
    virtual QString previewPath() const;
    void setPreviewPath(const QString& path) { previewPath_ = path; }
    QString fileName() const;
    bool isVideo() const { return isVideo_; }

    // The thumbnail cache: none until a picture could be made (a file that
    // cannot be opened keeps none, so the next refresh tries again).
    const std::optional<QImage>& getCachedImage() const { return cachedImage_; }
    void setCachedImage(const std::optional<QImage>& image);
    // A video's running time in seconds, once known.
    std::optional<qint64> duration() const { return duration_; }
    void setDuration(qint64 seconds) { duration_ = seconds; }

    std::shared_ptr<DZDirectoryEntry> fileNode() const { return fileNode_.lock(); }
    void setFileNode(const std::shared_ptr<DZDirectoryEntry>& node) { fileNode_ = node; }
    // The grid's tag: a non-negative number made from the phone path.
    int hash() const;

    // Work in progress: the mirror copy that the thumbnail waits for, and
    // the copy to the phone.
    bool isInPreviewCreate() const { return status_ == kCopying && !upload_; }
    bool isInExport() const { return (status_ == kCopying || status_ == kConvertingStatus) && upload_; }
    void setUpload(bool on) { upload_ = on; }
    bool isUpload() const { return upload_; }
    int prozDone() const { return percent_; }
    void setProzDone(int percent) { percent_ = percent; }
    int getMediaCenterProgressStatus() const override { return status_; }
    void setStatus(int status) { status_ = status; }
    bool isRunning() const { return status_ == kCopying || status_ == kConvertingStatus; }

    virtual qint64 fileSize() const { return size_; }
    virtual qint64 getConvertedFileSize() const { return convertedSize_; }
    void setConvertedFileSize(qint64 size) { convertedSize_ = size; }

    // MediaCenterEntry
    QString mainProgressFileName() const override { return fileName(); }

private:
    QString phonePath_;
    QString previewPath_;
    qint64 size_ = 0;
    qint64 convertedSize_ = 0;
    bool isVideo_ = false;
    bool upload_ = false;
    int status_ = kWaiting;
    int percent_ = 0;
    std::optional<QImage> cachedImage_;
    std::optional<qint64> duration_;
    std::weak_ptr<DZDirectoryEntry> fileNode_;
};
