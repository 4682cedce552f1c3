#include "formats/VCalendar2ElemsParser.h"

#include "device/QVSyncDeviceDescription.h"
#include "formats/CARD_Parser.h"
#include "formats/QuorNSStringVCardExtensions.h"
#include "formats/RecurrenceAlarmValues.h"
#include "formats/VCardEncoding.h"
#include "formats/VCardReaderMapping.h"
#include "foundation/NamedLog.h"
#include "foundation/QuorNSStringCompareAdds.h"
#include "platform/SyncChange.h"

#include <algorithm>
#include <utility>

namespace {

// Nested blocks deeper than this are refused.
constexpr int kMaxNesting = 16;
const QByteArray kVBodyEnd = QByteArrayLiteral("END:VBODY");
constexpr long long kVBodyBeginLength = 13; // "BEGIN:VBODY" and CR LF

const QString kSubitems = QStringLiteral("Subitems");
const QString kDuration = QStringLiteral("DURATION");
const QString kStartDate = QStringLiteral("start date");
const QString kEndDate = QStringLiteral("end date");

QString textOf(const QVariant& value)
{
    if (value.typeId() == QMetaType::QByteArray)
        return QString::fromUtf8(value.toByteArray());
    return value.toString();
}

// A date value of the forms YYYYMMDD, YYYYMMDDTHHMMSS, YYYYMMDDTHHMMSSZ;
// invalid for anything else.
QDateTime dateOf(const QString& text)
{
    if (!isTimeString(text))
        return QDateTime();
    return getNSCalendarDateFromT_Time(text);
}

QString statusFor(const QString& value)
{
    const QString upper = value.trimmed().toUpper();
    if (upper == QLatin1String("ACCEPTED") || upper == QLatin1String("SENT") || upper == QLatin1String("TENTATIVE")
        || upper == QLatin1String("CONFIRMED") || upper == QLatin1String("DELEGATED"))
        return QStringLiteral("inprocess");
    if (upper == QLatin1String("NEEDS ACTION"))
        return QStringLiteral("needsaction");
    if (upper == QLatin1String("DECLINED"))
        return QStringLiteral("cancelled");
    if (upper == QLatin1String("COMPLETED"))
        return QStringLiteral("completed");
    return QStringLiteral("none");
}

void appendEntry(QVariantMap& item, const QString& key, QVariantMap entry, const QVariantList& params)
{
    if (!params.isEmpty())
        entry.insert(VCardDictionary::kParams, params);
    QVariant& slot = item[key];
    QVariantList list = slot.toList();
    slot.clear();
    list.append(entry);
    slot = std::move(list);
}

bool isCalendarBlock(const QString& type)
{
    return type == QLatin1String("VCALENDAR") || type == QLatin1String("VEVENT") || type == QLatin1String("VTODO");
}

// The character set a value without one is read in: the description's, when
// the converter knows it, else UTF-8.
QString fallbackCharset(const QVSyncDeviceDescription* description)
{
    const QString named = description ? description->defaultCharset() : QString();
    if (!named.isEmpty() && isKnownCharsetName(named))
        return named;
    return QStringLiteral("UTF-8");
}

} // namespace

struct CalendarRun : vcardreader::PropertyCollector {
    CalendarRun(VCalendar2ElemsParser* calendarReader, bool isVersion21)
        : PropertyCollector(vcardreader::Reader::Item, isVersion21)
        , owner(calendarReader)
        , base(calendarReader->_startingPos)
    {
        setFallbackCharset(fallbackCharset(owner->_syncDescription));
    }

    VCalendar2ElemsParser* owner;
    long long base; // offset of the parsed piece in the text
    std::optional<VCalendarDictionary> item;
    bool failed = false;
    bool finished = false;

    void fail(bool refused)
    {
        failed = true;
        owner->_refused = owner->_refused || refused;
        parser->stop();
    }

    void appendSubitem(const QVariantMap& nested)
    {
        QVariant& slot = item->map()[kSubitems];
        QVariantList list = slot.toList();
        slot.clear();
        list.append(nested);
        slot = std::move(list);
    }

    // Reads the nested block whose "BEGIN:" line is being read; reading of
    // this item goes on after it.
    void beginNested(const QString& type)
    {
        const long long lineStart = base + parser->lineStart();
        if (owner->_depth >= kMaxNesting) {
            QVLOG(qvlog::kXT,
                  QStringLiteral("vCalendar reader: blocks nested deeper than %1 levels are not read\n")
                      .arg(kMaxNesting));
            fail(true);
            return;
        }
        VCalendar2ElemsParser nested(owner->_bytes, lineStart, owner->_syncDescription, isVersion21, owner->_depth + 1);
        nested._vbodyEndMissingFrom = owner->_vbodyEndMissingFrom;
        if (type == QLatin1String("VBODY")) {
            const QVariantMap body = nested.getBodyElem();
            if (!body.isEmpty())
                appendSubitem(body);
        } else {
            const auto nestedItem = nested.getItem();
            if (nested.wasRefused()) {
                fail(true);
                return;
            }
            if (nestedItem)
                appendSubitem(nestedItem->map());
        }
        const long long end = nested.nextPosition();
        parser->continueAt((end == 0 ? owner->_bytes.size() : end + 1) - base);
    }

    void endItem(const QString& word)
    {
        if (word != owner->_vXXXType) {
            QVLOG(qvlog::kXT,
                  QStringLiteral("EndItem has a big problem: BEGIN:%1 is ended with END:%2\n")
                      .arg(owner->_vXXXType, word));
            fail(false);
            return;
        }
        if (word == QLatin1String("VCARD")) {
            item->VCardDictionary::finishVXItem();
        } else {
            expandDuration();
            item->finishVXItem();
            if (word == QLatin1String("VEVENT"))
                item->map().insert(platform::ISyncRecordEntityNameKey, platform::entity::Event);
            else if (word == QLatin1String("VTODO"))
                item->map().insert(platform::ISyncRecordEntityNameKey, platform::entity::Task);
        }
        finished = true;
        parser->stop();
    }

    // An item with a start, no end and a duration ends after the duration.
    void expandDuration()
    {
        QVariantMap& map = item->map();
        const QDateTime start = map.value(kStartDate).toDateTime();
        if (!start.isValid() || map.contains(kEndDate))
            return;
        QVariant duration = map.value(VCardDictionary::kDeviceSpecific).toMap().value(kDuration);
        if (duration.typeId() == QMetaType::QVariantMap)
            duration = duration.toMap().value(QStringLiteral("Data"));
        const QString text = textOf(duration).trimmed();
        if (!text.isEmpty() && durationInSeconds(text))
            map.insert(kEndDate, dateAddingDuration(start, text));
    }

    void enterCalendarData(const QString& propertyName, const QVariantList& params, const QVariant& value)
    {
        if (!value.isValid())
            return;
        using namespace calendarkey;
        QVariantMap& map = item->map();
        const QString name = propertyName.toUpper();
        const QString text = textOf(value);
        const auto enterDate = [&map, &text](const char* key) {
            const QDateTime date = dateOf(text.trimmed());
            if (date.isValid())
                map.insert(QString::fromLatin1(key), date);
        };
        if (name == QLatin1String("VERSION")) {
            return;
        } else if (name == QLatin1String("DAYLIGHT") || name == QLatin1String("TZ")) {
            map.insert(name, text);
        } else if (name == QLatin1String("CLASS")) {
            map.insert(QStringLiteral("classification"), text.toLower());
        } else if (name == QLatin1String("PRIORITY")) {
            bool ok = false;
            const int priority = text.trimmed().toInt(&ok);
            if (ok) {
                const QVSyncDeviceDescription* description = owner->_syncDescription;
                map.insert(QStringLiteral("priority"),
                           description ? description->macPriorityForDevice(priority) : priority);
            }
        } else if (name == QLatin1String("SUMMARY")) {
            map.insert(QStringLiteral("summary"), text);
        } else if (name == QLatin1String("DESCRIPTION")) {
            map.insert(QStringLiteral("description"), text);
        } else if (name == QLatin1String("LOCATION")) {
            map.insert(QStringLiteral("location"), text);
        } else if (name == QLatin1String("DTSTART")) {
            enterDate("start date");
        } else if (name == QLatin1String("DTEND")) {
            enterDate("end date");
        } else if (name == QLatin1String("DUE")) {
            enterDate("due date");
        } else if (name == QLatin1String("COMPLETED")) {
            enterDate("completion date");
        } else if (name == QLatin1String("AALARM") || name == QLatin1String("DALARM")) {
            const char* key = name == QLatin1String("AALARM") ? kAudioAlarms : kDisplayAlarms;
            appendEntry(map, QString::fromLatin1(key), alarmForValue(text), params);
        } else if (name == QLatin1String("RRULE")) {
            if (const auto rule = recurrenceForRule(text))
                appendEntry(map, QString::fromLatin1(kRecurrences), *rule, params);
        } else if (name == QLatin1String("STATUS")) {
            map.insert(QStringLiteral("status"), statusFor(text));
        } else if (name == QLatin1String("EXDATE")) {
            const QStringList parts = text.split(u';', Qt::SkipEmptyParts);
            if (parts.isEmpty())
                return;
            const QString key = QStringLiteral("exception dates");
            QVariantList dates = map.value(key).toList();
            for (const QString& part : parts) {
                const QDateTime date = dateOf(part.trimmed());
                if (date.isValid())
                    dates.append(date);
            }
            map.insert(key, dates);
        } else {
            vcardreader::enterDeviceSpecific(map, propertyName, params, value);
        }
    }

    void handle(const QString& propertyName, const QVariantList& propertyParams, const QVariant& propertyValue) override
    {
        if (failed || finished)
            return;
        const bool isBegin = propertyName.compare(QLatin1String("BEGIN"), Qt::CaseInsensitive) == 0;
        const bool isEnd = propertyName.compare(QLatin1String("END"), Qt::CaseInsensitive) == 0;
        const QString word = isBegin || isEnd ? textOf(propertyValue).trimmed() : QString();
        if (!item) {
            if (isBegin) {
                item.emplace();
                owner->_vXXXType = word;
            }
            return;
        }
        const QString& type = owner->_vXXXType;
        if (isBegin) {
            beginNested(word);
        } else if (isEnd) {
            endItem(word);
        } else if (type == QLatin1String("VCARD")) {
            vcardreader::enterVCardData(*item, propertyName, propertyParams, propertyValue, isVersion21,
                                        vcardreader::Reader::Import);
        } else if (isCalendarBlock(type)) {
            enterCalendarData(propertyName, propertyParams, propertyValue);
        } else if (propertyValue.isValid()) {
            item->map().insert(propertyName, propertyValue);
        }
    }
};

VCalendar2ElemsParser::VCalendar2ElemsParser(const QString& text, long long startingPos,
                                             const QVSyncDeviceDescription* description)
    : VCalendar2ElemsParser(text.toUtf8(), startingPos, description, isVCard21(text))
{
}

VCalendar2ElemsParser::VCalendar2ElemsParser(const QByteArray& bytes, long long startingPos,
                                             const QVSyncDeviceDescription* description, bool isVersion21, int depth)
    : _bytes(bytes)
    , _startingPos(std::clamp<long long>(startingPos, 0, bytes.size()))
    , _syncDescription(description)
    , _isVersion21(isVersion21)
    , _depth(depth)
{
}

std::optional<VCalendarDictionary> VCalendar2ElemsParser::getItem()
{
    _endPos = 0;
    _refused = false;
    _vXXXType.clear();
    CalendarRun run(this, _isVersion21);
    CARD_Parser parser(vcardreader::readerPolicy(vcardreader::Reader::Item, _isVersion21));
    run.attach(parser);
    const int ok = parser.parse(_bytes.constData() + _startingPos, int(_bytes.size() - _startingPos), true);
    if (!ok)
        _refused = true;
    const long long last = parser.position() < 0 ? -1 : _startingPos + parser.position();
    _endPos = last < 0 || last >= _bytes.size() - 1 ? 0 : last;
    if (run.item)
        run.item->complementDueDate();
    if (!ok || run.failed || !run.item)
        return std::nullopt;
    return run.item;
}

QVariantMap VCalendar2ElemsParser::getBodyElem()
{
    _vXXXType = QStringLiteral("VBODY");
    const long long from = std::min<long long>(_startingPos + kVBodyBeginLength, _bytes.size());
    long long& missingFrom = *_vbodyEndMissingFrom;
    const qsizetype found = missingFrom >= 0 && from >= missingFrom ? -1 : _bytes.indexOf(kVBodyEnd, from);
    if (found < 0) {
        if (missingFrom < 0 || from < missingFrom)
            missingFrom = from;
        _endPos = from >= _bytes.size() - 1 ? 0 : from;
        return QVariantMap();
    }
    const long long last = found + kVBodyEnd.size() - 1;
    _endPos = last >= _bytes.size() - 1 ? 0 : last;
    QStringList lines = QString::fromUtf8(_bytes.mid(from, found - from)).split(u'\n');
    // The line end before "END:VBODY" closes the last line; it opens none.
    if (lines.size() > 1 && lines.last().isEmpty())
        lines.removeLast();
    for (QString& line : lines) {
        if (line.endsWith(u'\r'))
            line.chop(1);
    }
    if (lines.size() >= 2)
        return {{QStringLiteral("Date"), lines.at(0)}, {QStringLiteral("Message"), lines.at(1)}};
    return {{QStringLiteral("Message"), lines.value(0)}};
}

std::optional<VCalendarDictionary> elemsForVCalendarString(const QString& text,
                                                           const QVSyncDeviceDescription* description)
{
    const QString fixed = stringFixLineBreaks(text);
    VCalendar2ElemsParser reader(fixed.toUtf8(), 0, description, isVCard21(fixed));
    return reader.getItem();
}
