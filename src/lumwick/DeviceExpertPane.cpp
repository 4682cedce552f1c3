#include "lumwick/DeviceExpertPane.h"

#include "lumwick/PieProgressIndicator.h"
#include "platform/gui/Interface.h"

QWidget* DeviceExpertPane::loadBluetoothTableEntryNib()
{
    registerWizardWidgetClasses();
    return platform::gui::loadInterface(QString::fromLatin1(platform::gui::kLumwickBundle),
                                        QString::fromLatin1(kBluetoothTableEntryNibName));
}

QWidget* DeviceExpertPane::loadUSBTableEntryNib()
{
    registerWizardWidgetClasses();
    return platform::gui::loadInterface(QString::fromLatin1(platform::gui::kLumwickBundle),
                                        QString::fromLatin1(kUSBTableEntryNibName));
}
