#pragma once

#include "syncmodel/QVSyncEngineElem.h"

#include <QDateTime>

// A calendar event, task or memo of the phone: its item form in the shape of
// the desktop calendar schema (main record of an event or a task; recurrence,
// audio alarm and display alarm sub-records), read from the phone's vCalendar
// text and rendered back for each phone model. It turns a new phone version
// into desktop changes, merges a phone duplicate into itself and gives the
// organizer windows their texts. A raw item, whose text could not be read
// into an item form, answers the display questions from the text's flat
// dictionary.
//
// The implementation is split: QVVCalendarElem.cpp (making, rendering,
// identity, limits, the desktop's changes), QVVCalendarElemDisplay.cpp
// (texts and inspector rows), QVVCalendarElemChanges.cpp and
// QVVCalendarElemMerge.cpp.
class QVVCalendarElem : public QVSyncEngineElem {
public:
    // Type codes of the inspector rows (four characters read big-endian).
    static constexpr quint32 kTypeCode = 0x74797065;     // 'type'
    static constexpr quint32 kSummaryCode = 0x73756D6D;  // 'summ'
    static constexpr quint32 kDateCode = 0x64617465;     // 'date'
    static constexpr quint32 kPriorityCode = 0x7072696F; // 'prio'
    static constexpr quint32 kRepeatCode = 0x72657074;   // 'rept'
    static constexpr quint32 kAlarmCode = 0x616C726D;    // 'alrm'
    static constexpr quint32 kURLCode = 0x75726C20;      // 'url '
    static constexpr quint32 kNoteCode = 0x6E6F7465;     // 'note'
    // Protocol name of a description that asks for iCalendar 2.0 text.
    static const QString kVersion20Protocol;             // "VERSION2.0"
    // Match results of the sub-record comparisons.
    enum MatchResult { Same = 1, Similar = 2, NoMatch = 3 };

    // From an item form (deep-copied) or, with none, an empty item.
    QVVCalendarElem(const VXDictionary* dict, const QString& uuid, const QString& sourceURI,
                    const QString& protocol, const QString& device, const QString& parent);
    // A raw item: the text only, with a record id but no item form.
    QVVCalendarElem(const QVariant& data, const QString& uuid, const QString& sourceURI, const QString& protocol,
                    const QString& device, const QString& parent);

    static std::shared_ptr<QVVCalendarElem> vCalendarWithDict(const VXDictionary* dict, const QString& uuid,
                                                              const QString& sourceURI, const QString& protocol,
                                                              const QString& device, const QString& parent);
    // From the phone's vCalendar text (its first event or task). Text that
    // does not read gives a raw item with a fresh record id; never null.
    static std::shared_ptr<QVVCalendarElem> elemWithData(const QVariant& data, const QString& sourceURI,
                                                         const QString& protocol, const QString& device,
                                                         const QString& parent);

    // Task and memo flags from the item form.
    void checkType();
    bool isToDo() const { return _isToDo; }
    bool isMemo() const { return _isMemo; }
    bool isEventAllday() const;
    // The sub-record id lists; invalid when missing.
    QVariant getRecurrences() const;
    QVariant getAudioAlarms() const;
    QVariant getDisplayAlarms() const;
    QDateTime firstOccurrence() const;
    QDateTime lastOccurrence() const;

    // Rendering. Both share one cached text for the item's own description,
    // dropped by setChanged and invalidateVCalendarString.
    QVariant vxDataForDevice(const std::shared_ptr<SyncDeviceLimits>& description) override;
    QVariant vxDataForDescription(const std::shared_ptr<SyncDeviceLimits>& description) override;
    void invalidateVCalendarString() { _vCalendarString = QString(); }
    // The raw text (an item without one: its export rendering) as iCalendar
    // 2.0 / vCalendar 1.0 with the display summary, notes and location.
    QString foreignVCalendarRepresentation20();
    QString foreignVCalendarRepresentation10();
    // The VEVENT or VTODO block of the text, up to END:VCALENDAR.
    QString foreignVCalendarItem();
    QVariant getVCardCalDictionary() const override;

    // Identity for duplicate detection and its date keys, cached until
    // setChanged.
    QString getIdentityString() const override;
    QString getIdentityStringWithHours() const;
    QString dateCompString() const;
    QString dateCompStringHours() const;
    QString noYDateCompString() const;

    // Sorting (case-insensitive comparisons of the texts).
    int dateComparisation(const QVSyncElem& other) const override;
    int descriptionComparisation(const QVSyncElem& other) const override;
    int locationComparisation(const QVSyncElem& other) const override;
    int eventTypeComparisation(const QVSyncElem& other) const override;
    int onPhoneComparisation(const QVSyncElem& other) const override;
    int defaultComparisation(const QVSyncElem& other) const override;

    // Texts for the organizer (see QVVCalendarElemDisplay.cpp).
    QString descriptionString() const;
    QString notesString() const;
    QString locationString() const;
    QString dateString() const;
    QString endString() const;
    QString shortEndString() const;
    QString fromToString() const;
    QString shortDateString() const;
    QString dueString() const;
    QString shortDueString() const;
    QString rawDateString() const;
    QString rawDateStringDayOnly() const;
    QString rawDueString() const;
    QString rawDate2001String() const;
    QString rawDue2001String() const;
    QString getPriority() const;
    QString getAlarmInfo() const;
    QString getRepeatingInfo() const;
    QString getURL() const;
    QString eventTypeString() const;
    QString onPhoneString() const;
    QString elemDescription() const override;
    // Built on first use, dropped by setChanged and by an applied change.
    QString allContentString() const override;
    QString description() const override;

    // Field limits of the phone model.
    QString formattedSummary(const QString& value) const;
    QString formattedDescription(const QString& value) const;
    QString formattedLocation(const QString& value) const;
    QVariant getFormattedString(const QVariant& value, const QString& fieldName) const override;

    // Inspector rows; NO when there is nothing to show.
    bool getFullDisplayData(QStringList& labels, QStringList& contents, QList<quint32>& typeCodes) const override;
    bool getFullDisplayDataFromVXDict(const VXDictionary& vx, QStringList& labels, QStringList& contents,
                                      bool withName, QList<quint32>& typeCodes, bool forTable) const;
    bool getFullDisplayDataFromVXData(QStringList& labels, QStringList& contents, bool withName,
                                      QList<quint32>& typeCodes) const;

    QStringList getMainSyncItems() const override;
    QString mainDictFieldForCommandType(const QString& type) const override;

    // The desktop's changes.
    int processISyncChange(const platform::SyncChange& change, bool fromSyncML) override;
    bool processSyncEngineChange(const QString& recordId, const QVariantMap& change) override;
    bool removeItemsForEntity(const QString& entityName) override;
    QVariantMap* getOrCreateDictForUUID(const QString& uuid) override;
    void addRecordToList(QVariantList& list) const override;
    void inheritedFromZombie(const QVSyncElem& zombie) override;
    // Every item for an empty request; else whether its first calendar is asked for.
    bool isMemberOfRequestedCalendars(const QStringList& calendars) override;
    void setChanged() override;

    // Change detection against a newly read version of this item.
    QList<platform::SyncChange> acceptChangesForElem(QVSyncEngineElem& other) override;
    QList<platform::SyncChange> acceptVCalendarDictionaryChangesForElem(const QVariantMap& dict);
    void acceptParamChangesForElem(QVSyncEngineElem& other) override;
    void acceptParamChangesForDict(const QVariantMap& dict);
    void addCalendarChanges(const QVariantMap& dict, QList<platform::SyncChange>& changes);
    void addRecurrenceChanges(const QVariantMap& dict, QList<platform::SyncChange>& changes);
    void addCalendarAlarmTypeChanges(const QVariantMap& dict, QList<platform::SyncChange>& changes,
                                     const QString& type);
    // Property changes from a stored sub-record to a new one; empty when equal.
    QVariantList changeListForRecurrenceItem(const QVariantMap& stored, const QVariantMap& incoming) const;
    QVariantList changeListForAlarmItem(const QVariantMap& stored, const QVariantMap& incoming) const;
    // Takes the first candidate of the same parameters without differences
    // out of the list.
    bool removeEqualRecurrenceItem(QVariantList& candidates, const QVariantMap& stored,
                                   const QVariantList& relation) const;
    bool removeEqualAlarmItem(QVariantList& candidates, const QVariantMap& stored, const QVariantList& relation) const;
    // The index of the best candidate (-1 for none) and its MatchResult.
    qsizetype similarRecurrenceItem(const QVariantList& candidates, const QVariantMap& stored,
                                    const QVariantList& relation, MatchResult* result) const;
    qsizetype similarAlarmItem(const QVariantList& candidates, const QVariantMap& stored, const QVariantList& relation,
                               MatchResult* result) const;
    // The LG phone's reminder step of a lead time in seconds; a negative
    // value gives 900 (unlike lgAlarmOffset, which keeps it).
    static long getValidLgReminderValue(long seconds);

    // Merging a phone duplicate (same identity).
    void mergeElement(QVSyncEngineElem& other, SyncElemLookup* elemList) override;
    void mergeNotes(QVVCalendarElem& other, SyncElemLookup* elemList);
    void mergeDeviceSpecifics(QVVCalendarElem& other, SyncElemLookup* elemList);

protected:
    QString className() const override { return QStringLiteral("QVVCalendarElem"); }
    std::shared_ptr<QVSyncEngineElem> newElemWithData(const QVariant& data, const QString& sourceURI,
                                                      const QString& protocol, const QString& device,
                                                      const QString& parent) const override;
    std::shared_ptr<QVSyncEngineElem> newElemWithDict(const VXDictionary* dict, const QString& uuid,
                                                      const QString& sourceURI, const QString& protocol,
                                                      const QString& device, const QString& parent) const override;
    // The type, and a task's due date counts as a day.
    void prepareFilledItem() override;

private:
    using ChangeList = QVariantList (QVVCalendarElem::*)(const QVariantMap&, const QVariantMap&) const;
    QString render(const std::shared_ptr<SyncDeviceLimits>& description, bool withDeviceSpecifics, bool onCopy);
    QString rawText() const;
    // The raw text's flat dictionary, read on first use.
    const QVariantMap& flatDict() const;
    QString foreignRepresentation(bool version20);
    QVariant mainValue(const QString& key) const;
    QString mainText(const QString& key) const;
    QDateTime mainDate(const QString& key) const;
    QString dateKey(const QString& key) const;
    void dropCaches();
    // The sub-record steps shared by the recurrence and alarm lists.
    void addSubRecordChanges(const QVariantMap& dict, QList<platform::SyncChange>& changes, const QString& listKey,
                             bool isRecurrence);
    bool removeEqualItem(QVariantList& candidates, const QVariantMap& stored, const QVariantList& relation,
                         ChangeList changeList) const;
    qsizetype similarItem(const QVariantList& candidates, const QVariantMap& stored, const QVariantList& relation,
                          MatchResult* result, ChangeList changeList) const;
    // The phone's version as a parsed item dictionary; nullopt when none.
    std::optional<QVariantMap> parsedVersion(QVSyncEngineElem& other);
    void joinCalendarOf(const std::shared_ptr<QVSyncElem>& newElem, SyncElemLookup* elemList, bool beep);

    mutable std::optional<QVariantMap> _vCalDict;
    bool _isToDo = false;
    bool _isMemo = false;
    QString _vCalendarString;
    mutable QString _dateCompString;
    mutable QString _dateCompStringHours;
    mutable QString _noYDateCompString;
    mutable QString _contentString;
};
