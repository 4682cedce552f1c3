#pragma once

#include "kestrova/core/SLTCommDevice.h"

#include <QByteArray>
#include <QVariantMap>

class SLTCommDeviceLgSmsExt;

// The LG phonebook of an engine (an engine extension): counting and reading
// every entry, writing a new entry, replacing or deleting the entry of a
// slot, closing the phonebook. Results reach the caller's stage as command
// dictionaries (SLTCommDeviceCommandStep, SLTCommDeviceReturnValue on
// success). Main thread only.
class SLTCommDeviceLgPhonebookExt {
public:
    explicit SLTCommDeviceLgPhonebookExt(SLTCommDevice& engine);
    SLTCommDeviceLgPhonebookExt(const SLTCommDeviceLgPhonebookExt&) = delete;
    SLTCommDeviceLgPhonebookExt& operator=(const SLTCommDeviceLgPhonebookExt&) = delete;

    // Item count, prepare, prepared; the stage gets the last.
    void lgViewtyPreparePhonebookReading(const SLTInvocationPtr& stage);
    // Reads every entry; the stage gets progress steps and then
    // "SLTCommDeviceLgViewtyPhonebookEntriesRead" with slot text -> contact.
    // More entries than the item count stated (10,000 where it stated none)
    // end the read with a failure and no data.
    void lgViewtyReadPhonebookEntries(const SLTInvocationPtr& stage);
    // Result: the new slot as text, or "updated".
    void lgViewtyWritePhonebookEntry(const QVariantMap& contact, const SLTInvocationPtr& stage);
    void lgViewtyUpdatePhonebookEntry(const QVariantMap& contact, int slot, const SLTInvocationPtr& stage);
    void lgViewtyDeletePhonebookEntry(int slot, const SLTInvocationPtr& stage);
    void lgViewtyPhonebookClose(const SLTInvocationPtr& stage);

    // The frames of a write and an update (escaped as sent), for tests and
    // benchmarks; each takes counter values like the operation does.
    QByteArray writeFrame(const QVariantMap& contact);
    QByteArray updateFrame(const QVariantMap& contact, int slot);

    int maxEntry() const { return _maxEntry; }

private:
    SLTCommDeviceLgSmsExt& port();
    QByteArray record(const QVariantMap& contact);
    void prepareStage2(const QVariantMap& result);
    void readStage2(const QVariantMap& result);
    void readNext(const QVariantMap& result);
    void writeStage2(const QVariantMap& result);
    void answerLengthStage2(const QVariantMap& result, qsizetype successLength);
    void closeStage2(const QVariantMap& result);
    void fail(QVariantMap result);

    SLTCommDevice& _engine;
    int _maxEntry = 0;
    QVariantMap _tempMutableDict;
    QByteArray _tempBuffer;
    int _expectedLength = 0;
    // Entries received in the running read, kept or skipped.
    int _entriesRead = 0;
};
