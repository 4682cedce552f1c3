#include "lumwick/AKStartPaneController.h"

#include "lumwick/DeviceExpert.h"

#include <QLabel>

void AKStartPaneController::startProcessing()
{
    setPreviousButtonEnabled(false);
    setNextButtonEnabled(true);
}

void AKFinalPaneController::prepareForDisplay()
{
    setPreviousButtonEnabled(true);
    setNextButtonEnabled(true, QStringLiteral("kFinish"));
}

void AKFinalPaneController::startProcessing()
{
    const std::shared_ptr<DeviceExpert> expert = mainController() ? mainController()->deviceExpert() : nullptr;
    QString name;
    QString model;
    if (expert && expert->properties()) {
        const DZDeviceProperties& properties = *expert->properties();
        name = properties.btUserName();
        if (name.isEmpty())
            name = properties.product();
        model = properties.btModelName();
    }
    if (model.isEmpty())
        model = QString::fromLatin1(kUnknownType);
    if (auto* field = paneOutlet<QLabel>(QStringLiteral("DeviceName")))
        field->setText(name);
    if (auto* field = paneOutlet<QLabel>(QStringLiteral("DeviceType")))
        field->setText(model);
}
