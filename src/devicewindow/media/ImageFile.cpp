#include "devicewindow/media/ImageFile.h"

#include "devicewindow/media/MediaInputFormat.h"

#include "phone/DZDirectoryEntry.h"

#include <QFileInfo>
#include <QHash>

ImageFile::ImageFile(const QString& phonePath, qint64 size, bool isVideo)
    : phonePath_(phonePath), size_(size), isVideo_(isVideo)
{
}

ImageFile::~ImageFile() = default;

bool ImageFile::isVideoName(const QString& name)
{
    const QString suffix = QFileInfo(name).suffix().toLower();
    if (suffix.isEmpty())
        return false;
    const QStringList videos =
        mediaformat::getMediaInputFormat(QLatin1String(mediaformat::kVideo)).split(QLatin1Char('/'), Qt::SkipEmptyParts);
    return videos.contains(suffix);
}

QString ImageFile::previewPath() const
{
    if (!previewPath_.isEmpty())
        return previewPath_;
    if (auto node = fileNode_.lock(); node && node->hasMirrorFile())
        return node->getMirrorPath();
    return QString();
}

QString ImageFile::fileName() const
{
    const qsizetype slash = phonePath_.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? phonePath_ : phonePath_.mid(slash + 1);
}

void ImageFile::setCachedImage(const std::optional<QImage>& image)
{
    if (image && !image->isNull())
        cachedImage_ = image;
    else
        cachedImage_.reset();
}

int ImageFile::hash() const
{
    return int(qHash(phonePath_) & 0x7fffffff);
}
