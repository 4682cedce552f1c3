#pragma once

#include "CallProgress.h"
#include "CharacterSet.h"
#include "MotorolaCalendar.h"
#include "MotorolaPhonebook.h"
#include "SimPhonebook.h"
#include "SmsStorage.h"

#include <QByteArray>
#include <QList>

namespace phonesim {

// The state of the simulated phone that AT commands read and change. Owned by
// the simulator; handlers get it while the simulator's lock is held.
struct PhoneSession {
    // 27.007 phone activity status as AT+CPAS answers it.
    enum Activity { Ready = 0, Unavailable = 1, Unknown = 2, Ringing = 3, CallInProgress = 4, Asleep = 5 };

    bool echo = true;
    bool verbose = true;
    int cmeeMode = 0;
    int functionality = 1;
    Activity activity = Ready;
    QList<QByteArray> dialledNumbers;
    // The voice call placed by ATD and how its far end behaves.
    CallState call;
    // AT+CBC: connection status (0 on battery, 1 charging...) and charge in percent.
    int batteryConnection = 0;
    int batteryCharge = 80;
    SmsState sms;
    CharacterSetState characterSet;
    PhonebookState phonebook;
    MotorolaPhonebookState motorola;
    MotorolaCalendarState motorolaCalendar;
};

} // namespace phonesim
