#include "IdentificationScripts.h"

#include "PhoneSimulator.h"

namespace phonesim {

namespace {
AtHandler answer(QList<QByteArray> lines)
{
    return [lines](PhoneSession&, const AtCommand& cmd) {
        return cmd.isTest() ? AtResult::okay() : AtResult::okay(lines);
    };
}

AtResult error(PhoneSession&, const AtCommand&)
{
    return AtResult::error();
}
} // namespace

QStringList IdentificationScripts::names()
{
    return {QStringLiteral("motorola-model"), QStringLiteral("gigaset-handset"), QStringLiteral("imei-serial"),
            QStringLiteral("error-serial")};
}

bool IdentificationScripts::apply(PhoneSimulator& simulator, const QString& name)
{
    if (name == QLatin1String("motorola-model")) {
        simulator.setHandler("+CGMI", answer({"Motorola"}));
        simulator.setHandler("+CGMM", answer({"+CGMM: \"GSM900\",\"MODEL=V3\""}));
    } else if (name == QLatin1String("gigaset-handset")) {
        simulator.setHandler("+CGMI", answer({"Gigaset"}));
        simulator.setHandler("+CGMM", answer({"BRUSSELS"}));
        simulator.setHandler("^HSMM", answer({"^HSMM: 2"}));
        simulator.setHandler("^WPPN", answer({"^WPPN: 1,SL785"}));
    } else if (name == QLatin1String("imei-serial")) {
        simulator.setHandler("+CGSN", answer({"IMEI351234567890123"}));
    } else if (name == QLatin1String("error-serial")) {
        simulator.setHandler("+CGSN", error);
        simulator.setHandler("+GSN", error);
    } else {
        return false;
    }
    return true;
}

} // namespace phonesim
