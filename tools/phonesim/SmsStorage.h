#pragma once

#include <QByteArray>
#include <QList>

namespace phonesim {

struct AtResult;
struct AtCommand;
struct PhoneSession;
class PhoneProfile;

// The phone's short-message storages as 3GPP TS 27.005 shows them in PDU
// mode: "SM" (the SIM), "ME" (the phone) and "MT" (both, as one more name),
// each with a capacity and stored PDUs with their status (0 received unread,
// 1 received read, 2 stored unsent, 3 stored sent).
struct StoredSms {
    int index = 0;
    int status = 0;
    QByteArray pdu;   // hexadecimal text, service-centre part included
};

struct SmsStore {
    QByteArray name;
    int capacity = 0;
    QList<StoredSms> messages;
};

struct SmsState {
    static constexpr int kMaxPduHexLength = 2 * 200;

    QList<SmsStore> stores{{"SM", 20, {}}, {"ME", 100, {}}, {"MT", 120, {}}};
    // The storages for reading and deleting, writing and sending, receiving.
    int readStore = 0;
    int writeStore = 0;
    int receiveStore = 0;
    int messageFormat = 0;
    QByteArray serviceCentre = "\"+491710760000\",145";
    QByteArray imsi = "262011234567890";
    // The answer to AT+CPMS=? (phones that answer "(),(),()" exist).
    QByteArray storageLists = "+CPMS: (\"SM\",\"ME\",\"MT\"),(\"SM\",\"ME\",\"MT\"),(\"SM\",\"ME\",\"MT\")";
    // Sending fails with "+CMS ERROR: 330" (service centre unknown).
    bool rejectSend = false;
    int nextReference = 0;
    // The PDUs sent (AT+CMGS, or AT+CMSS of a stored one), in order.
    QList<QByteArray> sentPdus;
    // A message sent with AT+CMGS is also kept as stored sent (status 3) in
    // the write storage, as phones keep what they sent (when there is room).
    // On for the profiles with the AT command set.
    bool keepSentCopies = false;

    // A PDU being typed after the "> " prompt: its command and length.
    enum class Input { None, Send, Write };
    Input input = Input::None;
    int inputLength = 0;
    int inputStatus = 2;

    // Stores a PDU at the lowest free index of a storage; -1 when full.
    int store(const QByteArray& storeName, int status, const QByteArray& pdu);
    SmsStore* find(const QByteArray& name);
};

// Installs AT+CMGF, +CPMS, +CMGL, +CMGR, +CMGS, +CMGW, +CMSS, +CMGD, +CSCA and
// +CIMI.
void installSmsHandlers(PhoneProfile& profile);
// The PDU typed after the prompt ended with Ctrl-Z.
AtResult finishSmsInput(PhoneSession& session, const QByteArray& hex);

} // namespace phonesim
