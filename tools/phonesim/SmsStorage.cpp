#include "SmsStorage.h"

#include "AtCommand.h"
#include "PhoneProfile.h"
#include "PhoneSession.h"

#include <algorithm>
#include <utility>

namespace phonesim {
namespace {

constexpr int kCmsInvalidIndex = 321;
constexpr int kCmsMemoryFull = 322;
constexpr int kCmsUnknownCentre = 330;
constexpr int kCmsInvalidPdu = 304;
constexpr int kCmsNotAllowed = 302;

AtResult cmsError(int number)
{
    AtResult result = AtResult::error();
    result.cmsError = number;
    return result;
}

// "=a,b" -> {"a", "b"}, quotes removed.
QList<QByteArray> setArguments(const AtCommand& cmd)
{
    QList<QByteArray> fields;
    if (!cmd.args.startsWith('='))
        return fields;
    for (QByteArray field : cmd.args.mid(1).split(','))
        fields.append(field.replace('"', "").trimmed());
    return fields;
}

int intArgument(const AtCommand& cmd, int position, bool* ok)
{
    const QList<QByteArray> fields = setArguments(cmd);
    if (position >= fields.size()) {
        *ok = false;
        return 0;
    }
    return fields.at(position).toInt(ok);
}

// The TPDU's length in octets: the PDU without its service-centre part.
int tpduLength(const QByteArray& hex)
{
    bool ok = false;
    const int centre = hex.left(2).toInt(&ok, 16);
    return ok ? qMax(0, int(hex.size() / 2) - centre - 1) : 0;
}

QByteArray usage(const SmsStore& store)
{
    return QByteArray::number(store.messages.size()) + ',' + QByteArray::number(store.capacity);
}

AtResult messageFormat(PhoneSession& session, const AtCommand& cmd)
{
    if (cmd.isTest())
        return AtResult::okay({"+CMGF: (0,1)"});
    if (cmd.isQuery())
        return AtResult::okay({"+CMGF: " + QByteArray::number(session.sms.messageFormat)});
    bool ok = false;
    const int mode = intArgument(cmd, 0, &ok);
    if (!ok || (mode != 0 && mode != 1))
        return AtResult::error();
    session.sms.messageFormat = mode;
    return AtResult::okay();
}

AtResult preferredStorage(PhoneSession& session, const AtCommand& cmd)
{
    SmsState& sms = session.sms;
    if (cmd.isTest())
        return AtResult::okay({sms.storageLists});
    if (cmd.isQuery()) {
        const SmsStore& r = sms.stores.at(sms.readStore);
        const SmsStore& w = sms.stores.at(sms.writeStore);
        const SmsStore& m = sms.stores.at(sms.receiveStore);
        return AtResult::okay({"+CPMS: \"" + r.name + "\"," + usage(r) + ",\"" + w.name + "\"," + usage(w) + ",\""
                               + m.name + "\"," + usage(m)});
    }
    const QList<QByteArray> names = setArguments(cmd);
    if (names.isEmpty() || names.size() > 3)
        return AtResult::error();
    int* slots[] = {&sms.readStore, &sms.writeStore, &sms.receiveStore};
    QList<int> chosen;
    for (const QByteArray& name : names) {
        const qsizetype found = std::find_if(sms.stores.cbegin(), sms.stores.cend(),
                                             [&](const SmsStore& s) { return s.name == name; })
                                - sms.stores.cbegin();
        if (found >= sms.stores.size())
            return cmsError(kCmsNotAllowed);
        chosen.append(int(found));
    }
    QByteArray answer = "+CPMS: ";
    for (qsizetype i = 0; i < chosen.size(); ++i)
        *slots[i] = chosen.at(i);
    for (int* slot : slots)
        answer += usage(sms.stores.at(*slot)) + ',';
    answer.chop(1);
    return AtResult::okay({answer});
}

AtResult listMessages(PhoneSession& session, const AtCommand& cmd)
{
    if (cmd.isTest())
        return AtResult::okay({"+CMGL: (0-4)"});
    bool ok = false;
    const int status = cmd.args.isEmpty() ? 0 : intArgument(cmd, 0, &ok);
    if ((!cmd.args.isEmpty() && !ok) || status < 0 || status > 4 || session.sms.messageFormat != 0)
        return AtResult::error();
    QList<QByteArray> lines;
    for (StoredSms& message : session.sms.stores[session.sms.readStore].messages) {
        if (status != 4 && message.status != status)
            continue;
        lines.append("+CMGL: " + QByteArray::number(message.index) + ',' + QByteArray::number(message.status) + ",,"
                     + QByteArray::number(tpduLength(message.pdu)));
        lines.append(message.pdu);
        if (message.status == 0)
            message.status = 1;
    }
    return AtResult::okay(lines);
}

StoredSms* findMessage(SmsStore& store, int index)
{
    for (StoredSms& message : store.messages)
        if (message.index == index)
            return &message;
    return nullptr;
}

AtResult readMessage(PhoneSession& session, const AtCommand& cmd)
{
    if (cmd.isTest())
        return AtResult::okay();
    bool ok = false;
    const int index = intArgument(cmd, 0, &ok);
    StoredSms* message = ok ? findMessage(session.sms.stores[session.sms.readStore], index) : nullptr;
    if (!message)
        return cmsError(kCmsInvalidIndex);
    const QByteArray header =
        "+CMGR: " + QByteArray::number(message->status) + ",," + QByteArray::number(tpduLength(message->pdu));
    if (message->status == 0)
        message->status = 1;
    return AtResult::okay({header, message->pdu});
}

AtResult promptFor(PhoneSession& session, const AtCommand& cmd, SmsState::Input input)
{
    if (cmd.isTest())
        return AtResult::okay();
    bool ok = false;
    const int length = intArgument(cmd, 0, &ok);
    if (!ok || length <= 0 || length > SmsState::kMaxPduHexLength / 2 || session.sms.messageFormat != 0)
        return AtResult::error();
    bool statusGiven = false;
    const int status = intArgument(cmd, 1, &statusGiven);
    session.sms.input = input;
    session.sms.inputLength = length;
    session.sms.inputStatus = statusGiven ? status : 2;
    AtResult result = AtResult::okay();
    result.prompt = true;
    return result;
}

AtResult sendFromStorage(PhoneSession& session, const AtCommand& cmd)
{
    bool ok = false;
    const int index = intArgument(cmd, 0, &ok);
    StoredSms* message = ok ? findMessage(session.sms.stores[session.sms.writeStore], index) : nullptr;
    if (!message)
        return cmsError(kCmsInvalidIndex);
    if (session.sms.rejectSend)
        return cmsError(kCmsUnknownCentre);
    session.sms.sentPdus.append(message->pdu);
    message->status = 3;
    const int reference = session.sms.nextReference;
    session.sms.nextReference = (reference + 1) % 256;
    return AtResult::okay({"+CMSS: " + QByteArray::number(reference)});
}

AtResult deleteMessage(PhoneSession& session, const AtCommand& cmd)
{
    if (cmd.isTest())
        return AtResult::okay({"+CMGD: (1-255),(0-4)"});
    bool ok = false;
    const int index = intArgument(cmd, 0, &ok);
    QList<StoredSms>& messages = session.sms.stores[session.sms.readStore].messages;
    const qsizetype removed =
        ok ? messages.removeIf([index](const StoredSms& message) { return message.index == index; }) : 0;
    return removed ? AtResult::okay() : cmsError(kCmsInvalidIndex);
}

AtResult serviceCentre(PhoneSession& session, const AtCommand& cmd)
{
    if (cmd.isQuery())
        return AtResult::okay({"+CSCA: " + session.sms.serviceCentre});
    if (cmd.isTest())
        return AtResult::okay();
    if (!cmd.args.startsWith('=') || cmd.args.size() < 2)
        return AtResult::error();
    session.sms.serviceCentre = cmd.args.mid(1);
    return AtResult::okay();
}

AtResult subscriberIdentity(PhoneSession& session, const AtCommand& cmd)
{
    if (!cmd.args.isEmpty())
        return cmd.isTest() ? AtResult::okay() : AtResult::error();
    return AtResult::okay({session.sms.imsi});
}

} // namespace

SmsStore* SmsState::find(const QByteArray& name)
{
    for (SmsStore& s : stores)
        if (s.name == name)
            return &s;
    return nullptr;
}

int SmsState::store(const QByteArray& storeName, int status, const QByteArray& pdu)
{
    SmsStore* target = find(storeName);
    if (!target || target->messages.size() >= target->capacity)
        return -1;
    int index = 1;
    while (findMessage(*target, index))
        ++index;
    target->messages.append({index, status, pdu});
    std::sort(target->messages.begin(), target->messages.end(),
              [](const StoredSms& a, const StoredSms& b) { return a.index < b.index; });
    return index;
}

AtResult finishSmsInput(PhoneSession& session, const QByteArray& hex)
{
    SmsState& sms = session.sms;
    const SmsState::Input input = std::exchange(sms.input, SmsState::Input::None);
    const QByteArray pdu = hex.trimmed().toUpper();
    bool hexOk = !pdu.isEmpty() && pdu.size() % 2 == 0;
    for (const char c : pdu)
        hexOk = hexOk && ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'));
    if (!hexOk || tpduLength(pdu) != sms.inputLength)
        return cmsError(kCmsInvalidPdu);
    if (input == SmsState::Input::Write) {
        const int index = sms.store(sms.stores.at(sms.writeStore).name, sms.inputStatus, pdu);
        return index < 0 ? cmsError(kCmsMemoryFull) : AtResult::okay({"+CMGW: " + QByteArray::number(index)});
    }
    if (sms.rejectSend)
        return cmsError(kCmsUnknownCentre);
    sms.sentPdus.append(pdu);
    if (sms.keepSentCopies)
        sms.store(sms.stores.at(sms.writeStore).name, 3, pdu);
    const int reference = sms.nextReference;
    sms.nextReference = (reference + 1) % 256;
    return AtResult::okay({"+CMGS: " + QByteArray::number(reference)});
}

void installSmsHandlers(PhoneProfile& profile)
{
    profile.addSessionSetup([](PhoneSession& s) { s.sms.keepSentCopies = true; });
    profile.setHandler("+CMGF", messageFormat);
    profile.setHandler("+CPMS", preferredStorage);
    profile.setHandler("+CMGL", listMessages);
    profile.setHandler("+CMGR", readMessage);
    profile.setHandler("+CMGS", [](PhoneSession& s, const AtCommand& c) { return promptFor(s, c, SmsState::Input::Send); });
    profile.setHandler("+CMGW", [](PhoneSession& s, const AtCommand& c) { return promptFor(s, c, SmsState::Input::Write); });
    profile.setHandler("+CMSS", sendFromStorage);
    profile.setHandler("+CMGD", deleteMessage);
    profile.setHandler("+CSCA", serviceCentre);
    profile.setHandler("+CIMI", subscriberIdentity);
}

} // namespace phonesim
