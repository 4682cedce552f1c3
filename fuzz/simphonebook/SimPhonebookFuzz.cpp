// Feeds arbitrary bytes to the AT engine's SIM phonebook reply parsers as a
// phone's answer: the AT+CPBR listing in each character set and family
// coding, the AT+CPBR=? limits and the AT+CSCS? answer; every entry made is
// written back as an AT+CPBW line, which must stay one command line.
#include "kestrova/core/AtTextFields.h"
#include "kestrova/core/SLTCommDevice.h"

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
    SLTCommDevice::parsePhoneBookParameters(reply);
    SLTCommDevice::parseCurrentEncodingAnswer(reply);
    const QStringList fields = kestrova::core::atfields::splitOutsideQuotes(reply);
    check(fields.join(QLatin1Char(',')) == reply);

    SLTCommDevice engine;
    for (const char* family : {"se", "siemens", "motorola"}) {
        engine.setFamily(QLatin1String(family));
        for (const char* set : {"UCS2", "GSM", "UTF-8", "IRA"}) {
            engine.setCurrentEncoding(QLatin1String(set));
            for (const QVariant& value : engine.parsePhoneBookEntries(reply)) {
                const QVariantMap entry = value.toMap();
                check(entry.value(QStringLiteral("simPlace")).isValid());
                const std::optional<QString> line = engine.composePhoneBookWrite(entry);
                if (!line)
                    continue;
                check(line->startsWith(QLatin1String("AT+CPBW=,\"")) && line->endsWith(QLatin1Char('\r')));
                // One command line: no other CR, LF or Ctrl-Z, quotes in pairs.
                const QString body = line->left(line->size() - 1);
                check(!body.contains(QLatin1Char('\r')) && !body.contains(QLatin1Char('\n'))
                      && !body.contains(QChar(0x1A)));
                check(body.count(QLatin1Char('"')) == 4);
            }
        }
    }
    return 0;
}
