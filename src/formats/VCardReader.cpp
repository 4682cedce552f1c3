#include "formats/VCardReader.h"

#include "formats/CARD_Parser.h"
#include "formats/QuorNSDataVCardExtensions.h"
#include "formats/QuorNSStringVCardExtensions.h"
#include "formats/RawVCardUtilities.h"
#include "formats/VCardGenerator.h"
#include "formats/VCardReaderMapping.h"
#include "formats/VCardRelations.h"
#include "formats/VXDictionary.h"
#include "device/QVSyncDeviceDescription.h"
#include "platform/SyncChange.h"

#include <QUrl>

#include <array>
#include <cstddef>
#include <cstring>

const QString VCardDictionary::kDeviceSpecific = QStringLiteral("DeviceSpecific");
const QString VCardDictionary::kParams = QStringLiteral("PARAMS");

namespace {

const char* const kLists[] = {contactkey::kPhoneNumbers, contactkey::kEmailAddresses, contactkey::kStreetAddresses,
                              contactkey::kURLs};

// The relation form of a parameter list. The readers share one list among all
// properties written with the same parameters, so the last answers are kept
// with the list they were made from: while kept, that list's data cannot
// change or be freed, and the same data means the same answer.
QVariant keptRelation(const QVariant& params)
{
    struct Kept {
        QVariantList params;
        QVariant relation;
    };
    constexpr std::size_t kKept = 16;
    thread_local std::array<Kept, kKept> kept;
    thread_local std::size_t next = 0;
    if (params.typeId() != QMetaType::QVariantList)
        return formatRelation(params);
    const QVariantList list = params.toList();
    if (list.isEmpty())
        return formatRelation(params);
    for (const Kept& entry : kept) {
        if (entry.params.constData() == list.constData() && entry.params.size() == list.size())
            return entry.relation;
    }
    Kept& entry = kept[next++ % kKept];
    entry.relation = formatRelation(params);
    entry.params = list;
    return entry.relation;
}

} // namespace

void VCardDictionary::fixRelations(const QString& listKey)
{
    const auto found = _dict.find(listKey);
    if (found == _dict.end() || found->typeId() != QMetaType::QVariantList)
        return;
    // The list and each changed entry are taken out of their holders while
    // they change, so nothing is copied.
    QVariantList entries = found->toList();
    found->clear();
    for (QVariant& entry : entries) {
        if (entry.typeId() != QMetaType::QVariantMap)
            continue;
        QVariantMap map = entry.toMap();
        if (!map.contains(kParams))
            continue;
        entry.clear();
        const auto params = map.find(kParams);
        const QVariant relation = keptRelation(*params);
        if (relation.isValid())
            *params = relation;
        else
            map.erase(params);
        entry = std::move(map);
    }
    *found = std::move(entries);
}

void VCardDictionary::finishVXItem()
{
    using namespace contactkey;
    for (const char* list : kLists)
        fixRelations(vcardreader::fieldKey(list));
    const QString first = _dict.value(vcardreader::fieldKey(kFirstName)).toString();
    const QString last = _dict.value(vcardreader::fieldKey(kLastName)).toString();
    const QString company = _dict.value(vcardreader::fieldKey(kCompanyName)).toString();
    if (first.isEmpty() && !last.isEmpty() && !company.isEmpty() && company.startsWith(last))
        _dict.remove(vcardreader::fieldKey(kLastName));
}

QString cleanedFromBackSlash(const QString& text)
{
    if (!text.contains(u'\\'))
        return text;
    QString result;
    result.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == u'\\') {
            if (++i >= text.size())
                break;
        }
        result.append(text.at(i));
    }
    return result;
}

QStringList characterComponents(const QString& text, QChar separator)
{
    if (!text.contains(u'\\')) {
        QStringList parts = text.split(separator);
        if (parts.last().isEmpty())
            parts.removeLast();
        return parts;
    }
    QStringList parts;
    QString part;
    for (qsizetype i = 0; i < text.size(); ++i) {
        QChar c = text.at(i);
        if (c == u'\\' && i + 1 < text.size()) {
            c = text.at(++i);
            if (c == u'r')
                c = u'\r';
            else if (c == u't')
                c = u'\t';
            else if (c == u'n')
                c = u'\n';
            part.append(c);
        } else if (c == separator) {
            parts.append(part);
            part.clear();
        } else {
            part.append(c);
        }
    }
    if (!part.isEmpty())
        parts.append(part);
    return parts;
}

QStringList semicolonComponents(const QString& text)
{
    return characterComponents(text, u';');
}

QString stringFixLineBreaks(const QString& text)
{
    if (!text.contains(QLatin1String("QUOTED-PRINTABLE")))
        return text;
    QString result;
    result.reserve(text.size());
    const auto lineHasQP = [&text](qsizetype from) {
        qsizetype end = from;
        while (end < text.size() && text.at(end) != u'\r' && text.at(end) != u'\n')
            ++end;
        return QStringView(text).mid(from, end - from).contains(QLatin1String("QUOTED-PRINTABLE"));
    };
    bool lineIsQP = lineHasQP(0);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'=' && lineIsQP && i + 1 < text.size() && (text.at(i + 1) == u'\r' || text.at(i + 1) == u'\n')) {
            // The soft break: "=" and one line end go, the value goes on.
            ++i;
            if (text.at(i) == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n')
                ++i;
            continue;
        }
        result.append(c);
        if ((c == u'\r' || c == u'\n') && !(c == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n'))
            lineIsQP = lineHasQP(i + 1);
    }
    return result;
}

// ---------------------------------------------------------------------------

namespace {

// The cards of one text.
struct ImportRun : vcardreader::PropertyCollector {
    using PropertyCollector::PropertyCollector;

    void handle(const QString& name, const QVariantList& params, const QVariant& value) override
    {
        // Sizes first: most names are neither, and a size differs at once.
        const bool isBegin = name.size() == 5 && name.compare(QLatin1String("BEGIN"), Qt::CaseInsensitive) == 0;
        const bool isEnd = name.size() == 3 && name.compare(QLatin1String("END"), Qt::CaseInsensitive) == 0;
        const bool isCard = (isBegin || isEnd)
            && value.toString().compare(QLatin1String("VCARD"), Qt::CaseInsensitive) == 0;
        if (isBegin && isCard) {
            card.emplace();
            return;
        }
        if (!card)
            return;
        if (isEnd && isCard) {
            card->finishVXItem();
            cards.append(*card);
            card.reset();
            return;
        }
        vcardreader::enterVCardData(*card, name, params, value, isVersion21, reader);
    }

    std::optional<VCardDictionary> card;
    QList<VCardDictionary> cards;
};

} // namespace

VCard2ElemsParser::VCard2ElemsParser(const QString& text)
    : _vcString(text)
{
}

QString VCard2ElemsParser::fixLineBreaks(const QString& text)
{
    return stringFixLineBreaks(text);
}

std::optional<QList<VCardDictionary>> VCard2ElemsParser::getElems()
{
    ImportRun run(vcardreader::Reader::Import, isVCard21(_vcString));
    CARD_Parser parser(vcardreader::readerPolicy(run.reader, run.isVersion21));
    run.attach(parser);
    if (!parser.parse(_vcString.toUtf8(), true))
        return std::nullopt;
    return run.cards;
}

std::optional<QList<VCardDictionary>> elemsForVCard(const QString& text)
{
    auto cards = VCard2ElemsParser(text).getElems();
    if (!cards || cards->isEmpty())
        return std::nullopt;
    return cards;
}

VXDictionary vCardDictionary2VXDictionary(const VCardDictionary& dict, const QString& sourceURI)
{
    using namespace contactkey;
    const QString uuid = createQuorvalisPrimaryKey();
    VXDictionary vx;
    if (!sourceURI.isNull())
        vx.setObject(sourceURI, VXDictionary::kSourceURI);
    vx.setObject(uuid, VXDictionary::kUUID);
    const QVariantMap& d = dict.map();
    for (auto it = d.cbegin(); it != d.cend(); ++it) {
        if (it.key() == VCardDictionary::kDeviceSpecific)
            continue;
        bool isList = false;
        for (const char* list : kLists)
            isList = isList || it.key() == QLatin1String(list);
        if (!isList)
            vx.setMainObject(it.value(), it.key());
    }
    vx.setMainObject(platform::entity::Contact, platform::ISyncRecordEntityNameKey);
    const std::pair<const char*, const QString&> lists[] = {
        {kPhoneNumbers, platform::entity::PhoneNumber},
        {kStreetAddresses, platform::entity::StreetAddress},
        {kEmailAddresses, platform::entity::EmailAddress},
        {kURLs, platform::entity::URL},
    };
    for (const auto& [listKey, entity] : lists) {
        const QVariantList entries = d.value(QLatin1String(listKey)).toList();
        if (entries.isEmpty())
            continue;
        QVariantList ids;
        for (const QVariant& entry : entries) {
            const QString id = createQuorvalisPrimaryKey();
            QVariantMap sub = entry.toMap();
            const QVariantList params = sub.take(VCardDictionary::kParams).toList();
            vx.setRelation(params, QLatin1String(listKey), id);
            sub.insert(platform::ISyncRecordEntityNameKey, entity);
            sub.insert(QStringLiteral("contact"), QVariantList{uuid});
            if (std::strcmp(listKey, kURLs) == 0)
                sub.insert(QLatin1String(kSubRecordValue), QUrl(sub.value(QLatin1String(kSubRecordValue)).toString()));
            vx.setOtherObject(sub, id);
            ids.append(id);
        }
        vx.setMainObject(ids, QLatin1String(listKey));
    }
    QVariantMap device = d.value(VCardDictionary::kDeviceSpecific).toMap();
    device.remove(QStringLiteral("X-IRMC-LUID"));
    if (!device.isEmpty())
        vx.setObject(device, VXDictionary::kDeviceItems);
    return vx;
}

QString getVCard30(const QString& text)
{
    const auto cards = elemsForVCard(text);
    if (!cards)
        return QString();
    const auto description = QVSyncDeviceDescription::syncDeviceFromProtocol(QStringLiteral("Export-3.0"));
    if (!description)
        return QString();
    VXDictionary vx = vCardDictionary2VXDictionary(cards->first());
    return createVCardForVXDict(&vx, *description, true, false, QString());
}

QByteArray getVCard30(const QByteArray& data)
{
    const QString text = getVCard30(getAsString(data));
    return text.isNull() ? QByteArray() : getAsData(text);
}
