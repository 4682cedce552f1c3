#include "app/ConnectingFeedbackController.h"

#include "app/AppLog.h"
#include "app/GuiGapWatch.h"
#include "app/MirrovanceDevice.h"
#include "app/TarnexController.h"
#include "app/TarnexKeys.h"

#include "foundation/NamedLog.h"
#include "jobs/QVFeedBack.h"
#include "platform/Exception.h"
#include "platform/Localization.h"
#include "platform/RunLoop.h"

namespace {

QString keyOf(const char* text)
{
    return QLatin1String(text);
}

} // namespace

ConnectingFeedbackController::ConnectingFeedbackController() = default;

ConnectingFeedbackController::~ConnectingFeedbackController()
{
    platform::runloop::cancelPreviousPerformRequests(this);
}

QString ConnectingFeedbackController::defaultNibName() const
{
    return keyOf(tarnexkeys::kConnectingNib);
}

QString ConnectingFeedbackController::localizationKey() const
{
    return keyOf(tarnexkeys::kConnectingPane);
}

void ConnectingFeedbackController::findOutlets()
{
    if (statusTextfField_)
        return;
    awakeFromNib();
    statusTextfField_ = paneOutlet<QLabel>(QStringLiteral("statusTextfField"));
}

void ConnectingFeedbackController::prepareForDisplay()
{
    findOutlets();
    const QString text = platform::localizedString(keyOf(kConnectingPhone));
    if (statusTextfField_)
        statusTextfField_->setText(text);
    if (TarnexController* host = tarnex())
        host->setMessageText(text);
}

void ConnectingFeedbackController::startProcessing()
{
    findOutlets();
    TarnexController* host = tarnex();
    const std::shared_ptr<MirrovanceDevice> phone = mirrovanceDevice();
    if (!host || !phone)
        return;
    if (progressBar())
        progressBar()->setRange(0, 0);
    host->startProgress(0, 0);
    if (host->deviceNeedsToBeStoredInDeviceList())
        host->updateDeviceList();
    connecting_ = true;
    try {
        if (host->syncDirectionChanged())
            phone->createDorvantiStuff();
        else
            phone->createDorvantiStuffIfNeccessary();
    } catch (const platform::Exception& exception) {
        connecting_ = false;
        qCInfo(lcApp).noquote() << exception.name() << exception.reason();
        QVLOG(qvlog::kXT, QLatin1String(kLogReturning));
        stopProcessing();
        GuiGapWatch::end(QStringLiteral("the connect"));
        // Not from inside the pane's own start.
        platform::runloop::performAfterDelay(this, QStringLiteral("returnToPhones"), 0, [this] {
            if (TarnexController* main = tarnex())
                main->switchToNamedPane(keyOf(tarnexkeys::kSelectKnownDevice), -1);
        });
        return;
    }
    connecting_ = false;
    platform::runloop::performAfterDelay(this, QStringLiteral("goToNextPaneNow"), 0, [this] { goToNextPaneNow(); });
}

void ConnectingFeedbackController::stopProcessing()
{
    // The status line said "connecting"; it must not outlive the connect.
    if (TarnexController* host = tarnex()) {
        host->stopProgress();
        host->setMessageText(QString());
    }
    if (progressBar())
        progressBar()->setRange(0, kBarMaximum);
    CopyFromMobileFeedbackController::stopProcessing();
}

void ConnectingFeedbackController::goToNextPaneNow()
{
    if (TarnexController* host = tarnex()) {
        host->setMessageText(QString());
        host->switchToNamedPane(keyOf(tarnexkeys::kContacts), 1);
    }
    GuiGapWatch::end(QStringLiteral("the connect"));
}

void ConnectingFeedbackController::progressInfo(const std::shared_ptr<QVFeedBack>& entry)
{
    if (!entry || !statusTextfField_)
        return;
    std::shared_ptr<QVFeedBack> shown = entry->refContent();
    if (!shown)
        shown = entry;
    const QString sub = shown->displaySubString();
    statusTextfField_->setText(sub.isEmpty() ? shown->displayString()
                                             : QStringLiteral("%1 %2").arg(shown->displayString(), sub));
}
