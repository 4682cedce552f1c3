#pragma once

#include <QString>
#include <QVariantMap>

class DeviceWindowController;

// What a phone window asks of the application around it: the application
// controller's connections and look-ups, the document that owns the window,
// the wizard entry and the desktop. The application shell implements it; a
// window without a host gets the answers of this base (nothing found, nothing
// done).
class DeviceWindowHost {
public:
    virtual ~DeviceWindowHost() = default;

    // Registers a window; false for the first window of the process.
    virtual bool registerWindow(DeviceWindowController*) { return true; }
    // Whether a phone of this serial number has a window; activate brings it
    // to the front.
    virtual bool checkIfIsAlreadyConnected(const QString& /*serial*/, bool /*activate*/) { return false; }
    virtual void createConnection(const QVariantMap& /*dict*/, const QString& /*connType*/, DeviceWindowController*,
                                  bool /*isNew*/, const QString& /*stateInfo*/)
    {
    }
    virtual void scanReturnedUSBDevice(const QVariantMap& /*dict*/, DeviceWindowController*) { }
    // 0 when the phone of entry was found and connected.
    virtual int tryToFindUSBSerialDevice(const QVariantMap& /*entry*/, DeviceWindowController*) { return -1; }
    virtual int tryToFindUSBStoragDevice(const QVariantMap& /*entry*/, DeviceWindowController*) { return -1; }
    virtual int tryToFindBluetoothDevice(const QVariantMap& /*entry*/, DeviceWindowController*) { return -1; }
    virtual void connectWithHistoryDevice(const QVariantMap& /*entry*/, DeviceWindowController*) { }
    // Opens the phone's history window, which replays stateInfo.
    virtual void connectWithHistoryDevice(const QVariantMap& entry, DeviceWindowController* window,
                                          const QString& /*stateInfo*/, const QString& /*mirrorPath*/)
    {
        connectWithHistoryDevice(entry, window);
    }
    // The open window of the phone with this serial number, live or history;
    // activate brings it to the front.
    virtual DeviceWindowController* checkDeviceAlreadyConnected(const QString& /*serial*/, bool /*activate*/,
                                                                bool /*isHistory*/)
    {
        return nullptr;
    }
    virtual bool checkIfIsHistoryConnected(const QString& serial, bool activate)
    {
        return checkDeviceAlreadyConnected(serial, activate, true) != nullptr;
    }
    // A new empty phone document.
    virtual void newDocument() { }
    // A new empty phone document and its window (null when none was made).
    virtual DeviceWindowController* newDocumentWindow()
    {
        newDocument();
        return nullptr;
    }
    // Stops the application's wizard object.
    virtual void stopWizard() { }
    virtual QString dbName(int /*index*/) { return QStringLiteral("ERROR"); }
    virtual bool debugEnabled() { return false; }
    // The document of the window: whether it has a device, and its close.
    virtual bool hasDevice(const DeviceWindowController*) { return false; }
    virtual void cancelClose(DeviceWindowController*) { }
    virtual void setForceQuitAndIgnore(DeviceWindowController*) { }
    // The desktop's Bluetooth setup: whether one is installed, and its start.
    virtual bool hasBluetoothSetup() { return false; }
    virtual bool launchBluetoothSetup() { return false; }
    virtual void cancelDeviceAdding(DeviceWindowController*) { }
    virtual void openDeviceInspector(const QVariantMap& /*entry*/, DeviceWindowController*) { }
    virtual void sendDebuggingReport() { }
    // The phone went away: the main window returns to the phone list.
    virtual void connectionLost(DeviceWindowController*) { }
};
