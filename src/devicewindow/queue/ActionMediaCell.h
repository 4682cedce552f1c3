#pragma once

#include "widgets/ProgressCycle.h"

#include "devicewindow/queue/ActionMasterView.h"

#include <QMetaType>
#include <QPointer>

#include <memory>

// What a media-center job tells its queue row, found in the job's user info
// under "MediaCenterEntryKey": the file it works on and what it does now.
class MediaCenterEntry {
public:
    static constexpr int kConverting = 2;
    static constexpr int kTransferring = 5;

    virtual ~MediaCenterEntry() = default;
    // The file name of the entry's main progress.
    virtual QString mainProgressFileName() const = 0;
    virtual int getMediaCenterProgressStatus() const = 0;
};

Q_DECLARE_METATYPE(std::shared_ptr<MediaCenterEntry>)

// A queue row of a media-center job: the file's name, and beside the bar a
// red ring for the conversion. While the file is converted the ring shows
// the percentage, while it is transferred the bar does.
class ActionMediaCell : public ActionMasterView {
    Q_OBJECT

public:
    static inline const QString kMediaCenterEntryKey = QStringLiteral("MediaCenterEntryKey");
    static constexpr int kRingSide = 28;

    explicit ActionMediaCell(QWidget* parent = nullptr);

    static QString nibName() { return QStringLiteral("ActionMediaCell"); }
    // The ring's colour (red 0.69, green 0.1, blue 0.1).
    static QColor convertColour();
    // The media entry of a job's user info, or null.
    static std::shared_ptr<MediaCenterEntry> mediaEntryOf(const QVFeedBack& entry);

    void setFeedBack(const std::shared_ptr<QVFeedBack>& entry) override;
    void feedBackNotify(const platform::Notification& notification) override;
    ProgressCycle* convertProgress() const { return convertProgress_; }

protected:
    void refreshText() override;

private:
    QPointer<ProgressCycle> convertProgress_;
};
