#include "formats/VCardItemReader.h"

#include "formats/CARD_Parser.h"
#include "formats/QuorNSStringVCardExtensions.h"
#include "formats/VCardReaderMapping.h"
#include "foundation/NamedLog.h"

#include <algorithm>
#include <utility>

namespace {

// Nested items deeper than this are not read.
constexpr int kMaxNesting = 16;
const QByteArray kVBodyEnd = QByteArrayLiteral("END:VBODY");
constexpr long long kVBodyBeginLength = 13;     // "BEGIN:VBODY" and CR LF

} // namespace

struct ItemRun : vcardreader::PropertyCollector {
    ItemRun(VXXX2ElemsParser* itemReader, bool isVersion21)
        : PropertyCollector(vcardreader::Reader::Item, isVersion21)
        , owner(itemReader)
        , base(itemReader->_startingPos)
    {
    }

    VXXX2ElemsParser* owner;
    long long base;                             // offset of the parsed piece in the text
    std::optional<VCardDictionary> item;
    bool failed = false;

    void store(const QString& type, const QVariant& nested)
    {
        QVariantMap& map = item->map();
        const auto found = map.find(type);
        if (found == map.end())
            map.insert(type, nested);
        else if (found->typeId() == QMetaType::QVariantList)
            *found = found->toList() << nested;
        else
            *found = QVariantList{*found, nested};
    }

    // Reads the nested item whose "BEGIN:" line starts at lineStart; reading
    // of this item goes on after it.
    void beginNested(const QString& type)
    {
        const long long lineStart = base + parser->lineStart();
        const QByteArray& bytes = owner->_bytes;
        long long end = 0;
        if (type == QLatin1String("VBODY")) {
            const long long from = std::min<long long>(lineStart + kVBodyBeginLength, bytes.size());
            const qsizetype found = bytes.indexOf(kVBodyEnd, from);
            end = found < 0 ? from : found + kVBodyEnd.size() - 1;
            if (found >= 0) {
                const QString body = QString::fromUtf8(bytes.mid(from, found - from));
                QVariantMap entry;
                if (body.startsWith(QLatin1String("Date:"))) {
                    const auto [date, rest] = VXXX2ElemsParser::separateDateLine(body);
                    entry.insert(QStringLiteral("Date"), date);
                    entry.insert(QStringLiteral("Message"), rest);
                } else {
                    entry.insert(QStringLiteral("Message"), body);
                }
                store(type, entry);
            }
        } else {
            VXXX2ElemsParser nested(bytes, lineStart, isVersion21, owner->_depth + 1);
            if (const auto nestedItem = nested.getItem())
                store(type, nestedItem->map());
            end = nested.nextPosition();
        }
        parser->continueAt((end == 0 ? bytes.size() : end + 1) - base);
    }

    void handle(const QString& propertyName, const QVariantList& propertyParams,
                const QVariant& propertyValue) override
    {
        const bool isBegin = propertyName.compare(QLatin1String("BEGIN"), Qt::CaseInsensitive) == 0;
        const bool isEnd = propertyName.compare(QLatin1String("END"), Qt::CaseInsensitive) == 0;
        const QString word = isBegin || isEnd ? propertyValue.toString() : QString();
        if (!item) {
            if (isBegin) {
                item.emplace();
                owner->_vXXXType = word;
            }
            return;
        }
        if (isBegin) {
            beginNested(word);
        } else if (isEnd) {
            if (word == owner->_vXXXType) {
                if (word == QLatin1String("VCARD"))
                    item->finishVXItem();
            } else {
                QVLOG(qvlog::kXT, QStringLiteral("EndItem has a big problem: BEGIN:%1 is ended with END:%2\n")
                                      .arg(owner->_vXXXType, word));
                failed = true;
            }
            parser->stop();
        } else if (owner->_vXXXType == QLatin1String("VCARD")) {
            vcardreader::enterVCardData(*item, propertyName, propertyParams, propertyValue, isVersion21,
                                        reader);
        } else if (propertyValue.isValid()) {
            item->map().insert(propertyName, propertyValue);
        }
    }
};

VXXX2ElemsParser::VXXX2ElemsParser(const QString& text, long long startingPos)
    : VXXX2ElemsParser(text.toUtf8(), startingPos, isVCard21(text))
{
}

VXXX2ElemsParser::VXXX2ElemsParser(const QByteArray& bytes, long long startingPos, bool isVersion21, int depth)
    : _bytes(bytes)
    , _startingPos(std::clamp<long long>(startingPos, 0, bytes.size()))
    , _isVersion21(isVersion21)
    , _depth(depth)
{
}

std::optional<VCardDictionary> VXXX2ElemsParser::getItem()
{
    _endPos = 0;
    if (_depth > kMaxNesting)
        return std::nullopt;
    ItemRun run(this, _isVersion21);
    CARD_Parser parser(vcardreader::readerPolicy(vcardreader::Reader::Item, _isVersion21));
    run.attach(parser);
    const int ok = parser.parse(_bytes.constData() + _startingPos, int(_bytes.size() - _startingPos), true);
    const long long last = parser.position() < 0 ? -1 : _startingPos + parser.position();
    _endPos = last < 0 || last >= _bytes.size() - 1 ? 0 : last;
    if (!ok || run.failed || !run.item || parser.position() < 0)
        return std::nullopt;
    return run.item;
}

bool VXXX2ElemsParser::isCalendarType(const QString& word)
{
    static const QStringList types = {QStringLiteral("VCALENDAR"), QStringLiteral("VTODO"), QStringLiteral("VEVENT"),
                                      QStringLiteral("VTIMEZONE"), QStringLiteral("VFREEBUSY"),
                                      QStringLiteral("VJOURNAL")};
    return types.contains(word);
}

std::pair<QString, QString> VXXX2ElemsParser::separateDateLine(const QString& body)
{
    qsizetype end = 0;
    while (end < body.size() && body.at(end) != u'\r' && body.at(end) != u'\n')
        ++end;
    qsizetype rest = end;
    if (rest < body.size() && body.at(rest) == u'\r')
        ++rest;
    if (rest < body.size() && body.at(rest) == u'\n')
        ++rest;
    return {body.left(end), body.mid(rest)};
}

QVariantList elemsForVXXXString(const QString& text)
{
    const QString fixed = stringFixLineBreaks(text);
    const QByteArray bytes = fixed.toUtf8();
    const bool isVersion21 = isVCard21(fixed);
    QVariantList items;
    long long position = 0;
    while (true) {
        VXXX2ElemsParser reader(bytes, position, isVersion21);
        const auto item = reader.getItem();
        if (!item)
            break;
        items.append(QVariantMap{{QStringLiteral("Type"), reader.itemType()}, {QStringLiteral("Element"), item->map()}});
        position = reader.nextPosition();
        if (position == 0 || bytes.size() - position - 1 < 7)
            break;
    }
    return items;
}
