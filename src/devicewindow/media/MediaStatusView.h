#pragma once

#include "lumwick/SubviewTableViewController.h"

#include <QTableWidget>
#include <QWidget>

#include <functional>
#include <memory>

class ImageFile;
class MediaPreviewCell;
class QLabel;
class QProgressBar;

// One status row of a media transfer: a small thumbnail, the status text,
// the source size (read once) and the converted size (read once the status
// is past converting), and a bar that shows percent only while the file is
// prepared or exported.
class MediaStatusView : public QWidget {
    Q_OBJECT

public:
    static constexpr int kRowHeight = 44;
    static inline const QString kStatusKey = QStringLiteral("MediaStatus_%1");

    explicit MediaStatusView(QWidget* parent = nullptr);
    ~MediaStatusView() override;

    // A new row inside parent.
    static MediaStatusView* loadMediaStatusView(QWidget* parent);

    void setImageFile(const std::shared_ptr<ImageFile>& file);
    std::shared_ptr<ImageFile> imageFile() const;
    std::shared_ptr<MediaPreviewCell> mediaPreviewCell() const { return cell_; }
    void updateInfo();

    QProgressBar* progressBar() const { return progress_; }
    QString statusText() const;
    QString sourceSizeText() const;
    QString convertedSizeText() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QProgressBar* progress_;
    QLabel* statusName_;
    QLabel* sourceSize_;
    QLabel* convertSize_;
    std::shared_ptr<MediaPreviewCell> cell_;
    int oldStatus_ = -1;
    qint64 origSize_ = 0;
    qint64 convSize_ = 0;
};

// A table cell that holds a status row.
class MediaStatusCell : public SubviewTableViewCell {
public:
    void setMediaStatusView(QWidget* view) { addSubview(view); }
    void updateInfo();
};

// The table of status rows, one per file; Delete with selected rows asks
// its target to remove them.
class MediaStatusTable : public QTableWidget {
    Q_OBJECT

public:
    explicit MediaStatusTable(QWidget* parent = nullptr);

    // The row of the file (made when missing); none for no file.
    MediaStatusView* mediaStatusForImage(const std::shared_ptr<ImageFile>& file);
    // Every row's updateInfo.
    void updateAll();
    void setTarget(std::function<void(MediaStatusTable*)> removeSelectedItemsInTableView)
    {
        target_ = std::move(removeSelectedItemsInTableView);
    }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    std::function<void(MediaStatusTable*)> target_;
};
