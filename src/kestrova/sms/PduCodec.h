#pragma once

#include "kestrova/sms/pduList.h"
#include "kestrova/sms/smsList.h"

#include <memory>

namespace kestrova {

// Encodes a filled message into its SMS-SUBMIT PDUs: one per recipient and
// part, in recipient order. TP-DCS 0 codes the UTF-8 text into GSM septets
// first; TP-DCS 8 sends the UCS2 text (taken from the UTF-8 text when none was
// set). On any failure answers nothing and puts the error number into *error:
// no partial list and never a PDU without text.
std::unique_ptr<pduList> createPduListFromSms(sms& message, int* error = nullptr);

// Decodes listed PDUs and appends the messages to `list`, joining the parts of
// concatenated messages. A PDU that does not decode (a status report, a
// damaged PDU) is dropped and logged, and the rest of the listing is still
// delivered: always answers 0; the number dropped goes to *dropped.
int createSmsListFromPduList(smsList& list, const pduList& pdus, int* dropped = nullptr);

} // namespace kestrova
