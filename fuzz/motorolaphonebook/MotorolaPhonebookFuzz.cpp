// Feeds arbitrary bytes to the Motorola phonebook reply parsers as a phone's
// answer: the AT+MPBRE listing (extended and older layout), the AT+MPBF
// listing, the limits and a created contact's slot; every contact made is
// taken apart field by field as the writers do, and compared with itself.
#include "kestrova/core/SLTCommDevice.h"
#include "kestrova/vendors/KestrovaMotorolaPhonebookExt.h"
#include "kestrova/vendors/SLTCommDeviceMotorolaPhonebookExt.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

void takeApart(QVariantMap contact)
{
    QVariantMap copy = contact;
    const auto difference = KestrovaMotorolaPhonebookExt::getMotorolaPhonebookEntryDiffFrom(contact, &copy);
    if (difference)
        check(difference->contains(QStringLiteral("delete")));
    // Each round takes one field away: it ends.
    for (int round = 0; round < 10000; ++round) {
        if (!SLTCommDeviceMotorolaPhonebookExt::motorolaGetFirstAvailableAddressFrom(contact, true))
            return;
    }
    check(false);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString reply = QString::fromLatin1(reinterpret_cast<const char*>(data), qsizetype(size));
    SLTCommDeviceMotorolaPhonebookExt::parseMotorolaPhonebookParameters(reply);
    if (const auto slot = SLTCommDeviceMotorolaPhonebookExt::parseNewSlot(reply))
        check(slot->toInt() > 0);
    SLTCommDevice engine;
    auto& commands = engine.extension<SLTCommDeviceMotorolaPhonebookExt>();
    for (const char* set : {"UCS2", "GSM", "8859-1"}) {
        engine.setCurrentEncoding(QLatin1String(set));
        const QVariantMap contacts = commands.parseMotorolaPhonebookEntries(reply);
        for (auto it = contacts.cbegin(); it != contacts.cend(); ++it) {
            check(it.key().toInt() != 0 || it.key() == QLatin1String("0"));
            takeApart(it.value().toMap());
        }
        for (const char* prefix : {"+MPBRE", "+MPBF"}) {
            QVariantMap byName;
            commands.parseOldMotorolaPhonebookEntries(reply, QLatin1String(prefix), byName);
            for (auto it = byName.cbegin(); it != byName.cend(); ++it) {
                check(!it.key().isEmpty() && !it.key().startsWith(QLatin1String("T-")));
                takeApart(it.value().toMap());
            }
        }
    }
    return 0;
}
