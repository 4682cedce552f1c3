#pragma once

#include "devicewindow/DeviceWindowController.h"
#include "devicewindow/DeviceWindowHost.h"

#include "phone/MFDevice.h"

#include <QStringList>

#include <memory>

namespace devicewindow_tests {

// A host that records what the window asks of it.
class RecordingHost : public DeviceWindowHost {
public:
    bool registerWindow(DeviceWindowController*) override { return registered++ > 0; }
    bool checkIfIsAlreadyConnected(const QString& serial, bool activate) override
    {
        calls << QStringLiteral("connected? %1 %2").arg(serial).arg(activate);
        return connectedSerials.contains(serial);
    }
    void createConnection(const QVariantMap& dict, const QString& connType, DeviceWindowController*, bool isNew,
                          const QString& stateInfo) override
    {
        calls << QStringLiteral("createConnection %1 %2 %3").arg(connType).arg(isNew).arg(stateInfo);
        lastDict = dict;
    }
    void scanReturnedUSBDevice(const QVariantMap& dict, DeviceWindowController*) override
    {
        calls << QStringLiteral("scanReturnedUSBDevice");
        lastDict = dict;
    }
    QString dbName(int index) override
    {
        static const char* const names[] = {"Contacts", "Calendar", "Notes", "Bookmarks", "SMS", "Events", "Tasks"};
        return index >= 0 && index < 7 ? QString::fromLatin1(names[index]) : QStringLiteral("ERROR");
    }
    bool hasBluetoothSetup() override { return bluetoothSetup; }
    bool launchBluetoothSetup() override
    {
        calls << QStringLiteral("launchBluetoothSetup");
        return true;
    }
    void stopWizard() override { calls << QStringLiteral("stopWizard"); }
    void cancelClose(DeviceWindowController*) override { calls << QStringLiteral("cancelClose"); }
    void setForceQuitAndIgnore(DeviceWindowController*) override { calls << QStringLiteral("setForceQuitAndIgnore"); }
    void newDocument() override { calls << QStringLiteral("newDocument"); }

    int registered = 0;
    bool bluetoothSetup = true;
    QStringList connectedSerials;
    QStringList calls;
    QVariantMap lastDict;
};

// A phone object without connections ("History", or a USB serial phone whose
// port is never opened), over a given model row.
std::shared_ptr<MFDevice> makeDevice(const char* connType, QVariantMap dict = {}, MFDevice::Makers makers = {});

// Opens the named log "XT" and marks its end; xtLines() answers the lines
// written since.
void markXT();
QStringList xtLines();

} // namespace devicewindow_tests
