#include "app/TarnexPanes.h"

#include "app/MirrovanceDevice.h"
#include "app/TarnexController.h"
#include "app/TarnexKeys.h"

#include "platform/gui/Interface.h"

#include <QPushButton>

QString TarnexPaneController::bundleName() const
{
    return QString::fromLatin1(platform::gui::kProgramBundle);
}

QString TarnexPaneController::stringTable() const
{
    return QStringLiteral("Localizable");
}

TarnexController* TarnexPaneController::tarnex() const
{
    return dynamic_cast<TarnexController*>(mainController());
}

std::shared_ptr<MirrovanceDevice> TarnexPaneController::mirrovanceDevice() const
{
    TarnexController* host = tarnex();
    return host ? host->phoneObject() : nullptr;
}

std::shared_ptr<MFDevice> TarnexPaneController::getMFDevice() const
{
    const std::shared_ptr<MirrovanceDevice> phone = mirrovanceDevice();
    return phone ? phone->mfDevice() : nullptr;
}

QString WelcomeController::defaultNibName() const
{
    return QLatin1String(tarnexkeys::kWelcomeNib);
}

QString WelcomeController::localizationKey() const
{
    return QLatin1String(tarnexkeys::kWelcomePane);
}

void WelcomeController::startProcessing()
{
    TarnexController* host = tarnex();
    if (!host)
        return;
    if (MirrovanceDevice::isStressTestInProgress()) {
        host->goToNextPane();
        return;
    }
    host->showAddPhone(true);
}

void WelcomeController::stopProcessing()
{
    TarnexController* host = tarnex();
    if (!host)
        return;
    host->showAddPhone(false);
    host->showPreviousButton();
}

PlaceholderPaneController::PlaceholderPaneController(QString nibName, QString key, bool offersPrevious)
    : nibName_(std::move(nibName))
    , key_(std::move(key))
    , offersPrevious_(offersPrevious)
{
}

void PlaceholderPaneController::startProcessing()
{
    TarnexController* host = tarnex();
    if (!offersPrevious_ || !host || !host->goToPreviousPaneButton())
        return;
    previousWasShown_ = !host->goToPreviousPaneButton()->isHidden();
    host->showPreviousButton();
    host->setPreviousButtonEnabled(true);
}

void PlaceholderPaneController::stopProcessing()
{
    TarnexController* host = tarnex();
    if (offersPrevious_ && host && host->goToPreviousPaneButton() && !previousWasShown_)
        host->goToPreviousPaneButton()->hide();
}
