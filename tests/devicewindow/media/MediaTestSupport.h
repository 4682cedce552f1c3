#pragma once

#include "devicewindow/files/FileDragAndDrop.h"
#include "devicewindow/media/ImageFile.h"
#include "devicewindow/media/MediaPreviewCell.h"
#include "devicewindow/media/PreviewMatrixOwner.h"

#include <QImage>
#include <QStringList>
#include <QThread>

#include <memory>
#include <vector>

namespace media_test {

// An owner that records what the grid tells it.
class RecordingOwner : public PreviewMatrixOwner {
public:
    void handlePrehearOrPreview(bool running) override { previews.push_back(running); }
    MFDevice* getMFDevice() const override { return nullptr; }
    float getCurrentVolumen() const override { return 0.5f; }
    void removeSelectedItemsInMatrix() override { ++removeCalls; }
    bool isHistoryDevice() const override { return history; }
    FileDragAndDrop* getFileDragAndDrop() const override { return dnd.get(); }
    void importMediaFiles(const QStringList& files) override { imported.append(files); }
    QStringList dropSuffixFilter() const override { return dropFilter; }

    std::vector<bool> previews;
    int removeCalls = 0;
    bool history = false;
    std::unique_ptr<FileDragAndDrop> dnd = std::make_unique<FileDragAndDrop>(nullptr);
    QStringList imported;
    QStringList dropFilter;
};

// A loader that answers on a later pass of the loop, with a picture for
// names without "broken", and counts what it was asked.
struct FakeLoader {
    int calls = 0;
    int inFlight = 0;
    int maxInFlight = 0;
    QStringList paths;

    void install()
    {
        MediaPreviewCell::setLoader([this](const QString& path, bool, QObject* context, thumbnails::Done done) {
            ++calls;
            paths.append(path);
            maxInFlight = std::max(maxInFlight, ++inFlight);
            QMetaObject::invokeMethod(context, [this, path, done] {
                --inFlight;
                Thumbnail made;
                if (!path.contains(QLatin1String("broken"))) {
                    made.image = QImage(40, 30, QImage::Format_RGB32);
                    made.image.fill(Qt::darkGreen);
                }
                done(made);
            }, Qt::QueuedConnection);
        });
    }
    static void restore()
    {
        MediaPreviewCell::setLoader([](const QString& path, bool video, QObject* context, thumbnails::Done done) {
            if (video)
                thumbnails::makeVideo(path, context, std::move(done));
            else
                thumbnails::makePicture(path, context, std::move(done));
        });
    }
};

} // namespace media_test
