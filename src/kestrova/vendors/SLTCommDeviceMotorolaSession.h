#pragma once

#include "kestrova/core/SLTInvocation.h"

#include <QList>
#include <QString>
#include <QVariantMap>

class SLTCommDevice;

// A Motorola phone's synchronisation session on the AT engine, shared by its
// phonebook and calendar command sets: the opening (a 3 s wait at a 60 s
// time-out, the set's own commands, then the phone's character set asked and
// switched to the richest one offered) and the closing (the set's own
// commands, then the phone's set restored, handing over the entries gathered
// in between). Replies of the set's own commands are ignored unless the link
// failed or timed out; any other failure reaches the kit's stage once.
class SLTCommDeviceMotorolaSession {
public:
    // The signals of one command set's opening and closing.
    struct Signals {
        const char* prepare;
        const char* getCurrentEncoding;
        const char* getEncodings;
        const char* prepareFinished;
        const char* cleanup;
        const char* cleanupFinished;
        // A further opening step whose answer is ignored (none: null).
        const char* getTime = nullptr;
    };
    static const Signals kPhonebookSignals;
    static const Signals kCalendarSignals;

    // An extension of the engine (SLTCommDevice::extension).
    explicit SLTCommDeviceMotorolaSession(SLTCommDevice& engine);
    SLTCommDeviceMotorolaSession(const SLTCommDeviceMotorolaSession&) = delete;
    SLTCommDeviceMotorolaSession& operator=(const SLTCommDeviceMotorolaSession&) = delete;

    // A command with this session's stage: signal, requested state and text.
    QVariantMap command(const SLTInvocationPtr& stage, const char* signal, int requestedState,
                        const QString& text = QString()) const;
    // The same for a command set whose own selector hears the answer.
    QVariantMap commandFor(const SLTInvocationPtr& stage, const char* selector, const char* signal, int requestedState,
                           const QString& text = QString()) const;
    // Ends a command of a set (named in the log line, e.g. "Motorola
    // calendar") with a command error on a later pass, nothing sent; owner
    // is the set, whose destruction drops the pending answer.
    void refuse(const void* owner, const QString& setName, const SLTInvocationPtr& stage, const char* signal,
                const QString& why);
    // The opening wait (state 27: 60 s time-out, 3 s pause).
    QVariantMap openingWait(const SLTInvocationPtr& stage, const char* signal) const;
    // Queues the set's opening commands and the character-set switch; the
    // stage hears prepareFinished when the session is open.
    void open(const SLTInvocationPtr& stage, const Signals& names, const QList<QVariantMap>& ownCommands);
    // Queues the set's closing commands and the restore; the stage hears
    // cleanupFinished with the entries gathered since the opening.
    void close(const SLTInvocationPtr& stage, const Signals& names, const QList<QVariantMap>& ownCommands);

    // What the command sets gather while the session is open (key -> entry).
    QVariantMap& entries() { return _entries; }

    // Texts in the phone's set in force: empty stays empty; outside "UCS2"
    // a text is made safe for a quoted argument first.
    QString encode(const QString& text) const;
    // encode, and outside "UCS2" between double quotes.
    QString encodeQuoted(const QString& text) const;
    // A reply field's text in the set in force; empty stays empty.
    QString decode(const QString& field) const;
    bool isUcs2() const;

    static constexpr const char* kStageSelector = "motorolaSessionStage:";

private:
    SLTCommDevice& engine() const { return _engine; }
    void stage(const QVariantMap& result);

    SLTCommDevice& _engine;
    const Signals* _signals = &kPhonebookSignals;
    QVariantMap _entries;
};
