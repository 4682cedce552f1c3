// Feeds arbitrary bytes to the AT engine's SMS and SIM reply parsers as a
// phone's answer: subscriber identity, service centre, storage lists, storage
// usage and message listings (the listed PDUs decoded on to messages).
#include "kestrova/core/SLTCommDevice.h"
#include "kestrova/sms/PduCodec.h"
#include "kestrova/sms/smsList.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString reply = QString::fromLatin1(reinterpret_cast<const char*>(data), qsizetype(size));
    SLTCommDevice::parseImsi(reply);
    SLTCommDevice::parseMR(reply);
    if (const auto number = SLTCommDevice::parseSmscAddress(reply))
        check(number->size() <= reply.size() + 1);
    for (const char* family : {"se", "samsung", "motorola"}) {
        if (const auto command = SLTCommDevice::parsePduMemoriesFrom(reply, QLatin1String(family)))
            check(command->startsWith(QLatin1String("AT+CPMS=\"")) && command->endsWith(QLatin1Char('\r')));
        if (const auto usage = SLTCommDevice::parseFreeMemory(reply, QLatin1String(family)))
            check(!usage->isEmpty() && usage->size() <= 2);
    }
    if (const auto storages = SLTCommDevice::parseReadingPduMemoriesFrom(reply))
        check(!storages->isEmpty() && storages->size() <= 2);

    SLTCommDevice engine;
    for (int state = 0; state <= 3; ++state)
        engine.getMessagesParseBuffer(reply, state, QStringLiteral("SM"));
    for (int box : {0, 2, 3}) {
        const SLTPduListPtr list = engine.messageList(box);
        check(list != nullptr);
        for (const auto& item : list->liste())
            check(item->getPduText().size() > 9 && item->getMemory() == QLatin1String("SM"));
        kestrova::smsList messages;
        check(kestrova::createSmsListFromPduList(messages, list->liste()) == 0);
    }
    return 0;
}
