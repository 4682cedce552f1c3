#include "formats/VCalendar2Dictionary.h"

#include "formats/CARD_Parser.h"
#include "foundation/NamedLog.h"
#include "foundation/QuorNSStringCompareAdds.h"
#include "platform/TextEncoding.h"

#include <QDateTime>
#include <QLocale>
#include <QStringList>

#include <optional>

namespace {

const QString kObjectValue = QStringLiteral("objectValue");
const QString kObjectParams = QStringLiteral("objectParams");
const QString kType = QStringLiteral("TYPE");
const QString kLatin1 = QStringLiteral("LATIN1");
constexpr int kNoDateYear = 2065;

// The tokenizer's user data.
struct ParseRecord {
    QString name;
    std::optional<QVariantMap> result;
    QStringList params;
    QString defaultCharset;
};

void onProperty(void* userData, const char* name, const char** params)
{
    auto* record = static_cast<ParseRecord*>(userData);
    record->name = platform::text::decode(QByteArray(name), platform::text::Encoding::MacRoman).value_or(QString());
    record->params.clear();
    // Names and values in order, up to the first parameter without a value.
    for (int i = 0; params[i]; ++i)
        record->params.append(platform::text::decode(QByteArray(params[i]), platform::text::Encoding::MacRoman)
                                  .value_or(QString()));
}

std::optional<QString> decodedValue(const ParseRecord& record, const QByteArray& bytes)
{
    using platform::text::Encoding;
    const bool latin1 = record.params.contains(kLatin1)
                        || (!record.params.contains(QStringLiteral("CHARSET")) && record.defaultCharset == kLatin1);
    return platform::text::decode(bytes, latin1 ? Encoding::Latin1 : Encoding::Utf8);
}

void onData(void* userData, const char* data, int length)
{
    auto* record = static_cast<ParseRecord*>(userData);
    if (!data || record->name.isEmpty())
        return;
    const auto value = decodedValue(*record, QByteArray(data, length));
    const QString name = record->name;
    const QStringList params = record->params;
    record->name.clear();
    record->params.clear();
    if (!value)
        return;
    if (name == QLatin1String("BEGIN")) {
        if (*value == QLatin1String("VCALENDAR"))
            record->result = QVariantMap();
        else if (record->result)
            record->result->insert(kType, *value);
        return;
    }
    if (name == QLatin1String("END") || !record->result)
        return;
    QVariantMap& result = *record->result;
    if (!params.isEmpty()) {
        result.insert(name, QVariantMap{{kObjectValue, *value}, {kObjectParams, params}});
        return;
    }
    const auto earlier = result.constFind(name);
    if (earlier == result.constEnd())
        result.insert(name, *value);
    else if (earlier->typeId() == QMetaType::QVariantList)
        result.insert(name, earlier->toList() << *value);
    else
        result.insert(name, QVariantList{*earlier, *value});
}

QString flatValue(const QVariant& value)
{
    if (value.typeId() == QMetaType::QVariantMap) {
        const QVariantMap object = value.toMap();
        QString text = object.value(kObjectValue).toString();
        if (object.value(kObjectParams).toStringList().contains(QStringLiteral("DATE")))
            text += QStringLiteral("T000000Z");
        return text;
    }
    return value.toString();
}

QString text(const QVariantMap& dict, const char* key)
{
    return dict.value(QLatin1String(key)).toString();
}

bool isAllDayPair(const QVariantMap& dict)
{
    const QString start = text(dict, "DTSTART");
    const QString end = text(dict, "DTEND");
    return start.size() == 15 && end.size() == 15 && start.endsWith(QLatin1String("000000"))
           && end.endsWith(QLatin1String("235959"));
}

QDateTime readDate(const QString& value)
{
    return value.size() == 15 ? getZuluCalendarDate(value) : getNSCalendarDateFromT_Time(value);
}

enum class Form { Long, Short };

QString displayDate(const QVariantMap& dict, const char* key, Form form)
{
    const QString value = text(dict, key);
    if (value.isEmpty())
        return QString(QLatin1String(""));
    const QDateTime date = readDate(value);
    const QLocale locale;
    if (value.size() == 15 && isAllDayPair(dict) && date.isValid())
        return locale.toString(date.date(), form == Form::Long ? QStringLiteral("ddd. dd. MMM yyyy")
                                                               : QStringLiteral("dd.MM.yy"));
    if (!date.isValid() || date.date().year() == kNoDateYear)
        return QString(QLatin1String(""));
    return locale.toString(date, form == Form::Long ? QStringLiteral("ddd. dd. MMM yyyy, HH:mm")
                                                    : QStringLiteral("dd.MM.yy, HH:mm"));
}

QString displayDueDate(const QVariantMap& dict, const char* format)
{
    const QDateTime due = getNSCalendarDateFromT_Time(text(dict, "DUE"));
    if (!due.isValid() || due.date().year() == kNoDateYear)
        return QString(QLatin1String(""));
    return QLocale().toString(due, QString::fromLatin1(format));
}

} // namespace

QVariantMap VCalendar2Dictionary::dictionaryForVCalendar(const QByteArray& text, const QString& defaultCharset)
{
    ParseRecord record;
    record.defaultCharset = defaultCharset;
    CARD_Parser* parser = CARD_ParserCreate();
    CARD_SetUserData(parser, &record);
    CARD_SetPropHandler(parser, onProperty);
    CARD_SetDataHandler(parser, onData);
    const qsizetype length = std::min<qsizetype>(text.size(), qsizetype(CARD_Parser::kMaxLineLength));
    if (!CARD_Parse(parser, text.constData(), int(length), 1))
        QVLOG(qvlog::kXT, QStringLiteral("VCalendar2Dictionary: the vCalendar text could not be read"));
    CARD_ParserFree(parser);

    QVariantMap flat;
    if (!record.result)
        return flat;
    for (auto it = record.result->cbegin(); it != record.result->cend(); ++it) {
        if (it->typeId() == QMetaType::QVariantList) {
            QStringList values;
            for (const QVariant& entry : it->toList())
                values.append(flatValue(entry));
            flat.insert(it.key(), values.join(QStringLiteral(", ")));
        } else {
            flat.insert(it.key(), flatValue(*it));
        }
    }
    return flat;
}

QString getSummary(const QVariantMap& dict)
{
    return dict.contains(QStringLiteral("SUMMARY")) ? text(dict, "SUMMARY") : QString(QLatin1String(""));
}

bool isEvent(const QVariantMap& dict)
{
    return text(dict, "TYPE") == QLatin1String("VEVENT");
}

bool isToDo(const QVariantMap& dict)
{
    return text(dict, "TYPE") == QLatin1String("VTODO");
}

bool isMemo(const QVariantMap& dict)
{
    const QVariant categories = dict.value(QStringLiteral("CATEGORIES"));
    if (categories.typeId() == QMetaType::QVariantList || categories.typeId() == QMetaType::QStringList)
        return categories.toStringList().contains(QStringLiteral("MEMO"));
    return categories.toString().contains(QStringLiteral("MEMO"));
}

QVariant getDescription(const QVariantMap& dict)
{
    return dict.value(QStringLiteral("DESCRIPTION"));
}

QVariant getLocation(const QVariantMap& dict)
{
    return dict.value(QStringLiteral("LOCATION"));
}

QVariant getURL(const QVariantMap& dict)
{
    return dict.value(QStringLiteral("URL"));
}

QVariant getPriority(const QVariantMap& dict)
{
    return dict.value(QStringLiteral("PRIORITY"));
}

QVariant getRawDueDate(const QVariantMap& dict)
{
    return dict.value(QStringLiteral("DUE"));
}

QVariant getRawStartDate(const QVariantMap& dict)
{
    return dict.value(QStringLiteral("DTSTART"));
}

QString getAttendeesString(const QVariantMap& dict)
{
    const QVariant attendees = dict.value(QStringLiteral("ATTENDEE"));
    if (attendees.typeId() == QMetaType::QString)
        return attendees.toString();
    if (attendees.typeId() == QMetaType::QVariantList || attendees.typeId() == QMetaType::QStringList) {
        QString result(QLatin1String(""));
        for (const QString& entry : attendees.toStringList())
            result += u'\t' + entry;
        return result;
    }
    return QString();
}

QString getStartDate(const QVariantMap& dict)
{
    return displayDate(dict, "DTSTART", Form::Long);
}

QString getEndDate(const QVariantMap& dict)
{
    return displayDate(dict, "DTEND", Form::Long);
}

QString getShortStartDate(const QVariantMap& dict)
{
    return displayDate(dict, "DTSTART", Form::Short);
}

QString getShortEndDate(const QVariantMap& dict)
{
    return displayDate(dict, "DTEND", Form::Short);
}

QString getStartDateDay(const QVariantMap& dict)
{
    if (isAllDayPair(dict))
        return getStartDate(dict);
    const QDateTime start = readDate(text(dict, "DTSTART"));
    return start.isValid() ? start.toString(QStringLiteral("yyyyMMdd")) : QString(QLatin1String(""));
}

QString getDueDate(const QVariantMap& dict)
{
    return displayDueDate(dict, "ddd. dd. MMM yyyy, HH:mm");
}

QString getShortDueDate(const QVariantMap& dict)
{
    return displayDueDate(dict, "dd.MM.yy, HH:mm");
}

QString getDueDateDay(const QVariantMap& dict)
{
    const QDateTime due = getNSCalendarDateFromT_Time(text(dict, "DUE"));
    return due.isValid() ? due.toString(QStringLiteral("yyyyMMdd")) : QString(QLatin1String(""));
}

QString getStartYear(const QVariantMap& dict)
{
    const QDateTime start = readDate(text(dict, "DTSTART"));
    return start.isValid() ? start.toString(QStringLiteral("yyyy")) : QString(QLatin1String(""));
}

QString getAlarmInfo(const QVariantMap& dict)
{
    for (auto it = dict.cbegin(); it != dict.cend(); ++it) {
        if (it.key().startsWith(QLatin1String("AALARM")))
            return it.value().toString().contains(QLatin1String(";z:")) ? QStringLiteral("SOUND") : QStringLiteral("--");
    }
    return QString(QLatin1String(""));
}

QString getRepeatingInfo(const QVariantMap& dict)
{
    if (!dict.contains(QStringLiteral("RRULE")))
        return getStartYear(dict) == QLatin1String("2065") ? QStringLiteral("Birthday") : QStringLiteral("--");
    const QString rule = text(dict, "RRULE");
    if (rule.startsWith(QLatin1String("W1")))
        return QStringLiteral("Weekly");
    if (rule.startsWith(u'W'))
        return QStringLiteral("Several days");
    if (rule.startsWith(QLatin1String("D1")))
        return QStringLiteral("Daily");
    if (rule.startsWith(QLatin1String("M1")))
        return QStringLiteral("Monthly");
    if (rule.startsWith(QLatin1String("Y1")))
        return QStringLiteral("Yearly");
    return QStringLiteral("YES");
}
