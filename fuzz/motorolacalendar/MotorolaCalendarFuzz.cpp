// Feeds arbitrary bytes to the Motorola calendar reply parsers as a phone's
// answer: the slot count and the AT+MDBR listing in both record layouts and
// the sets of the kit. Every event made is written again as a record of its
// layout, which must be one command line with the layout's field count, and
// read back to an event.
#include "kestrova/core/AtTextFields.h"
#include "kestrova/core/SLTCommDevice.h"
#include "kestrova/vendors/SLTCommDeviceMotorolaCalendarExt.h"

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
    if (const auto limits = SLTCommDeviceMotorolaCalendarExt::parseMotorolaCalendarParameters(reply))
        check(limits->value(QStringLiteral("start")).toInt() == 0);
    SLTCommDevice engine;
    auto& commands = engine.extension<SLTCommDeviceMotorolaCalendarExt>();
    for (const char* family : {"motorola", "motorola2"}) {
        engine.setFamily(QLatin1String(family));
        const bool older = engine.family() == QLatin1String("motorola2");
        for (const char* set : {"UCS2", "GSM", "ASCII"}) {
            engine.setCurrentEncoding(QLatin1String(set));
            const QVariantMap events = commands.parseMotorolaCalendarEntries(reply);
            for (auto it = events.cbegin(); it != events.cend(); ++it) {
                check(QString::number(it.key().toInt()) == it.key());
                const QVariantMap event = it.value().toMap();
                const QString record = older ? commands.createOldMotorolaWriteStringForEntry(event)
                                             : commands.createWriteStringForEntry(event);
                check(!record.contains(QLatin1Char('\r')) && !record.contains(QLatin1Char('\n')));
                check(kestrova::core::atfields::splitOutsideQuotes(record).size() == (older ? 10 : 21));
                const QString line = QStringLiteral("+MDBR: ") + record;
                check((older ? commands.parseOldMotorolaCalendarLine(line) : commands.parseMotorolaCalendarLine(line))
                          .has_value());
            }
        }
    }
    return 0;
}
