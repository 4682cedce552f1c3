#include "formats/VCalendarGenerator.h"

#include "device/QVSyncDeviceDescription.h"
#include "formats/RecurrenceAlarmValues.h"
#include "formats/VCardEncoding.h"
#include "formats/VCardRelations.h"
#include "formats/VXDictionary.h"
#include "foundation/NamedLog.h"
#include "platform/SyncChange.h"

#include <QStringList>
#include <QTimeZone>

#include <cstdlib>

namespace {

const QString kExportPrefix = QStringLiteral("Export");
const QString kSeries40 = QStringLiteral("Protocol Series 40");
const QString kSeries60 = QStringLiteral("Protocol Series 60 3rd");
const QString kCategories = QStringLiteral("CATEGORIES");
const QString kStartDate = QStringLiteral("start date");
const QString kEndDate = QStringLiteral("end date");
const QString kDueDate = QStringLiteral("due date");
const QString kLocalFormat = QStringLiteral("yyyyMMdd'T'HHmmss");
constexpr qint64 kDay = 86400;
// The last year of an open repeat on a phone that names no highest year.
constexpr int kDefaultHighestYear = 2037;

const QStringList& allDayCategories()
{
    static const QStringList categories = {
        QStringLiteral("MISCELLANEOUS"), QStringLiteral("REMINDER"), QStringLiteral("SPECIAL OCCASION"),
        QStringLiteral("ANNIVERSARY"),   QStringLiteral("EVENT"),    QStringLiteral("HOLIDAY")};
    return categories;
}

QStringList categoryList(const QVariant& value)
{
    if (value.typeId() == QMetaType::QString)
        return {value.toString()};
    QStringList list;
    for (const QVariant& entry : value.toList())
        list.append(entry.toString());
    return list;
}

bool present(const QVariant& value)
{
    if (!value.isValid() || value.isNull())
        return false;
    return value.typeId() != QMetaType::QString || !value.toString().isEmpty();
}

QString localText(const QDateTime& date)
{
    return date.toLocalTime().toString(kLocalFormat);
}

const char* const kWeekdayNames[] = {"monday", "tuesday", "wednesday", "thursday", "friday", "saturday", "sunday"};
const char* const kWeekdayCodes[] = {"MO", "TU", "WE", "TH", "FR", "SA", "SU"};

QString weekdayCode(const QString& name)
{
    for (int i = 0; i < 7; ++i) {
        if (name == QLatin1String(kWeekdayNames[i]))
            return QString::fromLatin1(kWeekdayCodes[i]);
    }
    return QString();
}

// The code of a day of the week, 1 Monday ... 7 Sunday.
QString weekdayCodeOf(int dayOfWeek)
{
    return dayOfWeek >= 1 && dayOfWeek <= 7 ? QString::fromLatin1(kWeekdayCodes[dayOfWeek - 1]) : QString();
}

QString signedNumbers(const QVariantList& numbers, bool plusSign)
{
    QString text;
    for (const QVariant& number : numbers) {
        const int n = number.toInt();
        if (n >= 1)
            text += plusSign ? QStringLiteral(" %1+").arg(n) : QStringLiteral(" %1").arg(n);
        else
            text += QStringLiteral(" %1-").arg(std::abs(n));
    }
    return text;
}

QString plainNumbers(const QVariantList& numbers)
{
    QString text;
    for (const QVariant& number : numbers)
        text += QStringLiteral(" %1").arg(number.toInt());
    return text;
}

// The parameter text of a kept phone-only value: bare words and "KEY=V1,V2"
// joined with ";", without the encoding and character set of the value as
// it was read (it is kept decoded).
QString paramText(const QVariantList& params)
{
    QStringList parts;
    for (const QVariant& entry : params) {
        if (entry.typeId() == QMetaType::QString) {
            if (!isKnownCharsetName(entry.toString()))
                parts.append(entry.toString());
            continue;
        }
        const QVariantMap map = entry.toMap();
        const QString key = map.value(VXDictionary::kRelationKey).toString();
        if (key.isEmpty() || key.compare(QLatin1String("ENCODING"), Qt::CaseInsensitive) == 0
            || key.compare(QLatin1String("CHARSET"), Qt::CaseInsensitive) == 0)
            continue;
        QStringList values;
        for (const QVariant& value : map.value(VXDictionary::kRelationValues).toList())
            values.append(value.toString());
        parts.append(values.isEmpty() ? key : key + u'=' + values.join(u','));
    }
    return parts.join(u';');
}

} // namespace

QString createVCalendarForVXDict(VXDictionary* vxDict, const QVSyncDeviceDescription& description,
                                 bool withDeviceSpecifics)
{
    if (!vxDict)
        return QString();
    vxDict->resetSentItems();
    VCalendarGenerator generator(description, vxDict, withDeviceSpecifics);
    return generator.produceVCalendar();
}

VCalendarGenerator::VCalendarGenerator(const QVSyncDeviceDescription& description, VXDictionary* vxDict,
                                       bool withDeviceSpecifics)
    : _syncDescription(description)
    , _vxDict(vxDict)
    , _addDeviceSpecifics(withDeviceSpecifics && !description.protocol().startsWith(kExportPrefix))
    , _isSony(description.vxFormat().toString() == QLatin1String("Sony"))
{
    _curVCalendar.reserve(512);
    const QString charset = description.objectForKey(QStringLiteral("SyncML.Charset")).toString();
    if (charset.size() >= 3)
        _charSet = charset;
}

void VCalendarGenerator::appendVCalendarLine(const QString& line)
{
    _curVCalendar += line;
    _curVCalendar += getCRLF();
}

QString VCalendarGenerator::getCRLF() const
{
    return QStringLiteral("\r\n");
}

QString VCalendarGenerator::nonNilMainObject(const QString& key) const
{
    return textValue(_vxDict->mainObjectForKey(key));
}

QString VCalendarGenerator::zuluOrLocalTimeStringFor(const QDateTime& date) const
{
    if (_syncDescription.supportsTimeZone())
        return zuluDateString(date);
    return localText(date);
}

QString VCalendarGenerator::durationString(qint64 seconds)
{
    QString text = seconds < 0 ? QStringLiteral("-P") : QStringLiteral("P");
    qint64 rest = std::llabs(seconds);
    const qint64 days = rest / kDay;
    rest %= kDay;
    const qint64 hours = rest / 3600;
    const qint64 minutes = rest % 3600 / 60;
    const qint64 secs = rest % 60;
    if (days > 0)
        text += QStringLiteral("%1D").arg(days);
    if (rest > 0)
        text += u'T';
    if (hours > 0)
        text += QStringLiteral("%1H").arg(hours);
    if (minutes > 0)
        text += QStringLiteral("%1M").arg(minutes);
    if (secs > 0)
        text += QStringLiteral("%1S").arg(secs);
    return text;
}

VCalendarGenerator::AllDayForm VCalendarGenerator::allDayForm()
{
    if (!_syncDescription.supportsAllDay())
        return AllDayForm::NoAllDay;
    const QString definition = _syncDescription.allDayDefinition();
    if (definition == QLatin1String("MidnightTo235959") || _forceAllDayFormatMidnightTo2359)
        return AllDayForm::MidnightTo235959;
    if (definition == QLatin1String("AllDayCategories"))
        return AllDayForm::AllDayCategories;
    if (definition == QLatin1String("ZeroToZero"))
        return AllDayForm::ZeroToZero;
    // An unknown definition would leave the phone an item without dates.
    if (!_loggedAllDayForm) {
        _loggedAllDayForm = true;
        QVLOG(qvlog::kVCard,
              QStringLiteral("vCalendar writer: unknown all-day definition \"%1\" of %2, written from midnight to "
                             "23:59:59\n")
                  .arg(definition, _syncDescription.protocol()));
    }
    return AllDayForm::MidnightTo235959;
}

QString VCalendarGenerator::allDayStartDate(const QDateTime& start)
{
    const QDateTime day = start.toLocalTime();
    switch (allDayForm()) {
    case AllDayForm::NoAllDay:
        return zeroZuluDayString(day);
    case AllDayForm::AllDayCategories:
        return endDay235900String(day);
    case AllDayForm::MidnightTo235959:
    case AllDayForm::ZeroToZero:
        break;
    }
    return zeroStartDayString(day);
}

QString VCalendarGenerator::allDayEndDate(const QDateTime& end, const QDateTime& start)
{
    const QDateTime first = start.toLocalTime();
    const qint64 days = std::max<qint64>(1, start.secsTo(end) / kDay);
    const QDateTime last = first.addDays(days - 1);
    switch (allDayForm()) {
    case AllDayForm::NoAllDay:
        return endDayZulu235900String(last);
    case AllDayForm::AllDayCategories:
        return endDay235900String(last);
    case AllDayForm::ZeroToZero:
        return zeroEndDayString(first.addDays(days));
    case AllDayForm::MidnightTo235959:
        break;
    }
    return endDay235959String(last);
}

void VCalendarGenerator::applyAllDayCategories()
{
    if (_syncDescription.allDayDefinition() != QLatin1String("AllDayCategories"))
        return;
    const QStringList current = categoryList(_vxDict->objectForKey(kCategories));
    for (const QString& category : current) {
        if (allDayCategories().contains(category))
            return;
    }
    const bool birthday = nonNilMainObject(QStringLiteral("url")).startsWith(QLatin1String("addressbook://"));
    const QString protocol = _syncDescription.protocol();
    QString category;
    if (protocol.startsWith(kSeries40)) {
        category = birthday ? QStringLiteral("SPECIAL OCCASION") : QStringLiteral("MISCELLANEOUS");
    } else if (protocol.startsWith(kSeries60)) {
        category = birthday ? QStringLiteral("ANNIVERSARY") : QStringLiteral("EVENT");
    } else if (_syncDescription.hasSamsungCategories()) {
        if (birthday)
            category = QStringLiteral("ANNIVERSARY");
        else if (!_vxDict->mainObjectForKey(QString::fromLatin1(calendarkey::kRecurrences)).toList().isEmpty())
            _forceAllDayFormatMidnightTo2359 = true;
        else
            category = QStringLiteral("HOLIDAY");
    }
    if (!category.isEmpty())
        _vxDict->setObject(category, kCategories);
}

QString VCalendarGenerator::produceVCalendar()
{
    const QString entity = nonNilMainObject(platform::ISyncRecordEntityNameKey);
    const bool isTask = entity == platform::entity::Task;
    const QString protocol = _syncDescription.protocol();
    appendVCalendarLine(QStringLiteral("BEGIN:VCALENDAR"));
    appendVCalendarLine(QStringLiteral("VERSION:1.0"));
    appendVCalendarLine(isTask ? QStringLiteral("BEGIN:VTODO") : QStringLiteral("BEGIN:VEVENT"));

    for (const auto& [key, name] : {std::pair{"summary", "SUMMARY"}, std::pair{"description", "DESCRIPTION"}}) {
        const QString value = nonNilMainObject(QString::fromLatin1(key));
        if (!value.isEmpty())
            appendVCalendarLine(createEncodedLine(QString::fromLatin1(name), value, _charSet));
    }
    const QString classification = nonNilMainObject(QStringLiteral("classification"));
    if (!classification.isEmpty())
        appendVCalendarLine(QStringLiteral("CLASS:") + classification.toUpper());
    const QVariant priority = _vxDict->mainObjectForKey(QStringLiteral("priority"));
    if (present(priority))
        appendVCalendarLine(QStringLiteral("PRIORITY:%1").arg(_syncDescription.devicePriorityForMac(priority.toInt())));
    const QString status = nonNilMainObject(QStringLiteral("status"));
    if (!status.isEmpty()) {
        QString text = QStringLiteral("ACCEPTED");
        if (status == QLatin1String("needsaction"))
            text = QStringLiteral("NEEDS ACTION");
        else if (status == QLatin1String("cancelled"))
            text = QStringLiteral("DECLINED");
        else if (status == QLatin1String("completed"))
            text = QStringLiteral("COMPLETED");
        appendVCalendarLine(QStringLiteral("STATUS:") + text);
    }

    if (isTask) {
        const QDateTime due = _vxDict->mainObjectForKey(kDueDate).toDateTime();
        if (due.isValid()) {
            const bool dateOnly = _vxDict->mainObjectForKey(QStringLiteral("due date is date only")).toBool();
            const QDateTime local = due.toLocalTime();
            QString text;
            if (_isSony && dateOnly)
                text = zuluOrLocalTimeStringFor(local.addSecs(qint64(12 - local.time().hour()) * 3600));
            else if (dateOnly)
                text = zeroStartDayString(local);
            else
                text = zuluOrLocalTimeStringFor(due);
            appendVCalendarLine(QStringLiteral("DUE:") + text);
        }
        const QDateTime completed = _vxDict->mainObjectForKey(QStringLiteral("completion date")).toDateTime();
        if (completed.isValid())
            appendVCalendarLine(QStringLiteral("COMPLETED:") + zuluOrLocalTimeStringFor(completed));
    } else {
        const bool allDay = _vxDict->mainObjectForKey(QStringLiteral("all day")).toBool();
        const QDateTime start = _vxDict->mainObjectForKey(kStartDate).toDateTime();
        const QDateTime end = _vxDict->mainObjectForKey(kEndDate).toDateTime();
        if (start.isValid()) {
            if (!allDay) {
                appendVCalendarLine(QStringLiteral("DTSTART:") + zuluOrLocalTimeStringFor(start));
                if (end.isValid())
                    appendVCalendarLine(QStringLiteral("DTEND:") + zuluOrLocalTimeStringFor(end));
                if (_vxDict->objectForKey(kCategories).isValid()) {
                    if (protocol.startsWith(kSeries40))
                        _vxDict->setObject(QStringLiteral("MEETING"), kCategories);
                    else if (protocol.startsWith(kSeries60) || _syncDescription.hasSamsungCategories())
                        _vxDict->setObject(QStringLiteral("APPOINTMENT"), kCategories);
                }
            } else {
                applyAllDayCategories();
                appendVCalendarLine(QStringLiteral("DTSTART:") + allDayStartDate(start));
                if (end.isValid())
                    appendVCalendarLine(QStringLiteral("DTEND:") + allDayEndDate(end, start));
            }
        }
        const QString location = nonNilMainObject(QStringLiteral("location"));
        const bool miscellaneous = protocol.startsWith(kSeries40) && allDay
            && categoryList(_vxDict->objectForKey(kCategories)).contains(QStringLiteral("MISCELLANEOUS"));
        if (!location.isEmpty() && !miscellaneous)
            appendVCalendarLine(createEncodedLine(QStringLiteral("LOCATION"), location, _charSet));
    }

    addCategories();
    addAlarms(QString::fromLatin1(calendarkey::kAudioAlarms));
    addAlarms(QString::fromLatin1(calendarkey::kDisplayAlarms));
    addRecurrences();
    addDeviceSpecifics();
    appendVCalendarLine(isTask ? QStringLiteral("END:VTODO") : QStringLiteral("END:VEVENT"));
    appendVCalendarLine(QStringLiteral("END:VCALENDAR"));
    return _curVCalendar;
}

void VCalendarGenerator::addCategories()
{
    const QVariant categories = _vxDict->objectForKey(kCategories);
    if (!categories.isValid())
        return;
    appendVCalendarLine(QStringLiteral("CATEGORIES:") + categoryList(categories).join(u';'));
}

void VCalendarGenerator::addSamsungCategories()
{
    const QString first =
        _vxDict->mainObjectForKey(QString::fromLatin1(calendarkey::kRecurrences)).toList().value(0).toString();
    const QVariantMap rule = _vxDict->otherObjectForKey(first).toMap();
    if (rule.value(QString::fromLatin1(calendarkey::kFrequency)).toString() == QLatin1String("weekly"))
        appendVCalendarLine(QStringLiteral("CATEGORIES:APPOINTMENT"));
}

void VCalendarGenerator::addAlarms(const QString& listKey)
{
    using namespace calendarkey;
    const QString id = _vxDict->mainObjectForKey(listKey).toList().value(0).toString();
    if (id.isEmpty())
        return;
    const QVariant subRecord = _vxDict->otherObjectForKey(id);
    if (!subRecord.isValid())
        return;
    const QVariantMap alarm = subRecord.toMap();
    const QDateTime start = _vxDict->mainObjectForKey(kStartDate).toDateTime();
    const QDateTime due = _vxDict->mainObjectForKey(kDueDate).toDateTime();
    const QDateTime anchor = due.isValid() ? due : start;
    const QVariant duration = alarm.value(QString::fromLatin1(kTriggerDuration));
    QDateTime trigger = alarm.value(QString::fromLatin1(kTriggerDate)).toDateTime();
    if (!trigger.isValid() && duration.isValid() && anchor.isValid())
        trigger = anchor.addSecs(duration.toLongLong());
    if (!trigger.isValid())
        return;
    const QString property = listKey == QLatin1String(kAudioAlarms) ? QStringLiteral("AALARM")
                                                                    : QStringLiteral("DALARM");
    if (_syncDescription.usePeriodForAlarm()) {
        if (!start.isValid()) {
            QVLOG(qvlog::kVCard,
                  QStringLiteral("vCalendar writer: %1 of an item without start date not written\n").arg(property));
            return;
        }
        const qint64 offset = alarm.value(QString::fromLatin1(kTriggerDate)).toDateTime().isValid()
            ? start.secsTo(trigger)
            : duration.toLongLong();
        appendVCalendarLine(QStringLiteral("%1:%2;%3;;").arg(property, localText(start), durationString(offset)));
    } else {
        appendVCalendarLine(QStringLiteral("%1:%2").arg(property, localText(trigger)));
    }
    _vxDict->setRelation(relationArrayForItem(subRecord), listKey, id);
}

QString VCalendarGenerator::ruleEnd(const QVariantMap& rule) const
{
    using namespace calendarkey;
    const QVariant count = rule.value(QString::fromLatin1(kCount));
    if (present(count))
        return QStringLiteral(" #%1").arg(count.toInt());
    const QDateTime until = rule.value(QString::fromLatin1(kUntil)).toDateTime();
    if (until.isValid()) {
        if (_syncDescription.isSamsungAT())
            return u' ' + zeroZuluGreenwichTimeDayString(until.toLocalTime());
        return u' ' + zuluOrLocalTimeStringFor(until);
    }
    if (_syncDescription.isSamsungAT()) {
        // The phone knows no open repeat: it ends with the last year the
        // phone keeps events for.
        const bool named = _syncDescription.objectForKey(QStringLiteral("SyncML.ValidEventYears")).isValid();
        const int year = named && _syncDescription.highestEventYear() < 2099 ? _syncDescription.highestEventYear()
                                                                             : kDefaultHighestYear;
        return u' ' + zeroZuluGreenwichTimeDayString(QDateTime(QDate(year, 12, 31), QTime(0, 0), QTimeZone::utc()));
    }
    return QStringLiteral(" #0");
}

void VCalendarGenerator::addRecurrences()
{
    using namespace calendarkey;
    const QString id = _vxDict->mainObjectForKey(QString::fromLatin1(kRecurrences)).toList().value(0).toString();
    if (id.isEmpty())
        return;
    const QVariant record = _vxDict->otherObjectForKey(id);
    const QVariantMap rule = record.toMap();
    const QString frequency = rule.value(QString::fromLatin1(kFrequency)).toString();
    const QDateTime start = _vxDict->mainObjectForKey(kStartDate).toDateTime().toLocalTime();
    const bool samsungAT = _syncDescription.isSamsungAT();
    const auto list = [&rule](const char* key) { return rule.value(QString::fromLatin1(key)).toList(); };
    const QVariantList days = list(kByDayDays);
    QString kind;
    QString numbers;
    if (frequency == QLatin1String("daily")) {
        kind = QStringLiteral("D");
    } else if (frequency == QLatin1String("weekly")) {
        kind = QStringLiteral("W");
    } else if (frequency == QLatin1String("monthly")) {
        if (!days.isEmpty() && !list(kByDayFreq).isEmpty()) {
            kind = QStringLiteral("MP");
            numbers = signedNumbers(list(kByDayFreq), true);
        } else if (days.isEmpty() && !list(kByMonthDay).isEmpty()) {
            kind = QStringLiteral("MD");
            numbers = signedNumbers(list(kByMonthDay), false);
        } else {
            kind = QStringLiteral("M");
        }
    } else if (frequency == QLatin1String("yearly")) {
        if (!list(kByYearDay).isEmpty()) {
            kind = QStringLiteral("YD");
            numbers = plainNumbers(list(kByYearDay));
        } else if (!list(kByMonth).isEmpty()) {
            kind = QStringLiteral("YM");
            numbers = plainNumbers(list(kByMonth));
        } else if (_isSony && start.isValid()) {
            kind = QStringLiteral("YM");
            numbers = QStringLiteral(" %1").arg(start.date().month());
        } else if (_syncDescription.isSamsung()) {
            kind = QStringLiteral("YD");
        } else {
            kind = QStringLiteral("Y");
        }
    } else {
        return;
    }
    QString weekdays;
    for (const QVariant& day : days) {
        const QString code = weekdayCode(day.toString());
        if (!code.isEmpty())
            weekdays += u' ' + code;
    }
    if (samsungAT && start.isValid()) {
        if (kind == QLatin1String("W") && weekdays.isEmpty())
            weekdays = u' ' + weekdayCodeOf(start.date().dayOfWeek());
        if (kind == QLatin1String("M") && numbers.isEmpty()) {
            kind = QStringLiteral("MD");
            numbers = QStringLiteral(" %1").arg(start.date().day());
        }
    }
    const QVariant interval = rule.value(QString::fromLatin1(kInterval));
    appendVCalendarLine(QStringLiteral("RRULE:%1%2%3%4%5")
                            .arg(kind)
                            .arg(present(interval) ? interval.toInt() : 1)
                            .arg(numbers, weekdays, ruleEnd(rule)));
    _vxDict->setRelation(relationArrayForItem(record), QString::fromLatin1(kRecurrences), id);
}

void VCalendarGenerator::addDeviceSpecifics()
{
    if (!_addDeviceSpecifics)
        return;
    const QVariantMap device = _vxDict->objectForKey(VXDictionary::kDeviceItems).toMap();
    for (auto it = device.cbegin(); it != device.cend(); ++it) {
        QString params;
        QVariant data = it.value();
        if (data.typeId() == QMetaType::QVariantMap) {
            const QVariantMap kept = data.toMap();
            params = paramText(kept.value(QStringLiteral("Params")).toList());
            data = kept.value(QStringLiteral("Data"));
        }
        if (data.typeId() == QMetaType::QByteArray) {
            const QString base64 = QStringLiteral("ENCODING=BASE64");
            appendVCalendarLine(createVerbatimLine(it.key(), params.isEmpty() ? base64 : params + u';' + base64,
                                                   QString::fromLatin1(data.toByteArray().toBase64())));
            continue;
        }
        const QString value = data.toString();
        if (params.isEmpty() && !value.contains(u'\r') && !value.contains(u'\n'))
            appendVCalendarLine(it.key() + u':' + value);
        else
            appendVCalendarLine(createVerbatimLine(it.key(), params, value));
    }
}
