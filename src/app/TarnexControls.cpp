// The main window's wizard buttons, the scan progress bar and the status
// line.
#include "app/TarnexController.h"
#include "app/TarnexWizardSheet.h"

#include "app/TarnexControllerParts.h"
#include "app/TarnexKeys.h"
#include "app/TarnexRollOverButton.h"

#include "platform/NotificationCenter.h"
#include "platform/RunLoop.h"

#include <QProgressBar>

#include <algorithm>
#include <cmath>

namespace {

using namespace tarnexkeys;
using tarnexparts::key;
using tarnexparts::setShown;

} // namespace

void TarnexController::enableChangeToNextPane(bool enable)
{
    if (isWizardSheetShowing()) {
        wizardSheet_->setNextEnabled(enable);
        return;
    }
    if (nextPaneButton_)
        nextPaneButton_->setEnabled(enable);
}

void TarnexController::changeToNextPaneTitle(const QString& title)
{
    if (nextPaneButton_) {
        nextPaneButton_->setText(title);
        nextPaneButton_->setAccessibleName(title);
    }
}

void TarnexController::setPreviousButtonEnabled(bool enable)
{
    if (previousPaneButton_)
        previousPaneButton_->setEnabled(enable);
}

void TarnexController::changeToPreviousPaneTitle(const QString& title)
{
    if (previousPaneButton_) {
        previousPaneButton_->setText(title);
        previousPaneButton_->setAccessibleName(title);
    }
}

void TarnexController::hidePreviousNextButtons()
{
    setShown(nextPaneButton_, false);
    setShown(previousPaneButton_, false);
}

void TarnexController::showNextButton(bool next, bool previous)
{
    setShown(nextPaneButton_, next);
    setShown(previousPaneButton_, previous);
}

void TarnexController::showPreviousButton()
{
    setShown(previousPaneButton_, true);
}

void TarnexController::setMissingPhoneButtonEnabled(bool enable)
{
    if (missingPhoneButton_)
        missingPhoneButton_->setEnabled(enable);
}

void TarnexController::missingPhoneButtonShowsAssistant()
{
    if (missingPhoneButton_)
        missingPhoneButton_->setImageNamed(key(kAddPhoneImage), key(kAddPhoneOverImage));
}

void TarnexController::setCanUseDevice(bool canUse)
{
    // The wizard sheet's Next button (the main window's while no sheet shows).
    enableChangeToNextPane(canUse);
}

void TarnexController::stopPhoneScanPressed()
{
    stopPhoneScan_ = true;
    platform::NotificationCenter::defaultCenter().post(key(kStopScanning));
}

void TarnexController::startProgress(double min, double max)
{
    if (!progressIndicator_)
        return;
    const bool determinate = min < max;
    // Steps of a thousandth of the range, as the bar counts in integers.
    progressMin_ = determinate ? min : 0;
    progressMax_ = determinate ? max : 1;
    progressValue_ = determinate ? min : 0.5;
    progressIndicator_->setRange(0, determinate ? kProgressSteps : 0);
    showProgressValue();
    progressIndicator_->show();
    setShown(progressStopButton_, determinate);
}

void TarnexController::showProgressValue()
{
    if (!progressIndicator_ || progressIndicator_->maximum() == 0)
        return;
    const double span = progressMax_ - progressMin_;
    const double share = span > 0 ? (progressValue_ - progressMin_) / span : 0;
    progressIndicator_->setValue(int(std::lround(std::clamp(share, 0.0, 1.0) * kProgressSteps)));
}

void TarnexController::setValuePercent(double percent)
{
    progressValue_ = progressMin_ + (progressMax_ - progressMin_) * percent / 100;
    showProgressValue();
}

void TarnexController::incrementProgressBy(double step)
{
    progressValue_ += step;
    showProgressValue();
}

void TarnexController::stopProgress()
{
    setShown(progressIndicator_, false);
    setShown(progressStopButton_, false);
}

void TarnexController::stopProgressDelayed()
{
    progressValue_ = progressMax_;
    showProgressValue();
    if (progressIndicator_)
        progressIndicator_->repaint();
    platform::runloop::performAfterDelay(
        this, QStringLiteral("stopProgress"), kStopProgressDelay, [this] { stopProgress(); }, this);
}

void TarnexController::setMessageText(const QString& text)
{
    setShown(successImageView_, false);
    if (messageTextField_)
        messageTextField_->setText(text);
}

void TarnexController::setSuccessText(const QString& text)
{
    setShown(successImageView_, true);
    if (messageTextField_)
        messageTextField_->setText(text);
}
