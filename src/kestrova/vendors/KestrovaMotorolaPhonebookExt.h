#pragma once

#include "kestrova/core/KestrovaVendorChain.h"
#include "kestrova/core/SLTInvocation.h"

#include <functional>
#include <memory>

#include <QStringList>
#include <QVariantMap>
#include <optional>

class KestrovaMotorolaCalendarExt;
class SLTCommDeviceMotorolaPhonebookExt;

// The Motorola phonebook chain of the organizer kit ("motorola": the
// extended layout keyed by slot; "motorola2": the older layout keyed by
// name). A read opens the phonebook, asks its limits, reads it in ranges of
// 200 slots (50 for "motorola2") and closes it, keeping a copy for a later
// write on the same kit. A write sends the deletions first, then each
// changed contact's difference to that copy and each new contact, one at a
// time, and answers the conversions: "changed", "deleted", or for a new
// contact {its phone key: the contact as read back}. A contact whose command
// fails is left out; a lost link ends the write with the conversions so far.
class KestrovaMotorolaPhonebookExt : public KestrovaVendorChain {
public:
    explicit KestrovaMotorolaPhonebookExt(Kestrova& kit);
    ~KestrovaMotorolaPhonebookExt() override;

    bool getPhonebookEntries() override;
    bool writePhonebookEntries(const QVariantMap& entries) override;
    // The calendar of the same phone, by the calendar chain this one holds.
    bool getCalendarEntries() override;
    bool writeCalendarEntries(const QVariantMap& entries) override;
    KestrovaMotorolaCalendarExt& calendar() { return *_calendar; }

    // What to send of a contact N against the phone's copy P (P loses what
    // the difference covers); nullopt when either is missing or N holds a
    // value that is neither text nor list.
    static std::optional<QVariantMap> getMotorolaPhonebookEntryDiffFrom(const QVariantMap& contact,
                                                                        QVariantMap* phoneCopy);
    int batchSize();
    const QVariantMap& currentPhonebook() const { return _currentPhonebook; }

private:
    SLTCommDeviceMotorolaPhonebookExt& commands();
    bool isOlderLayout();
    // A stage of this chain for the engine's commands; none runs once the
    // kit is gone.
    SLTInvocationPtr stage(std::function<void(const QVariantMap&)> onResult);
    void readRange(int first, int last);
    void getMotorolaPhonebookStage2(const QVariantMap& result);
    void getMotorolaPhonebookStage3(const QVariantMap& result);
    void getMotorolaPhonebookStage4(const QVariantMap& result);
    void failRead(const QVariantMap& result);
    QString getNextProcessingEntry();
    void writeMotorolaPhonebookEntriesStage2(const QVariantMap& result);
    // One contact's next command; false when the contact is finished.
    bool sendNext(const QString& key, QVariantMap& contact, const QVariantMap& result);
    void finishEntry(const QString& key, const QVariant& outcome = QVariant());

    QVariantMap _tempDict;
    QVariantMap _tempMutableDict;
    QVariantMap _tempMutableDict2;
    QStringList _tempMutableDictEnum;
    QVariantMap _currentPhonebook;
    QString _currentEntryString;
    QString _currentSearchString;
    int _startPhonebookEntry = 0;
    int _currentPhonebookEntry = 0;
    int _endPhonebookEntry = 0;
    bool _entriesAvailableForDeleting = false;
    // The answer the contact in progress waits for (its signal).
    QString _expected;
    std::unique_ptr<KestrovaMotorolaCalendarExt> _calendar;
};
