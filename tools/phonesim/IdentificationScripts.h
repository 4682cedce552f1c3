#pragma once

#include <QString>
#include <QStringList>

namespace phonesim {

class PhoneSimulator;

// Identification answers that phones give besides their profile's own:
//   "motorola-model"  maker "Motorola", model list "+CGMM: "GSM900","MODEL=V3""
//   "gigaset-handset" model "BRUSSELS", answers to AT^HSMM? and AT^WPPN
//   "imei-serial"     serial number "IMEI351234567890123"
//   "error-serial"    AT+CGSN and AT+GSN answer ERROR
// A silent phone and late answers are the simulator's own (setSilent,
// holdAnswersTo).
struct IdentificationScripts {
    static QStringList names();
    // Installs the script's handlers; false for an unknown name.
    static bool apply(PhoneSimulator& simulator, const QString& name);
};

} // namespace phonesim
