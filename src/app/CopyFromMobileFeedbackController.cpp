#include "app/CopyFromMobileFeedbackController.h"

#include "app/AppController.h"
#include "app/MirrovanceDevice.h"
#include "app/TarnexController.h"
#include "app/TarnexKeys.h"
#include "widgets/TarnexAlertSheet.h"

#include "jobs/JobNames.h"
#include "jobs/QVFeedBack.h"
#include "platform/Localization.h"
#include "platform/RunLoop.h"

#include "app/AppLog.h"

namespace {

constexpr const char* kPaneNib = "CopyFeedbackView";
constexpr const char* kPaneKey = "kCopyFromMobileFeedbackPaneName";
constexpr const char* kBackedUp = "Mobile device backuped";
constexpr const char* kRestartMobileExplanation = "kRestartMobileExplanation";
constexpr const char* kSongs = "kSongs";

QString key(const char* text)
{
    return QLatin1String(text);
}

}   // namespace

CopyFromMobileFeedbackController::CopyFromMobileFeedbackController() = default;

CopyFromMobileFeedbackController::~CopyFromMobileFeedbackController()
{
    platform::runloop::cancelPreviousPerformRequests(this);
    if (observing_)
        platform::NotificationCenter::defaultCenter().removeObserver(this);
}

QString CopyFromMobileFeedbackController::defaultNibName() const
{
    return key(kPaneNib);
}

QString CopyFromMobileFeedbackController::localizationKey() const
{
    return key(kPaneKey);
}

QString CopyFromMobileFeedbackController::localized(const QString& text) const
{
    return platform::localizedString(text);
}

void CopyFromMobileFeedbackController::awakeFromNib()
{
    progressBar_ = paneOutlet<QProgressBar>(QStringLiteral("progressBar"));
    feedbackTextField_ = paneOutlet<QLabel>(QStringLiteral("feedbackTextField"));
    percentDoneTextField_ = paneOutlet<QLabel>(QStringLiteral("percentDoneTextField"));
    whatsGoingOnTextField_ = paneOutlet<QLabel>(QStringLiteral("whatsGoingOnAndErrorReportingTextField"));
    sessionDied_ = false;
    if (!observing_) {
        platform::NotificationCenter::defaultCenter().addObserver(
            this, jobnames::kNotifySessionDiedError, nullptr,
            [this](const platform::Notification& notification) { sessionDiedError(notification); });
        observing_ = true;
    }
}

void CopyFromMobileFeedbackController::setDeterminate(bool determinate)
{
    if (!progressBar_)
        return;
    if (determinate)
        progressBar_->setRange(0, kBarMaximum);
    else
        progressBar_->setRange(0, 0);
}

void CopyFromMobileFeedbackController::feedBackDictNotify(const QVariantMap& userInfo)
{
    const std::shared_ptr<QVFeedBack> entry =
        userInfo.value(jobnames::kFeedBackEntryKey).value<std::shared_ptr<QVFeedBack>>();
    if (userInfo.contains(jobnames::kFeedStartActionKey)) {
        setDeterminate(false);
        return;
    }
    if (userInfo.contains(jobnames::kFeedEndActionKey)) {
        // A busy bar stops by becoming a determinate one again.
        setDeterminate(true);
        progressReady(int32_t(userInfo.value(jobnames::kFeedEndActionKey).toLongLong()));
        return;
    }
    if (entry && entry->feedBackStatus() == kStatusRunning) {
        setDeterminate(true);
        if (progressBar_)
            progressBar_->setValue(int(userInfo.value(jobnames::kFeedProcessActionKey).toFloat()));
        progressInfo(entry);
    } else {
        setDeterminate(false);
    }
}

void CopyFromMobileFeedbackController::progressInfo(const std::shared_ptr<QVFeedBack>& entry)
{
    if (!entry || !feedbackTextField_)
        return;
    std::shared_ptr<QVFeedBack> shown = entry->refContent();
    if (!shown)
        shown = entry;
    const QString sub = shown->displaySubString();
    feedbackTextField_->setText(sub.isEmpty() ? shown->displayString()
                                              : QStringLiteral("%1 %2").arg(shown->displayString(), sub));
}

void CopyFromMobileFeedbackController::sessionDiedError(const platform::Notification& notification)
{
    // Another phone's session is none of this pane's business.
    const std::shared_ptr<MFDevice> phone = getMFDevice();
    if (!phone || notification.sender != static_cast<const void*>(phone.get()))
        return;
    if (sessionDied_)
        return;
    tellUserToRestartHisMobileAndQuitMirrovance();
    sessionDied_ = true;
}

void CopyFromMobileFeedbackController::progressReady(int32_t code)
{
    if (code == 0 || code == kNothingToDo) {
        endProgressAndGoToNextPane();
        return;
    }
    if (code == kSuspended || code == kCancelled)
        return;
    tellUserToRestartHisMobileAndQuitMirrovance();
}

void CopyFromMobileFeedbackController::stopProcessing()
{
    stopCopying();
}

void CopyFromMobileFeedbackController::startProcessing()
{
    TarnexPaneController::startProcessing();
    startCopying();
}

void CopyFromMobileFeedbackController::prepareForDisplay()
{
    resetProgress();
}

void CopyFromMobileFeedbackController::endProgressAndGoToNextPane()
{
    endTheProgress();
    platform::runloop::performAfterDelay(this, QStringLiteral("goToNextPane"), kNextPaneDelay, [this] {
        if (TarnexController* host = tarnex())
            host->goToNextPane();
    });
}

void CopyFromMobileFeedbackController::endTheProgress()
{
    if (feedbackTextField_)
        feedbackTextField_->setText(localized(key(kBackedUp)));
    setDeterminate(true);
    if (progressBar_)
        progressBar_->setValue(progressBar_->maximum());
    platform::runloop::performAfterDelay(this, QStringLiteral("emptyBar"), kEmptyBarDelay, [this] {
        if (progressBar_)
            progressBar_->setValue(0);
    });
    if (TarnexController* host = tarnex())
        host->enableChangeToNextPane(true);
}

void CopyFromMobileFeedbackController::resetProgress()
{
    setDeterminate(false);
    numberOfTasks_ = 0;
}

void CopyFromMobileFeedbackController::advanceProgressbar()
{
    if (progressBar_)
        progressBar_->setValue(std::min(progressBar_->value() + 1, progressBar_->maximum()));
}

void CopyFromMobileFeedbackController::startProgress()
{
    setDeterminate(true);
    if (progressBar_)
        progressBar_->setValue(0);
}

void CopyFromMobileFeedbackController::tellUserToRestartHisMobileAndQuitMirrovance()
{
    TarnexController* host = tarnex();
    if (!host)
        return;
    host->beginAlertSheet(localized(key(tarnexkeys::kCriticalError)), localized(key(tarnexkeys::kQuit)),
                          localized(key(tarnexkeys::kPrevious)), QString(),
                          [this](int returnCode) { sheetDidEnd(returnCode); },
                          localized(key(kRestartMobileExplanation)));
}

void CopyFromMobileFeedbackController::sheetDidEnd(int returnCode)
{
    if (returnCode == TarnexAlertSheet::kAlternateReturn) {
        // One phone's failure need not end the program: back to the phones,
        // where the next phone's session may die and tell so again.
        sessionDied_ = false;
        if (TarnexController* host = tarnex())
            host->switchToNamedPane(key(tarnexkeys::kSelectKnownDevice), -1);
        return;
    }
    if (AppController* app = AppController::sharedAppController())
        app->terminate();
}

bool CopyFromMobileFeedbackController::isExtension(const QString& extension, int type) const
{
    return MirrovanceDevice::allowedFileExtensionsForType(type).contains(extension.toLower());
}

QString CopyFromMobileFeedbackController::typeOfFileFromFilename(const QString& fileName) const
{
    qCWarning(lcApp).noquote() << QStringLiteral("File: \"%1\" is not one of the allowed filetypes!").arg(fileName);
    return localized(key(kSongs));
}
