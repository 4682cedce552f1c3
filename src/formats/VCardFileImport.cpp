#include "formats/VCardFileImport.h"

#include "formats/QuorNSStringVCardExtensions.h"
#include "formats/VCardReader.h"
#include "foundation/NamedLog.h"
#include "platform/FileIO.h"
#include "platform/TextEncoding.h"


namespace {

const QString kEndVCalendar = QStringLiteral("END:VCALENDAR");
const QString kEndVCard = QStringLiteral("END:VCARD");

// A file's text by its byte-order mark (a first byte 0 is UTF-16 without
// one), else UTF-8 when it is valid, else Mac OS Roman.
std::optional<QString> readFileText(const QString& path)
{
    using platform::text::Encoding;
    // A FIFO or device is refused without waiting on it.
    QString error;
    const auto read = platform::readRegularFile(path, kMaxImportFileSize, platform::Symlinks::Follow, &error);
    if (!read) {
        QVLOG(qvlog::kXT, QStringLiteral("vCard import: %1").arg(error));
        return std::nullopt;
    }
    const QByteArray& bytes = *read;
    if (bytes.startsWith("\xFE\xFF") || bytes.startsWith("\xFF\xFE") || bytes.startsWith('\0'))
        return platform::text::decode(bytes, Encoding::Utf16);
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return platform::text::decode(bytes.mid(3), Encoding::Utf8);
    if (auto text = platform::text::decode(bytes, Encoding::Utf8))
        return text;
    return platform::text::decode(bytes, Encoding::MacRoman);
}

qsizetype skipLineBreaks(const QString& text, qsizetype from)
{
    while (from < text.size() && (text.at(from) == u'\r' || text.at(from) == u'\n'))
        ++from;
    return from;
}

// The next occurrence of a marker at or after from, remembered between calls
// so that a marker missing from the rest is searched for once.
class MarkerSearch {
public:
    MarkerSearch(const QString& text, const QString& marker) : m_text(text), m_marker(marker) {}
    qsizetype next(qsizetype from)
    {
        if (m_at != -1 && m_at < from && !m_gone)
            m_at = m_text.indexOf(m_marker, from);
        if (m_at == -1)
            m_gone = true;
        return m_gone ? -1 : m_at;
    }
    const QString& marker() const { return m_marker; }

private:
    const QString& m_text;
    QString m_marker;
    qsizetype m_at = -2;                        // below every start: searched at the first call
    bool m_gone = false;
};

// With cardsOnly the items end at "END:VCARD" alone.
QStringList splitItems(const QString& text, bool cardsOnly = false)
{
    QStringList items;
    MarkerSearch calendars(text, cardsOnly ? kEndVCard : kEndVCalendar);
    MarkerSearch cards(text, kEndVCard);
    qsizetype from = 0;
    while (from < text.size()) {
        qsizetype end = calendars.next(from);
        qsizetype length = calendars.marker().size();
        if (end < 0) {
            end = cards.next(from);
            length = kEndVCard.size();
        }
        if (end < 0)
            break;
        items.append(text.mid(from, end + length - from));
        from = skipLineBreaks(text, end + length);
    }
    return items;
}

QStringList splitCalendarItems(const QString& text)
{
    QStringList items;
    const qsizetype todo = text.indexOf(QLatin1String("BEGIN:VTODO"));
    const qsizetype event = text.indexOf(QLatin1String("BEGIN:VEVENT"));
    if (todo < 0 && event < 0)
        return items;
    qsizetype from = todo < 0 ? event : event < 0 ? todo : std::min(todo, event);
    MarkerSearch todoEnds(text, QStringLiteral("END:VTODO"));
    MarkerSearch eventEnds(text, QStringLiteral("END:VEVENT"));
    while (from < text.size()) {
        const qsizetype todoEnd = todoEnds.next(from);
        const qsizetype eventEnd = eventEnds.next(from);
        if (todoEnd < 0 && eventEnd < 0)
            break;
        const bool todoFirst = eventEnd < 0 || (todoEnd >= 0 && todoEnd < eventEnd);
        const qsizetype end = (todoFirst ? todoEnd : eventEnd)
                              + (todoFirst ? todoEnds.marker().size() : eventEnds.marker().size());
        items.append(QStringLiteral("BEGIN:VCALENDAR\r\nVERSION:1.0\r\n") + text.mid(from, end - from)
                     + QStringLiteral("\r\nEND:VCALENDAR\r\n"));
        from = skipLineBreaks(text, end);
    }
    return items;
}

} // namespace

bool hasValidVCardFromFile(const QString& path)
{
    const auto items = importVCardsFromFile(path);
    return items && !items->isEmpty();
}

std::optional<QStringList> importVCardsFromFile(const QString& path)
{
    const auto text = readFileText(path);
    if (!text)
        return std::nullopt;
    return splitItems(*text);
}

std::optional<QStringList> importVCalendarFromFile(const QString& path)
{
    const auto text = readFileText(path);
    if (!text)
        return std::nullopt;
    return splitCalendarItems(*text);
}

std::optional<QStringList> importVCardsFromString(const QString& text)
{
    if (text.isNull())
        return std::nullopt;
    return splitItems(text);
}

std::optional<QVariantList> importVCardsFromFileToDict(const QString& path)
{
    const auto text = readFileText(path);
    if (!text)
        return std::nullopt;
    QVariantList result;
    for (const QString& item : splitItems(*text, true)) {
        const QString card = isVCard21(item) ? getVCard30(item) : item;
        if (!card.isEmpty())
            result.append(QVariantMap{{QStringLiteral("SourceURI"), QStringLiteral("-1")},
                                      {QStringLiteral("vx-Data"), card}});
    }
    return result;
}
