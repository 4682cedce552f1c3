#include "devicewindow/queue/ActionMasterSubText.h"

#include <QLabel>
#include <QVBoxLayout>

ActionMasterSubText::ActionMasterSubText(QWidget* parent) : ActionMasterView(parent)
{
    displaySubText_ = new QLabel(textColumn());
    displaySubText_->setObjectName(QStringLiteral("displaySubText"));
    QFont small = displaySubText_->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    displaySubText_->setFont(small);
    static_cast<QVBoxLayout*>(textColumn()->layout())->insertWidget(1, displaySubText_);
    setFixedHeight(kRowHeight);
}

void ActionMasterSubText::setFeedBack(const std::shared_ptr<QVFeedBack>& entry)
{
    ActionMasterView::setFeedBack(entry);
    showSubText();
}

void ActionMasterSubText::feedBackNotify(const platform::Notification& notification)
{
    ActionMasterView::feedBackNotify(notification);
    showSubText();
}

void ActionMasterSubText::showSubText()
{
    const auto entry = feedBack();
    displaySubText_->setText(entry ? entry->displaySubString() : QString());
}
