#pragma once

#include "lumwick/ModelQuery.h"

#include <QStringList>
#include <QVariantMap>

class CommonAsyncDeviceIdentifier;

// The program's answer to the wizard's model question: the phone is
// identified over AT (RFCOMM or its modem tty) as the phone list identifies
// it, and maker and model are looked up in the device database, so the
// wizard and the program agree on every model.
class ProgramModelQuery : public ModelQuery {
public:
    static QStringList identificationCommands();
    // The id for a finished run's answers: kProbeDevice while the phone
    // answers "BUSY", the device database's id of the identification, else
    // -1.
    static int modelIdForAnswers(const QVariantMap& answers, const QString& identification);

    int qvIDForBTAddress(const QString& address, int retries) override;
    int qvIDForUSBAddress(const QString& path) override;
    QString modelNameForQVID(int id) override;
    QString deviceTypeForQVID(int id) override;

private:
    // One identification run; *failed when it ended with an error.
    static int identify(CommonAsyncDeviceIdentifier* identifier, bool* failed);
};
