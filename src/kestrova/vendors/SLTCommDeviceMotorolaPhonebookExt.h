#pragma once

#include "kestrova/core/SLTInvocation.h"

#include <QString>
#include <QVariantMap>
#include <optional>

class SLTCommDevice;
class SLTCommDeviceMotorolaSession;

// The Motorola phonebook commands on the AT engine: the session opening and
// closing, the slot range and limits, range and one-slot reads, the find by
// name, main-record and field writes, the older one-line-per-number write,
// deletes, and the reply lines as contact dictionaries. Two layouts: the
// extended one (27 fields a line, one line per field of a contact, keyed by
// slot) and the older one (24 or 25 fields, one line per number, keyed by
// name). Each request answers the kit's stage once: with the result, or
// without one when the step failed (a command that failed carries
// SLTCommDeviceCommandQueueCommandError). Texts outside "UCS2" are made safe
// for their quotes; a number that cannot stand in a command is refused as a
// failed command, nothing sent.
class SLTCommDeviceMotorolaPhonebookExt {
public:
    static constexpr int kBatchSize = 200;
    static constexpr int kOldBatchSize = 50;

    // An extension of the engine (SLTCommDevice::extension).
    explicit SLTCommDeviceMotorolaPhonebookExt(SLTCommDevice& engine);
    ~SLTCommDeviceMotorolaPhonebookExt();
    SLTCommDeviceMotorolaPhonebookExt(const SLTCommDeviceMotorolaPhonebookExt&) = delete;
    SLTCommDeviceMotorolaPhonebookExt& operator=(const SLTCommDeviceMotorolaPhonebookExt&) = delete;

    void motorolaPhonebookPrepare(const SLTInvocationPtr& stage);
    void motorolaPhonebookCleanup(const SLTInvocationPtr& stage);
    void getMotorolaPhonebookParameters(const SLTInvocationPtr& stage);
    void getMotorolaPhonebookEntriesFrom(int first, int last, const SLTInvocationPtr& stage);
    void getOldMotorolaPhonebookEntriesFrom(int first, int last, const SLTInvocationPtr& stage);
    void getMotorolaPhonebookEntry(const QString& slot, const SLTInvocationPtr& stage);
    void findMotorolaPhonebookEntry(const QString& name, const SLTInvocationPtr& stage);
    // subSlot null: the whole slot (or, older layout, the line).
    void deleteMotorolaPhonebookEntry(const QString& slot, const QString& subSlot, const SLTInvocationPtr& stage);
    // The writers take what they send out of the contact.
    void writeMotorolaPhonebookMainEntryFrom(QVariantMap& contact, const SLTInvocationPtr& stage);
    void writeMotorolaPhonebookSubEntryFrom(QVariantMap& contact, const SLTInvocationPtr& stage);
    void writeOldMotorolaPhonebookEntryFrom(QVariantMap& contact, const SLTInvocationPtr& stage);

    // Reply parsers; the line parsers decode texts in the set in force. A
    // line that gives no contact is skipped with a log line.
    static std::optional<QVariantMap> parseMotorolaPhonebookParameters(const QString& reply);
    std::optional<QVariantMap> parseMotorolaPhonebookLine(const QString& line) const;
    std::optional<QVariantMap> parseOldMotorolaPhonebookLine(const QString& line) const;
    // The "+MPBRE" lines of a reply, one contact per slot.
    QVariantMap parseMotorolaPhonebookEntries(const QString& reply) const;
    // The lines of the older layout with the prefix, one contact per name,
    // merged into into.
    void parseOldMotorolaPhonebookEntries(const QString& reply, const QString& prefix, QVariantMap& into) const;
    // The slot of a created contact from the write's reply.
    static std::optional<QString> parseNewSlot(const QString& reply);

    static void merge(const QVariantMap& source, QVariantMap& target);
    // The field item a writer sends next, with "numberTypeInt" and "subSlot"
    // (-1 when it has none); with deleteEntry it leaves the contact.
    static std::optional<QVariantMap> motorolaGetFirstAvailableAddressFrom(QVariantMap& contact, bool deleteEntry);
    static QString getMotorolaPhonebookAddressStringFrom(const QVariantMap& item);

private:
    SLTCommDevice& engine() const { return _engine; }
    // The replies of this set's commands, by the method they name.
    void replyStage(const QString& selector, const QVariantMap& result);
    SLTCommDeviceMotorolaSession& session() const;
    QVariantMap command(const SLTInvocationPtr& stage, const char* selector, const char* signal, int requestedState,
                        const QString& text) const;
    // A request refused before anything is sent: the stage hears a failed
    // command on a later pass.
    void refuse(const SLTInvocationPtr& stage, const char* signal, const QString& why);
    QString decoded(const QString& field) const;

    SLTCommDevice& _engine;

};
