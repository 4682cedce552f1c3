#include "sync/QVIRMCReaders.h"

#include "formats/VCardFileImport.h"
#include "formats/VCardReader.h"
#include "platform/TextEncoding.h"

#include <QRegularExpression>
#include <QSet>
#include <QXmlStreamReader>

namespace {

void irmcReadersLog(QStringList* log, const QString& line)
{
    if (log)
        log->append(line);
}

const QString kIrmcWrappedHead = QStringLiteral("BEGIN:VCARD\r\nVERSION:2.1\r\nBEGIN:VCARD");
const QString kIrmcEmptyBook = QStringLiteral("BEGIN:VCARD\r\nVERSION:2.1\r\nEND:VCARD");
constexpr qsizetype kIrmcOuterHeadLength = 26;
constexpr qsizetype kIrmcOuterTailLength = 11;

std::optional<long> irmcPlainNumber(const QString& text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    for (const QChar c : trimmed) {
        if (!c.isDigit() || c.unicode() > 127)
            return std::nullopt;
    }
    bool ok = false;
    const long value = trimmed.toLong(&ok);
    return ok ? std::optional<long>(value) : std::nullopt;
}

bool irmcListingNameIsSafe(const QString& name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..")
        && !name.contains(QLatin1Char('/')) && !name.contains(QChar(0));
}

// Keeps an entry unless its name could leave its folder.
void irmcAddListingEntry(QVariantList& entries, const QVariantMap& entry, QStringList* log)
{
    const QString type = entry.value(QStringLiteral("objectType")).toString();
    const bool named = entry.contains(QStringLiteral("name"));
    if ((named || type == QLatin1String("file") || type == QLatin1String("folder"))
        && !irmcListingNameIsSafe(entry.value(QStringLiteral("name")).toString())) {
        irmcReadersLog(log,
                       QStringLiteral("### Listing entry left out, bad name: \"%1\"")
                           .arg(entry.value(QStringLiteral("name")).toString()));
        return;
    }
    entries.append(entry);
}

std::optional<QVariantList> irmcStrictListing(const QByteArray& xml, QStringList* log)
{
    QXmlStreamReader reader(xml);
    QVariantList entries;
    int depth = 0;
    bool sawRoot = false;
    while (!reader.atEnd()) {
        const auto token = reader.readNext();
        if (token == QXmlStreamReader::StartElement) {
            ++depth;
            if (depth == 1) {
                sawRoot = true;
            } else if (depth == 2 && !reader.name().isEmpty()) {
                QVariantMap entry;
                for (const QXmlStreamAttribute& attribute : reader.attributes()) {
                    if (!attribute.name().isEmpty() && !attribute.value().isEmpty())
                        entry.insert(attribute.name().toString(), attribute.value().toString());
                }
                entry.insert(QStringLiteral("objectType"), reader.name().toString());
                irmcAddListingEntry(entries, entry, log);
            }
        } else if (token == QXmlStreamReader::EndElement) {
            --depth;
        }
    }
    if (reader.hasError() || !sawRoot)
        return std::nullopt;
    return entries;
}

QString irmcXmlUnescaped(QString text)
{
    text.replace(QLatin1String("&lt;"), QLatin1String("<"));
    text.replace(QLatin1String("&gt;"), QLatin1String(">"));
    text.replace(QLatin1String("&quot;"), QLatin1String("\""));
    text.replace(QLatin1String("&apos;"), QLatin1String("'"));
    text.replace(QLatin1String("&amp;"), QLatin1String("&"));
    return text;
}

// The lenient reading: start tags found by pattern, the first one the root,
// every further one an entry (entries hold no elements, so one that is never
// closed does not swallow those after it).
std::optional<QVariantList> irmcLenientListing(const QByteArray& xml, QStringList* log)
{
    static const QRegularExpression tag(QStringLiteral("<\\s*(/?)\\s*([A-Za-z_][A-Za-z0-9_.:-]*)([^<>]*)>"));
    static const QRegularExpression attribute(
        QStringLiteral("([A-Za-z_][A-Za-z0-9_.:-]*)\\s*=\\s*(?:\"([^\"]*)\"|'([^']*)')"));
    const QString text = QString::fromUtf8(xml);
    QVariantList entries;
    bool sawRoot = false;
    auto it = tag.globalMatch(text);
    while (it.hasNext()) {
        const auto match = it.next();
        if (!match.captured(1).isEmpty())
            continue;
        const QString rest = match.captured(3);
        if (!sawRoot) {
            sawRoot = true;
            continue;
        }
        {
            QVariantMap entry;
            auto at = attribute.globalMatch(rest);
            while (at.hasNext()) {
                const auto a = at.next();
                const QString value = irmcXmlUnescaped(a.captured(2).isNull() ? a.captured(3) : a.captured(2));
                if (!value.isEmpty())
                    entry.insert(a.captured(1), value);
            }
            entry.insert(QStringLiteral("objectType"), match.captured(2));
            irmcAddListingEntry(entries, entry, log);
        }
    }
    if (!sawRoot)
        return std::nullopt;
    return entries;
}

} // namespace

QString stringForLong(long number)
{
    return QString::number(number);
}

QString getAfterColon(const QString& text)
{
    const qsizetype colon = text.indexOf(QLatin1Char(':'));
    if (colon < 0)
        return QString();
    return text.mid(colon + 1);
}

QString uriForVXData(const QString& vCard)
{
    const auto cards = elemsForVCard(vCard);
    if (!cards || cards->isEmpty())
        return QString();
    const QVariantMap device = cards->first().map().value(VCardDictionary::kDeviceSpecific).toMap();
    const QVariant luid = device.value(QStringLiteral("X-IRMC-LUID"));
    if (luid.typeId() == QMetaType::QVariantList)
        return luid.toList().value(0).toString();
    return luid.toString();
}

QVariantMap irmcAppParameters(const QByteArray& bytes, QStringList* log)
{
    QVariantMap fields;
    qsizetype at = 0;
    while (at < bytes.size()) {
        if (at + 2 > bytes.size()) {
            irmcReadersLog(log, QStringLiteral("### App-Parameters: field head cut off at byte %1").arg(at));
            break;
        }
        const int tag = quint8(bytes[at]);
        const int length = quint8(bytes[at + 1]);
        if (at + 2 + length > bytes.size()) {
            irmcReadersLog(
                log,
                QStringLiteral("### App-Parameters: field %1 of %2 bytes runs past the data").arg(tag).arg(length));
            break;
        }
        const QByteArray value = bytes.mid(at + 2, length);
        const auto text = platform::text::decode(value, platform::text::Encoding::MacRoman);
        if (text)
            fields.insert(QString::number(tag), *text);
        else
            irmcReadersLog(log, QStringLiteral("### App-Parameters: field %1 is no text, dropped").arg(tag));
        at += 2 + length;
    }
    return fields;
}

QVIRMCInfoLog irmcInfoLog(const QString& text, QStringList* log)
{
    QVIRMCInfoLog info;
    for (const QString& rawLine : text.split(QRegularExpression(QStringLiteral("\r\n|\n|\r")))) {
        const QString line = rawLine.trimmed();
        if (line.isEmpty())
            continue;
        irmcReadersLog(log, line);
        if (line.startsWith(QLatin1String("DID:"))) {
            info.databaseID = line.mid(4);
        } else if (line.startsWith(QLatin1String("Maximum-Records:"))) {
            if (const auto n = irmcPlainNumber(getAfterColon(line)))
                info.maxRecords = *n;
        } else if (line.startsWith(QLatin1String("Total-Records:"))) {
            if (const auto n = irmcPlainNumber(getAfterColon(line)))
                info.totalRecords = *n;
        } else if (line.startsWith(QLatin1String("HD:"))) {
            info.hardDelete = getAfterColon(line).trimmed() == QLatin1String("YES");
        }
    }
    return info;
}

QVIRMCChangeLog irmcChangeLog(const QString& text, bool knownDatabaseID, QStringList* log)
{
    static const QStringList headers{QStringLiteral("SN:"), QStringLiteral("Free-Records:"),
                                     QStringLiteral("Maximum-Records:"), QStringLiteral("Total-Records:")};
    QVIRMCChangeLog result;
    QStringList changed;
    // Membership by set: a phone's log may hold a million lines.
    QSet<QString> changedSeen;
    QSet<QString> deletedSeen;
    for (const QString& rawLine : text.split(QRegularExpression(QStringLiteral("\r\n|\n|\r")))) {
        const QString line = rawLine.trimmed();
        if (line.isEmpty())
            continue;
        if (line.startsWith(QLatin1String("DID:"))) {
            result.databaseID = line.mid(4);
            knownDatabaseID = true;
            continue;
        }
        if (std::any_of(headers.cbegin(), headers.cend(), [&](const QString& h) { return line.startsWith(h); }))
            continue;
        if (line == QLatin1String("*")) {
            result.starLine = true;
            continue;
        }
        if (!knownDatabaseID)
            continue;
        const QStringList fields = line.split(QLatin1Char(':'));
        if (fields.size() < 4 || fields.at(3).isEmpty()) {
            irmcReadersLog(log, QStringLiteral("### Strange line, no LUID: %1").arg(line));
            continue;
        }
        const QString type = fields.at(0);
        const QString luid = fields.mid(3).join(QLatin1Char(':'));
        if (type == QLatin1String("M")) {
            if (!changedSeen.contains(luid)) {
                changedSeen.insert(luid);
                changed.append(luid);
                irmcReadersLog(log, QStringLiteral("Modified object %1").arg(luid));
            }
        } else if (type.isEmpty() || type == QLatin1String("D") || type == QLatin1String("H")) {
            if (!deletedSeen.contains(luid)) {
                deletedSeen.insert(luid);
                result.deleted.append(luid);
            }
            irmcReadersLog(log, QStringLiteral("Deleted object %1").arg(luid));
        } else {
            irmcReadersLog(log, QStringLiteral("### Strange line, unknown change: %1").arg(line));
        }
    }
    for (const QString& luid : changed) {
        if (!deletedSeen.contains(luid))
            result.changed.append(luid);
    }
    return result;
}

std::optional<QStringList> irmcSplitPhonebook(const QString& text)
{
    // The empty phonebook is that one card alone; cards after it are read.
    if (text.trimmed() == kIrmcEmptyBook)
        return QStringList();
    QString cards = text;
    if (text.startsWith(kIrmcWrappedHead)) {
        const qsizetype length = text.size() - kIrmcOuterHeadLength - kIrmcOuterTailLength;
        if (length <= 0)
            return std::nullopt;
        cards = text.mid(kIrmcOuterHeadLength, length);
    }
    const auto split = importVCardsFromString(cards);
    if (!split)
        return std::nullopt;
    QStringList out;
    for (const QString& card : *split) {
        if (card.contains(QLatin1String("BEGIN:VCARD"), Qt::CaseInsensitive))
            out.append(card);
    }
    if (out.isEmpty())
        return std::nullopt;
    return out;
}

std::optional<QVariantList> irmcFolderListing(const QByteArray& xml, QStringList* log)
{
    if (auto strict = irmcStrictListing(xml, log))
        return strict;
    irmcReadersLog(log, QStringLiteral("Listing is not well-formed: read again leniently"));
    return irmcLenientListing(xml, log);
}
