#include "PhoneProfile.h"
#include "CallProgress.h"
#include "MotorolaCalendar.h"
#include "MotorolaPhonebook.h"
#include "SimPhonebook.h"
#include "SmsStorage.h"

namespace phonesim {

namespace {

AtResult accept(PhoneSession&, const AtCommand&)
{
    return AtResult::okay();
}

// A handler that answers fixed lines to the action form, OK to the test form.
AtHandler fixedAnswer(QList<QByteArray> lines)
{
    return [lines](PhoneSession&, const AtCommand& cmd) {
        if (cmd.isTest())
            return AtResult::okay();
        if (!cmd.args.isEmpty())
            return AtResult::error();
        return AtResult::okay(lines);
    };
}

// ATE0 / ATE1 and the like: a 0 or 1 flag, "" counts as 0.
AtHandler flag(bool PhoneSession::*member)
{
    return [member](PhoneSession& session, const AtCommand& cmd) {
        if (cmd.args.isEmpty() || cmd.args == "0")
            session.*member = false;
        else if (cmd.args == "1")
            session.*member = true;
        else
            return AtResult::error();
        return AtResult::okay();
    };
}

AtResult batteryCharge(PhoneSession& session, const AtCommand& cmd)
{
    if (cmd.isTest())
        return AtResult::okay({"+CBC: (0-3),(0-100)"});
    if (!cmd.args.isEmpty())
        return AtResult::error();
    return AtResult::okay({"+CBC: " + QByteArray::number(session.batteryConnection) + ","
                           + QByteArray::number(session.batteryCharge)});
}

AtResult errorReporting(PhoneSession& session, const AtCommand& cmd)
{
    if (cmd.isTest())
        return AtResult::okay({"+CMEE: (0-2)"});
    if (cmd.isQuery())
        return AtResult::okay({"+CMEE: " + QByteArray::number(session.cmeeMode)});
    if (cmd.args.startsWith('=')) {
        bool ok = false;
        const int mode = cmd.args.mid(1).toInt(&ok);
        if (ok && mode >= 0 && mode <= 2) {
            session.cmeeMode = mode;
            return AtResult::okay();
        }
    }
    return AtResult::error();
}

// AT+CFUN: the phone's functionality level (1 full, 0 minimum, 4 flight mode).
AtResult functionality(PhoneSession& session, const AtCommand& cmd)
{
    if (cmd.isTest())
        return AtResult::okay({"+CFUN: (0,1,4),(0-1)"});
    if (cmd.isQuery())
        return AtResult::okay({"+CFUN: " + QByteArray::number(session.functionality)});
    if (cmd.args.startsWith('=')) {
        bool ok = false;
        const int level = cmd.args.mid(1).split(',').first().toInt(&ok);
        if (ok && (level == 0 || level == 1 || level == 4)) {
            session.functionality = level;
            return AtResult::okay();
        }
    }
    return AtResult::error();
}

} // namespace

const QList<PhoneProfile::Identity>& PhoneProfile::identities()
{
    static const QList<Identity> all = {
        {"motorola",
         "+CGMI: \"Motorola CE, Copyright 2000\"",
         "+CGMM: \"GSM900\",\"GSM1800\",\"GSM1900\",\"GSM850\",\"MODEL=V3\"",
         "+CGMR: \"R374_G_0E.41.C3R_A\"",
         "+CGSN: IMEI354861006318471",
         {"Motorola Mobile Phone"}},
        {"motorola2",
         "+CGMI: \"Motorola CE, Copyright 2000\"",
         "+CGMM: \"GSM900\",\"GSM1800\",\"MODEL=E398\"",
         "+CGMR: \"R26LD_U_83.2A.0FR\"",
         "+CGSN: IMEI354860003213452",
         {"Motorola Mobile Phone"}},
        {"nokia", "Nokia", "Nokia 6230i", "V 03.80 13-01-06 RM-72 (c) Nokia.", "356789011234563", {"Nokia"}},
        {"sonyericsson", "Sony Ericsson", "K750i", "R1CA021", "359876001234568", {"Sony Ericsson K750i"}},
        {"siemens", "SIEMENS", "S65", "25", "351234001234565", {"SIEMENS", "S65", "REVISION 25"}},
        {"gigaset", "Gigaset", "SL560", "41", "351234005678902", {"Gigaset", "SL560", "REVISION 41"}},
        // Model 15373 of the device database; from this revision it wants AT^HSMM? before OBEX.
        {"gigaset-sl400",
         "Gigaset",
         "SL400",
         "75.114.000",
         "351234005678910",
         {"Gigaset", "SL400", "REVISION 75.114.000"}},
        // The KU990 names the maker of its chip set, as the device database has it.
        {"lg", "QUALCOMM INCORPORATED", "KU990", "V10c_00", "354123012345672", {"LG KU990"}},
        // The LG families: "lg2" opens its port with an OBEX connect, "lg3"
        // answers in packets, "lggd900" has a model byte of its own.
        {"lg2", "LG Elec. Inc", "KS360", "V10a_00", "354123012345680", {"LG KS360"}},
        {"lg3", "LG Electronics", "KM900", "V10b_00", "354123012345698", {"LG KM900"}},
        {"lggd900", "LG Electronics Inc", "GD900", "V10d_00", "354123012345706", {"LG GD900"}},
        {"samsung", "SAMSUNG ELECTRONICS", "SGH-E250", "E250XXHB1", "353456012345679", {"SAMSUNG SGH-E250"}},
    };
    return all;
}

QStringList PhoneProfile::names()
{
    QStringList result;
    for (const Identity& identity : identities())
        result.append(QString::fromLatin1(identity.name));
    return result;
}

std::optional<PhoneProfile> PhoneProfile::named(const QString& name)
{
    for (const Identity& identity : identities()) {
        if (name.compare(QLatin1String(identity.name), Qt::CaseInsensitive) == 0)
            return PhoneProfile(identity);
    }
    return std::nullopt;
}

PhoneProfile::PhoneProfile(const Identity& identity) : _name(QString::fromLatin1(identity.name)), _identity(identity)
{
    installCommonHandlers();
}

const AtHandler* PhoneProfile::handler(const QByteArray& command) const
{
    const auto it = _handlers.constFind(command);
    return it == _handlers.constEnd() ? nullptr : &it.value();
}

void PhoneProfile::installCommonHandlers()
{
    setHandler("E", flag(&PhoneSession::echo));
    setHandler("V", flag(&PhoneSession::verbose));
    for (const char* setting : {"Q", "X", "Z", "&F", "&C", "&D", "S"})
        setHandler(setting, accept);
    setHandler("+CGMI", fixedAnswer({_identity.cgmi}));
    setHandler("+CGMM", fixedAnswer({_identity.cgmm}));
    setHandler("+CGMR", fixedAnswer({_identity.cgmr}));
    setHandler("+CGSN", fixedAnswer({_identity.cgsn}));
    setHandler("+GMI", fixedAnswer({_identity.cgmi}));
    setHandler("+GMM", fixedAnswer({_identity.cgmm}));
    setHandler("+GMR", fixedAnswer({_identity.cgmr}));
    setHandler("+GSN", fixedAnswer({_identity.cgsn}));
    const QList<QByteArray> ati = _identity.ati;
    setHandler("I", [ati](PhoneSession&, const AtCommand& cmd) {
        return cmd.args.isEmpty() || cmd.args == "0" ? AtResult::okay(ati) : AtResult::error();
    });
    installCallHandlers(*this);
    setHandler("+CBC", batteryCharge);
    setHandler("+CMEE", errorReporting);
    setHandler("+CFUN", functionality);
    installSmsHandlers(*this);
    installSimPhonebookHandlers(*this);
    installMotorolaPhonebookHandlers(*this);
    installMotorolaCalendarHandlers(*this);
}

void PhoneProfile::prepareSession(PhoneSession& session) const
{
    for (const auto& setup : _sessionSetups)
        setup(session);
}

} // namespace phonesim
