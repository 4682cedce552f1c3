#include "devicewindow/queue/ActionITunesSyncCell.h"

#include "devicewindow/queue/ActionMediaCell.h"

#include "jobs/JobNames.h"
#include "widgets/ProgressCycle.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>
#include <algorithm>

ActionITunesSyncCell::ActionITunesSyncCell(QWidget* parent) : ActionMasterView(parent)
{
    setObjectName(nibName());
    setFixedHeight(kRowHeight);
    auto* counts = new QWidget(textColumn());
    auto* line = new QHBoxLayout(counts);
    line->setContentsMargins(0, 0, 0, 0);
    convertInfo_ = new QLabel(counts);
    convertInfo_->setObjectName(QStringLiteral("convertInfo"));
    transferInfo_ = new QLabel(counts);
    transferInfo_->setObjectName(QStringLiteral("transferInfo"));
    line->addWidget(convertInfo_);
    line->addWidget(transferInfo_);
    line->addStretch(1);
    static_cast<QVBoxLayout*>(textColumn()->layout())->insertWidget(1, counts);
    convertProgress_ = makeRing("convertProgress", tr("Conversion"));
    convertProgress_->setBackGroundColor(ActionMediaCell::convertColour());
    transferProgress_ = makeRing("transferProgress", tr("Transfer"));
}

ProgressCycle* ActionITunesSyncCell::makeRing(const char* name, const QString& accessibleName)
{
    auto* ring = new ProgressCycle(this);
    ring->setObjectName(QLatin1String(name));
    ring->setAccessibleName(accessibleName);
    ring->setFixedSize(kRingSide, kRingSide);
    ring->setMinValue(0);
    ring->setMaxValue(100);
    ring->setUsesThreadedAnimation(true);
    addTrailingWidget(ring);
    return ring;
}

void ActionITunesSyncCell::setFeedBack(const std::shared_ptr<QVFeedBack>& entry)
{
    ActionMasterView::setFeedBack(entry);
    if (!entry)
        return;
    const int status = entry->feedBackStatus();
    if (status == 1 || status == 2) {
        doStartProgress(true);
        convertProgress_->setIndeterminate(status == 2);
        progress()->setRange(0, status == 2 ? 0 : 100);
    } else {
        doStartProgress(false);
    }
}

void ActionITunesSyncCell::followStatus(int status)
{
    if (status == 1 || status == 2) {
        const bool unknown = status == 2;
        progress()->setRange(0, unknown ? 0 : 100);
        convertProgress_->setIndeterminate(unknown);
        transferProgress_->setIndeterminate(unknown);
        convertProgress_->startAnimation();
        transferProgress_->startAnimation();
    } else if (status == 4) {
        convertProgress_->stopAnimation();
        transferProgress_->stopAnimation();
    }
}

void ActionITunesSyncCell::feedBackNotify(const platform::Notification& notification)
{
    const auto entry = feedBack();
    if (!entry)
        return;
    refreshText();
    const int status = entry->feedBackStatus();
    doStartProgress(status == 1 || status == 2);
    followStatus(status);
    const QVariantMap& info = notification.userInfo;
    if (info.contains(jobnames::kFeedProcessActionKey) && progress()->maximum() > 0)
        progress()->setValue(int(std::clamp(info.value(jobnames::kFeedProcessActionKey).toDouble(), 0.0, 100.0)));
    const QVariantMap counts = entry->getUserInfo().toMap();
    const auto pair = [&counts](const QString& current, const QString& total, QLabel* label) {
        if (counts.contains(current) && counts.contains(total))
            label->setText(QStringLiteral("%1/%2").arg(counts.value(current).toInt()).arg(counts.value(total).toInt()));
    };
    pair(kCurrentConvertKey, kTotalConvertKey, convertInfo_);
    pair(kCurrentTransferKey, kTotalTransferKey, transferInfo_);
    if (counts.contains(kPercentConvertKey))
        convertProgress_->setDoubleValue(counts.value(kPercentConvertKey).toDouble());
    if (counts.contains(kPercentTransferKey))
        transferProgress_->setDoubleValue(counts.value(kPercentTransferKey).toDouble());
    if (info.contains(jobnames::kFeedEndActionKey))
        progress()->hide();
}

void ActionITunesSyncCell::setDoAnimate(bool animate)
{
    ActionMasterView::setDoAnimate(animate);
    if (!animate) {
        convertProgress_->stopAnimation();
        transferProgress_->stopAnimation();
    }
}
