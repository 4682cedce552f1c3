#pragma once

#include <QString>

// Names a phone's model: asks the phone itself (through the outside GSM
// device kit) for its id in the device database. The wizard reaches it
// through shared(); without one installed every phone is unidentified.
class ModelQuery {
public:
    virtual ~ModelQuery() = default;

    // The model id of the phone at a Bluetooth address, making at most
    // 1 + retries attempts; -1 when the address gives no device. May run the
    // main loop while it waits.
    virtual int qvIDForBTAddress(const QString& address, int retries) = 0;
    // The model id of the phone on a serial device (a modem tty); -1 when
    // it cannot be asked or names no known model. One attempt.
    virtual int qvIDForUSBAddress(const QString& path) = 0;
    // The model name of an id; empty when none is known.
    virtual QString modelNameForQVID(int id) = 0;
    // The model's device type (its protocol family); empty when none.
    virtual QString deviceTypeForQVID(int id) = 0;

    // The id a query answers while the phone is busy and could not be asked:
    // ask again a little later.
    static constexpr int kProbeDevice = 1102;

    // The query in use; one that identifies nothing when none is installed.
    static ModelQuery& shared();
    // Installs a query (not owned; null returns to the default).
    static void setShared(ModelQuery* query);
};
