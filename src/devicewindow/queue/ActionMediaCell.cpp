#include "devicewindow/queue/ActionMediaCell.h"

#include "jobs/JobNames.h"
#include "widgets/ProgressCycle.h"

#include <QLabel>
#include <QProgressBar>
#include <algorithm>

ActionMediaCell::ActionMediaCell(QWidget* parent) : ActionMasterView(parent)
{
    setObjectName(nibName());
    convertProgress_ = new ProgressCycle(this);
    convertProgress_->setObjectName(QStringLiteral("convertProgress"));
    convertProgress_->setAccessibleName(tr("Conversion"));
    convertProgress_->setFixedSize(kRingSide, kRingSide);
    convertProgress_->setMinValue(0);
    convertProgress_->setMaxValue(100);
    convertProgress_->setDoubleValue(0);
    convertProgress_->setBackGroundColor(convertColour());
    convertProgress_->hide();
    addTrailingWidget(convertProgress_);
}

QColor ActionMediaCell::convertColour()
{
    return QColor::fromRgbF(0.69f, 0.1f, 0.1f, 1.0f);
}

std::shared_ptr<MediaCenterEntry> ActionMediaCell::mediaEntryOf(const QVFeedBack& entry)
{
    const QVariant media = entry.getUserInfo().toMap().value(kMediaCenterEntryKey);
    return media.canConvert<std::shared_ptr<MediaCenterEntry>>() ? media.value<std::shared_ptr<MediaCenterEntry>>()
                                                                 : nullptr;
}

void ActionMediaCell::refreshText()
{
    const auto entry = feedBack();
    const auto media = entry ? mediaEntryOf(*entry) : nullptr;
    if (!media) {
        ActionMasterView::refreshText();
        return;
    }
    displayText()->setText(media->mainProgressFileName());
    setAccessibleName(displayText()->text());
}

void ActionMediaCell::setFeedBack(const std::shared_ptr<QVFeedBack>& entry)
{
    ActionMasterView::setFeedBack(entry);
    if (!entry)
        return;
    const int status = entry->feedBackStatus();
    convertProgress_->setVisible(status == 1 || status == 2);
}

void ActionMediaCell::feedBackNotify(const platform::Notification& notification)
{
    const auto entry = feedBack();
    if (!entry)
        return;
    const QVariantMap& info = notification.userInfo;
    if (info.contains(jobnames::kFeedStartActionKey)) {
        update();
        doStartProgress(true);
        convertProgress_->show();
    } else if (info.contains(jobnames::kFeedProcessActionKey)) {
        doStartProgress(true);
        convertProgress_->show();
        const double percent = info.value(jobnames::kFeedProcessActionKey).toDouble();
        const auto media = mediaEntryOf(*entry);
        const int status = media ? media->getMediaCenterProgressStatus() : 0;
        if (status == MediaCenterEntry::kConverting) {
            convertProgress_->setIndeterminate(false);
            convertProgress_->setDoubleValue(percent);
        } else if (status == MediaCenterEntry::kTransferring) {
            progress()->setRange(0, 100);
            progress()->setValue(int(std::clamp(percent, 0.0, 100.0)));
        }
    } else {
        ActionMasterView::feedBackNotify(notification);
    }
    refreshText();
}
