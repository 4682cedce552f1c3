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
    // The model name of an id; empty when none is known.
    virtual QString modelNameForQVID(int id) = 0;

    // The query in use; one that identifies nothing when none is installed.
    static ModelQuery& shared();
    // Installs a query (not owned; null returns to the default).
    static void setShared(ModelQuery* query);
};
