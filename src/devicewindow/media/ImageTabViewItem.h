#pragma once

#include "devicewindow/media/PreviewMatrixOwner.h"

#include "platform/Clock.h"

#include <QHash>
#include <QPointer>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

class DZDataManager;
class DZDirectoryEntry;
class MediaCenterMain;
class MediaStatusTable;
class PreviewMatrix;
class QAbstractScrollArea;
class QScrollArea;
class QVAction;

// One tab of the media center ("Music", "PhotoVideo" or "Ringtone"): the
// phone's media files of that kind from its special folders in a thumbnail
// grid, the transfers below as status rows. A phone file is copied into the
// mirror before its thumbnail is made; a drop uploads; Delete removes from
// the phone after asking.
class ImageTabViewItem : public QWidget, public PreviewMatrixOwner {
    Q_OBJECT

public:
    static inline const QString kMusic = QStringLiteral("Music");
    static inline const QString kPhotoVideo = QStringLiteral("PhotoVideo");
    static inline const QString kRingtone = QStringLiteral("Ringtone");
    static inline const QString kDeleteWarning = QStringLiteral("DeleteMediaTitle");

    ImageTabViewItem(const QString& kind, MediaCenterMain* center, QWidget* parent = nullptr);
    ~ImageTabViewItem() override;

    QString kind() const { return kind_; }
    // The center goes (or changes its phone): no more listening to the tree.
    void detachCenter();
    PreviewMatrix* matrix() const { return matrix_; }
    MediaStatusTable* statusTable() const { return statusTable_; }

    // The phone folders this tab lists, as tree paths.
    QStringList mediaFolders() const;
    // The suffixes this tab shows and takes.
    QStringList suffixFilter() const;
    QStringList dropSuffixFilter() const override { return suffixFilter(); }
    // Lists the folders through the data manager; the grid follows the tree.
    void startListing();
    void reloadFromTree();
    const std::vector<std::shared_ptr<ImageFile>>& files() const { return shown_; }
    const std::vector<std::shared_ptr<ImageFile>>& uploads() const { return uploads_; }
    // The jobs of this tab not yet seen to end.
    const std::vector<std::shared_ptr<QVAction>>& jobs() const { return jobs_; }
    // Running work: (conversions, transfers).
    std::pair<int, int> runningCounts() const;

    // PreviewMatrixOwner
    void handlePrehearOrPreview(bool running) override;
    MFDevice* getMFDevice() const override;
    float getCurrentVolumen() const override { return volume_; }
    void setCurrentVolumen(float volume) { volume_ = volume; }
    void removeSelectedItemsInMatrix() override;
    bool isHistoryDevice() const override;
    FileDragAndDrop* getFileDragAndDrop() const override;
    void importMediaFiles(const QStringList& files) override;
    void openMediaFile(const std::shared_ptr<ImageFile>& file) override;

    bool isInPreview() const { return inPreview_; }
    // Asks before a delete; tests answer themselves.
    void setConfirm(std::function<bool(const QString& question)> confirm) { confirm_ = std::move(confirm); }

    // A job of a file ended or moved on (the file's notify reports here).
    void fileJobProgress(const std::shared_ptr<ImageFile>& file, float percent);
    void fileJobEnded(const std::shared_ptr<ImageFile>& file, int err);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    DZDataManager* manager() const;
    void mirror(const std::shared_ptr<ImageFile>& file);
    int indexOf(const std::shared_ptr<ImageFile>& file) const;
    void layoutMatrix();

    QString kind_;
    QPointer<MediaCenterMain> center_;
    PreviewMatrix* matrix_;
    QScrollArea* scroll_;
    MediaStatusTable* statusTable_;
    QHash<QString, std::shared_ptr<ImageFile>> known_;
    std::vector<std::shared_ptr<ImageFile>> shown_;
    std::vector<std::shared_ptr<ImageFile>> uploads_;
    std::vector<std::shared_ptr<QVAction>> jobs_;
    std::function<bool(const QString&)> confirm_;
    platform::Timer reload_;
    bool listening_ = false;
    bool inPreview_ = false;
    float volume_ = 1.0f;
};
