#pragma once

#include "AtCommand.h"
#include "PhoneSession.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace phonesim {

// What a handler answers: the information lines (without line ends) and
// whether the command succeeded. A failure ends the command line with ERROR,
// or, when the failure has a 27.007 error number and AT+CMEE turned error
// reports on, with "+CME ERROR: <number>" (a number in both modes).
struct AtResult {
    QList<QByteArray> lines;
    bool ok = true;
    int cmeError = -1;
    // A 27.005 failure: "+CMS ERROR: <number>" in every mode.
    int cmsError = -1;
    // Success that asks for more input: the answer is the "> " prompt.
    bool prompt = false;
    // A final result other than OK that ends the line ("BUSY", "NO CARRIER").
    QByteArray finalResult{};

    static AtResult okay(QList<QByteArray> lines = {}) { return {std::move(lines), true}; }
    static AtResult error() { return {{}, false}; }
    static AtResult equipmentError(int number) { return {{}, false, number}; }
};

using AtHandler = std::function<AtResult(PhoneSession&, const AtCommand&)>;

// One phone model: its identification texts and its table of AT command
// handlers, keyed by command name ("+CGMI", "E", "D"). A name without handler
// answers ERROR. Later protocols add their own handlers to the table.
class PhoneProfile {
public:
    static constexpr const char* kDefaultProfile = "lg";

    // Known profiles by lower-case name: "motorola", "motorola2", "nokia", "sonyericsson",
    // "siemens", "gigaset", "gigaset-sl400", "lg", "samsung".
    static QStringList names();
    static std::optional<PhoneProfile> named(const QString& name);

    QString name() const { return _name; }
    // The identification answer lines (AT+CGMI, AT+CGMM, AT+CGMR, AT+CGSN).
    const QByteArray& manufacturer() const { return _identity.cgmi; }
    const QByteArray& model() const { return _identity.cgmm; }
    const QByteArray& revision() const { return _identity.cgmr; }
    const QByteArray& imei() const { return _identity.cgsn; }
    const QList<QByteArray>& information() const { return _identity.ati; }

    void setHandler(const QByteArray& command, AtHandler handler) { _handlers.insert(command, std::move(handler)); }
    void removeHandler(const QByteArray& command) { _handlers.remove(command); }
    const AtHandler* handler(const QByteArray& command) const;
    // A profile's own starting state of the phone (character-set habits, a
    // phonebook layout), applied to a new session.
    void addSessionSetup(std::function<void(PhoneSession&)> setup) { _sessionSetups.append(std::move(setup)); }
    void prepareSession(PhoneSession& session) const;

private:
    // The answer lines as the maker formats them (some prefix and quote).
    struct Identity {
        const char* name;
        QByteArray cgmi;
        QByteArray cgmm;
        QByteArray cgmr;
        QByteArray cgsn;
        QList<QByteArray> ati;
    };
    static const QList<Identity>& identities();
    explicit PhoneProfile(const Identity& identity);
    void installCommonHandlers();

    QString _name;
    Identity _identity;
    QHash<QByteArray, AtHandler> _handlers;
    QList<std::function<void(PhoneSession&)>> _sessionSetups;
};

} // namespace phonesim
