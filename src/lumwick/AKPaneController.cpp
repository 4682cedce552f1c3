#include "lumwick/AKPaneController.h"

#include "lumwick/LumwickLog.h"
#include "platform/Exception.h"
#include "platform/Localization.h"
#include "platform/gui/Interface.h"

#include <QFile>

namespace {

[[noreturn]] void forgotToOverride(const char* method)
{
    throw platform::Exception(QStringLiteral("NSInternalInconsistencyException"),
                              QStringLiteral("You forgot to overide the method %1").arg(QLatin1String(method)));
}

} // namespace

AKPaneController::~AKPaneController()
{
    delete m_wizardPaneView.data();
}

bool AKPaneController::initWithDefaultNib()
{
    return initWithNibAtPath(bundleName(), defaultNibName());
}

bool AKPaneController::initWithNibAtPath(const QString& bundle, const QString& name)
{
    const QString path = QStringLiteral(":/ui/%1/%2.ui").arg(bundle, name);
    QWidget* view = QFile::exists(path) ? platform::gui::loadInterface(bundle, name) : nullptr;
    if (!view) {
        lumwick::lumwickLog(QStringLiteral("A problem occured while loading the nib %1").arg(path));
        return false;
    }
    delete m_wizardPaneView.data();
    m_wizardPaneView = view;
    return true;
}

QString AKPaneController::defaultNibName() const
{
    forgotToOverride("defaultNibName");
}

QString AKPaneController::localizationKey() const
{
    forgotToOverride("localizationKey");
}

QString AKPaneController::bundleName() const
{
    return QString::fromLatin1(platform::gui::kLumwickBundle);
}

QString AKPaneController::stringTable() const
{
    return QStringLiteral("Lumwick");
}

QString AKPaneController::localizedPaneName() const
{
    return platform::localizedString(localizationKey(), stringTable());
}

bool AKPaneController::isValid(const QVariantMap& properties) const
{
    return m_mainController && m_mainController->isValid(properties);
}

bool AKPaneController::setPreviousButtonEnabled(bool enable)
{
    auto* host = dynamic_cast<QVWizardPreviousButton*>(m_mainController);
    if (!host)
        return false;
    host->setPreviousButtonEnabled(enable);
    return true;
}

bool AKPaneController::setNextButtonEnabled(bool enable, const QString& titleKey)
{
    if (auto* host = dynamic_cast<QVWizardNextButton*>(m_mainController)) {
        host->setNextButtonEnabled(enable, titleKey);
        return true;
    }
    if (auto* host = dynamic_cast<QVWizardNextPaneSwitch*>(m_mainController)) {
        host->enableChangeToNextPane(enable);
        return true;
    }
    return false;
}

bool AKPaneController::setNextButtonEnabled(bool enable)
{
    return setNextButtonEnabled(enable, QStringLiteral("kNextPane"));
}

std::shared_ptr<void> AKPaneController::device() const
{
    return m_mainController ? m_mainController->device() : nullptr;
}

void AKPaneController::setDevice(std::shared_ptr<void> device)
{
    if (m_mainController)
        m_mainController->setDevice(std::move(device));
}
