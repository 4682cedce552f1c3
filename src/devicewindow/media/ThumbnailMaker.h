#pragma once

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QSize>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class QMediaPlayer;
class QVideoSink;

// What a thumbnail maker found: the picture (null when the file could not be
// read) and, for a video, its running time in whole seconds.
struct Thumbnail {
    QImage image;
    std::optional<qint64> seconds;
};

// Makes thumbnails without blocking the GUI thread. A picture is read and
// scaled on a worker thread with a bound on what the decoder may allocate;
// a video is opened by a muted, hidden player whose first decoded frame is
// the poster. The answer comes on the GUI thread, through the context
// object (dropped when it is gone).
namespace thumbnails {
inline constexpr int kAllocationLimitMB = 128;
inline constexpr int kLongerSide = 320;
// A video that gives no frame within this time counts as unreadable.
inline constexpr double kVideoTimeout = 15.0;

using Done = std::function<void(const Thumbnail&)>;

// Reads the picture in the calling thread (the worker's body).
QImage readPicture(const QString& path, int longerSide = kLongerSide);
void makePicture(const QString& path, QObject* context, Done done);
void makeVideo(const QString& path, QObject* context, Done done);
} // namespace thumbnails
