#include "devicewindow/ValidateForFeedBack.h"

#include "devicewindow/FeedBackOnGuiThread.h"
#include "jobs/JobNames.h"
#include "widgets/ScaledImageButtonValidation.h"


namespace {
int liveValidators = 0;
} // namespace

ValidateForFeedBack* ValidateForFeedBack::allocValidateForFeedBack(QWidget* view,
                                                                   const std::shared_ptr<QVFeedBack>& entry)
{
    if (!view || !entry)
        return nullptr;
    return new ValidateForFeedBack(view, entry);
}

ValidateForFeedBack::ValidateForFeedBack(QWidget* view, const std::shared_ptr<QVFeedBack>& entry)
    : validateView_(view), entry_(entry)
{
    ++liveValidators;
    observeFeedBackOnGuiThread(entry, this, &ValidateForFeedBack::feedBackEndNotify);
    ValidateScaledImageButtons(view);
}

ValidateForFeedBack::~ValidateForFeedBack()
{
    --liveValidators;
    if (!ended_)
        if (const auto entry = entry_.lock())
            entry->stopFeedBackNotification(this);
}

int ValidateForFeedBack::liveCount()
{
    return liveValidators;
}

void ValidateForFeedBack::feedBackEndNotify(const platform::Notification& notification)
{
    if (ended_ || !notification.userInfo.contains(jobnames::kFeedBackEntryKey) ||
        !notification.userInfo.contains(jobnames::kFeedEndActionKey))
        return;
    ended_ = true;
    if (validateView_)
        ValidateScaledImageButtonsDelayed(validateView_, kRevalidateDelay);
    if (const auto entry = entry_.lock())
        entry->stopFeedBackNotification(this);
    deleteLater();
}
