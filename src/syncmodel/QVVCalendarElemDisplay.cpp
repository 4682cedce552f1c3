// Texts of an event or task for the organizer windows, the trash and the
// inspector: from the item form, or for a raw item from its flat dictionary.
// Dates show in local time in the locale's names; a date in the year 2065
// stands for "no date".
#include "syncmodel/QVVCalendarElem.h"

#include "device/QVSyncDeviceDescription.h"
#include "formats/RecurrenceAlarmValues.h"
#include "formats/VCalendar2Dictionary.h"
#include "foundation/FormattingUtil.h"
#include "platform/Localization.h"
#include "platform/Values.h"
#include "syncmodel/DeviceDescriptionLimits.h"

#include <QLocale>
#include <QUrl>

namespace {

const QString kSummary = QStringLiteral("summary");
const QString kDescription = QStringLiteral("description");
const QString kLocation = QStringLiteral("location");
const QString kEndDate = QStringLiteral("end date");
const QString kAllDayField = QStringLiteral("all day");
const QString kPriority = QStringLiteral("priority");
const QString kURL = QStringLiteral("url");
const QString kLongForm = QStringLiteral("ddd. dd. MMM yyyy, HH:mm");
const QString kLongDayForm = QStringLiteral("ddd. dd. MMM yyyy");
const QString kShortForm = QStringLiteral("dd.MM.yy, HH:mm");
const QString kShortDayForm = QStringLiteral("dd.MM.yy");
const QString kTimeForm = QStringLiteral("HH:mm");
const QString kDayKeyForm = QStringLiteral("yyyyMMdd");
const QString kDayTimeKeyForm = QStringLiteral("yyyyMMdd-HHmmss");
const QString kNoDateText = QStringLiteral("  -  ");
constexpr int kNoDateYear = 2065;
constexpr int kMemoSummaryLength = 16;
constexpr qint64 kDaySeconds = 86400;

QString tr(const char* key)
{
    return platform::localizedString(QString::fromLatin1(key));
}

// A display text of a date; "  -  " for the year that means no date.
QString dateText(const QDateTime& date, const QString& form)
{
    if (!date.isValid())
        return {};
    const QDateTime local = date.toLocalTime();
    if (local.date().year() == kNoDateYear)
        return kNoDateText;
    return QLocale().toString(local, form);
}

QString keyText(const QDateTime& date, const QString& form)
{
    return date.isValid() ? date.toLocalTime().toString(form) : QString(QLatin1String(""));
}

QString valueText(const QVariant& value)
{
    if (value.typeId() == QMetaType::QUrl)
        return value.toUrl().toString();
    if (value.typeId() == QMetaType::QString || platform::values::isNumber(value))
        return value.toString();
    return {};
}

QDateTime dateOf(const QVariant& value)
{
    return value.typeId() == QMetaType::QDateTime ? value.toDateTime() : QDateTime();
}

// The display facts of an item form; the inspector reads any item form.
struct VXText {
    const VXDictionary& vx;

    QVariant main(const QString& key) const { return vx.mainObjectForKey(key); }
    QString text(const QString& key) const { return valueText(main(key)); }
    QDateTime date(const QString& key) const { return dateOf(main(key)); }
    bool allDay() const { return platform::values::toBool(main(kAllDayField)); }
    bool dateOnlyDue() const
    {
        return platform::values::toBool(main(QStringLiteral("due date is date only")));
    }

    QString summary(bool memo) const
    {
        const QString summary = text(kSummary);
        if (!memo || !summary.isEmpty())
            return summary;
        const QString description = text(kDescription);
        if (description.size() > kMemoSummaryLength)
            return description.left(kMemoSummaryLength) + QStringLiteral("...");
        return description;
    }

    QString dateString() const
    {
        const QDateTime start = date(QStringLiteral("start date"));
        if (!start.isValid())
            return {};
        if (!allDay())
            return dateText(start, kLongForm);
        const QDateTime end = date(kEndDate);
        // Whole days, rounded over a daylight-saving change.
        const qint64 days = end.isValid() ? (start.secsTo(end) + kDaySeconds / 2) / kDaySeconds : 1;
        if (days <= 1)
            return dateText(start, kLongDayForm);
        return QStringLiteral("%1 - %2").arg(dateText(start, kLongDayForm),
                                             dateText(start.addDays(days - 1), kLongDayForm));
    }

    QString fromToString() const
    {
        const QDateTime start = date(QStringLiteral("start date"));
        if (!start.isValid())
            return QLatin1String("");
        const QDateTime end = date(kEndDate);
        if (!end.isValid()) {
            const QString text = dateText(start, kLongForm);
            return text == kNoDateText ? QString(QLatin1String("")) : text;
        }
        if (keyText(start, kDayKeyForm) == keyText(end, kDayKeyForm))
            return QStringLiteral("%1 - %2").arg(dateText(start, kLongForm), dateText(end, kTimeForm));
        return QStringLiteral("%1 - %2").arg(dateText(start, kShortForm), dateText(end, kShortForm));
    }

    QString dueString(bool shortForm) const
    {
        const QDateTime due = date(QStringLiteral("due date"));
        if (dateOnlyDue())
            return dateText(due, shortForm ? kShortDayForm : kLongDayForm);
        return dateText(due, shortForm ? kShortForm : kLongForm);
    }

    QString shortDateString() const
    {
        return dateText(date(QStringLiteral("start date")), allDay() ? kShortDayForm : kShortForm);
    }

    QVariantList subRecords(const char* listKey) const
    {
        QVariantList records;
        for (const QVariant& id : main(QString::fromLatin1(listKey)).toList()) {
            const QVariant record = vx.otherObjectForKey(id.toString());
            if (record.typeId() == QMetaType::QVariantMap)
                records.append(record);
        }
        return records;
    }
};

// The alarm's trigger for the inspector: its lead time, or its date.
QString alarmText(const QVariantMap& alarm)
{
    const QVariant duration = alarm.value(QString::fromLatin1(calendarkey::kTriggerDuration));
    if (platform::values::isNumber(duration))
        return FormattingUtil::displayableTimeDifference(long(platform::values::toLongLong(duration)));
    return dateText(dateOf(alarm.value(QString::fromLatin1(calendarkey::kTriggerDate))), kShortForm);
}

void addRow(QStringList& labels, QStringList& contents, QList<quint32>& codes, const QString& label,
            const QString& content, quint32 code)
{
    labels.append(label);
    contents.append(content);
    codes.append(code);
}

void addNoteRows(QStringList& labels, QStringList& contents, QList<quint32>& codes, const QString& notes)
{
    if (notes.isEmpty())
        return;
    QString normalized = notes;
    normalized.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(u'\r', u'\n');
    const QStringList lines = normalized.split(u'\n');
    for (qsizetype i = 0; i < lines.size(); ++i)
        addRow(labels, contents, codes, i == 0 ? tr("Notes:") : QString(QLatin1String("")), lines.at(i),
               QVVCalendarElem::kNoteCode);
}

void addPriorityRow(QStringList& labels, QStringList& contents, QList<quint32>& codes, const QString& priority)
{
    if (priority.isEmpty() || priority == QLatin1String("0"))
        return;
    addRow(labels, contents, codes, tr("Priority:"),
           FormattingUtil::stringWithFormat(tr("Prio-%@"), {priority}), QVVCalendarElem::kPriorityCode);
}

} // namespace

// ---- Texts

QString QVVCalendarElem::descriptionString() const
{
    if (!_vxDict) {
        const QString summary = getSummary(flatDict());
        return summary.isEmpty() ? QStringLiteral("?") : summary;
    }
    return VXText{*_vxDict}.summary(_isMemo);
}

QString QVVCalendarElem::notesString() const
{
    return _vxDict ? mainText(kDescription) : getDescription(flatDict()).toString();
}

QString QVVCalendarElem::locationString() const
{
    return _vxDict ? mainText(kLocation) : getLocation(flatDict()).toString();
}

QString QVVCalendarElem::dateString() const
{
    return _vxDict ? VXText{*_vxDict}.dateString() : getStartDate(flatDict());
}

QString QVVCalendarElem::endString() const
{
    return _vxDict ? dateText(mainDate(kEndDate), kLongForm) : getEndDate(flatDict());
}

QString QVVCalendarElem::shortEndString() const
{
    return _vxDict ? dateText(mainDate(kEndDate), kShortForm) : getShortEndDate(flatDict());
}

QString QVVCalendarElem::fromToString() const
{
    if (!_vxDict)
        return QStringLiteral("%1 - %2").arg(getShortStartDate(flatDict()), getShortEndDate(flatDict()));
    return VXText{*_vxDict}.fromToString();
}

QString QVVCalendarElem::shortDateString() const
{
    return _vxDict ? VXText{*_vxDict}.shortDateString() : getShortStartDate(flatDict());
}

QString QVVCalendarElem::dueString() const
{
    return _vxDict ? VXText{*_vxDict}.dueString(false) : getDueDate(flatDict());
}

QString QVVCalendarElem::shortDueString() const
{
    return _vxDict ? VXText{*_vxDict}.dueString(true) : getShortDueDate(flatDict());
}

QString QVVCalendarElem::rawDateString() const
{
    if (!_vxDict)
        return getRawStartDate(flatDict()).toString().replace(u'T', u'-').remove(u'Z');
    return keyText(mainDate(kStartDate), kDayTimeKeyForm);
}

QString QVVCalendarElem::rawDateStringDayOnly() const
{
    if (!_vxDict)
        return getRawStartDate(flatDict()).toString().left(8);
    return keyText(mainDate(kStartDate), kDayKeyForm);
}

QString QVVCalendarElem::rawDueString() const
{
    if (!_vxDict)
        return getDueDateDay(flatDict());
    return keyText(mainDate(kDueDate), kDayKeyForm);
}

namespace {

QDateTime intoYear(const QDateTime& date, int year)
{
    if (!date.isValid() || year <= 0)
        return date;
    const QDateTime local = date.toLocalTime();
    return local.addYears(year - local.date().year());
}

} // namespace

QString QVVCalendarElem::rawDate2001String() const
{
    const QVSyncDeviceDescription* full = fullDescriptionOf(_syncDescription);
    if (!_vxDict)
        return rawDateString();
    return keyText(intoYear(mainDate(kStartDate), full ? full->oldestEventYear() : 0), kDayTimeKeyForm);
}

QString QVVCalendarElem::rawDue2001String() const
{
    const QVSyncDeviceDescription* full = fullDescriptionOf(_syncDescription);
    if (!_vxDict)
        return rawDueString();
    return keyText(intoYear(mainDate(kDueDate), full ? full->oldestEventYear() : 0), kDayKeyForm);
}

QString QVVCalendarElem::getPriority() const
{
    return _vxDict ? valueText(mainValue(kPriority)) : ::getPriority(flatDict()).toString();
}

QString QVVCalendarElem::getAlarmInfo() const
{
    if (!_vxDict) {
        const QString info = ::getAlarmInfo(flatDict());
        return info.isEmpty() ? QString() : info;
    }
    if (!getAudioAlarms().toList().isEmpty())
        return QStringLiteral("Audio");
    if (!getDisplayAlarms().toList().isEmpty())
        return QStringLiteral("Display");
    return {};
}

QString QVVCalendarElem::getRepeatingInfo() const
{
    if (!_vxDict)
        return ::getRepeatingInfo(flatDict());
    return getRecurrences().isValid() ? QStringLiteral("YES") : QString();
}

QString QVVCalendarElem::getURL() const
{
    return _vxDict ? valueText(mainValue(kURL)) : ::getURL(flatDict()).toString();
}

QString QVVCalendarElem::eventTypeString() const
{
    return (_isToDo ? QStringLiteral("1") : QStringLiteral("0")) + dateCompString();
}

QString QVVCalendarElem::onPhoneString() const
{
    return isOnPhone() ? QStringLiteral("1") : QStringLiteral("0");
}

QString QVVCalendarElem::elemDescription() const
{
    return QStringLiteral("%1\n%2").arg(descriptionString(), _isToDo ? shortDueString() : shortDateString());
}

QString QVVCalendarElem::allContentString() const
{
    if (!_contentString.isNull())
        return _contentString;
    QString content;
    content.reserve(500);
    for (const QString& part : {descriptionString(), dueString(), dateString(), locationString(), getAlarmInfo(),
                                notesString(), getURL()}) {
        if (!part.isEmpty())
            content += part + u'\t';
    }
    _contentString = content.isNull() ? QString(QLatin1String("")) : content;
    return _contentString;
}

QString QVVCalendarElem::description() const
{
    const QString id = sourceURI();
    return QStringLiteral("<QVVCalendarElem> SourceURI = %1, %2 = %3 (ID:%4)")
        .arg(id.isNull() ? QStringLiteral("--") : id, _isToDo ? QStringLiteral("Task") : QStringLiteral("Event"),
             descriptionString(), getIdentityStringWithHours());
}

// ---- Inspector rows

bool QVVCalendarElem::getFullDisplayData(QStringList& labels, QStringList& contents, QList<quint32>& typeCodes) const
{
    if (_vxDict)
        return getFullDisplayDataFromVXDict(*_vxDict, labels, contents, true, typeCodes, false);
    return getFullDisplayDataFromVXData(labels, contents, true, typeCodes);
}

bool QVVCalendarElem::getFullDisplayDataFromVXDict(const VXDictionary& vx, QStringList& labels, QStringList& contents,
                                                   bool withName, QList<quint32>& typeCodes, bool) const
{
    const VXText item{vx};
    const bool task = item.text(platform::ISyncRecordEntityNameKey) == platform::entity::Task;
    addRow(labels, contents, typeCodes, tr("Type:"), task ? tr("Task") : tr("Calendar event"), kTypeCode);
    if (withName)
        addRow(labels, contents, typeCodes, QLatin1String(""), item.summary(_isMemo), kSummaryCode);
    const QString when = task ? item.dueString(false) : item.dateString();
    if (!when.isEmpty())
        addRow(labels, contents, typeCodes, task ? tr("Due:") : tr("Date:"), when, kDateCode);
    addPriorityRow(labels, contents, typeCodes, item.text(kPriority));
    for (const QVariant& record : item.subRecords(calendarkey::kRecurrences)) {
        const QVariantMap rule = record.toMap();
        const QVariant intervalValue = rule.value(QString::fromLatin1(calendarkey::kInterval));
        const qlonglong interval = platform::values::isNumber(intervalValue) || intervalValue.typeId() == QMetaType::QString
            ? qMax(1LL, platform::values::toLongLong(intervalValue))
            : 1;
        addRow(labels, contents, typeCodes, tr("Repeating:"),
               QStringLiteral("%1, %2").arg(rule.value(QString::fromLatin1(calendarkey::kFrequency)).toString(),
                                            FormattingUtil::stringWithFormat(tr("Occ-%@"), {interval})),
               kRepeatCode);
    }
    for (const QVariant& alarm : item.subRecords(calendarkey::kAudioAlarms))
        addRow(labels, contents, typeCodes, tr("Audio alarm:"), alarmText(alarm.toMap()), kAlarmCode);
    for (const QVariant& alarm : item.subRecords(calendarkey::kDisplayAlarms))
        addRow(labels, contents, typeCodes, tr("Display alarm:"), alarmText(alarm.toMap()), kAlarmCode);
    const QString url = item.text(kURL);
    if (!url.isEmpty())
        addRow(labels, contents, typeCodes, tr("URL:"), url, kURLCode);
    addNoteRows(labels, contents, typeCodes, item.text(kDescription));
    return true;
}

bool QVVCalendarElem::getFullDisplayDataFromVXData(QStringList& labels, QStringList& contents, bool withName,
                                                   QList<quint32>& typeCodes) const
{
    const QVariantMap& flat = flatDict();
    if (flat.isEmpty())
        return false;
    const bool task = ::isToDo(flat);
    addRow(labels, contents, typeCodes, tr("Type:"), task ? tr("Task") : tr("Calendar event"), kTypeCode);
    if (withName)
        addRow(labels, contents, typeCodes, QLatin1String(""), descriptionString(), kSummaryCode);
    const QString when = task ? getDueDate(flat) : QStringLiteral("%1 - %2").arg(getStartDate(flat), getEndDate(flat));
    addRow(labels, contents, typeCodes, task ? tr("Due:") : tr("Date:"), when, kDateCode);
    addPriorityRow(labels, contents, typeCodes, ::getPriority(flat).toString());
    const QString repeating = ::getRepeatingInfo(flat);
    if (!repeating.isEmpty() && repeating != QLatin1String("--"))
        addRow(labels, contents, typeCodes, tr("Repeating:"), repeating, kRepeatCode);
    const QString alarm = ::getAlarmInfo(flat);
    if (!alarm.isEmpty())
        addRow(labels, contents, typeCodes, tr("Audio alarm:"), alarm, kAlarmCode);
    const QString url = ::getURL(flat).toString();
    if (!url.isEmpty())
        addRow(labels, contents, typeCodes, tr("URL:"), url, kURLCode);
    addNoteRows(labels, contents, typeCodes, ::getDescription(flat).toString());
    return true;
}
